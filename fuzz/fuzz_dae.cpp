// libFuzzer target: any bytes as a COLLADA document. The reader must stay in
// bounds and end; what it accepts must hold only resolved references and
// indices within their sources.
#include <string>

#include "import/dae_document.h"
#include "import/dae_scene.h"
#include "scene/layout.h"
#include "way_back_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    DaeDocument doc;
    ReadFailure failure;
    if (!ReadDaeBytes(bytes, "fuzz/d.dae", doc, failure)) {
        if (failure.file.empty() || failure.reason.empty()) __builtin_trap();
        return 0;
    }
    for (const DaeGeometry& g : doc.geometries)
        for (const DaeTriangles& part : g.parts) {
            if (part.indices.size() % (size_t(part.stride) * 3) != 0) __builtin_trap();
            for (const DaeInput& input : part.inputs) {
                if (input.offset >= part.stride || input.source >= int(g.sources.size())) __builtin_trap();
                if (input.source < 0) continue;
                const DaeSource& s = g.sources[size_t(input.source)];
                for (size_t k = input.offset; k < part.indices.size(); k += part.stride)
                    if (part.indices[k] >= s.count) __builtin_trap();
                if (!s.floats.empty() && s.floats.size() != s.count * s.stride) __builtin_trap();
            }
        }
    for (const DaeNode& n : doc.nodes) {
        for (int c : n.children)
            if (c < 0 || size_t(c) >= doc.nodes.size() || doc.nodes[size_t(c)].parent < 0) __builtin_trap();
        for (const DaeInstanceGeometry& g : n.geometries)
            if (g.geometry < 0 || size_t(g.geometry) >= doc.geometries.size()) __builtin_trap();
    }
    // Its scene, without pictures (they would be files beside it), laid out
    // both ways.
    doc.images.clear();
    for (DaeEffect& fx : doc.effects)
        for (DaeColorOrTexture* c : {&fx.emission, &fx.ambient, &fx.diffuse, &fx.specular, &fx.reflective,
                                     &fx.transparent, &fx.bump})
            c->image = -1;
    std::unique_ptr<Scene> scene = SceneFromDae(doc, failure);
    if (!scene) return 0;
    SceneOptions options;
    for (bool deduplicate : {false, true, false}) {
        options.deduplicate = deduplicate;
        SetVertexLayout(*scene, options);
    }
    CheckWayBack(*scene);
    return 0;
}
