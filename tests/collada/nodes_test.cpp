#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/collada/xml_query.h"

namespace {

// Position, rotation and axis of a joint.
void Place(Joint& j, std::array<float, 9> v) {
    std::copy(&v[0], &v[3], j.position);
    std::copy(&v[3], &v[6], j.rotation);
    std::copy(&v[6], &v[9], j.axis);
}

// A multi mesh whose levels are one triangle spanning x0..x1 in local space.
MultiMesh& AddMulti(Model& model, const char* name, const char* parent, int levels, float x0 = -1, float x1 = 1) {
    MultiMesh& mm = Push(model.multiMeshes, name, parent);
    for (int i = 0; i < levels; ++i) {
        mm.meshes.push_back(std::make_unique<Mesh>());
        mm.meshes.back()->lod = i;
        mm.meshes.back()->parts.push_back(PosPart(0, {x0, 0, 0, x1, 0, 0, x0, 1, 0}, {Group(0x0202, {0, 1, 2})}));
    }
    return mm;
}

struct Written {
    WrittenDae dae;
    const TiXmlElement& scene;
    const TiXmlElement& library;
    explicit Written(Model& model)
        : dae(model), scene(*dae.VisualScene()), library(*dae.Library("library_geometries")) {}
    const TiXmlElement* Node(const std::string& id) const { return Find(&scene, "id", id); }
    std::string Translate(const std::string& id) const { return TransformText(Node(id), "translate"); }
};

}  // namespace

TEST(NodeHierarchy, RootLayoutAlongX) {
    Model model;
    AddMaterial(model, "m", "s");
    AddJoint(model, "Root", "");
    Place(AddJoint(model, "Hull", "Root"), {1, 2, 3});
    AddMulti(model, "ship", "Hull", 3, -6, 4);  // placed by Hull at x + 1: -5..5, width 10
    model.collisionMeshes.push_back(std::make_unique<CollisionMesh>());
    Written w(model);
    EXPECT_EQ(ChildNames(&w.scene),
              (std::vector<std::string>{"ROOT_COL", "ROOT_INFO", "ROOT_LOD[0]", "ROOT_LOD[1]", "ROOT_LOD[2]"}));
    EXPECT_EQ(w.Translate("ROOT_COL") + "|" + w.Translate("ROOT_LOD[0]") + "|" + w.Translate("ROOT_LOD[1]") + "|" +
                  w.Translate("ROOT_LOD[2]"),
              "-25.000000 0.000000 0.000000|0.000000 0.000000 0.000000|15.000000 0.000000 0.000000|"
              "30.000000 0.000000 0.000000");
    EXPECT_EQ(Kids(&w.library, "geometry").size(), 4u);  // three levels and the collision mesh

    Model empty;
    Written none(empty);
    EXPECT_EQ(ChildNames(&none.scene), (std::vector<std::string>{"ROOT_INFO", "ROOT_LOD[0]"}));
    // Levels whose meshes hold no point are laid out from zero, not from infinities.
    MultiMesh& hollow = Push(empty.multiMeshes, "hollow", "");
    for (int i = 0; i < 2; ++i) hollow.meshes.push_back(std::make_unique<Mesh>());
    Written w2(empty);
    EXPECT_EQ(w2.Translate("ROOT_LOD[1]"), "0.000000 0.000000 0.000000");
}

TEST(NodeHierarchy, RootJointIsTheLodRootAxisNodesAndLoops) {
    Model model;
    Place(AddJoint(model, "Gun", "Hull"), {0, 0, 4});
    Place(AddJoint(model, "Hull", "root"), {1, 2, 3, 0, 1, 0, 0, 0.5f, 0});
    AddJoint(model, "Root", "");
    AddJoint(model, "Loop", "Loop");
    AddJoint(model, "Ring1", "Ring2");
    AddJoint(model, "Ring2", "Ring1");
    Written w(model);

    const TiXmlElement* lod0 = w.Node("ROOT_LOD[0]");
    EXPECT_EQ(w.Node("JNT[Root]"), nullptr);
    EXPECT_EQ(ChildNames(lod0), std::vector<std::string>{"JNT[Hull]"});
    const TiXmlElement* hull = w.Node("JNT[Hull]");
    EXPECT_EQ(TransformText(hull, "translate"), "1.000000 2.000000 3.000000");
    EXPECT_EQ(TransformText(hull, "rotateY"), "0 1 0 85.943665");
    // The axis node comes first; child joints hang from the JNT node itself.
    EXPECT_EQ(ChildNames(hull), (std::vector<std::string>{"AXIS[Hull]", "JNT[Gun]"}));
    EXPECT_EQ(TransformText(w.Node("AXIS[Hull]"), "translate") + "|" + TransformText(w.Node("AXIS[Hull]"), "rotateY"),
              "0.000000 0.000000 0.000000|0 1 0 28.647888");
    // Joints whose parents loop are left out without hiding the rest.
    for (const char* id : {"JNT[Loop]", "JNT[Ring1]", "JNT[Ring2]"}) EXPECT_EQ(w.Node(id), nullptr) << id;
}

