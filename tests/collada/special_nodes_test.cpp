// Special nodes: the bracketed name grammar, the split of long names into
// "SUB_PARAMS", and where each kind of object lands in the node tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collada/make_node.h"
#include "collada/special_nodes.h"
#include "collada/xml_blocks.h"
#include "tests/collada/node_lookup.h"

namespace {

// A document with the elements the node pass would have made: library,
// visual scene, "ROOT_COL" (optional), the LOD roots, and one node per joint.
struct Scene {
    Model model;
    TiXmlDocument doc;
    TiXmlElement* collada = nullptr;
    DaeState state;

    explicit Scene(int lodCount = 1, bool withCol = false) {
        collada = new TiXmlElement("COLLADA");
        doc.LinkEndChild(collada);
        state.model = &model;
        state.libraryGeometries = AddChildElement(collada, "library_geometries");
        state.visualScene = AddChildElement(collada, "visual_scene");
        if (withCol) state.rootCol = MakeNode(state.visualScene, "ROOT_COL", nullptr, nullptr);
        state.rootInfo = MakeNode(state.visualScene, "ROOT_INFO", nullptr, nullptr);
        for (int i = 0; i < lodCount; ++i)
            state.lodRoots.push_back(
                MakeNode(state.visualScene, "ROOT_LOD[" + std::to_string(i) + "]", nullptr, nullptr));
    }

    // "Root" is represented by ROOT_LOD[0] itself; other joints get a JNT node
    // (or none, for a joint the node pass could not place).
    Joint& AddJoint(const char* name, bool withNode = true) {
        auto joint = std::make_unique<Joint>();
        joint->index = int32_t(model.joints.size());
        joint->name.Set(name);
        TiXmlElement* node = nullptr;
        if (withNode)
            node = EqualNoCase(name, "Root") ? state.lodRoots[0]
                                             : MakeNode(state.lodRoots[0], std::string("JNT[") + name + "]",
                                                        nullptr, nullptr);
        state.jointNodes.push_back(node);
        model.joints.push_back(std::move(joint));
        return *model.joints.back();
    }

    TiXmlElement* Node(const std::string& name) { return FindNode(collada, name); }
    TiXmlElement* Geometry(const std::string& id) { return FindElement(collada, "geometry", "id", id); }
};

NavLight MakeLight(const char* name, const char* type, uint32_t section, float size, float phase, float freq,
                   float r, float g, float b, float dist, uint8_t sprite, uint8_t highEnd) {
    NavLight light;
    light.name.Set(name);
    light.type.Set(type);
    light.section = section;
    light.size = size;
    light.phase = phase;
    light.frequency = freq;
    light.colour[0] = r;
    light.colour[1] = g;
    light.colour[2] = b;
    light.distance = dist;
    light.sprite = sprite;
    light.highEnd = highEnd;
    return light;
}

}  // namespace

