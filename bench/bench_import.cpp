// One read of a document, for the reader benchmark (scripts/bench_import.sh
// times each and takes its peak memory):
//   bench_import tinyxml|pugixml|dae|gltf <file>
// tinyxml and pugixml only parse the XML into their trees; dae builds the
// DAE reader's checked view; gltf reads a GLB or .gltf and every accessor.
// Prints what it read.
#include <pugixml.hpp>
#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/platform.h"
#include "import/dae_document.h"
#include "import/gltf_document.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_import tinyxml|pugixml|dae|gltf <file>\n");
        return 2;
    }
    const std::string mode = argv[1], path = argv[2];
    if (mode == "tinyxml") {
        TiXmlDocument xml;
        if (!xml.LoadFile(path.c_str())) return std::fprintf(stderr, "%s\n", xml.ErrorDesc()), 1;
        std::printf("parsed %s\n", xml.RootElement()->Value());
        return 0;
    }
    if (mode == "pugixml") {
        std::vector<unsigned char> bytes;
        if (!ReadFileBytes(path.c_str(), bytes)) return 1;
        pugi::xml_document xml;
        const pugi::xml_parse_result r = xml.load_buffer_inplace(bytes.data(), bytes.size());
        if (!r) return std::fprintf(stderr, "%s\n", r.description()), 1;
        std::printf("parsed %s\n", xml.document_element().name());
        return 0;
    }
    ReadFailure failure;
    if (mode == "dae") {
        DaeDocument doc;
        if (!ReadDaeFile(path, doc, failure)) return std::fprintf(stderr, "%s\n", failure.Text().c_str()), 1;
        uint64_t triangles = 0;
        for (const DaeGeometry& g : doc.geometries)
            for (const DaeTriangles& p : g.parts) triangles += p.TriangleCount();
        std::printf("nodes %zu geometries %zu triangles %llu\n", doc.nodes.size(), doc.geometries.size(),
                    static_cast<unsigned long long>(triangles));
        return 0;
    }
    if (mode == "gltf") {
        GltfDocument doc;
        if (!ReadGltfFile(path, doc, failure)) return std::fprintf(stderr, "%s\n", failure.Text().c_str()), 1;
        uint64_t values = 0;
        for (size_t i = 0; i < doc.accessors.size(); ++i) {
            std::vector<float> v;
            if (!ReadAccessorFloats(doc, int(i), v, failure)) return std::fprintf(stderr, "%s\n", failure.Text().c_str()), 1;
            values += v.size();
        }
        std::printf("nodes %zu accessors %zu values %llu\n", doc.nodes.size(), doc.accessors.size(),
                    static_cast<unsigned long long>(values));
        return 0;
    }
    return 2;
}
