// Special nodes: the bracketed name grammar, the split of long names into
// "SUB_PARAMS", and where each kind of object lands in the node tree.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "scene/names.h"
#include "tests/collada/xml_query.h"

namespace {

// A model with a "Root" joint (ROOT_LOD[0] itself) and as many LOD roots as
// asked, written as a document by Write().
struct Scene {
    Model model;
    std::unique_ptr<WrittenDae> dae;

    explicit Scene(int lodCount = 1) {
        AddJoint(model, "Root", "");
        if (lodCount < 2) return;
        // Level 0 of a mesh on a joint that does not exist is left out.
        MultiMesh& levels = Push(model.multiMeshes, "levels", "None");
        for (int i = 0; i < lodCount; ++i) levels.meshes.push_back(std::make_unique<Mesh>());
    }
    // A joint under "Root" (withNode false: one in a parent loop, which gets
    // no node).
    Joint& Add(const char* name, bool withNode = true) {
        if (std::string(name) == "Root") return *model.joints[0];
        return AddJoint(model, name, withNode ? "Root" : name);
    }
    void Write() { dae = std::make_unique<WrittenDae>(model); }
    const TiXmlElement* Node(const std::string& name) const { return dae->Node(name); }
    const TiXmlElement* Geometry(const std::string& id) const { return Find(&dae->doc, "id", id, "geometry"); }
    // The LOD root of a level, whatever it was renamed to.
    const TiXmlElement* LodRoot(size_t level) const {
        const auto kids = Kids(dae->VisualScene(), "node");
        for (size_t i = 0; i < kids.size(); ++i)
            if (Attr(kids[i], "name") == "ROOT_INFO") return kids.at(i + 1 + level);
        return nullptr;
    }
};

// Size, phase, frequency, colour, distance, sprite, high end.
std::unique_ptr<NavLight> Light(const char* name, const char* type, std::array<float, 9> v = {1}) {
    auto light = std::make_unique<NavLight>();
    light->name.Set(name);
    light->type.Set(type);
    light->size = v[0];
    light->phase = v[1];
    light->frequency = v[2];
    std::copy(&v[3], &v[6], light->colour);
    light->distance = v[6];
    light->sprite = uint8_t(v[7]);
    light->highEnd = uint8_t(v[8]);
    return light;
}

}  // namespace

