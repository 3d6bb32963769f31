// A model built in memory, written as a ZEM file, converted by the built tool,
// and the DAE opened by independent readers: the COLLADA schema, assimp and
// pycollada must see exactly the triangles and vertices the model holds.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/collada/xml_query.h"
#include "tests/support/dae_checks.h"
#include "tests/support/fixture_writer.h"

namespace {

// A grid part of (cols + 1) x (rows + 1) vertices, every vertex distinct in
// position, normal and texture coordinates, written as one list group, or as
// one strip per row (every strip triangle keeps three distinct corners).
MeshPart GridPart(int32_t material, int cols, int rows, float x0, bool strips) {
    MeshPart part;
    part.materialIndex = material;
    part.vertexCount = (cols + 1) * (rows + 1);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) {
            const float x = x0 + float(c), z = float(r);
            part.vertices.insert(part.vertices.end(), {x, 0.25f * std::sin(x + z), z, 1, 0.01f * x, 1, 0.01f * z, 0,
                                                       float(c) / float(cols), float(r) / float(rows) + x0});
        }
    auto at = [&](int r, int c) { return uint16_t(r * (cols + 1) + c); };
    std::vector<uint16_t> list;
    for (int r = 0; r < rows; ++r) {
        std::vector<uint16_t> strip;
        for (int c = 0; c <= cols; ++c) {
            strip.insert(strip.end(), {at(r, c), at(r + 1, c)});
            if (c < cols) list.insert(list.end(), {at(r, c), at(r + 1, c), at(r, c + 1), at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)});
        }
        if (strips) part.groups.push_back(Group(0x0206, strip));
    }
    if (!strips) part.groups.push_back(Group(0x0202, list));
    return part;
}

// Meshes that are not copies of each other (assimp would merge copies).
std::unique_ptr<Mesh> GridMesh(int32_t lod, int scale, float shift = 0) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = lod;
    mesh->parts.push_back(GridPart(1, 8 * scale, 4 * scale, shift, false));
    mesh->parts.push_back(GridPart(0, 5 * scale, 3 * scale, 100 + shift, true));
    return mesh;
}

}  // namespace

TEST(DaeOutput, ReadersSeeEveryTriangleAndVertex) {
    Model model;
    model.version = 512;
    AddMaterial(model, "hull", "ship");
    AddMaterial(model, "trim", "ship");
    AddJoint(model, "Root", "");
    AddJoint(model, "Hull", "Root").rotation[2] = 0.3f;
    AddJoint(model, "Gun", "Hull").position[0] = 2;
    MultiMesh& ship = Push(model.multiMeshes, "ship", "Gun");
    for (int lod = 0; lod < 3; ++lod) ship.meshes.push_back(GridMesh(lod, 4 >> lod));
    MultiMesh& gob = Push(model.goblinMeshes, "debris", "Hull");
    gob.kind = 1;
    gob.meshes.push_back(GridMesh(0, 1, 300));

    long triangles = 0, vertices = 0, meshes = 0;
    for (const MultiMesh* mm : {&ship, &gob})
        for (const auto& mesh : mm->meshes) {
            ++meshes;
            for (const MeshPart& p : mesh->parts) {
                vertices += p.vertexCount;
                for (const PrimitiveGroup& g : p.groups) triangles += g.type == 0x0202 ? g.indexCount / 3 : g.indexCount - 2;
            }
        }

    TempDir dir;
    const std::string zem = dir / "model.zem", dae = dir / "model.dae";
    ASSERT_TRUE(SaveBytes(zem, BuildZem(model)));
    int status = 0;
    const std::string output = RunCommand(ShellQuote(VORDA_BINARY) + " " + ShellQuote("$CONVERT_IN=" + zem) + " " +
                                              ShellQuote("$CONVERT_OUT=" + dae) + " do=convert",
                                          &status);
    ASSERT_EQ(status, 0) << output;

    const std::vector<std::string> errors = DaeSchemaErrors(dae);
    EXPECT_TRUE(errors.empty()) << errors.size() << " schema errors, first: " << errors.front();
    // Every triangles element becomes an assimp mesh with one vertex per
    // corner (raw); the default processing keeps every face.
    const AssimpInfo joined = RunAssimpInfo(dae);
    ASSERT_TRUE(joined.ok) << joined.output;
    EXPECT_EQ(joined.faces, triangles);
    const AssimpInfo raw = RunAssimpInfo(dae, true);
    ASSERT_TRUE(raw.ok) << raw.output;
    EXPECT_EQ(raw.faces, triangles);
    EXPECT_EQ(raw.vertices, 3 * triangles);
    EXPECT_EQ(raw.meshes, meshes * 2);

    const PyColladaInfo py = RunPyCollada(dae);
    ASSERT_TRUE(py.ok) << py.output;
    EXPECT_EQ(py.Count("geometries"), meshes);
    EXPECT_EQ(py.Count("triangles"), triangles);
    EXPECT_EQ(py.Count("positions"), vertices);  // every position distinct: one entry each
    EXPECT_EQ(py.Count("materials"), 2);
    // ROOT_INFO with its 2 information nodes, 3 LOD roots, JNT[Hull], JNT[Gun],
    // 3 ship instances and 1 goblin instance.
    EXPECT_EQ(py.Count("nodes"), 1 + 2 + 3 + 2 + 3 + 1);
    EXPECT_EQ(py.Count("errors"), 0) << py.output;
    EXPECT_EQ(py.Count("unbound"), 0) << py.output;

    std::string missing;
    for (const std::string& p : BlenderImportProblems(dae)) missing += p + "\n";
    EXPECT_EQ(missing, "") << "Blender";
}
