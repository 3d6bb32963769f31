// Writes a large model for the geometry benchmark: a ZEM file whose multi mesh
// has a LOD 0 of about the requested triangle count (format P N 0, one
// material) and two smaller levels, plus the same LOD 0 mesh as a Wavefront OBJ
// for the comparison with another converter.
//
//   bench_geometry <folder> <lod0 triangles>
//
// Writes <folder>/bench.zem and <folder>/lod0.obj and prints one line with the
// counts of the LOD 0 mesh: "triangles <n> vertices <n> parts <n>".
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "model/model.h"
#include "model/write_model.h"

namespace {

// u16 indices: a part holds at most 65,536 vertices, a 256 x 256 grid.
const int kGrid = 255;

// A wavy sheet cut into grid parts side by side: positions and normals are
// mostly distinct, texture coordinates repeat from part to part.
std::unique_ptr<Mesh> MakeSheet(int32_t lod, long triangles, float scale) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = lod;
    long quadsLeft = (triangles + 1) / 2;
    int partNumber = 0;
    while (quadsLeft > 0) {
        const int rows = int(std::min<long>(kGrid, (quadsLeft + kGrid - 1) / kGrid));
        const int cols = int(std::min<long>(kGrid, quadsLeft));
        MeshPart part;
        part.index = partNumber;
        part.materialIndex = 0;
        part.format = 0x000B;
        part.stride = 10;
        part.vertexCount = (rows + 1) * (cols + 1);
        part.vertices.reserve(size_t(part.vertexCount) * 10);
        const float x0 = float(partNumber) * (kGrid + 1) * scale;
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= cols; ++c) {
                const float x = x0 + float(c) * scale;
                const float z = float(r) * scale;
                const float y = 3.0f * std::sin(x * 0.05f) * std::cos(z * 0.07f);
                const float dx = 3.0f * 0.05f * std::cos(x * 0.05f) * std::cos(z * 0.07f);
                const float dz = -3.0f * 0.07f * std::sin(x * 0.05f) * std::sin(z * 0.07f);
                const float len = std::sqrt(dx * dx + 1 + dz * dz);
                const float v[10] = {x, y, z, 1, -dx / len, 1 / len, -dz / len, 0, float(c) / kGrid, float(r) / kGrid};
                part.vertices.insert(part.vertices.end(), v, v + 10);
            }
        }
        PrimitiveGroup group;
        group.index = 0;
        group.type = kPrimTriList;
        const long quads = std::min<long>(quadsLeft, long(rows) * cols);
        group.indices.reserve(size_t(quads) * 6);
        long made = 0;
        for (int r = 0; r < rows && made < quads; ++r) {
            for (int c = 0; c < cols && made < quads; ++c, ++made) {
                const uint16_t a = uint16_t(r * (cols + 1) + c);
                const uint16_t b = uint16_t(a + 1);
                const uint16_t d = uint16_t(a + cols + 1);
                const uint16_t e = uint16_t(d + 1);
                const uint16_t tri[6] = {a, d, b, b, d, e};
                group.indices.insert(group.indices.end(), tri, tri + 6);
            }
        }
        group.indexCount = int32_t(group.indices.size());
        part.groups.push_back(std::move(group));
        mesh->parts.push_back(std::move(part));
        quadsLeft -= quads;
        ++partNumber;
    }
    return mesh;
}

bool WriteObj(const Mesh& mesh, const std::string& path, long& triangles, long& vertices) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "# LOD 0 of the geometry benchmark model\no bench\n");
    long base = 1;
    triangles = vertices = 0;
    for (const MeshPart& part : mesh.parts) {
        for (int32_t v = 0; v < part.vertexCount; ++v) {
            const float* p = &part.vertices[size_t(v) * 10];
            std::fprintf(f, "v %f %f %f\nvn %f %f %f\nvt %f %f\n", p[0], p[1], p[2], p[4], p[5], p[6], p[8], p[9]);
        }
        for (const PrimitiveGroup& g : part.groups) {
            for (int32_t i = 0; i + 2 < g.indexCount; i += 3) {
                const long a = base + g.indices[size_t(i)], b = base + g.indices[size_t(i) + 1],
                           c = base + g.indices[size_t(i) + 2];
                std::fprintf(f, "f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld\n", a, a, a, b, b, b, c, c, c);
                ++triangles;
            }
        }
        base += part.vertexCount;
        vertices += part.vertexCount;
    }
    const bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_geometry <folder> <lod0 triangles>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const long triangles = std::atol(argv[2]);
    if (triangles < 1) return 2;

    Model model;
    model.type = 0;
    model.version = 512;
    auto material = std::make_unique<Material>();
    material->index = 0;
    material->name.Set("hull");
    material->shader.Set("ship");
    model.materials.push_back(std::move(material));
    auto root = std::make_unique<Joint>();
    root->index = 0;
    root->name.Set("Root");
    model.joints.push_back(std::move(root));
    auto mm = std::make_unique<MultiMesh>();
    mm->name.Set("bench");
    mm->parentName.Set("Root");
    mm->meshes.push_back(MakeSheet(0, triangles, 0.37f));
    mm->meshes.push_back(MakeSheet(1, triangles / 4, 0.74f));
    mm->meshes.push_back(MakeSheet(2, triangles / 16, 1.48f));
    model.multiMeshes.push_back(std::move(mm));

    long objTriangles = 0, objVertices = 0;
    if (!WriteObj(*model.multiMeshes[0]->meshes[0], folder + "/lod0.obj", objTriangles, objVertices)) {
        std::fprintf(stderr, "cannot write %s/lod0.obj\n", folder.c_str());
        return 1;
    }
    if (!SaveBytes(folder + "/bench.zem", BuildZem(model))) {
        std::fprintf(stderr, "cannot write %s/bench.zem\n", folder.c_str());
        return 1;
    }
    std::printf("triangles %ld vertices %ld parts %zu\n", objTriangles, objVertices,
                model.multiMeshes[0]->meshes[0]->parts.size());
    return 0;
}
