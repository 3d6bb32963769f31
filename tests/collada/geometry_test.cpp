#include "collada/geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "tests/collada/xml_query.h"

namespace {

const float kNan = std::nanf("");

// " %f" per value, from the C library.
std::string Floats(std::initializer_list<float> values) {
    std::string out;
    char buf[64];
    for (float v : values) {
        std::snprintf(buf, sizeof buf, " %f", double(v));
        out += buf;
    }
    return out;
}

struct Vtx {
    float p[3];
    float n[3];
    float uv[2];
};

// A part in format 0x000B (stride 10: position xyzw, normal xyzw, uv).
MeshPart PnuPart(int32_t material, const std::vector<Vtx>& vs, std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.format = 0x000B;
    part.stride = 10;
    part.vertexCount = int32_t(vs.size());
    for (const Vtx& v : vs) {
        const float row[10] = {v.p[0], v.p[1], v.p[2], 1, v.n[0], v.n[1], v.n[2], 0, v.uv[0], v.uv[1]};
        part.vertices.insert(part.vertices.end(), row, row + 10);
    }
    part.groups = std::move(groups);
    return part;
}

// A part holding positions only (format 0x0001, stride 4).
MeshPart PosPart(int32_t material, const std::vector<std::array<float, 3>>& ps, std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.format = 0x0001;
    part.stride = 4;
    part.vertexCount = int32_t(ps.size());
    for (const auto& p : ps) {
        const float row[4] = {p[0], p[1], p[2], 1};
        part.vertices.insert(part.vertices.end(), row, row + 4);
    }
    part.groups = std::move(groups);
    return part;
}

PrimitiveGroup Group(uint32_t type, std::vector<uint16_t> indices) {
    PrimitiveGroup g;
    g.type = type;
    g.indexCount = int32_t(indices.size());
    g.indices = std::move(indices);
    return g;
}

void AddMaterial(Model& model, const char* name, const char* shader) {
    auto m = std::make_unique<Material>();
    m->index = int32_t(model.materials.size());
    m->name.Set(name);
    m->shader.Set(shader);
    model.materials.push_back(std::move(m));
}

// Owns the geometry element the writer hands back.
struct Built {
    GeometryResult result;
    std::unique_ptr<TiXmlElement> owner;
    explicit Built(GeometryResult r) : result(std::move(r)), owner(result.geometry) {}
    const TiXmlElement* Mesh() const { return owner->FirstChildElement("mesh"); }
    const TiXmlElement* Source(const std::string& id) const { return FindByAttr(owner.get(), "id", id); }
    std::string ArrayText(const std::string& id) const {
        return TextOf(FindByAttr(owner.get(), "id", id + "-array"));
    }
    std::vector<const TiXmlElement*> Triangles() const { return Kids(Mesh(), "triangles"); }
};

}  // namespace

