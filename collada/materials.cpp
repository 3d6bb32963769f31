#include "collada/materials.h"

#include "texture/shader_map.h"

void WriteMaterials(DaeState&, const ShaderMapSet&) {}
void WriteGlowMaterial(DaeState& state) { state.glowTarget = "#MATGLOW[TALVE_Glow]"; }