// A chain of joints deeper than any skeleton (a damaged file) stops at 256
// nested joint nodes instead of writing a file quadratic in the chain length.
TEST(JointNodes, NestingIsBounded) {
    Model model;
    for (int i = 0; i < 2000; ++i)
        AddJoint(model, ("J" + std::to_string(i)).c_str(), i ? ("J" + std::to_string(i - 1)).c_str() : "");
    Written w(model);
    int depth = 0;
    for (const TiXmlElement* e = w.Node("ROOT_LOD[0]"); (e = e->FirstChildElement("node")) != nullptr;) ++depth;
    EXPECT_EQ(depth, 256);
}

TEST(InstanceNodes, LevelZeroUnderJointsHigherLevelsUnderLodRoots) {
    Model model;
    AddMaterial(model, "m0", "s0");
    AddMaterial(model, "m1", "s1");
    AddJoint(model, "Root", "");
    Place(AddJoint(model, "Hull", "Root"), {1, 2, 3, 0, 0, 0.5f});
    Place(AddJoint(model, "Gun", "Hull"), {1, 0, 0});
    AddMulti(model, "ship", "gun", 2).meshes[1]->parts[0].materialIndex = 1;
    AddMulti(model, "lost", "Nowhere", 2);
    AddMulti(model, "many", "Hull", 12);
    Written w(model);

    const TiXmlElement* level0 = w.Node("MULT[ship]_LOD[0]");
    ASSERT_NE(level0, nullptr);
    EXPECT_EQ(level0->Parent(), w.Node("JNT[Gun]"));
    EXPECT_EQ(w.Translate("MULT[ship]_LOD[0]"), "0.000000 0.000000 0.000000");
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
    float t[3] = {0, 0, 0}, z = 0;
    std::sscanf(w.Translate("MULT[ship]_LOD[1]").c_str(), "%f %f %f", &t[0], &t[1], &t[2]);
    EXPECT_NEAR(t[0], 1 + std::cos(0.5), 1e-5);
    EXPECT_NEAR(t[1], 2 + std::sin(0.5), 1e-5);
    EXPECT_NEAR(t[2], 3, 1e-6);
    std::sscanf(TransformText(level1, "rotateZ").c_str(), "0 0 1 %f", &z);
    EXPECT_NEAR(z, 0.5 * 180 / 3.14159265358979, 1e-4);
    EXPECT_EQ(Attr(Find(level1, "symbol", "MAT[m1]_SHD[s1]"), "target"), "#MAT[m1]_SHD[s1]");

    // A missing joint drops the level 0 instance only; the geometry stays.
    EXPECT_EQ(w.Node("MULT[lost]_LOD[0]"), nullptr);
    EXPECT_NE(Find(&w.library, "id", "MULT[lost]_LOD[0]-lib"), nullptr);
    EXPECT_EQ(w.Translate("MULT[lost]_LOD[1]"), "0.000000 0.000000 0.000000");
    // Every level gets its root, past the ten a small model needs.
    for (int i = 1; i < 12; ++i) {
        const TiXmlElement* node = w.Node("MULT[many]_LOD[" + std::to_string(i) + "]");
        ASSERT_NE(node, nullptr) << i;
        EXPECT_EQ(node->Parent(), w.Node("ROOT_LOD[" + std::to_string(i) + "]")) << i;
    }
}