TEST(MeshGeometry, SharedPositionsAndNormalsWithDistinctUvsExactText) {
    Model model;
    AddMaterial(model, "hull", "ship");
    Mesh mesh;
    mesh.parts.push_back(PnuPart(0,
                                 {{{0, 0, 0}, {0, 0, 1}, {0, 0}},
                                  {{1, 0, 0}, {0, 1, 0}, {1, 0}},
                                  {{1, 1, 0}, {1, 0, 0}, {1, 1}},
                                  {{0, 0, 0}, {0, 0, 1}, {0.5f, 0.5f}}},
                                 {Group(0x0202, {0, 1, 2, 0, 2, 3})}));
    Built g(WriteMeshGeometry(model, mesh, "G", nullptr, 0x000B));
    const std::string xyz =
        "<technique_common><accessor source=\"#%s-array\" count=\"3\" stride=\"3\"><param name=\"X\" type=\"float\" />"
        "<param name=\"Y\" type=\"float\" /><param name=\"Z\" type=\"float\" /></accessor></technique_common>";
    auto accessor = [&](const std::string& id) {
        std::string s = xyz;
        return s.replace(s.find("%s"), 2, id);
    };
    const std::string want =
        "<geometry id=\"G-lib\" name=\"GMesh\"><mesh>"
        "<source id=\"G-POSITION\"><float_array id=\"G-POSITION-array\" count=\"9\">" +
        Floats({0, 0, 0, 1, 0, 0, 1, 1, 0}) + "</float_array>" + accessor("G-POSITION") +
        "</source>"
        "<source id=\"G-Normal0\"><float_array id=\"G-Normal0-array\" count=\"9\">" +
        Floats({0, 0, 1, 0, 1, 0, 1, 0, 0}) + "</float_array>" + accessor("G-Normal0") +
        "</source>"
        "<source id=\"G-UV0\"><float_array id=\"G-UV0-array\" count=\"8\">" +
        Floats({0, 0, 1, 0, 1, 1, 0.5f, 0.5f}) +
        "</float_array><technique_common><accessor source=\"#G-UV0-array\" count=\"4\" stride=\"2\">"
        "<param name=\"S\" type=\"float\" /><param name=\"T\" type=\"float\" /></accessor></technique_common></source>"
        "<vertices id=\"G-VERTEX\"><input semantic=\"POSITION\" source=\"#G-POSITION\" /></vertices>"
        "<triangles count=\"2\" material=\"MAT[hull]_SHD[ship]\">"
        "<input semantic=\"VERTEX\" offset=\"0\" source=\"#G-VERTEX\" />"
        "<input semantic=\"NORMAL\" offset=\"1\" source=\"#G-Normal0\" />"
        "<input semantic=\"TEXCOORD\" offset=\"2\" set=\"0\" source=\"#G-UV0\" />"
        "<p>0 0 0 1 1 1 2 2 2 0 0 0 2 2 2 0 0 3 </p></triangles></mesh></geometry>";
    EXPECT_EQ(PrintXml(g.owner.get()), want);
    EXPECT_EQ(g.result.materials, std::vector<int32_t>{0});
}

TEST(MeshGeometry, PartWithoutNormalsUnderAUnionMaskThatHasThem) {
    Model model;
    AddMaterial(model, "a", "s");
    Mesh mesh;
    mesh.parts.push_back(PosPart(0, {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}}, {Group(0x0202, {0, 1, 2})}));
    Built g(WriteMeshGeometry(model, mesh, "N", nullptr, 0x000B));
    EXPECT_EQ(g.ArrayText("N-Normal0"), Floats({0, 0, 1}));
    EXPECT_EQ(g.ArrayText("N-UV0"), Floats({0, 0}));
    ASSERT_EQ(g.Triangles().size(), 1u);
    EXPECT_EQ(TextOf(g.Triangles()[0]->FirstChildElement("p")), "0 0 0 1 0 0 2 0 0 ");
    // The mask decides the inputs, not the part's own format.
    EXPECT_EQ(Kids(g.Triangles()[0], "input").size(), 3u);
}

