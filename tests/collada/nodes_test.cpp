#include "collada/nodes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tests/collada/xml_query.h"

namespace {

Joint* AddJoint(Model& model, const char* name, const char* parent, std::array<float, 3> position = {0, 0, 0},
                std::array<float, 3> rotation = {0, 0, 0}, std::array<float, 3> axis = {0, 0, 0}) {
    auto j = std::make_unique<Joint>();
    j->index = int32_t(model.joints.size());
    j->name.Set(name);
    j->parentName.Set(parent);
    for (int i = 0; i < 3; ++i) {
        j->position[i] = position[i];
        j->rotation[i] = rotation[i];
        j->axis[i] = axis[i];
    }
    model.joints.push_back(std::move(j));
    return model.joints.back().get();
}

void AddMaterial(Model& model, const char* name, const char* shader) {
    auto m = std::make_unique<Material>();
    m->index = int32_t(model.materials.size());
    m->name.Set(name);
    m->shader.Set(shader);
    model.materials.push_back(std::move(m));
}

// A mesh of one triangle (positions only) spanning x0..x1 in local space.
std::unique_ptr<Mesh> SpanMesh(int32_t lod, float x0, float x1, int32_t material = 0) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = lod;
    MeshPart part;
    part.materialIndex = material;
    part.format = 0x0001;
    part.stride = 4;
    part.vertexCount = 3;
    part.vertices = {x0, 0, 0, 1, x1, 0, 0, 1, x0, 1, 0, 1};
    PrimitiveGroup g;
    g.type = 0x0202;
    g.indexCount = 3;
    g.indices = {0, 1, 2};
    part.groups.push_back(g);
    mesh->parts.push_back(std::move(part));
    return mesh;
}

MultiMesh* AddMulti(Model& model, const char* name, const char* parent, int levels, float x0 = -1, float x1 = 1,
                    bool goblin = false) {
    auto mm = std::make_unique<MultiMesh>();
    mm->kind = goblin ? 1 : 0;
    mm->name.Set(name);
    mm->parentName.Set(parent);
    for (int i = 0; i < levels; ++i) mm->meshes.push_back(SpanMesh(i, x0, x1));
    auto& list = goblin ? model.goblinMeshes : model.multiMeshes;
    list.push_back(std::move(mm));
    return list.back().get();
}

struct Written {
    TiXmlElement scene{"visual_scene"};
    TiXmlElement library{"library_geometries"};
    DaeState state;
    explicit Written(Model& model) {
        state.model = &model;
        state.visualScene = &scene;
        state.libraryGeometries = &library;
        WriteNodeHierarchy(state);
    }
    const TiXmlElement* Node(const std::string& id) const { return FindByAttr(&scene, "id", id); }
};

float TranslateX(const TiXmlElement* node) {
    float x = NAN, y = NAN, z = NAN;
    const std::string text = TextOf(node ? node->FirstChildElement("translate") : nullptr);
    std::sscanf(text.c_str(), "%f %f %f", &x, &y, &z);
    return x;
}

std::string RotateText(const TiXmlElement* node, const char* sid) {
    for (const TiXmlElement* r : Kids(node, "rotate"))
        if (Attr(r, "sid") == sid) return TextOf(r);
    return "<none>";
}


}  // namespace

