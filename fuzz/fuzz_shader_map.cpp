// libFuzzer target: any text as a shader map text. The parser must stay in
// bounds and end; the set it returns must be usable for lookups and binding.
#include <string>

#include "texture/shader_map.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<ShaderMapSet> set = ParseShaderMapText(text.c_str());
    if (!set) return 0;
    Core_QStr shader;
    shader.Set("ship");
    MaterialParam diffuse;
    diffuse.name.Set("$diffuse");
    bool notExact = false;
    const ShaderMap* entry = FindShaderMap(*set, shader, &diffuse, notExact);
    for (const auto& e : set->entries) {
        if (!e) continue;
        std::unique_ptr<ShaderMapInstance> instance = BindShaderMap(*e);
        for (const SourceMap& map : e->maps) {
            auto picture = std::make_unique<PixelImage>();
            picture->width = picture->height = 2;
            picture->pixels.assign(16, 0x80);
            AssignSource(*instance, map.name, picture, nullptr);
        }
        ComposeOutputs(*instance);
        for (const SourceMap& map : e->maps)
            for (const OutputMap& line : map.lines) (void)FindOutput(*instance, line.name.CStr());
    }
    (void)entry;
    return 0;
}
