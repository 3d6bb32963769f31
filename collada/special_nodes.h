#pragma once

#include "collada/dae_state.h"

// Each glow's geometry and instance node (only called when there are glows).
void WriteGlowGeometries(DaeState& state);

// Collision meshes, navigation lights, markers, engine shapes and burns,
// "HOLD_PARAMS" and "HOLD_DOCK".
void WriteSpecialNodes(DaeState& state);