TEST(MeshGeometry, PartsGroupedByMaterialWithTheMaterialList) {
    Model model;
    AddMaterial(model, "m0", "s0");
    AddMaterial(model, "m1", "s1");
    AddMaterial(model, "m2", "s2");
    Mesh mesh;
    mesh.parts.push_back(PosPart(1, {{{1, 0, 0}}, {{2, 0, 0}}, {{3, 0, 0}}}, {Group(0x0202, {0, 1, 2})}));
    mesh.parts.push_back(PosPart(0, {{{4, 0, 0}}, {{5, 0, 0}}, {{6, 0, 0}}}, {Group(0x0202, {2, 1, 0})}));
    mesh.parts.push_back(PosPart(1, {{{1, 0, 0}}, {{7, 0, 0}}, {{8, 0, 0}}, {{9, 0, 0}}}, {Group(0x0205, {0, 1, 2, 3})}));
    mesh.parts.push_back(PosPart(7, {{{10, 0, 0}}, {{11, 0, 0}}, {{12, 0, 0}}}, {Group(0x0202, {0, 1, 2})}));
    mesh.parts.push_back(PosPart(-1, {{{13, 0, 0}}, {{14, 0, 0}}, {{15, 0, 0}}}, {Group(0x0202, {0, 1, 2})}));
    Built g(WriteMeshGeometry(model, mesh, "M", nullptr, 0x0001));
    auto tris = g.Triangles();
    ASSERT_EQ(tris.size(), 3u);  // parts with no valid material are not written
    EXPECT_EQ(Attr(tris[0], "material"), "MAT[m0]_SHD[s0]");
    EXPECT_EQ(Attr(tris[1], "material"), "MAT[m1]_SHD[s1]");
    EXPECT_EQ(Attr(tris[2], "material"), "MAT[m1]_SHD[s1]");
    EXPECT_EQ(Attr(tris[2], "count"), "2");
    EXPECT_EQ(AttrNames(tris[2]), (std::vector<std::string>{"count", "material"}));
    // Numbering follows the material-ordered walk: the material 0 part first,
    // and (1, 0, 0) of the third part is the entry the second part made.
    EXPECT_EQ(TextOf(tris[0]->FirstChildElement("p")), "2 1 0 ");
    EXPECT_EQ(TextOf(tris[1]->FirstChildElement("p")), "3 4 5 ");
    EXPECT_EQ(TextOf(tris[2]->FirstChildElement("p")), "3 6 7 3 7 8 ");
    EXPECT_EQ(g.ArrayText("M-POSITION"), Floats({4, 0, 0, 5, 0, 0, 6, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 7, 0, 0, 8, 0, 0,
                                                  9, 0, 0}));
    EXPECT_EQ(g.result.materials, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(g.Source("M-Normal0"), nullptr);
    EXPECT_EQ(g.Source("M-UV0"), nullptr);
    EXPECT_EQ(Kids(tris[0], "input").size(), 1u);
}

TEST(MeshGeometry, UnsupportedGroupsTangentsAndTargets) {
    Model model;
    AddMaterial(model, "m0", "s0");
    AddMaterial(model, "m1", "s1");
    {
        SCOPED_TRACE("a part of unsupported groups writes no triangles but lists its material");
        Mesh mesh;
        mesh.parts.push_back(PosPart(1, {{{1, 0, 0}}, {{2, 0, 0}}, {{3, 0, 0}}}, {Group(0x0203, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(1, {{{1, 0, 0}}, {{2, 0, 0}}}, {Group(0x0205, {0, 1})}));
        Built g(WriteMeshGeometry(model, mesh, "U", nullptr, 0x6001));
        EXPECT_TRUE(g.Triangles().empty());
        EXPECT_EQ(g.result.materials, std::vector<int32_t>{1});
        EXPECT_EQ(g.Source("U-POSITION"), nullptr);
        // The vertices element still refers to the position source.
        EXPECT_EQ(PrintXml(g.Mesh()),
                  "<mesh><vertices id=\"U-VERTEX\"><input semantic=\"POSITION\" source=\"#U-POSITION\" /></vertices></mesh>");
    }
    {
        SCOPED_TRACE("a target binds every part, whatever its material");
        Mesh mesh;
        mesh.parts.push_back(PosPart(1, {{{1, 0, 0}}, {{2, 0, 0}}, {{3, 0, 0}}}, {Group(0x0202, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(-5, {{{1, 0, 0}}, {{2, 0, 0}}, {{4, 0, 0}}}, {Group(0x0206, {0, 1, 2})}));
        Built g(WriteMeshGeometry(model, mesh, "GLOW[g]_LOD[0]", "#MATGLOW[x]", 0x2001));
        auto tris = g.Triangles();
        ASSERT_EQ(tris.size(), 2u);
        EXPECT_EQ(Attr(tris[0], "material"), "#MATGLOW[x]");
        EXPECT_EQ(Attr(tris[1], "material"), "#MATGLOW[x]");
        EXPECT_EQ(g.result.materials, std::vector<int32_t>{0});
        EXPECT_EQ(TextOf(tris[1]->FirstChildElement("p")), "0 1 3 ");
    }
    {
        SCOPED_TRACE("three-wide positions and normals");
        Mesh mesh;
        MeshPart part;
        part.materialIndex = 0;
        part.format = 0x8003;
        part.stride = 6;
        part.vertexCount = 3;
        part.vertices = {1, 2, 3, 0, 0, 1, 4, 5, 6, 0, 1, 0, 7, 8, 9, 1, 0, 0};
        part.groups.push_back(Group(0x0202, {0, 1, 2}));
        mesh.parts.push_back(part);
        Built g(WriteMeshGeometry(model, mesh, "W", nullptr, 0x8003));
        EXPECT_EQ(g.ArrayText("W-POSITION"), Floats({1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(g.ArrayText("W-Normal0"), Floats({0, 0, 1, 0, 1, 0, 1, 0, 0}));
    }
}

TEST(MeshGeometry, NoMaterialsWritesNoTriangles) {
    Model model;
    Mesh mesh;
    mesh.parts.push_back(PosPart(0, {{{1, 0, 0}}, {{2, 0, 0}}, {{3, 0, 0}}}, {Group(0x0202, {0, 1, 2})}));
    Built g(WriteMeshGeometry(model, mesh, "E", "#T", 0x0001));
    EXPECT_TRUE(g.Triangles().empty());
    EXPECT_TRUE(g.result.materials.empty());
}

// The hash index must number values exactly as a linear first-occurrence
// search with float equality would: +0 equals -0, a NaN equals nothing.
TEST(MeshGeometry, DeduplicationMatchesLinearSearchWithZeroAndNan) {
    Model model;
    AddMaterial(model, "m", "s");
    const float pool[5] = {0.0f, -0.0f, 1.0f, kNan, 2.5f};
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> pick(0, 4);
    std::bernoulli_distribution rareNan(0.02);
    auto value = [&] {
        float v = pool[pick(rng)];
        if (std::isnan(v) && !rareNan(rng)) v = 1.0f;
        return v;
    };
    Mesh mesh;
    std::vector<Vtx> all;
    for (int p = 0; p < 2; ++p) {
        std::vector<Vtx> vs(3000);
        for (Vtx& v : vs) v = {{value(), value(), value()}, {value(), value(), value()}, {value(), value()}};
        std::vector<uint16_t> idx(vs.size());
        for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint16_t(i);
        mesh.parts.push_back(PnuPart(0, vs, {Group(0x0202, idx)}));
        all.insert(all.end(), vs.begin(), vs.end());
    }

    // The oracle: the plain linear search.
    auto number = [](std::vector<std::vector<float>>& list, std::vector<float> v) {
        for (size_t i = 0; i < list.size(); ++i) {
            bool same = true;
            for (size_t k = 0; k < v.size(); ++k) same = same && list[i][k] == v[k];
            if (same) return i;
        }
        list.push_back(v);
        return list.size() - 1;
    };
    std::vector<std::vector<float>> ps, ns, us;
    std::string p0, p1;
    for (size_t i = 0; i < all.size(); ++i) {
        const Vtx& v = all[i];
        std::string& p = i < 3000 ? p0 : p1;
        p += std::to_string(number(ps, {v.p[0], v.p[1], v.p[2]})) + " ";
        p += std::to_string(number(ns, {v.n[0], v.n[1], v.n[2]})) + " ";
        p += std::to_string(number(us, {v.uv[0], v.uv[1]})) + " ";
    }
    auto text = [](const std::vector<std::vector<float>>& list) {
        std::string out;
        char buf[64];
        for (const auto& e : list)
            for (float f : e) {
                std::snprintf(buf, sizeof buf, " %f", double(f));
                out += buf;
            }
        return out;
    };
    Built g(WriteMeshGeometry(model, mesh, "D", nullptr, 0x000B));
    auto tris = g.Triangles();
    ASSERT_EQ(tris.size(), 2u);
    EXPECT_EQ(TextOf(tris[0]->FirstChildElement("p")), p0);
    EXPECT_EQ(TextOf(tris[1]->FirstChildElement("p")), p1);
    EXPECT_EQ(g.ArrayText("D-POSITION"), text(ps));
    EXPECT_EQ(g.ArrayText("D-Normal0"), text(ns));
    EXPECT_EQ(g.ArrayText("D-UV0"), text(us));
}

TEST(MeshGeometry, SignedZeroSharesAnEntryAndNanNeverDoes) {
    Model model;
    AddMaterial(model, "m", "s");
    Mesh mesh;
    mesh.parts.push_back(PosPart(0, {{{-0.0f, 0, 1}}, {{0.0f, -0.0f, 1}}, {{kNan, 0, 0}}, {{kNan, 0, 0}}, {{0, 0, 1}}},
                                 {Group(0x0202, {0, 1, 2, 3, 4, 0})}));
    Built g(WriteMeshGeometry(model, mesh, "Z", nullptr, 0x0001));
    // The first of the equal zeros is the one written.
    EXPECT_EQ(g.ArrayText("Z-POSITION"), Floats({-0.0f, 0, 1, kNan, 0, 0, kNan, 0, 0}));
    EXPECT_EQ(TextOf(g.Triangles()[0]->FirstChildElement("p")), "0 0 1 2 0 0 ");
}

TEST(SimpleGeometry, FansListsAndShortFans) {
    const float pos[15] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0};
    const uint16_t seq[6] = {0, 1, 2, 3, 4, 0};
    struct Row {
        const char* what;
        int32_t vertices;
        int32_t indices;
        uint32_t type;
        const char* count;
        const char* p;
    };
    const Row rows[] = {
        {"engine shape of 5 points", 5, 5, 0x0205, "3", "0 1 2 0 2 3 0 3 4 "},
        {"list of 6 indices", 5, 6, 0x0202, "2", "0 1 2 3 4 0 "},
        {"strip of 4", 5, 4, 0x0206, "2", "0 1 2 1 3 2 "},
        {"fan of 2 points", 2, 2, 0x0205, "0", ""},
        {"fan of 1 point", 1, 1, 0x0205, "0", ""},
        {"fan of no points", 0, 0, 0x0205, "0", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::unique_ptr<TiXmlElement> g(WriteSimpleGeometry("ETSH[e]", pos, r.vertices, seq, r.indices, r.type));
        const TiXmlElement* mesh = g->FirstChildElement("mesh");
        EXPECT_EQ(KidNames(mesh), (std::vector<std::string>{"source", "vertices", "triangles"}));
        const TiXmlElement* tri = mesh->FirstChildElement("triangles");
        EXPECT_EQ(AttrNames(tri), std::vector<std::string>{"count"});
        EXPECT_EQ(Attr(tri, "count"), r.count);
        EXPECT_EQ(TextOf(tri->FirstChildElement("p")), r.p);
        EXPECT_EQ(PrintXml(tri->FirstChildElement("input")),
                  "<input semantic=\"VERTEX\" offset=\"0\" source=\"#ETSH[e]-VERTEX\" />");
        const TiXmlElement* array = FindByAttr(g.get(), "id", "ETSH[e]-POSITION-array");
        EXPECT_EQ(Attr(array, "count"), std::to_string(r.vertices * 3));
        // Not de-duplicated: the first and last points are both written.
        std::string want;
        for (int i = 0; i < r.vertices * 3; ++i) want += Floats({pos[i]});
        EXPECT_EQ(TextOf(array), want);
        EXPECT_EQ(Attr(g.get(), "id"), "ETSH[e]-lib");
        EXPECT_EQ(Attr(g.get(), "name"), "ETSH[e]Mesh");
    }
}