TEST(NodeHierarchy, RootLayoutAlongX) {
    Model model;
    AddMaterial(model, "m", "s");
    AddJoint(model, "Root", "");
    AddJoint(model, "Hull", "Root", {1, 2, 3});
    // Local -6..4 placed by Hull at x + 1: the model spans -5..5, width 10.
    AddMulti(model, "ship", "Hull", 3, -6, 4);
    auto col = std::make_unique<CollisionMesh>();
    col->parentName.Set("Hull");
    col->vertexCount = 2;
    col->vertices = {0, 0, 0, 1, 1, 1};
    model.collisionMeshes.push_back(std::move(col));
    Written w(model);

    EXPECT_EQ(ChildNodeNames(&w.scene),
              (std::vector<std::string>{"ROOT_COL", "ROOT_INFO", "ROOT_LOD[0]", "ROOT_LOD[1]", "ROOT_LOD[2]"}));
    EXPECT_EQ(TranslateX(w.Node("ROOT_COL")), -25.0f);
    EXPECT_EQ(TranslateX(w.Node("ROOT_LOD[0]")), 0.0f);
    EXPECT_EQ(TranslateX(w.Node("ROOT_LOD[1]")), 15.0f);
    EXPECT_EQ(TranslateX(w.Node("ROOT_LOD[2]")), 30.0f);
    EXPECT_EQ(TextOf(w.Node("ROOT_LOD[2]")->FirstChildElement("translate")), "30.000000 0.000000 0.000000");
    EXPECT_EQ(w.state.rootCol, w.Node("ROOT_COL"));
    EXPECT_EQ(w.state.rootInfo, w.Node("ROOT_INFO"));
    ASSERT_EQ(w.state.lodRoots.size(), 3u);
    EXPECT_EQ(w.state.unionMask, 0x0001u);
    EXPECT_EQ(Kids(&w.library, "geometry").size(), 3u);
}

TEST(NodeHierarchy, DockPointsWidenTheSceneNotTheWidth) {
    Model model;
    AddJoint(model, "Root", "");
    AddMulti(model, "ship", "Root", 2, -5, 5);
    auto dock = std::make_unique<DockPath>();
    DockSegment far;
    far.position[0] = 20;
    DockSegment near;
    near.position[0] = -30;
    dock->segments = {far, near};
    dock->segmentCount = 2;
    model.dockPaths.push_back(std::move(dock));
    Written w(model);
    // x1 = (maxX' - minX) + 0.5 width = (20 + 5) + 5.
    EXPECT_EQ(TranslateX(w.Node("ROOT_LOD[1]")), 30.0f);
    EXPECT_EQ(w.Node("ROOT_COL"), nullptr);
    EXPECT_EQ(ChildNodeNames(&w.scene).front(), "ROOT_INFO");
}

TEST(NodeHierarchy, EmptyModelsAndLevelsWithoutPoints) {
    {
        SCOPED_TRACE("no mesh at all: one LOD root at the origin");
        Model model;
        Written w(model);
        EXPECT_EQ(ChildNodeNames(&w.scene), (std::vector<std::string>{"ROOT_INFO", "ROOT_LOD[0]"}));
        EXPECT_EQ(TextOf(w.Node("ROOT_LOD[0]")->FirstChildElement("translate")), "0.000000 0.000000 0.000000");
        EXPECT_EQ(w.state.unionMask, 0u);
    }
    {
        SCOPED_TRACE("levels whose meshes hold no point are laid out from zero, not from infinities");
        Model model;
        auto mm = std::make_unique<MultiMesh>();
        mm->name.Set("hollow");
        mm->meshes.push_back(std::make_unique<Mesh>());
        mm->meshes.push_back(std::make_unique<Mesh>());
        model.multiMeshes.push_back(std::move(mm));
        Written w(model);
        EXPECT_EQ(TextOf(w.Node("ROOT_LOD[1]")->FirstChildElement("translate")), "0.000000 0.000000 0.000000");
    }
}

