#include "texture/shader_map.h"

std::unique_ptr<ShaderMapSet> ParseShaderMaps() { return std::make_unique<ShaderMapSet>(); }
