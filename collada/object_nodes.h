#pragma once

#include <cstdint>
#include <string>

#include "collada/dae_state.h"

// Each glow's geometry and instance node (only called when there are glows).
void WriteGlowGeometries(DaeState& state);

// Collision meshes, navigation lights, markers, engine shapes and burns,
// "HOLD_PARAMS" and "HOLD_DOCK".
void WriteSpecialNodes(DaeState& state);

// The full bracketed names, before any split into "SUB_PARAMS": "NAVL[...]"
// with its optional groups, "MAT[...]_PARAM[...]_Type[RGBA]_Data[...]",
// "DOCK[...]" and "SEG[%d]" (position = the segment's place in its path).
std::string NavLightName(const NavLight& light);
std::string ColourParamName(const Material& material, const MaterialParam& param);
std::string DockPathName(const DockPath& path);
std::string DockSegmentName(const DockSegment& segment, int32_t position);