TEST(NodeHierarchy, RootJointIsTheLodRootAndAxisNodes) {
    Model model;
    AddJoint(model, "Gun", "Hull", {0, 0, 4});
    AddJoint(model, "Hull", "root", {1, 2, 3}, {0, 1, 0}, {0, 0.5f, 0});
    AddJoint(model, "Root", "");
    Written w(model);

    const TiXmlElement* lod0 = w.Node("ROOT_LOD[0]");
    EXPECT_EQ(w.Node("JNT[Root]"), nullptr);
    EXPECT_EQ(ChildNodeNames(lod0), std::vector<std::string>{"JNT[Hull]"});
    const TiXmlElement* hull = w.Node("JNT[Hull]");
    ASSERT_NE(hull, nullptr);
    EXPECT_EQ(TextOf(hull->FirstChildElement("translate")), "1.000000 2.000000 3.000000");
    EXPECT_EQ(RotateText(hull, "rotateY"), "0 1 0 85.943665");
    // The axis node comes first; child joints hang from the JNT node itself.
    EXPECT_EQ(ChildNodeNames(hull), (std::vector<std::string>{"AXIS[Hull]", "JNT[Gun]"}));
    const TiXmlElement* axis = w.Node("AXIS[Hull]");
    EXPECT_EQ(RotateText(axis, "rotateY"), "0 1 0 28.647888");
    EXPECT_EQ(TextOf(axis->FirstChildElement("translate")), "0.000000 0.000000 0.000000");
    EXPECT_TRUE(ChildNodeNames(w.Node("JNT[Gun]")).empty());

    // The table of joint nodes follows the sorted order: Root, Hull, Gun.
    ASSERT_EQ(w.state.jointNodes.size(), 3u);
    EXPECT_EQ(w.state.jointNodes[0], lod0);
    EXPECT_EQ(w.state.jointNodes[1], hull);
    EXPECT_EQ(w.state.jointNodes[2], w.Node("JNT[Gun]"));
    EXPECT_EQ(lod0->GetUserData(), model.joints[0].get());
    EXPECT_EQ(hull->GetUserData(), model.joints[1].get());
}

TEST(NodeHierarchy, LoopingJointDoesNotHideTheTree) {
    Model model;
    AddJoint(model, "Loop", "Loop");
    AddJoint(model, "Root", "");
    AddJoint(model, "Hull", "Root");
    AddJoint(model, "Ring1", "Ring2");
    AddJoint(model, "Ring2", "Ring1");
    Written w(model);
    EXPECT_EQ(ChildNodeNames(w.Node("ROOT_LOD[0]")), std::vector<std::string>{"JNT[Hull]"});
    EXPECT_EQ(w.Node("JNT[Loop]"), nullptr);
    EXPECT_EQ(w.Node("JNT[Ring1]"), nullptr);
}

TEST(JointNodes, ChildrenInListOrderAndLoopsTerminate) {
    // Parent links set by hand, as resolution leaves them.
    Model model;
    const char* names[7] = {"R", "A", "B", "A1", "B1", "C1", "C2"};
    const int32_t parents[7] = {-1, 0, 0, 1, 2, 4, 5};
    for (int i = 0; i < 7; ++i) AddJoint(model, names[i], "")->parentIndex = parents[i];
    TiXmlElement top("node");
    DaeState state;
    state.model = &model;
    WriteJointNodes(state, 0, &top);
    EXPECT_EQ(ChildNodeNames(&top), (std::vector<std::string>{"JNT[A]", "JNT[B]"}));
    EXPECT_EQ(ChildNodeNames(FindByAttr(&top, "id", "JNT[A]")), std::vector<std::string>{"JNT[A1]"});
    EXPECT_EQ(ChildNodeNames(FindByAttr(&top, "id", "JNT[B1]")), std::vector<std::string>{"JNT[C1]"});
    EXPECT_EQ(ChildNodeNames(FindByAttr(&top, "id", "JNT[C1]")), std::vector<std::string>{"JNT[C2]"});
    EXPECT_EQ(state.jointNodes[6], FindByAttr(&top, "id", "JNT[C2]"));
    EXPECT_EQ(state.jointNodes[0], nullptr);

    // Links that loop (1 -> 2 -> 1): the walk ends and writes each joint at most once.
    Model ring;
    for (int i = 0; i < 3; ++i) AddJoint(ring, names[i], "");
    ring.joints[1]->parentIndex = 2;
    ring.joints[2]->parentIndex = 1;
    TiXmlElement top2("node");
    DaeState s2;
    s2.model = &ring;
    WriteJointNodes(s2, 1, &top2);
    EXPECT_EQ(ChildNodeNames(&top2), std::vector<std::string>{"JNT[B]"});
    EXPECT_EQ(FindByAttr(&top2, "id", "JNT[A]"), nullptr);
}

