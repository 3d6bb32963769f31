#include "collada/geometry.h"
#include "scene/build.h"
#include "scene/names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
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

// A part in format 0x000B (stride 10) from rows of position, normal, uv.
MeshPart PnuPart(int32_t material, const std::vector<std::array<float, 8>>& vs, std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.vertexCount = int32_t(vs.size());
    for (const auto& v : vs) part.vertices.insert(part.vertices.end(), {v[0], v[1], v[2], 1, v[3], v[4], v[5], 0, v[6], v[7]});
    part.groups = std::move(groups);
    return part;
}

// One mesh built into a scene (every model material in it, plus the shared
// material a "#..." target names) and encoded as a geometry.
struct Built {
    Scene scene;
    std::vector<int32_t> materials;
    std::unique_ptr<TiXmlDocument> doc;
    const TiXmlElement* owner = nullptr;
    Built(const Model& model, const Mesh& mesh, const char* name, const char* target, uint32_t mask) {
        SceneBuild build(model, scene);
        for (const auto& m : model.materials) {
            build.materialOf.push_back(int32_t(scene.materials.size()));
            scene.materials.emplace_back();
            scene.materials.back().name = MaterialName(*m);
        }
        int32_t shared = -1;
        if (target) {
            scene.materials.emplace_back();
            scene.materials.back().name = target + 1;
            scene.materials.back().glow = true;
            shared = int32_t(scene.materials.size() - 1);
        }
        scene.meshes.push_back(BuildMesh(build, mesh, name, shared, mask, materials));
        Encode();
    }
    explicit Built(SceneMesh mesh) {
        scene.meshes.push_back(std::move(mesh));
        Encode();
    }
    void Encode() {
        TiXmlElement library("library_geometries");
        AddGeometries(&library, scene);
        doc = Reparsed(library);
        owner = doc->RootElement()->FirstChildElement("geometry");
    }
    std::string Array(const std::string& id) const { return TextOf(Find(owner, "id", id + "-array")); }
    std::vector<const TiXmlElement*> Tris() const { return Kids(owner->FirstChildElement("mesh"), "triangles"); }
    std::string P(size_t i) const { return TextOf(Tris().at(i)->FirstChildElement("p")); }
};

}  // namespace

TEST(MeshGeometry, SharedPositionsAndNormalsWithDistinctUvsExactText) {
    Model model;
    AddMaterial(model, "hull", "ship");
    Mesh mesh;
    mesh.parts.push_back(PnuPart(0, {{0, 0, 0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 1, 0, 1, 0}, {1, 1, 0, 1, 0, 0, 1, 1},
                                     {0, 0, 0, 0, 0, 1, 0.5f, 0.5f}},
                                 {Group(0x0202, {0, 1, 2, 0, 2, 3})}));
    Built g(model, mesh, "G", nullptr, 0x000B);
    auto source = [](const std::string& id, const std::string& floats, int count, bool uv) {
        const std::string n = std::to_string(count * (uv ? 2 : 3));
        return "<source id=\"" + id + "\"><float_array id=\"" + id + "-array\" count=\"" + n + "\">" + floats +
               "</float_array><technique_common><accessor source=\"#" + id + "-array\" count=\"" +
               std::to_string(count) + "\" stride=\"" + (uv ? "2" : "3") + "\">" +
               (uv ? "<param name=\"S\" type=\"float\" /><param name=\"T\" type=\"float\" />"
                   : "<param name=\"X\" type=\"float\" /><param name=\"Y\" type=\"float\" />"
                     "<param name=\"Z\" type=\"float\" />") +
               "</accessor></technique_common></source>";
    };
    EXPECT_EQ(PrintXml(g.owner),
              "<geometry id=\"G-lib\" name=\"GMesh\"><mesh>" +
                  source("G-POSITION", Floats({0, 0, 0, 1, 0, 0, 1, 1, 0}), 3, false) +
                  source("G-Normal0", Floats({0, 0, 1, 0, 1, 0, 1, 0, 0}), 3, false) +
                  source("G-UV0", Floats({0, 0, 1, 0, 1, 1, 0.5f, 0.5f}), 4, true) +
                  "<vertices id=\"G-VERTEX\"><input semantic=\"POSITION\" source=\"#G-POSITION\" /></vertices>"
                  "<triangles count=\"2\" material=\"MAT[hull]_SHD[ship]\">"
                  "<input semantic=\"VERTEX\" offset=\"0\" source=\"#G-VERTEX\" />"
                  "<input semantic=\"NORMAL\" offset=\"1\" source=\"#G-Normal0\" />"
                  "<input semantic=\"TEXCOORD\" offset=\"2\" set=\"0\" source=\"#G-UV0\" />"
                  "<p>0 0 0 1 1 1 2 2 2 0 0 0 2 2 2 0 0 3 </p></triangles></mesh></geometry>");
    EXPECT_EQ(g.materials, std::vector<int32_t>{0});
}

