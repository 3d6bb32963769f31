// Multi meshes, goblin meshes and glows taken back from the scene: compared
// field by field with the model the scene was built from (through the
// model writer and the reader), and built again into the same scene meshes
// and facts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "core/output.h"
#include "model/joints.h"
#include "model/mesh_info.h"
#include "scene/check_scene.h"
#include "scene/mesh_facts.h"
#include "scene/names.h"
#include "scene/scene_equal.h"
#include "scene/way_back.h"
#include "tests/support/edge_models.h"
#include "tests/support/test_util.h"

namespace {

template <typename T>
void CopyList(const OwnedList<T>& from, OwnedList<T>& to) {
    for (const auto& item : from) to.push_back(item ? std::make_unique<T>(*item) : nullptr);
}

// The objects the mesh step does not make: what the other steps give it.
std::unique_ptr<Model> Objects(const Model& model) {
    auto base = std::make_unique<Model>();
    base->type = 0;
    base->version = model.version;
    CopyList(model.materials, base->materials);
    CopyList(model.images, base->images);
    CopyList(model.joints, base->joints);
    ResolveJoints(*base);
    return base;
}

// The scene alone: the DAE and glTF round trips of the test hook are the
// encoders' concern.
std::unique_ptr<Scene> Build(const Model& model) {
    SetSceneBuiltHook(nullptr);
    CapturedOutput quiet;
    std::unique_ptr<Scene> scene = BuildScene(model, SceneOptions());
    SetSceneBuiltHook(CheckSceneBuilt);
    if (scene) {
        EXPECT_EQ(CheckScene(*scene), std::vector<std::string>());
    }
    return scene;
}

// The meshes back on the original's other objects, written and read back.
std::unique_ptr<Model> MeshesBack(const Model& original, const Scene& scene, WayBackReport& report) {
    std::unique_ptr<Model> back = Objects(original);
    WayBack step(scene, *back, report);
    MeshesFromScene(step);
    std::vector<std::string> problems;
    std::unique_ptr<Model> read = ReadZemChecked(BuildZem(*back), &problems);
    EXPECT_TRUE(read);
    if (!read) return back;
    EXPECT_EQ(problems, std::vector<std::string>());
    for (const std::string& named : read->damage.named)  // (an image may be damaged: not the meshes' concern)
        EXPECT_TRUE(named.find("mesh") == std::string::npos && named.find("glow") == std::string::npos) << named;
    ResolveJoints(*read);
    return read;
}

using Triangle = std::array<uint32_t, 3>;

std::vector<Triangle> TrianglesInRange(const MeshPart& part) {
    std::vector<Triangle> triangles;
    ForEachGroupTriangle(part.groups, [&](uint32_t a, uint32_t b, uint32_t c) {
        const uint32_t n = uint32_t(part.vertexCount);
        if (a < n && b < n && c < n) triangles.push_back({a, b, c});
    });
    return triangles;
}

std::string PartDifference(const MeshPart& a, const MeshPart& b, float tangentTolerance) {
    if (a.materialIndex != b.materialIndex) return "material " + std::to_string(b.materialIndex);
    if (a.format != b.format) return "format " + std::to_string(b.format);
    if (a.stride != b.stride) return "stride " + std::to_string(b.stride);
    if (a.vertexCount != b.vertexCount) return "vertex count " + std::to_string(b.vertexCount);
    if (a.vertices.size() != b.vertices.size()) return "vertex values";
    const VertexLayoutInfo layout = VertexLayout(a.format);
    for (size_t v = 0; v < size_t(a.vertexCount); ++v)
        for (int32_t k = 0; k < a.stride; ++k) {
            const float x = a.vertices[v * size_t(a.stride) + size_t(k)], y = b.vertices[v * size_t(a.stride) + size_t(k)];
            const bool derived = (a.format & kFormatTangent && k >= layout.tangent && k < layout.tangent + 3) ||
                                 (a.format & kFormatBinormal && k >= layout.binormal && k < layout.binormal + 3);
            if (derived ? !(std::fabs(x - y) <= tangentTolerance) : std::memcmp(&x, &y, 4) != 0)
                return "vertex " + std::to_string(v) + " number " + std::to_string(k) + ": " + FormatG(x) +
                       " != " + FormatG(y);
        }
    if (TrianglesInRange(a) != TrianglesInRange(b)) return "triangles";
    if (b.groups.size() != 1 || b.groups[0].type != kPrimTriList) return "not one triangle list";
    return "";
}

std::string MeshDifference(const Mesh& a, const Mesh& b, float tangentTolerance) {
    if (a.lod != b.lod) return "lod " + std::to_string(b.lod);
    if (a.parts.size() != b.parts.size()) return "part count " + std::to_string(b.parts.size());
    for (size_t p = 0; p < a.parts.size(); ++p) {
        const std::string d = PartDifference(a.parts[p], b.parts[p], tangentTolerance);
        if (!d.empty()) return "part " + std::to_string(p) + ": " + d;
    }
    return "";
}

// The first difference in multi meshes, goblin meshes and glows.
std::string MeshesDifference(const Model& a, const Model& b, float tangentTolerance = 0) {
    auto lists = [&](const OwnedList<MultiMesh>& x, const OwnedList<MultiMesh>& y, const char* what) -> std::string {
        if (x.size() != y.size()) return std::string(what) + " count " + std::to_string(y.size());
        for (size_t i = 0; i < x.size(); ++i) {
            const std::string at = std::string(what) + " " + std::to_string(i);
            if (x[i]->kind != y[i]->kind || x[i]->name.value != y[i]->name.value) return at + " name " + y[i]->name.value;
            if (x[i]->parentName.value != y[i]->parentName.value) return at + " joint " + y[i]->parentName.value;
            if (x[i]->meshes.size() != y[i]->meshes.size()) return at + " levels";
            for (size_t l = 0; l < x[i]->meshes.size(); ++l) {
                const std::string d = MeshDifference(*x[i]->meshes[l], *y[i]->meshes[l], tangentTolerance);
                if (!d.empty()) return at + " level " + std::to_string(l) + ": " + d;
            }
        }
        return "";
    };
    std::string d = lists(a.multiMeshes, b.multiMeshes, "multi mesh");
    if (d.empty()) d = lists(a.goblinMeshes, b.goblinMeshes, "goblin mesh");
    if (!d.empty()) return d;
    if (a.glows.size() != b.glows.size()) return "glow count";
    for (size_t i = 0; i < a.glows.size(); ++i) {
        const Glow &x = *a.glows[i], &y = *b.glows[i];
        const std::string at = "glow " + std::to_string(i);
        if (x.name.value != y.name.value || x.parentName.value != y.parentName.value || x.lod != y.lod)
            return at + " " + y.name.value + " " + y.parentName.value + " " + std::to_string(y.lod);
        if (!x.mesh != !y.mesh) return at + " mesh";
        if (x.mesh) d = MeshDifference(*x.mesh, *y.mesh, tangentTolerance);
        if (!d.empty()) return at + ": " + d;
    }
    return "";
}

// The scenes' meshes (engine shapes and collision meshes aside) and the
// facts of the nodes instantiating them and of the meshes no node places.
Scene MeshesOf(const Scene& scene) {
    Scene part;
    for (const SceneMesh& mesh : scene.meshes)
        if (!mesh.positionsOnly) part.meshes.push_back(mesh);
    for (const SceneNode& node : scene.nodes)
        if (node.mesh >= 0 && !scene.meshes[size_t(node.mesh)].positionsOnly) {
            SceneNode copy;
            copy.name = node.name;
            copy.mesh = node.mesh;
            copy.facts = node.facts;
            std::copy(node.translation, node.translation + 3, copy.translation);
            std::copy(node.rotation, node.rotation + 3, copy.rotation);
            part.nodes.push_back(copy);
        }
    for (const SceneFact& fact : scene.facts)
        if (fact.key.compare(0, 4, "mesh") == 0 || fact.key == kEmptyMeshesFact) part.facts.push_back(fact);
    return part;
}

// A model as the reader gives it.
std::unique_ptr<Model> Read(const Model& model) {
    std::unique_ptr<Model> read = ReadZemChecked(BuildZem(model), nullptr);
    ResolveJoints(*read);
    return read;
}

TEST(MeshesWayBack, LevelsPartsAndGlowsComeBackAndBuildTheSameMeshes) {
    struct Case {
        const char* name;
        std::unique_ptr<Model> model;
    };
    Case cases[] = {{"sample", Read(*BuildSampleModel())}, {"rich", Read(*RichModel())}, {"edges", MeshEdgeModel()}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<Scene> scene = Build(*c.model);
        ASSERT_TRUE(scene);
        WayBackReport report;
        const std::unique_ptr<Model> back = MeshesBack(*c.model, *scene, report);
        EXPECT_EQ(report.defaults, std::vector<std::string>());
        // The edge model's tangents lie exactly along its axes.
        EXPECT_EQ(MeshesDifference(*c.model, *back, 1e-6f), "");
        // Built again on the same joints and materials: the same meshes.
        std::unique_ptr<Model> again = Objects(*c.model);
        again->multiMeshes = std::move(back->multiMeshes);
        again->goblinMeshes = std::move(back->goblinMeshes);
        again->glows = std::move(back->glows);
        const std::unique_ptr<Scene> rebuilt = Build(*again);
        ASSERT_TRUE(rebuilt);
        EXPECT_EQ(SceneDifference(MeshesOf(*scene), MeshesOf(*rebuilt)), "");
    }
}

TEST(MeshesWayBack, NamesReadBackAsWritten) {
    MultiMesh mm;
    for (const std::string& name :
         std::vector<std::string>{"Hull", "", "a]_LOD[1]b", "Odd & <Ends> \x93q\x94", std::string(70, 'x')}) {
        mm.name.Set(name);
        std::string got;
        int32_t lod = 0;
        EXPECT_TRUE(ParseMultiMeshName(MultiMeshName(mm, -3), got, lod) && got == name && lod == -3) << name;
        EXPECT_TRUE(ParseGoblinMeshName(GoblinMeshName(mm), got) && got == name) << name;
        Glow glow;
        glow.name.Set(name);
        glow.lod = 0xFFFFFFFFu;
        uint32_t glowLod = 0;
        EXPECT_TRUE(ParseGlowName(GlowName(glow), got, glowLod) && got == name && glowLod == glow.lod) << name;
    }
    std::string got;
    int32_t lod = 0;
    uint32_t glowLod = 0;
    for (const char* wrong : {"MULT[a]", "MULT[a]_LOD[]", "MULT[a]_LOD[1x]", "MULT[a]_LOD[99999999999]", "GOBG[a"})
        EXPECT_FALSE(ParseMultiMeshName(wrong, got, lod) || ParseGlowName(wrong, got, glowLod)) << wrong;
    EXPECT_FALSE(ParseGoblinMeshName("GOBG[a", got));
    EXPECT_FALSE(ParseGoblinMeshName("MULT[a]", got));
    size_t level = 0;
    int32_t version = 0;
    EXPECT_FALSE(ParseLodRootName("ROOT_LOD[1x]", level) || ParseLodRootName("ROOT_LOD[-1]", level) || ParseVersionInfoName("Class[MultiMesh]_Version[3 ]", version) ||
                 ParseFlamePointName("Flame[1]_Div[2.5]", glowLod, glowLod));
}

// What a modelling package may do to the scene: bind another material,
// delete a mesh's node, drop every fact, hand over a list larger than 16-bit
// indices reach.
TEST(MeshesWayBack, EditsAndLostFactsAndLargeLists) {
    const std::unique_ptr<Model> sample = Read(*BuildSampleModel());
    {
        std::unique_ptr<Scene> scene = Build(*sample);
        // The hull's first list bound to the material of the turret.
        scene->meshes[0].triangles[0].material = scene->meshes[3].triangles[0].material;
        // The canopy's node deleted: its mesh stays in the document unused.
        for (SceneNode& node : scene->nodes)
            if (node.name == "MULT[Canopy]_LOD[0]") node.mesh = -1;
        WayBackReport report;
        const std::unique_ptr<Model> back = MeshesBack(*sample, *scene, report);
        ASSERT_EQ(back->multiMeshes.size(), sample->multiMeshes.size() - 1);
        for (const auto& multi : back->multiMeshes) EXPECT_NE(multi->name.value, "Canopy");
        EXPECT_EQ(back->multiMeshes[0]->meshes[0]->parts[0].materialIndex,
                  sample->multiMeshes[1]->meshes[0]->parts[0].materialIndex);
        EXPECT_EQ(back->multiMeshes[0]->meshes[0]->parts[1].materialIndex,
                  sample->multiMeshes[0]->meshes[0]->parts[1].materialIndex);
    }
    {
        std::unique_ptr<Scene> scene = Build(*sample);
        for (SceneNode& node : scene->nodes) node.facts.clear();
        scene->facts.clear();
        WayBackReport report;
        const std::unique_ptr<Model> back = MeshesBack(*sample, *scene, report);
        EXPECT_EQ(report.defaults,
                  (std::vector<std::string>{"part vertex formats", "mesh parent joints", "part materials"}));
        // The levels come back with their parts, joints and materials; what
        // the formats held beyond the streams (three-wide numbers) does not.
        ASSERT_EQ(back->multiMeshes.size(), sample->multiMeshes.size());
        EXPECT_EQ(back->multiMeshes[0]->meshes.size(), 3u);
        EXPECT_EQ(back->multiMeshes[0]->parentName.value, "Hull");
        EXPECT_EQ(back->glows.size(), sample->glows.size());
        EXPECT_EQ(back->multiMeshes[0]->meshes[0]->parts[1].materialIndex, 1);
        // The hull's material has a normal map: its parts get tangents and binormals.
        EXPECT_EQ(back->multiMeshes[0]->meshes[0]->parts[0].format, 0x600Bu);
    }
    {
        // Lists whose vertex number stands for every stream, as a glTF read
        // back has them: every vertex its own values, no tables.
        SetSceneBuiltHook(nullptr);
        std::unique_ptr<Scene> scene = BuildScene(*sample, [] {
            SceneOptions own;
            own.deduplicate = false;
            return own;
        }());
        SetSceneBuiltHook(CheckSceneBuilt);
        for (SceneMesh& mesh : scene->meshes)
            for (SceneTriangles& list : mesh.triangles) {
                if (mesh.positionsOnly || list.table.empty()) continue;
                for (uint32_t& corner : list.corners) corner += uint32_t(list.table[0]);
                list.table.clear();
            }
        WayBackReport report;
        EXPECT_EQ(MeshesDifference(*sample, *MeshesBack(*sample, *scene, report)), "");
    }
    // One list of as many vertices as 16-bit indices reach stays one part;
    // one of 70,000 (the last few unused) becomes two.
    for (const auto& [vertices, parts] : {std::make_pair(65536, size_t(1)), std::make_pair(70000, size_t(2))}) {
        SCOPED_TRACE(vertices);
        Scene scene;
        SceneMesh mesh;
        mesh.name = "MULT[Big]_LOD[0]";
        mesh.hasPositions = true;
        mesh.components = 1;
        SceneTriangles list;
        for (int32_t v = 0; v < vertices; ++v) {
            mesh.positions.insert(mesh.positions.end(), {float(v), float(v % 7), 0});
            list.table.push_back(v);
        }
        for (uint32_t t = 0; t + 12 < uint32_t(vertices); ++t)
            list.corners.insert(list.corners.end(), {t, t + 2, t + 1});
        if (parts == 1) list.corners.insert(list.corners.end(), {0, uint32_t(vertices) - 1, 1});
        list.count = int64_t(list.corners.size() / 3);
        mesh.triangles.push_back(list);
        scene.meshes.push_back(mesh);
        SceneNode node;
        node.name = mesh.name;
        node.mesh = 0;
        scene.nodes.push_back(node);
        scene.roots.push_back(0);
        Model model;
        WayBackReport report;
        WayBack step(scene, model, report);
        MeshesFromScene(step);
        ASSERT_EQ(model.multiMeshes.size(), 1u);
        size_t triangles = 0;
        bool same = true;
        for (const MeshPart& part : model.multiMeshes[0]->meshes[0]->parts) {
            EXPECT_LE(part.vertexCount, 65536);
            ForEachGroupTriangle(part.groups, [&](uint32_t a, uint32_t b, uint32_t c) {
                const uint32_t* at = &list.corners[triangles++ * 3];
                for (const auto& pair : {std::make_pair(a, at[0]), std::make_pair(b, at[1]), std::make_pair(c, at[2])})
                    same = same && part.vertices[pair.first * 4] == float(pair.second);
            });
        }
        EXPECT_EQ(model.multiMeshes[0]->meshes[0]->parts.size(), parts);
        EXPECT_EQ(triangles, size_t(list.count));
        EXPECT_TRUE(same);
    }
}

}  // namespace
