// Models built in memory, written as ZEM files, converted by the built tool,
// and the DAE opened by independent readers: the COLLADA schema, assimp and
// pycollada must see exactly the triangles and vertices the model holds.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "tests/support/dae_checks.h"
#include "tests/support/fixture_writer.h"

namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("vorda-dae-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

void AddMaterial(Model& model, const char* name, const char* shader) {
    auto m = std::make_unique<Material>();
    m->index = int32_t(model.materials.size());
    m->name.Set(name);
    m->shader.Set(shader);
    model.materials.push_back(std::move(m));
}

void AddJoint(Model& model, const char* name, const char* parent, float x, float rz) {
    auto j = std::make_unique<Joint>();
    j->index = int32_t(model.joints.size());
    j->name.Set(name);
    j->parentName.Set(parent);
    j->position[0] = x;
    j->rotation[2] = rz;
    model.joints.push_back(std::move(j));
}

// A grid part of (cols + 1) x (rows + 1) vertices, every vertex distinct in
// position, normal and texture coordinates, written as one list group, or as
// one strip per row (every strip triangle keeps three distinct corners).
MeshPart GridPart(int32_t material, int cols, int rows, float x0, bool strips) {
    MeshPart part;
    part.materialIndex = material;
    part.format = 0x000B;
    part.stride = 10;
    part.vertexCount = (cols + 1) * (rows + 1);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) {
            const float x = x0 + float(c), z = float(r);
            const float v[10] = {x, 0.25f * std::sin(x + z), z, 1, 0.01f * x, 1, 0.01f * z, 0,
                                 float(c) / float(cols), float(r) / float(rows) + x0};
            part.vertices.insert(part.vertices.end(), v, v + 10);
        }
    auto at = [&](int r, int c) { return uint16_t(r * (cols + 1) + c); };
    if (!strips) {
        PrimitiveGroup g;
        g.type = 0x0202;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const uint16_t q[6] = {at(r, c), at(r + 1, c), at(r, c + 1), at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)};
                g.indices.insert(g.indices.end(), q, q + 6);
            }
        g.indexCount = int32_t(g.indices.size());
        part.groups.push_back(std::move(g));
    } else {
        for (int r = 0; r < rows; ++r) {
            PrimitiveGroup g;
            g.type = 0x0206;
            for (int c = 0; c <= cols; ++c) {
                g.indices.push_back(at(r, c));
                g.indices.push_back(at(r + 1, c));
            }
            g.indexCount = int32_t(g.indices.size());
            part.groups.push_back(std::move(g));
        }
    }
    return part;
}

long Triangles(const Mesh& mesh) {
    long n = 0;
    for (const MeshPart& p : mesh.parts)
        for (const PrimitiveGroup& g : p.groups)
            n += g.type == 0x0202 ? g.indexCount / 3 : std::max(0, g.indexCount - 2);
    return n;
}

long Vertices(const Mesh& mesh) {
    long n = 0;
    for (const MeshPart& p : mesh.parts) n += p.vertexCount;
    return n;
}

// Meshes that are not copies of each other (assimp would merge copies).
std::unique_ptr<Mesh> GridMesh(int32_t lod, int scale, float shift = 0) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = lod;
    mesh->parts.push_back(GridPart(1, 8 * scale, 4 * scale, shift, false));
    mesh->parts.push_back(GridPart(0, 5 * scale, 3 * scale, 100 + shift, true));
    return mesh;
}

// Converts the model with the built tool; returns the DAE path.
std::string Convert(const Model& model, const TempFolder& tmp, std::string* output) {
    const std::string zem = tmp / "model.zem";
    const std::string dae = tmp / "model.dae";
    EXPECT_TRUE(SaveBytes(zem, BuildZem(model)));
    int status = 0;
    *output = RunCommand(ShellQuote(VORDA_BINARY) + " " + ShellQuote("$CONVERT_IN=" + zem) + " " +
                             ShellQuote("$CONVERT_OUT=" + dae) + " do=convert",
                         &status);
    EXPECT_EQ(status, 0) << *output;
    return dae;
}

}  // namespace

