// Foreign scenes made by hand as the readers make them, adopted, taken back
// to a model, written and read again: the game's layout and no default left.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "model/joints.h"
#include "model/read_model.h"
#include "scene/check_scene.h"
#include "scene/foreign_scene.h"
#include "scene/model_from_scene.h"
#include "tests/support/test_util.h"

namespace {

int32_t Node(Scene& scene, int32_t parent, const std::string& name, float z = 0, int32_t mesh = -1) {
    const float t[3] = {0, 0, z};
    const int32_t n = scene.AddNode(parent, name, t, nullptr);
    return scene.nodes[size_t(n)].mesh = mesh, n;
}

// `count` separate triangles, each of its own three vertices, numbered
// directly (no table), as a glTF primitive reads; a bare one holds
// positions alone.
int32_t Mesh(Scene& scene, const std::string& name, size_t count, bool bare = false) {
    SceneMesh mesh;
    mesh.name = name;
    mesh.hasPositions = true;
    mesh.hasNormals = mesh.hasTexCoords = !bare;
    mesh.components = bare ? 1 : 3;
    SceneTriangles list;
    list.count = int64_t(count);
    for (size_t t = 0; t < count; ++t) {
        const float x = float(t);
        mesh.positions.insert(mesh.positions.end(), {x, 0, 0, x + 1, 0, 0, x, 1, 0});
        if (bare) continue;
        mesh.normals.insert(mesh.normals.end(), {0, 0, 1, 0, 0, 1, 0, 0, 1});
        mesh.texCoords.insert(mesh.texCoords.end(), {0, 0, 1, 0, 0, 1});
    }
    for (uint32_t k = 0; k < count * 3; ++k) list.corners.push_back(k);
    mesh.triangles.push_back(std::move(list));
    scene.meshes.push_back(std::move(mesh));
    return int32_t(scene.meshes.size() - 1);
}

// A curve of the node's translation along Y and the clip playing it.
void Animate(Scene& scene, int32_t node, const char* clip) {
    SceneCurve curve;
    curve.node = node;
    curve.property = CurveProperty::kTranslateY;
    for (double t : {0.0, 0.5, 1.25}) curve.data.keys.push_back({t, 300 * t});
    scene.curves.push_back(curve);
    if (clip) scene.clips.push_back({clip, 0, 1.25, 0, 1.25, {{scene.nodes[size_t(node)].name, {int32_t(scene.curves.size() - 1)}}}});
}

struct Case {
    const char* name;
    std::function<void(Scene&)> make;
    const char* error;    // a part of the adoption's refusal; null when it adopts
    std::string model;    // Describe() of the model read back
    std::vector<const char*> notes;  // a part of one note line each
    std::function<void(const Model&)> check = nullptr;
};

// Joints "name<parent", multi meshes "name:levels:parts of level 0",
// markers "@name<joint", curves and clips "clip:tracks", in the model's order.
std::string Describe(const Model& m) {
    std::string text;
    auto add = [&](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    for (const auto& j : m.joints) add(j->name.value + "<" + j->parentName.value);
    for (const auto& mm : m.multiMeshes)
        add(mm->name.value + ":" + std::to_string(mm->meshes.size()) + ":" + std::to_string(mm->meshes[0]->parts.size()));
    for (const auto& k : m.markers) add("@" + k->name.value + "<" + k->parentName.value);
    if (!m.animation) return text;
    for (const auto& curve : m.animation->curves) add(curve->name.value);
    for (const auto& clip : m.animation->clips) {
        add(clip->name.value + ":");
        for (const auto& track : clip->tracks) text += track->name.value;
    }
    return text;
}

TEST(Adopt, ForeignScenesBecomeGameModels) {
    const Case cases[] = {
        {"plain tree",
         [](Scene& s) {
             // The file's own top "Root" is the model's.
             const int32_t ship = Node(s, Node(s, -1, "Root"), "Ship", 5);
             Node(s, ship, "Sphere", 2, Mesh(s, "SphereMesh", 2));
             Node(s, Node(s, ship, "Cube", 0, Mesh(s, "CubeMesh", 1)), "Detail", 1);
         },
         nullptr, "Root< Ship<Root Cube<Ship Sphere<Ship Detail<Cube Sphere:1:1 Cube:1:1", {}},
        {"grammar names keep their meaning",
         [](Scene& s) {
             const int32_t turret = Node(s, -1, "JNT[Turret]", 1, Mesh(s, "t", 1));
             Node(s, -1, "MULT[Hull]_LOD[1]", 0, Mesh(s, "h1", 1));
             Node(s, -1, "Hull", 3, Mesh(s, "h0", 3));
             Node(s, turret, "MARK[Exhaust]", 2);
         },
         nullptr, "Root< Hull<Root Turret<Root Turret:1:1 Hull:2:1 @Exhaust<Turret", {"Marker Exhaust"},
         [](const Model& m) {  // level 1 stood at the root, 3 below the joint Hull it now hangs from
             EXPECT_FLOAT_EQ(m.multiMeshes[1]->meshes[1]->parts[0].vertices[2], -3.0f);
         }},
        {"names the grammar cannot hold",
         [](Scene& s) {
             for (const char* name : {"A[1]", "Gun", "", "gun"}) Node(s, -1, name);
             Node(s, 1, "Gun", 0, Mesh(s, "g", 1));
         },
         nullptr, "Root< A(1)<Root Gun<Root gun.2<Root Joint<Root Gun.1<Gun Gun.1:1:1",
         {"Node A[1] becomes joint A(1) - the game's names hold no brackets",
          "Node Gun becomes joint Gun.1 - another joint", "becomes joint Joint - it has no name", "joint gun.2"}},
        {"mesh without normals or texture coordinates",
         [](Scene& s) { Node(s, -1, "Bare", 0, Mesh(s, "Bare", 1, true)); }, nullptr, "Root< Bare<Root Bare:1:1",
         {"Mesh Bare has no normals", "Mesh Bare has no texture coordinates"}},
        {"part over 65,535 vertices",
         [](Scene& s) { Node(s, -1, "Big", 0, Mesh(s, "Big", 23334)); }, nullptr, "Root< Big<Root Big:1:2", {}},
        {"animated nodes",
         [](Scene& s) {
             const int32_t ship = Node(s, -1, "Ship");
             Animate(s, ship, "Move");
             Animate(s, Node(s, ship, "Wing", 0, Mesh(s, "w", 1)), nullptr);
             Animate(s, Node(s, ship, "MARK[Light]"), nullptr);
         },
         nullptr, "Root< Ship<Root Wing<Ship Wing:1:1 @Light<Ship Ship_translateY Wing_translateY Move:Ship Animation:Wing",
         {"Animation of node MARK[Light] left out", "given the clip Animation"}},
        {"a 1000-deep chain",
         [](Scene& s) {
             int32_t n = -1;
             for (int i = 0; i < 1000; ++i) n = Node(s, n, "J" + std::to_string(i), 1, i == 999 ? Mesh(s, "tip", 1) : -1);
         },
         "its node tree nests 1000 levels deep", "", {}},
        {"no triangle", [](Scene& s) { Node(s, -1, "Empty"); }, "it holds no triangle", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        c.make(scene);
        std::string error;
        const bool adopted = AdoptForeignScene(scene, &error);
        EXPECT_TRUE(c.error ? !adopted && error.find(c.error) != std::string::npos : adopted) << error;
        if (!adopted) continue;
        EXPECT_FALSE(IsForeignScene(scene));
        EXPECT_EQ(CheckScene(scene), std::vector<std::string>());
        for (const char* note : c.notes)
            EXPECT_TRUE(std::any_of(scene.notes.begin(), scene.notes.end(),
                                    [&](const std::string& line) { return line.find(note) != std::string::npos; }))
                << note;
        WayBackReport report;
        std::unique_ptr<Model> back = ModelFromScene(scene, report);
        EXPECT_EQ(report.defaults, std::vector<std::string>());
        std::vector<std::string> problems;
        std::unique_ptr<Model> read = ReadZemChecked(BuildZem(*back), &problems);
        ASSERT_TRUE(read);
        EXPECT_EQ(problems, std::vector<std::string>());
        EXPECT_FALSE(read->damage) << read->damage.first;
        if (back->animation) read->animation = ReadMadChecked(BuildMad(*back->animation), &problems);
        ResolveJoints(*read);
        EXPECT_EQ(Describe(*read), c.model);
        for (const auto& mm : read->multiMeshes)
            for (const auto& mesh : mm->meshes)
                for (const MeshPart& part : mesh->parts) {
                    EXPECT_LE(part.vertexCount, 65536);
                    // Every normal (made or not) is unit length; the hand-made triangles face +Z.
                    for (int32_t v = 0; v < part.vertexCount; ++v)
                        EXPECT_FLOAT_EQ(part.vertices[size_t(v * part.stride + 6)], 1.0f);
                }
        for (size_t k = 0; read->animation && k < read->animation->curves.size(); ++k)
            EXPECT_EQ(read->animation->curves[k]->keys.back().value, 375.0);
        if (c.check) c.check(*read);
        // The game model's own scene: its curves drive the joints' nodes.
        std::unique_ptr<Scene> again = BuildScene(*read, SceneOptions());
        for (const SceneCurve& curve : again->curves)
            EXPECT_EQ(curve.node < 0 ? "" : again->nodes[size_t(curve.node)].name, "JNT[" + curve.joint + "]");
    }
}

}  // namespace