// A chain of joints deeper than any skeleton (a damaged file) stops at 256
// nested joint nodes instead of writing a file quadratic in the chain length.
TEST(JointNodes, NestingIsBounded) {
    Model model;
    for (int i = 0; i < 2000; ++i)
        AddJoint(model, ("J" + std::to_string(i)).c_str(), "")->parentIndex = i - 1;
    TiXmlElement top("node");
    DaeState state;
    state.model = &model;
    WriteJointNodes(state, -1, &top);
    int depth = 0;
    for (const TiXmlElement* e = &top; (e = e->FirstChildElement("node")) != nullptr;) ++depth;
    EXPECT_EQ(depth, 256);
    EXPECT_NE(state.jointNodes[255], nullptr);
    EXPECT_EQ(state.jointNodes[256], nullptr);
}

TEST(InstanceNodes, LevelZeroUnderJointsHigherLevelsUnderLodRoots) {
    Model model;
    AddMaterial(model, "m0", "s0");
    AddMaterial(model, "m1", "s1");
    AddJoint(model, "Root", "");
    AddJoint(model, "Hull", "Root", {1, 2, 3}, {0, 0, 0.5f});
    AddJoint(model, "Gun", "Hull", {1, 0, 0});
    MultiMesh* ship = AddMulti(model, "ship", "gun", 2);
    ship->meshes[1]->parts[0].materialIndex = 1;
    Written w(model);

    const TiXmlElement* level0 = w.Node("MULT[ship]_LOD[0]");
    ASSERT_NE(level0, nullptr);
    EXPECT_EQ(level0->Parent(), w.Node("JNT[Gun]"));
    EXPECT_EQ(TextOf(level0->FirstChildElement("translate")), "0.000000 0.000000 0.000000");
    EXPECT_EQ(KidNames(level0),
              (std::vector<std::string>{"translate", "rotate", "rotate", "rotate", "instance_geometry", "extra"}));
    EXPECT_EQ(PrintXml(level0->FirstChildElement("instance_geometry")),
              "<instance_geometry url=\"#MULT[ship]_LOD[0]-lib\"><bind_material><technique_common>"
              "<instance_material symbol=\"MAT[m0]_SHD[s0]\" target=\"#MAT[m0]_SHD[s0]\" />"
              "</technique_common></bind_material></instance_geometry>");

    const TiXmlElement* level1 = w.Node("MULT[ship]_LOD[1]");
    ASSERT_NE(level1, nullptr);
    EXPECT_EQ(level1->Parent(), w.Node("ROOT_LOD[1]"));
    // World placement of Gun: (1, 0, 0) turned by 0.5 rad about Z, then moved by (1, 2, 3).
    float t[3] = {0, 0, 0};
    std::sscanf(TextOf(level1->FirstChildElement("translate")).c_str(), "%f %f %f", &t[0], &t[1], &t[2]);
    EXPECT_NEAR(t[0], 1 + std::cos(0.5), 1e-5);
    EXPECT_NEAR(t[1], 2 + std::sin(0.5), 1e-5);
    EXPECT_NEAR(t[2], 3, 1e-6);
    float z = 0;
    std::sscanf(RotateText(level1, "rotateZ").c_str(), "0 0 1 %f", &z);
    EXPECT_NEAR(z, 0.5 * 180 / 3.14159265358979, 1e-4);
    EXPECT_EQ(RotateText(level1, "rotateX"), "1 0 0 0.000000");
    EXPECT_EQ(Attr(level1->FirstChildElement("instance_geometry")
                       ->FirstChildElement("bind_material")
                       ->FirstChildElement("technique_common")
                       ->FirstChildElement("instance_material"),
                   "target"),
              "#MAT[m1]_SHD[s1]");
}

