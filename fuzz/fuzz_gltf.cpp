// libFuzzer target: any bytes as a GLB or .gltf document. Bytes after a
// "\0FILE\0" marker are what every file the document names reads as, so
// external buffers and pictures are reached without touching the disk. The
// reader must stay in bounds; whatever it accepts must read whole: every
// accessor, every primitive's indices, every picture; and the scene made of
// it must pass the scene check.
#include <algorithm>
#include <cstring>
#include <string>

#include "import/gltf_document.h"
#include "import/gltf_import.h"
#include "import/png_read.h"
#include "scene/check_scene.h"
#include "way_back_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static const unsigned char kMarker[6] = {0, 'F', 'I', 'L', 'E', 0};
    const unsigned char* end = data + size;
    const unsigned char* marker = std::search(data, end, kMarker, kMarker + 6);
    std::vector<unsigned char> document(data, marker);
    const std::vector<unsigned char> file(marker == end ? end : marker + 6, end);
    const GltfFileLoader load = [&](const std::string&, std::vector<unsigned char>& out, std::string& why) {
        if (marker == end) return why = "no such file", false;
        out = file;
        return true;
    };
    GltfDocument doc;
    ReadFailure failure;
    if (!ReadGltfBytes(std::move(document), "fuzz/d.gltf", load, doc, failure)) {
        if (failure.file.empty() || failure.reason.empty()) __builtin_trap();
        return 0;
    }
    for (size_t i = 0; i < doc.accessors.size(); ++i) {
        std::vector<float> values;
        if (ReadAccessorFloats(doc, int(i), values, failure) &&
            values.size() != doc.accessors[i].count * uint64_t(doc.accessors[i].components))
            __builtin_trap();
    }
    for (const GltfMesh& mesh : doc.meshes)
        for (const GltfPrimitive& prim : mesh.primitives) {
            auto position = prim.attributes.find("POSITION");
            const uint64_t vertices = position == prim.attributes.end() ? 0 : doc.accessors[size_t(position->second)].count;
            std::vector<uint32_t> indices;
            if (prim.indices >= 0 && ReadAccessorIndices(doc, prim.indices, vertices, indices, failure))
                for (uint32_t index : indices)
                    if (index >= vertices) __builtin_trap();
        }
    for (const GltfImage& image : doc.images) {
        PixelImage picture;
        if (DecodePng(image.data.data(), image.data.size(), image.file, picture, failure) &&
            picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
            __builtin_trap();
    }
    const std::unique_ptr<Scene> scene = SceneFromGltf(doc, failure);
    if (scene ? !CheckScene(*scene).empty() : failure.reason.empty()) __builtin_trap();
    if (scene) CheckWayBack(*scene);
    return 0;
}