TEST(DaeOutput, ReadersSeeEveryTriangleAndVertex) {
    Model model;
    model.type = 0;
    model.version = 512;
    AddMaterial(model, "hull", "ship");
    AddMaterial(model, "trim", "ship");
    AddJoint(model, "Root", "", 0, 0);
    AddJoint(model, "Hull", "Root", 5, 0.3f);
    AddJoint(model, "Gun", "Hull", 2, -0.2f);
    auto ship = std::make_unique<MultiMesh>();
    ship->name.Set("ship");
    ship->parentName.Set("Gun");
    ship->meshes.push_back(GridMesh(0, 4));
    ship->meshes.push_back(GridMesh(1, 2));
    ship->meshes.push_back(GridMesh(2, 1));
    model.multiMeshes.push_back(std::move(ship));
    auto gob = std::make_unique<MultiMesh>();
    gob->kind = 1;
    gob->name.Set("debris");
    gob->parentName.Set("Hull");
    gob->meshes.push_back(GridMesh(0, 1, 300));
    model.goblinMeshes.push_back(std::move(gob));

    long triangles = 0, vertices = 0, meshes = 0;
    for (const auto* list : {&model.multiMeshes, &model.goblinMeshes})
        for (const auto& mm : *list)
            for (const auto& mesh : mm->meshes) {
                triangles += Triangles(*mesh);
                vertices += Vertices(*mesh);
                meshes += 1;
            }

    TempFolder tmp;
    std::string output;
    const std::string dae = Convert(model, tmp, &output);
    ASSERT_TRUE(fs::exists(dae)) << output;

    std::vector<std::string> all;
    const std::vector<std::string> errors = DaeSchemaErrors(dae, &all);
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
    // Every vertex position of the model is distinct, so each is one entry.
    EXPECT_EQ(py.Count("positions"), vertices);
    EXPECT_EQ(py.Count("materials"), 2);
    // ROOT_INFO with its 2 information nodes, 3 LOD roots, JNT[Hull], JNT[Gun],
    // 3 ship instances and 1 goblin instance.
    EXPECT_EQ(py.Count("nodes"), 1 + 2 + 3 + 2 + 3 + 1);
    EXPECT_EQ(py.Count("errors"), 0) << py.output;
}

// The schema check reports what the fixed format does not account for, and
// only that.
TEST(DaeChecks, SchemaErrorsLeaveOutOnlyWhatTheFormatImplies) {
    TempFolder tmp;
    const std::string path = tmp / "t.dae";
    std::ofstream(path) << R"(<?xml version="1.0" encoding="utf-8" standalone="no" ?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset><contributor><author>VORDA</author></contributor><unit meter="0.010000" name="centimeter" /><up_axis>Y_UP</up_axis></asset>
 <library_images />
 <library_animations>
  <animation id="Gun-anim" name="Gun" />
  <animation id="Gun-other" />
 </library_animations>
 <library_visual_scenes><visual_scene id="t" name="t">
  <node name="ROOT_LOD[0]" id="ROOT_LOD[0]" sid="ROOT_LOD[0]"><translate sid="translate">0 0 0</translate><extra><technique profile="FCOLLADA"><visibility>1.000000</visibility></technique></extra>
   <node name="JNT[a]" id="JNT[a]" sid="JNT[a]"><bogus/></node>
  </node>
  <node name="SUB_PARAMS" id="SUB_PARAMS"/>
  <node name="SUB_PARAMS" id="SUB_PARAMS"/>
  <node name="plain name" id="plain"/>
 </visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#t"/></scene>
</COLLADA>
)";
    std::vector<std::string> all;
    const std::vector<std::string> errors = DaeSchemaErrors(path, &all);
    std::string joined;
    for (const std::string& e : errors) joined += e + "\n";
    ASSERT_EQ(errors.size(), 3u) << joined;
    EXPECT_NE(errors[0].find("animation"), std::string::npos) << joined;  // an empty one not named "-anim"
    EXPECT_EQ(errors[0].find(path + ":"), 0u) << joined;
    EXPECT_NE(errors[1].find("bogus"), std::string::npos) << joined;
    EXPECT_NE(errors[2].find("'plain name'"), std::string::npos) << joined;
    EXPECT_GT(all.size(), errors.size());

    const std::vector<std::string> missing = DaeSchemaErrors(tmp / "none.dae");
    EXPECT_FALSE(missing.empty());
}