TEST(InstanceNodes, MissingJointsGoblinsAndManyLevels) {
    Model model;
    AddMaterial(model, "m", "s");
    AddJoint(model, "Root", "");
    AddJoint(model, "Hull", "Root");
    AddMulti(model, "lost", "Nowhere", 2);
    AddMulti(model, "many", "Hull", 12);
    AddMulti(model, "gob", "Hull", 2, -1, 1, true);
    AddMulti(model, "deep", "Hull", 1, -1, 1, true)->meshes.push_back(SpanMesh(1, 0, 1));
    model.goblinMeshes.back()->meshes.push_back(SpanMesh(2, 0, 1));
    Written w(model);

    // Every level gets its root, past the ten a small model needs.
    ASSERT_EQ(w.state.lodRoots.size(), 12u);
    EXPECT_NE(w.Node("ROOT_LOD[11]"), nullptr);
    for (int i = 1; i < 12; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "MULT[many]_LOD[" + std::to_string(i) + "]";
        ASSERT_NE(w.Node(name), nullptr);
        EXPECT_EQ(w.Node(name)->Parent(), w.state.lodRoots[size_t(i)]);
    }
    // A missing joint drops the level 0 instance only; the geometry stays.
    EXPECT_EQ(w.Node("MULT[lost]_LOD[0]"), nullptr);
    EXPECT_NE(FindByAttr(&w.library, "id", "MULT[lost]_LOD[0]-lib"), nullptr);
    const TiXmlElement* lost1 = w.Node("MULT[lost]_LOD[1]");
    ASSERT_NE(lost1, nullptr);
    EXPECT_EQ(TextOf(lost1->FirstChildElement("translate")), "0.000000 0.000000 0.000000");

    std::vector<const TiXmlElement*> gobs;
    FindAllByAttr(&w.scene, "id", "GOBG[gob]", gobs);
    ASSERT_EQ(gobs.size(), 2u);
    EXPECT_EQ(gobs[0]->Parent(), w.Node("JNT[Hull]"));
    EXPECT_EQ(gobs[1]->Parent(), w.Node("ROOT_LOD[1]"));
    std::vector<const TiXmlElement*> gobGeometries;
    FindAllByAttr(&w.library, "id", "GOBG[gob]-lib", gobGeometries);
    EXPECT_EQ(gobGeometries.size(), 2u);
    // Geometry order: multi meshes level by level, then goblin meshes.
    auto geometries = Kids(&w.library, "geometry");
    ASSERT_EQ(geometries.size(), 2u + 12u + 2u + 3u);
    EXPECT_EQ(Attr(geometries[0], "id"), "MULT[lost]_LOD[0]-lib");
    EXPECT_EQ(Attr(geometries[14], "id"), "GOBG[gob]-lib");
}

TEST(InstanceNodes, TargetBindsOneMaterial) {
    Model model;
    AddMaterial(model, "m", "s");
    AddJoint(model, "Root", "");
    Written w(model);
    GeometryResult geometry;
    geometry.materials = {0};
    Core_QStr root("Root");
    WriteInstanceNode(w.state, "GLOW[g]_LOD[0]", geometry, root, nullptr, "#MATGLOW[TALVE_Glow]");
    const TiXmlElement* node = w.Node("GLOW[g]_LOD[0]");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Parent(), w.Node("ROOT_LOD[0]"));
    EXPECT_EQ(PrintXml(node->FirstChildElement("instance_geometry")),
              "<instance_geometry url=\"#GLOW[g]_LOD[0]-lib\"><bind_material><technique_common>"
              "<instance_material symbol=\"MATGLOW[TALVE_Glow]\" target=\"#MATGLOW[TALVE_Glow]\" />"
              "</technique_common></bind_material></instance_geometry>");
    // Without a list or a target there is no binding at all.
    WriteInstanceNode(w.state, "BARE", GeometryResult(), root, w.state.lodRoots[0], nullptr);
    EXPECT_EQ(PrintXml(w.Node("BARE")->FirstChildElement("instance_geometry")),
              "<instance_geometry url=\"#BARE-lib\" />");
}