TEST(MeshGeometry, MasksMaterialsAndUnsupportedGroups) {
    Model model;
    for (const char* m : {"m0", "m1", "m2"}) AddMaterial(model, m, "s");
    {
        SCOPED_TRACE("a part without normals under a union mask that has them");
        Mesh mesh;
        mesh.parts.push_back(PosPart(0, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {Group(0x0202, {0, 1, 2})}));
        Built g(model, mesh, "N", nullptr, 0x000B);
        EXPECT_EQ(g.Array("N-Normal0") + "|" + g.Array("N-UV0"), Floats({0, 0, 1}) + "|" + Floats({0, 0}));
        EXPECT_EQ(g.P(0), "0 0 0 1 0 0 2 0 0 ");
        EXPECT_EQ(Kids(g.Tris()[0], "input").size(), 3u);  // the mask decides the inputs
    }
    {
        SCOPED_TRACE("parts grouped by material; invalid materials left out");
        Mesh mesh;
        mesh.parts.push_back(PosPart(1, {1, 0, 0, 2, 0, 0, 3, 0, 0}, {Group(0x0202, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(0, {4, 0, 0, 5, 0, 0, 6, 0, 0}, {Group(0x0202, {2, 1, 0})}));
        mesh.parts.push_back(PosPart(1, {1, 0, 0, 7, 0, 0, 8, 0, 0, 9, 0, 0}, {Group(0x0205, {0, 1, 2, 3})}));
        mesh.parts.push_back(PosPart(7, {10, 0, 0, 11, 0, 0, 12, 0, 0}, {Group(0x0202, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(-1, {13, 0, 0, 14, 0, 0, 15, 0, 0}, {Group(0x0202, {0, 1, 2})}));
        Built g(model, mesh, "M", nullptr, 0x0001);
        ASSERT_EQ(g.Tris().size(), 3u);
        EXPECT_EQ(ChildNames(g.owner->FirstChildElement("mesh"), "triangles", "material"),
                  (std::vector<std::string>{"MAT[m0]_SHD[s]", "MAT[m1]_SHD[s]", "MAT[m1]_SHD[s]"}));
        // Numbering follows the material-ordered walk; (1, 0, 0) of the third
        // part is the entry the first part made.
        EXPECT_EQ(g.P(0), "2 1 0 ");
        EXPECT_EQ(g.P(1), "3 4 5 ");
        EXPECT_EQ(g.P(2), "3 6 7 3 7 8 ");
        EXPECT_EQ(g.Array("M-POSITION"), Floats({4, 0, 0, 5, 0, 0, 6, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 7, 0, 0, 8, 0, 0, 9, 0, 0}));
        EXPECT_EQ(g.materials, (std::vector<int32_t>{0, 1}));
        EXPECT_EQ(Find(g.owner, "id", "M-Normal0"), nullptr);
    }
    {
        SCOPED_TRACE("unsupported groups write no triangles but list the material");
        Mesh mesh;
        mesh.parts.push_back(PosPart(1, {1, 0, 0, 2, 0, 0, 3, 0, 0}, {Group(0x0203, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(1, {1, 0, 0, 2, 0, 0}, {Group(0x0205, {0, 1})}));
        Built g(model, mesh, "U", nullptr, 0x6001);
        EXPECT_EQ(PrintXml(g.owner->FirstChildElement("mesh")),
                  "<mesh><vertices id=\"U-VERTEX\"><input semantic=\"POSITION\" source=\"#U-POSITION\" /></vertices></mesh>");
        EXPECT_EQ(g.materials, std::vector<int32_t>{1});
    }
    {
        SCOPED_TRACE("a target binds every part, whatever its material, by its symbol (no \"#\")");
        Mesh mesh;
        mesh.parts.push_back(PosPart(1, {1, 0, 0, 2, 0, 0, 3, 0, 0}, {Group(0x0202, {0, 1, 2})}));
        mesh.parts.push_back(PosPart(-5, {1, 0, 0, 2, 0, 0, 4, 0, 0}, {Group(0x0206, {0, 1, 2})}));
        Built g(model, mesh, "GLOW[g]_LOD[0]", "#MATGLOW[x]", 0x2001);
        EXPECT_EQ(ChildNames(g.owner->FirstChildElement("mesh"), "triangles", "material"),
                  (std::vector<std::string>{"MATGLOW[x]", "MATGLOW[x]"}));
        EXPECT_EQ(g.P(1), "0 1 3 ");
        // A model without materials still gets the bound triangles.
        const Model bare;
        EXPECT_EQ(Built(bare, mesh, "GLOW[g]_LOD[0]", "#MATGLOW[x]", 0x0001).Tris().size(), 2u);
    }
}

// The hash index must number values exactly as a linear first-occurrence
// search with float equality would: +0 equals -0, a NaN equals nothing.
TEST(MeshGeometry, DeduplicationMatchesLinearSearchWithZeroAndNan) {
    Model model;
    AddMaterial(model, "m", "s");
    {
        Mesh mesh;
        mesh.parts.push_back(PosPart(0, {-0.0f, 0, 1, 0, -0.0f, 1, kNan, 0, 0, kNan, 0, 0, 0, 0, 1},
                                     {Group(0x0202, {0, 1, 2, 3, 4, 0})}));
        Built g(model, mesh, "Z", nullptr, 0x0001);
        EXPECT_EQ(g.Array("Z-POSITION"), Floats({-0.0f, 0, 1, kNan, 0, 0, kNan, 0, 0}));  // first zero written
        EXPECT_EQ(g.P(0), "0 0 1 2 0 0 ");
    }
    const float pool[5] = {0.0f, -0.0f, 1.0f, kNan, 2.5f};
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> pick(0, 4);
    std::bernoulli_distribution rareNan(0.02);
    auto value = [&] {
        float v = pool[pick(rng)];
        return std::isnan(v) && !rareNan(rng) ? 1.0f : v;
    };
    Mesh mesh;
    std::vector<std::array<float, 8>> all(6000);
    for (auto& v : all)
        for (float& f : v) f = value();
    std::vector<uint16_t> idx(3000);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint16_t(i);
    for (int p = 0; p < 2; ++p)
        mesh.parts.push_back(PnuPart(0, {all.begin() + 3000 * p, all.begin() + 3000 * (p + 1)}, {Group(0x0202, idx)}));

    // The oracle: the plain linear search.
    std::vector<std::vector<float>> lists[3];
    auto number = [&](int k, std::vector<float> v) {
        auto& list = lists[k];
        for (size_t i = 0; i < list.size(); ++i)
            if (std::equal(v.begin(), v.end(), list[i].begin())) return std::to_string(i) + " ";
        list.push_back(v);
        return std::to_string(list.size() - 1) + " ";
    };
    std::string p[2];
    for (size_t i = 0; i < all.size(); ++i) {
        const auto& v = all[i];
        p[i / 3000] += number(0, {v[0], v[1], v[2]}) + number(1, {v[3], v[4], v[5]}) + number(2, {v[6], v[7]});
    }
    Built g(model, mesh, "D", nullptr, 0x000B);
    ASSERT_EQ(g.Tris().size(), 2u);
    EXPECT_EQ(g.P(0), p[0]);
    EXPECT_EQ(g.P(1), p[1]);
    const char* ids[3] = {"D-POSITION", "D-Normal0", "D-UV0"};
    for (int k = 0; k < 3; ++k) {
        std::string want;
        for (const auto& e : lists[k])
            for (float f : e) want += Floats({f});
        EXPECT_EQ(g.Array(ids[k]), want) << ids[k];
    }
}

TEST(SimpleGeometry, FansListsStripsAndShortFans) {
    const float pos[15] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0};
    const uint16_t seq[6] = {0, 1, 2, 3, 4, 0};
    struct Row {
        const char* what;
        int32_t vertices, indices;
        uint32_t type;
        const char* count;
        const char* p;
    };
    const Row rows[] = {
        {"fan of 5 points", 5, 5, 0x0205, "3", "0 1 2 0 2 3 0 3 4 "},
        {"list of 6 indices", 5, 6, 0x0202, "2", "0 1 2 3 4 0 "},
        {"strip of 4", 5, 4, 0x0206, "2", "0 1 2 1 3 2 "},
        {"fan of 2 points", 2, 2, 0x0205, "0", ""},
        {"fan of 1 point", 1, 1, 0x0205, "0", ""},
        {"fan of no points", 0, 0, 0x0205, "0", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const Built built(BuildPositionsMesh("ETSH[e]", pos, r.vertices, std::vector<uint16_t>(seq, seq + r.indices), r.type));
        const TiXmlElement* g = built.owner;
        EXPECT_EQ(PrintXml(g).substr(0, 46), "<geometry id=\"ETSH[e]-lib\" name=\"ETSH[e]Mesh\">");
        const TiXmlElement* mesh = g->FirstChildElement("mesh");
        EXPECT_EQ(KidNames(mesh), (std::vector<std::string>{"source", "vertices", "triangles"}));
        const TiXmlElement* tri = mesh->FirstChildElement("triangles");
        EXPECT_EQ(PrintXml(tri), std::string("<triangles count=\"") + r.count +
                                     "\"><input semantic=\"VERTEX\" offset=\"0\" source=\"#ETSH[e]-VERTEX\" />" +
                                     (*r.p ? std::string("<p>") + r.p + "</p>" : "<p />") + "</triangles>");
        // Not de-duplicated: the first and last points are both written.
        std::string want;
        for (int i = 0; i < r.vertices * 3; ++i) want += Floats({pos[i]});
        EXPECT_EQ(TextOf(Find(g, "id", "ETSH[e]-POSITION-array")), want);
    }
}