TEST(SpecialNodeNames, GroupsFlagsAndNumberTexts) {
    auto sectioned = Light("L", "strobe");
    sectioned->section = 3;
    const std::pair<std::unique_ptr<NavLight>, const char*> lights[] = {
        {Light("L", "default", {0.1f, 2, 123.4567f}), "NAVL[L]_Sz[0.1]_Ph[2]_Fr[123.457]_Col[0,0,0]_Dist[0]"},
        {Light("L", "DeFaUlT", {1e7f, -0.5f, 1e-5f, 1, 0.5f, 0.25f, 1234567}),
         "NAVL[L]_Sz[1e+07]_Ph[-0.5]_Fr[1e-05]_Col[1,0.5,0.25]_Dist[1.23457e+06]"},
        {std::move(sectioned), "NAVL[L]_Type[strobe]_Sect[3]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]"},
        {Light("L", ""), "NAVL[L]_Type[]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]"},
        {Light("L", "default", {1, 0, 0, 0, 0, 0, 0, 0, 7}), "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[HighEnd]"},
        {Light("L", "default", {1, 0, 0, 0, 0, 0, 0, 1, 1}), "NAVL[L]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[Sprite HighEnd]"},
    };
    for (const auto& row : lights) EXPECT_EQ(NavLightName(*row.first), row.second);

    struct DockRow {
        const char *family, *link;
        float tolerance;
        uint32_t exit, latch, animFlags;
        const char* want;
    };
    const DockRow docks[] = {
        {"", "", 0, 0, 0, 0, "DOCK[P]"},
        {"F", "L", 2, 1, 1, 1, "DOCK[P]_Fam[F]_Link[L]_Tol[2]_Flags[Exit Latch Anim]"},
        {"Fighter", "", 0.25f, 5, 0, 0, "DOCK[P]_Fam[Fighter]_Tol[0.25]_Flags[Exit]"},
        {"", "P2", 0, 0, 1, 3, "DOCK[P]_Link[P2]_Flags[Latch Anim]"},
        {"", "", 0, 0, 0, 2, "DOCK[P]"},  // only bit 0 of the animation flags counts
    };
    for (const DockRow& row : docks) {
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

    // Each segment flag alone, then all of them (set in reverse) in their fixed order.
    const char* words[] = {"UseRot", "Unfocus", "Check", "Close", "Player", "Queue", "Clip", "ClearRes"};
    auto fields = [](DockSegment& s) {
        return std::array<uint32_t*, 8>{&s.useRot, &s.unfocus, &s.check, &s.close, &s.player, &s.queue, &s.clip, &s.clearRes};
    };
    DockSegment all;
    for (int bit = 0; bit < 8; ++bit) {
        DockSegment seg;
        *fields(seg)[size_t(bit)] = 1;
        *fields(all)[size_t(7 - bit)] = 2;
        EXPECT_EQ(DockSegmentName(seg, 4), std::string("SEG[4]_Tol[0]_Spd[0]_Flags[") + words[bit] + "]");
    }
    all.tolerance = 0.1f;
    all.speed = 123.4567f;
    EXPECT_EQ(DockSegmentName(all, 12),
              "SEG[12]_Tol[0.1]_Spd[123.457]_Flags[UseRot Unfocus Check Close Player Queue Clip ClearRes]");

    Material m;
    m.name.Set("Hull");
    MaterialParam p;
    p.name.Set("$team");
    p.type = kParamColour;
    const float colour[4] = {1, 0.5f, 0, 0.1f};
    std::copy(colour, colour + 4, p.colour);
    EXPECT_EQ(ColourParamName(m, p), "MAT[Hull]_PARAM[$team]_Type[RGBA]_Data[1,0.5,0,0.1]");
}

TEST(SpecialNodes, LongNamesSplitIntoSubParams) {
    Scene s;
    s.Add("LightJointWithName");
    s.model.navLights.push_back(Light("LightJointWithName", "default", {2, 0.5f, 1, 1, 0, 0, 100}));
    s.model.navLights.push_back(Light("Short", "default", {2, 0.5f, 1, 1, 0, 0, 100}));
    s.Add("Short");
    MaterialParam colour;
    colour.name.Set("$paintColour");
    colour.type = kParamColour;
    AddMaterial(s.model, "HullMaterial01", "ship").params.push_back(colour);
    DockPath& path = Push(s.model.dockPaths, "Latch1");
    path.family.Set("Frig");
    path.link.Set("Latch2");
    path.tolerance = 0.5f;
    path.latch = 1;
    path.segments.resize(2);
    path.segments[1].useRot = path.segments[1].unfocus = path.segments[1].check = path.segments[1].close = 1;
    path.segments[1].player = 1;
    path.segments[1].position[0] = 10;
    path.segments[1].rotation[2] = 1.5f;
    Push(s.model.dockPaths, "FighterLaunchPath").family.Set("FightersCorvettesAndFrigatesOnlyX");
    s.Write();

    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"NAVL[LightJointWithName]", {"Sz[2]", "Ph[0.5]", "Fr[1]", "Col[1,0,0]", "Dist[100]"}},
        {"NAVL[Short]_Sz[2]_Ph[0.5]_Fr[1]_Col[1,0,0]_Dist[100]", {}},
        {"MAT[HullMaterial01]", {"PARAM[$paintColour]", "Type[RGBA]", "Data[0,0,0,1]"}},
        {"DOCK[Latch1]_Fam[Frig]_Link[Latch2]_Tol[0.5]_Flags[Latch]", {}},
        {"DOCK[FighterLaunchPath]", {"Fam[FightersCorvettesAndFrigatesOnlyX]"}},
        {"SEG[0]_Tol[0]_Spd[0]", {}},
        {"SEG[1]", {"Tol[0]", "Spd[0]", "Flags[UseRot Unfocus Check Close Player]"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const TiXmlElement* node = s.Node(row.first);
        ASSERT_TRUE(node);
        EXPECT_EQ(Attr(node, "id") + Attr(node, "sid"), std::string(row.first) + row.first);
        std::vector<std::string> sub;
        for (const TiXmlElement* kid : Kids(node, "node"))
            if (Attr(kid, "name") == "SUB_PARAMS") sub = ChildNames(kid);
        EXPECT_EQ(sub, row.second);
    }
    EXPECT_EQ(TransformText(s.Node("SEG[1]"), "translate"), "10.000000 0.000000 0.000000");
    EXPECT_EQ(TransformText(s.Node("SEG[1]"), "rotateZ"), "0 0 1 85.943665");
    // The light renames its joint's node rather than adding one.
    EXPECT_EQ(ChildNames(s.LodRoot(0)),
              (std::vector<std::string>{"NAVL[LightJointWithName]", "NAVL[Short]_Sz[2]_Ph[0.5]_Fr[1]_Col[1,0,0]_Dist[100]",
                                        "HOLD_PARAMS", "HOLD_DOCK"}));
}

TEST(SpecialNodes, LightOnRootMissingJointsAndCollisionFallback) {
    Scene s;
    s.Add("Root");
    s.Add("Hidden", false);
    Joint& hull = s.Add("Hull");
    hull.position[0] = 1.5f;
    hull.position[1] = -2;
    s.model.navLights.push_back(Light("root", "x", {1, 0, 0, 0, 0, 0, 0, 1}));
    // One of each kind on a joint that does not exist and on one without a node.
    for (const char* parent : {"Nowhere", "Hidden"}) {
        s.model.navLights.push_back(Light(parent, "default"));
        Push(s.model.markers, "M", parent);
        Push(s.model.engineShapes, "E", parent);
        Push(s.model.engineBurns, "B", parent);
    }
    for (const char* parent : {"hULL", "Missing"}) {
        s.model.collisionMeshes.push_back(std::make_unique<CollisionMesh>());
        CollisionMesh& col = *s.model.collisionMeshes.back();
        col.parentName.Set(parent);
        col.vertexCount = col.indexCount = 3;
        col.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        col.indices = {0, 1, 2};
    }
    Marker& marker = Push(s.model.markers, "Muzzle", "hull");
    marker.position[0] = 16777217.0;  // one more than a float holds
    marker.rotation[1] = 1.5;
    s.Write();

    for (const char* attr : {"name", "id", "sid"}) EXPECT_EQ(Attr(s.LodRoot(0), attr), "NAVL[root]");
    EXPECT_EQ(JoinedName(s.LodRoot(0)), "NAVL[root]_Type[x]_Sz[1]_Ph[0]_Fr[0]_Col[0,0,0]_Dist[0]_Flags[Sprite]");
    EXPECT_EQ(ChildNames(s.LodRoot(0)), (std::vector<std::string>{"JNT[Hull]", "SUB_PARAMS"}));
    for (const char* name : {"MARK[M]", "ETSH[E]", "BURN[B]"}) EXPECT_FALSE(s.Node(name)) << name;
    EXPECT_FALSE(s.Geometry("ETSH[E]-lib"));
    const TiXmlElement* muzzle = FindNode(s.Node("JNT[Hull]"), "MARK[Muzzle]");
    EXPECT_EQ(TransformText(muzzle, "translate") + TransformText(muzzle, "rotateY"),
              "16777216.000000 0.000000 0.0000000 1 0 85.943665");
    // The joint's own spelling names the node; a missing joint falls back to Root.
    EXPECT_EQ(ChildNames(s.Node("ROOT_COL")), (std::vector<std::string>{"COL[Hull]", "COL[Root]"}));
    EXPECT_EQ(TransformText(s.Node("COL[Hull]"), "translate"), "1.500000 -2.000000 0.000000");
    EXPECT_EQ(TransformText(s.Node("COL[Root]"), "translate"), "0.000000 0.000000 0.000000");
    for (const char* col : {"COL[Hull]", "COL[Root]"}) {
        EXPECT_EQ(Attr(s.Node(col)->FirstChildElement("instance_geometry"), "url"), std::string("#") + col + "-lib");
        EXPECT_TRUE(s.Geometry(std::string(col) + "-lib")) << col;
    }
}

TEST(SpecialNodes, BurnPointsInFlameThenDivisionOrder) {
    struct Row {
        uint32_t divisions, flames;
        int32_t vertexCount;  // fewer than divisions x flames when the chunk was cut short
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {3, 2, 6, {"Flame[0]_Div[0]", "Flame[0]_Div[1]", "Flame[0]_Div[2]", "Flame[1]_Div[0]", "Flame[1]_Div[1]", "Flame[1]_Div[2]"}},
        {2, 3, 3, {"Flame[0]_Div[0]", "Flame[0]_Div[1]", "Flame[1]_Div[0]"}},
        {0, 4, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.vertexCount);
        Scene s;
        s.Add("Engine");
        EngineBurn& burn = Push(s.model.engineBurns, "Main", "Engine");
        burn.divisions = row.divisions;
        burn.flameCount = row.flames;
        burn.vertexCount = row.vertexCount;
        for (int v = 0; v < row.vertexCount; ++v) burn.vertices.insert(burn.vertices.end(), {float(v), float(10 * v), 0.5f});
        s.Write();
        const TiXmlElement* node = FindNode(s.Node("JNT[Engine]"), "BURN[Main]");
        EXPECT_EQ(ChildNames(node), row.want);
        if (row.want.size() > 2) {  // point f x divisions + d: the third point is vertex 2
            EXPECT_EQ(TransformText(FindNode(node, row.want[2]), "translate"), "2.000000 20.000000 0.500000");
        }
    }
}

TEST(SpecialNodes, GlowsGoUnderTheirLodRootOrTheirJoint) {
    Scene s(12);  // more levels than the ten the format once had room for
    s.Add("Hull");
    AddMaterial(s.model, "M", "s");
    // Name, level, LOD root index (-1: the joint's node; -2: no mesh, no node).
    const std::tuple<const char*, uint32_t, int> rows[] = {{"A", 0, -1},  {"B", 2, 2},  {"C", 11, 11},
                                                           {"D", 12, -1}, {"E", 4000000000u, -1}, {"F", 1, -2}};
    for (const auto& [name, lod, parent] : rows) {
        Glow& glow = Push(s.model.glows, name, "Hull");
        glow.lod = lod;
        if (parent == -2) continue;
        glow.mesh = std::make_unique<Mesh>();
        glow.mesh->parts.push_back(PosPart(0, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {Group(kPrimTriList, {0, 1, 2})}));
    }
    s.Write();
    for (const auto& [glowName, lod, parent] : rows) {
        char name[64];  // "%d" of the stored level, as the name grammar has always printed it
        std::snprintf(name, sizeof name, "GLOW[%s]_LOD[%d]", glowName, int(lod));
        SCOPED_TRACE(name);
        EXPECT_EQ(s.Geometry(std::string(name) + "-lib") != nullptr, parent != -2);
        if (parent == -2) {
            EXPECT_FALSE(s.Node(name));
            continue;
        }
        const TiXmlElement* node = FindNode(parent < 0 ? s.Node("JNT[Hull]") : s.LodRoot(size_t(parent)), name);
        EXPECT_EQ(Attr(Find(node, "target", "#MATGLOW[TALVE_Glow]", "instance_material"), "symbol"), "MATGLOW[TALVE_Glow]");
    }
}

TEST(SpecialNodes, EngineShapeFanStopsAtTheSixteenBitLimit) {
    // Indices are 16 bits: past 65536 points they would wrap back to 0 and
    // fan over the wrong points, so the fan ends at point 65535 instead.
    Scene s;
    s.Add("Root");
    EngineShape& shape = Push(s.model.engineShapes, "Huge", "Root");
    shape.vertexCount = 70000;
    shape.vertices.assign(3 * 70000, 0.5f);
    s.Write();
    const TiXmlElement* geometry = s.Geometry("ETSH[Huge]-lib");
    const std::string p = TextOf(Find(geometry, "count", "65534", "triangles")->FirstChildElement("p"));
    ASSERT_GE(p.size(), 20u);
    EXPECT_EQ(p.substr(0, 6) + "|" + p.substr(p.size() - 14), "0 1 2 |0 65534 65535 ");
    EXPECT_TRUE(Find(geometry, "count", "210000", "float_array"));  // every point is still written
}