TEST(SpecialNodeNames, NavLightGroups) {
    struct Row {
        const char* label;
        NavLight light;
        const char* want;
    };
    const Row rows[] = {
        {"g_texts", MakeLight("L", "default", 0, 0.1f, 2, 123.4567f, 0, 0, 0, 0, 0, 0),
         "NAVL[L]_Sz[0.1]_Ph[2]_Fr[123.457]_Col[0,0,0]_Dist[0]"},
        {"default_in_other_case", MakeLight("L", "DeFaUlT", 0, 1, 0, 0, 1, 0.5f, 0.25f, 100, 0, 0),
         "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[1,0.5,0.25]_Dist[100]"},
        {"type_and_section", MakeLight("L", "strobe", 3, 1, 0, 0, 0, 0, 0, 0, 0, 0),
         "NAVL[L]_Type[strobe]_Sect[3]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]"},
        {"empty_type_is_not_default", MakeLight("L", "", 0, 1, 0, 0, 0, 0, 0, 0, 0, 0),
         "NAVL[L]_Type[]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]"},
        {"sprite", MakeLight("L", "default", 0, 1, 0, 0, 0, 0, 0, 0, 1, 0),
         "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[Sprite]"},
        {"high_end", MakeLight("L", "default", 0, 1, 0, 0, 0, 0, 0, 0, 0, 7),
         "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[HighEnd]"},
        {"both_flags", MakeLight("L", "default", 0, 1, 0, 0, 0, 0, 0, 0, 1, 1),
         "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[Sprite HighEnd]"},
        {"large_and_negative", MakeLight("L", "default", 0, 1e7f, -0.5f, 1e-5f, 0, 0, 0, 1234567, 0, 0),
         "NAVL[L]_Sz[1e+07]_Ph[-0.5]_Fr[1e-05]_Col[0,0,0]_Dist[1.23457e+06]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(NavLightName(row.light), row.want);
    }
}

TEST(SpecialNodeNames, DockPathGroups) {
    struct Row {
        const char* label;
        const char* family;
        const char* link;
        float tolerance;
        uint32_t exit, latch, animFlags;
        const char* want;
    };
    const Row rows[] = {
        {"bare", "", "", 0, 0, 0, 0, "DOCK[P]"},
        {"family", "Fighter", "", 0, 0, 0, 0, "DOCK[P]_Fam[Fighter]"},
        {"link", "", "P2", 0, 0, 0, 0, "DOCK[P]_Link[P2]"},
        {"tolerance", "", "", 0.25f, 0, 0, 0, "DOCK[P]_Tol[0.25]"},
        {"all_groups", "F", "L", 2, 1, 1, 1, "DOCK[P]_Fam[F]_Link[L]_Tol[2]_Flags[Exit Latch Anim]"},
        {"exit", "", "", 0, 5, 0, 0, "DOCK[P]_Flags[Exit]"},
        {"latch", "", "", 0, 0, 1, 0, "DOCK[P]_Flags[Latch]"},
        {"anim_is_bit_0", "", "", 0, 0, 0, 3, "DOCK[P]_Flags[Anim]"},
        {"anim_other_bits_only", "", "", 0, 0, 0, 2, "DOCK[P]"},
        {"latch_anim", "", "", 0, 0, 1, 1, "DOCK[P]_Flags[Latch Anim]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        DockPath path;
        path.name.Set("P");
        path.family.Set(row.family);
        path.link.Set(row.link);
        path.tolerance = row.tolerance;
        path.exit = row.exit;
        path.latch = row.latch;
        path.animFlags = row.animFlags;
        EXPECT_EQ(DockPathName(path), row.want);
    }
}

TEST(SpecialNodeNames, DockSegmentFlagsInFixedOrder) {
    // Each flag alone, then all of them: the words keep their fixed order
    // whatever order the fields are set in.
    const char* words[] = {"UseRot", "Unfocus", "Check", "Close", "Player", "Queue", "Clip", "ClearRes"};
    for (int bit = 0; bit < 8; ++bit) {
        SCOPED_TRACE(words[bit]);
        DockSegment seg;
        uint32_t* fields[] = {&seg.useRot, &seg.unfocus, &seg.check, &seg.close,
                              &seg.player, &seg.queue,   &seg.clip,  &seg.clearRes};
        *fields[bit] = 1;
        EXPECT_EQ(DockSegmentName(seg, 4), std::string("SEG[4]_Tol[0]_Spd[0]_Flags[") + words[bit] + "]");
    }
    DockSegment seg;
    EXPECT_EQ(DockSegmentName(seg, 0), "SEG[0]_Tol[0]_Spd[0]");
    seg.clip = seg.check = 1;
    seg.tolerance = 0.1f;
    seg.speed = 123.4567f;
    EXPECT_EQ(DockSegmentName(seg, 12), "SEG[12]_Tol[0.1]_Spd[123.457]_Flags[Check Clip]");
    seg.useRot = seg.unfocus = seg.close = seg.player = seg.queue = seg.clearRes = 2;
    EXPECT_EQ(DockSegmentName(seg, 1),
              "SEG[1]_Tol[0.1]_Spd[123.457]_Flags[UseRot Unfocus Check Close Player Queue Clip ClearRes]");
}

TEST(SpecialNodeNames, ColourParameter) {
    Material m;
    m.name.Set("Hull");
    MaterialParam p;
    p.name.Set("$team");
    p.type = kParamColour;
    const float colour[4] = {1, 0.5f, 0, 0.1f};
    for (int i = 0; i < 4; ++i) p.colour[i] = colour[i];
    EXPECT_EQ(ColourParamName(m, p), "MAT[Hull]_PARAM[$team]_Type[RGBA]_Data[1,0.5,0,0.1]");
}

TEST(SpecialNodes, LongNamesSplitIntoSubParams) {
    Scene s;
    s.AddJoint("Root");
    s.AddJoint("LightJointWithName");
    s.AddJoint("Short");
    s.model.navLights.push_back(std::make_unique<NavLight>(
        MakeLight("LightJointWithName", "default", 0, 2, 0.5f, 1, 1, 0, 0, 100, 0, 0)));
    s.model.navLights.push_back(
        std::make_unique<NavLight>(MakeLight("Short", "default", 0, 2, 0.5f, 1, 1, 0, 0, 100, 0, 0)));

    auto mat = std::make_unique<Material>();
    mat->name.Set("HullMaterial01");
    mat->shader.Set("ship");
    MaterialParam colour;
    colour.name.Set("$paintColour");
    colour.type = kParamColour;
    mat->params.push_back(colour);
    s.model.materials.push_back(std::move(mat));

    auto path = std::make_unique<DockPath>();
    path->name.Set("Latch1");
    path->family.Set("Frig");
    path->link.Set("Latch2");
    path->tolerance = 0.5f;
    path->latch = 1;
    DockSegment seg;
    seg.useRot = seg.unfocus = seg.check = seg.close = seg.player = 1;
    path->segments.push_back(DockSegment());
    path->segments.push_back(seg);
    s.model.dockPaths.push_back(std::move(path));
    WriteSpecialNodes(s.state);

    struct Row {
        const char* node;
        std::vector<std::string> subParams;  // empty: the name stays whole
    };
    const Row rows[] = {
        {"NAVL[LightJointWithName]", {"Sz[2]", "Ph[0.5]", "Fr[1]", "Col[1,0,0]", "Dist[100]"}},
        {"NAVL[Short]_Sz[2]_Ph[0.5]_Fr[1]_Col[1,0,0]_Dist[100]", {}},
        {"MAT[HullMaterial01]", {"PARAM[$paintColour]", "Type[RGBA]", "Data[0,0,0,1]"}},
        {"DOCK[Latch1]_Fam[Frig]_Link[Latch2]_Tol[0.5]_Flags[Latch]", {}},
        {"SEG[0]_Tol[0]_Spd[0]", {}},
        {"SEG[1]", {"Tol[0]", "Spd[0]", "Flags[UseRot Unfocus Check Close Player]"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.node);
        TiXmlElement* node = s.Node(row.node);
        ASSERT_TRUE(node);
        EXPECT_EQ(Attr(node, "id"), row.node);
        EXPECT_EQ(Attr(node, "sid"), row.node);
        TiXmlElement* sub = ChildNode(node, "SUB_PARAMS");
        if (row.subParams.empty()) {
            EXPECT_FALSE(sub);
        } else {
            ASSERT_TRUE(sub);
            EXPECT_EQ(ChildNames(sub), row.subParams);
        }
    }
    // The light renames its joint's node rather than adding one.
    EXPECT_FALSE(s.Node("JNT[LightJointWithName]"));
    EXPECT_EQ(ChildNames(s.state.lodRoots[0]),
              (std::vector<std::string>{"NAVL[LightJointWithName]",
                                        "NAVL[Short]_Sz[2]_Ph[0.5]_Fr[1]_Col[1,0,0]_Dist[100]", "HOLD_PARAMS",
                                        "HOLD_DOCK"}));
}

TEST(SpecialNodes, LightOnRootRenamesTheLodRoot) {
    Scene s;
    s.AddJoint("Root");
    s.model.navLights.push_back(std::make_unique<NavLight>(MakeLight("root", "x", 0, 1, 0, 0, 0, 0, 0, 0, 1, 0)));
    WriteSpecialNodes(s.state);
    for (const char* attr : {"name", "id", "sid"}) EXPECT_EQ(Attr(s.state.lodRoots[0], attr), "NAVL[root]");
    EXPECT_EQ(JoinedName(s.state.lodRoots[0]),
              "NAVL[root]_Type[x]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[Sprite]");
}

TEST(SpecialNodes, ObjectsOfMissingJointsAreLeftOut) {
    // One of each kind on a joint that does not exist and on one that has no
    // node; only the collision mesh is still written (at COL[Root]).
    Scene s(1, true);
    s.AddJoint("Root");
    s.AddJoint("Hidden", false);
    for (const char* parent : {"Nowhere", "Hidden"}) {
        s.model.navLights.push_back(
            std::make_unique<NavLight>(MakeLight(parent, "default", 0, 1, 0, 0, 0, 0, 0, 0, 0, 0)));
        auto marker = std::make_unique<Marker>();
        marker->name.Set("M");
        marker->parentName.Set(parent);
        s.model.markers.push_back(std::move(marker));
        auto shape = std::make_unique<EngineShape>();
        shape->name.Set("E");
        shape->parentName.Set(parent);
        s.model.engineShapes.push_back(std::move(shape));
        auto burn = std::make_unique<EngineBurn>();
        burn->name.Set("B");
        burn->parentName.Set(parent);
        s.model.engineBurns.push_back(std::move(burn));
    }
    WriteSpecialNodes(s.state);
    EXPECT_TRUE(ChildNames(s.state.lodRoots[0]).empty());
    EXPECT_EQ(Attr(s.state.lodRoots[0], "name"), "ROOT_LOD[0]");
    EXPECT_FALSE(s.Node("MARK[M]"));
    EXPECT_FALSE(s.Node("ETSH[E]"));
    EXPECT_FALSE(s.Node("BURN[B]"));
    EXPECT_FALSE(s.Geometry("ETSH[E]-lib"));
}

TEST(SpecialNodes, CollisionPlacementAndFallback) {
    Scene s(1, true);
    s.AddJoint("Root");
    Joint& hull = s.AddJoint("Hull");
    hull.worldMatrix.m[12] = 1.5f;
    hull.worldMatrix.m[13] = -2;
    hull.worldMatrix.m[14] = 3;
    for (const char* parent : {"hULL", "Missing"}) {
        auto col = std::make_unique<CollisionMesh>();
        col->parentName.Set(parent);
        col->vertexCount = 3;
        col->vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        col->indexCount = 3;
        col->indices = {0, 1, 2};
        s.model.collisionMeshes.push_back(std::move(col));
    }
    WriteSpecialNodes(s.state);
    // The joint's own spelling names the node, not the mesh's reference.
    EXPECT_EQ(ChildNames(s.state.rootCol), (std::vector<std::string>{"COL[Hull]", "COL[Root]"}));
    struct Row {
        const char* node;
        const char* translate;
    };
    const Row rows[] = {{"COL[Hull]", "1.500000 -2.000000 3.000000"}, {"COL[Root]", "0.000000 0.000000 0.000000"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.node);
        TiXmlElement* node = s.Node(row.node);
        ASSERT_TRUE(node);
        EXPECT_EQ(TransformText(node, "translate"), row.translate);
        EXPECT_EQ(ChildValues(node),
                  (std::vector<std::string>{"translate", "rotate", "rotate", "rotate", "instance_geometry", "extra"}));
        EXPECT_EQ(Attr(node->FirstChildElement("instance_geometry"), "url"), std::string("#") + row.node + "-lib");
        EXPECT_TRUE(s.Geometry(std::string(row.node) + "-lib"));
    }
}

TEST(SpecialNodes, MarkersTakeTheirPlacementInSinglePrecision) {
    Scene s;
    s.AddJoint("Root");
    s.AddJoint("Gun");
    auto marker = std::make_unique<Marker>();
    marker->name.Set("Muzzle");
    marker->parentName.Set("gun");
    marker->position[0] = 16777217.0;  // one more than a float holds
    marker->position[1] = -2.25;
    marker->position[2] = 1e-9;
    marker->rotation[1] = 1.5;
    s.model.markers.push_back(std::move(marker));
    WriteSpecialNodes(s.state);
    TiXmlElement* node = FindNode(s.Node("JNT[Gun]"), "MARK[Muzzle]");
    ASSERT_TRUE(node);
    EXPECT_EQ(TransformText(node, "translate"), "16777216.000000 -2.250000 0.000000");
    EXPECT_EQ(TransformText(node, "rotateY"), "0 1 0 85.943665");
    EXPECT_EQ(TransformText(node, "rotateX"), "1 0 0 0.000000");
}

TEST(SpecialNodes, BurnPointsInFlameThenDivisionOrder) {
    struct Row {
        const char* label;
        uint32_t divisions, flames;
        int32_t vertexCount;  // fewer than divisions x flames when the chunk was cut short
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {"two_flames_of_three",
         3,
         2,
         6,
         {"Flame[0]_Div[0]", "Flame[0]_Div[1]", "Flame[0]_Div[2]", "Flame[1]_Div[0]", "Flame[1]_Div[1]",
          "Flame[1]_Div[2]"}},
        {"cut_short", 2, 3, 3, {"Flame[0]_Div[0]", "Flame[0]_Div[1]", "Flame[1]_Div[0]"}},
        {"no_divisions", 0, 4, 0, {}},
        {"no_flames", 5, 0, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Scene s;
        s.AddJoint("Root");
        s.AddJoint("Engine");
        auto burn = std::make_unique<EngineBurn>();
        burn->name.Set("Main");
        burn->parentName.Set("Engine");
        burn->divisions = row.divisions;
        burn->flameCount = row.flames;
        burn->vertexCount = row.vertexCount;
        for (int v = 0; v < row.vertexCount; ++v)
            burn->vertices.insert(burn->vertices.end(), {float(v), float(10 * v), 0.5f});
        s.model.engineBurns.push_back(std::move(burn));
        WriteSpecialNodes(s.state);
        TiXmlElement* node = FindNode(s.Node("JNT[Engine]"), "BURN[Main]");
        ASSERT_TRUE(node);
        EXPECT_EQ(ChildNames(node), row.want);
        if (row.want.size() > 2) {
            // Point f x divisions + d: the third point is vertex 2.
            EXPECT_EQ(TransformText(FindNode(node, row.want[2]), "translate"), "2.000000 20.000000 0.500000");
        }
    }
}

TEST(SpecialNodes, EngineShapeFansOverItsPoints) {
    struct Row {
        int points;
        const char* count;
        const char* p;
    };
    // Fewer than three points hold no triangle: the count never goes negative.
    const Row rows[] = {{0, "0", ""}, {1, "0", ""}, {2, "0", ""}, {3, "1", "0 1 2 "}, {5, "3", "0 1 2 0 2 3 0 3 4 "}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.points);
        Scene s;
        s.AddJoint("Root");
        auto shape = std::make_unique<EngineShape>();
        shape->name.Set("Nozzle");
        shape->parentName.Set("Root");
        shape->vertexCount = row.points;
        shape->vertices.assign(size_t(3 * row.points), 1.0f);
        s.model.engineShapes.push_back(std::move(shape));
        WriteSpecialNodes(s.state);
        TiXmlElement* node = FindNode(s.state.lodRoots[0], "ETSH[Nozzle]");
        ASSERT_TRUE(node);
        EXPECT_EQ(Attr(node->FirstChildElement("instance_geometry"), "url"), "#ETSH[Nozzle]-lib");
        TiXmlElement* geometry = s.Geometry("ETSH[Nozzle]-lib");
        ASSERT_TRUE(geometry);
        TiXmlElement* triangles = FindElement(geometry, "triangles", "count", row.count);
        ASSERT_TRUE(triangles);
        EXPECT_EQ(Text(triangles->FirstChildElement("p")), row.p);
    }
}

TEST(SpecialNodes, HoldNodesOnlyWithContent) {
    struct Row {
        const char* label;
        bool colour;
        int stateCount;
        bool dock;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {"texture_param_only", false, 0, false, {}},
        {"colour_param", true, 1, false, {"HOLD_PARAMS"}},
        {"counted_by_the_material_pass", false, 2, false, {"HOLD_PARAMS"}},
        {"dock_path", false, 0, true, {"HOLD_DOCK"}},
        {"both", true, 1, true, {"HOLD_PARAMS", "HOLD_DOCK"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Scene s;
        auto mat = std::make_unique<Material>();
        mat->name.Set("M");
        MaterialParam texture;
        texture.type = kParamTexture;
        mat->params.push_back(texture);
        if (row.colour) {
            MaterialParam colour;
            colour.name.Set("c");
            colour.type = kParamColour;
            mat->params.push_back(colour);
        }
        s.model.materials.push_back(std::move(mat));
        s.state.colourParamCount = row.stateCount;
        if (row.dock) {
            s.model.dockPaths.push_back(std::make_unique<DockPath>());
            s.model.dockPaths.back()->name.Set("D");
        }
        WriteSpecialNodes(s.state);
        EXPECT_EQ(ChildNames(s.state.lodRoots[0]), row.want);
    }
}

TEST(SpecialNodes, DockSegmentsArePlaced) {
    Scene s;
    auto path = std::make_unique<DockPath>();
    path->name.Set("P");
    DockSegment seg;
    seg.position[0] = 10;
    seg.position[1] = 20;
    seg.rotation[2] = 1.5f;
    path->segments = {DockSegment(), seg};
    s.model.dockPaths.push_back(std::move(path));
    WriteSpecialNodes(s.state);
    TiXmlElement* pathNode = FindNode(s.Node("HOLD_DOCK"), "DOCK[P]");
    ASSERT_TRUE(pathNode);
    EXPECT_EQ(ChildNames(pathNode), (std::vector<std::string>{"SEG[0]_Tol[0]_Spd[0]", "SEG[1]_Tol[0]_Spd[0]"}));
    TiXmlElement* second = FindNode(pathNode, "SEG[1]_Tol[0]_Spd[0]");
    EXPECT_EQ(TransformText(second, "translate"), "10.000000 20.000000 0.000000");
    EXPECT_EQ(TransformText(second, "rotateZ"), "0 0 1 85.943665");
}

TEST(SpecialNodes, GlowsGoUnderTheirLodRootOrTheirJoint) {
    // Twelve levels: more than the ten the format once had room for.
    Scene s(12);
    s.AddJoint("Root");
    s.AddJoint("Hull");
    auto mat = std::make_unique<Material>();
    mat->name.Set("M");
    s.model.materials.push_back(std::move(mat));
    s.state.glowTarget = "#MATGLOW[TALVE_Glow]";
    s.state.unionMask = 0x0001;
    struct Row {
        const char* name;
        uint32_t lod;
        bool mesh;
        int parent;  // LOD root index, or -1 for the joint's node
    };
    const Row rows[] = {{"A", 0, true, -1},   {"B", 2, true, 2},    {"C", 11, true, 11},
                        {"D", 12, true, -1},  {"E", 4000000000u, true, -1}, {"F", 1, false, 1}};
    for (const Row& row : rows) {
        auto glow = std::make_unique<Glow>();
        glow->name.Set(row.name);
        glow->parentName.Set("Hull");
        glow->lod = row.lod;
        if (row.mesh) {
            glow->mesh = std::make_unique<Mesh>();
            MeshPart part;
            part.materialIndex = 0;
            part.format = 0x0001;
            part.stride = 3;
            part.vertexCount = 3;
            part.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
            PrimitiveGroup group;
            group.type = kPrimTriList;
            group.indexCount = 3;
            group.indices = {0, 1, 2};
            part.groups.push_back(group);
            glow->mesh->parts.push_back(part);
        }
        s.model.glows.push_back(std::move(glow));
    }
    WriteGlowGeometries(s.state);
    for (const Row& row : rows) {
        // "%d" of the stored level, as the name grammar has always printed it.
        char name[64];
        std::snprintf(name, sizeof name, "GLOW[%s]_LOD[%d]", row.name, int(row.lod));
        SCOPED_TRACE(name);
        TiXmlElement* parent = row.parent < 0 ? s.Node("JNT[Hull]") : s.state.lodRoots[size_t(row.parent)];
        TiXmlElement* node = FindNode(parent, name);
        if (!row.mesh) {
            EXPECT_FALSE(FindNode(s.collada, name));
            EXPECT_FALSE(s.Geometry(std::string(name) + "-lib"));
            continue;
        }
        ASSERT_TRUE(node);
        EXPECT_TRUE(s.Geometry(std::string(name) + "-lib"));
        TiXmlElement* bound = FindElement(node, "instance_material", "target", "#MATGLOW[TALVE_Glow]");
        ASSERT_TRUE(bound);
        EXPECT_EQ(Attr(bound, "symbol"), "MATGLOW[TALVE_Glow]");
    }
}

TEST(SpecialNodes, EngineShapeFanStopsAtTheSixteenBitLimit) {
    // Indices are 16 bits: past 65536 points they would wrap back to 0 and
    // fan over the wrong points, so the fan ends at point 65535 instead.
    Scene s;
    s.AddJoint("Root");
    auto shape = std::make_unique<EngineShape>();
    shape->name.Set("Huge");
    shape->parentName.Set("Root");
    shape->vertexCount = 70000;
    shape->vertices.assign(3 * 70000, 0.5f);
    s.model.engineShapes.push_back(std::move(shape));
    WriteSpecialNodes(s.state);
    TiXmlElement* geometry = s.Geometry("ETSH[Huge]-lib");
    ASSERT_TRUE(geometry);
    TiXmlElement* triangles = FindElement(geometry, "triangles", "count", "65534");
    ASSERT_TRUE(triangles);
    const std::string p = Text(triangles->FirstChildElement("p"));
    const std::string tail = "0 65534 65535 ";
    ASSERT_GE(p.size(), tail.size());
    EXPECT_EQ(p.substr(p.size() - tail.size()), tail);
    EXPECT_EQ(p.substr(0, 6), "0 1 2 ");
    // Every point is still in the position source.
    EXPECT_TRUE(FindElement(geometry, "float_array", "count", "210000"));
}
