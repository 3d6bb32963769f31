#pragma once

#include "collada/dae_state.h"

struct ShaderMapSet;

// Images, materials, effects and the TGA files beside the document.
void WriteMaterials(DaeState& state, const ShaderMapSet& shaderMaps);

// The shared glow material and effect; sets state.glowTarget.
void WriteGlowMaterial(DaeState& state);
