// Writer rules the golden conversions cannot show: value numbering against a
// plain linear search, names of any bytes through the XML library, and the
// bound on nested joint nodes.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>

#include "collada/dae_state.h"
#include "collada/geometry.h"
#include "collada/nodes.h"
#include "collada/xml_blocks.h"

namespace {

const float kNan = std::nanf("");

std::string Attr(const TiXmlElement* e, const char* name) {
    const char* v = e ? e->Attribute(name) : nullptr;
    return v ? v : "<none>";
}

std::string TextOf(const TiXmlElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "";
}

const TiXmlElement* FindId(const TiXmlElement* e, const std::string& id) {
    if (!e) return nullptr;
    if (Attr(e, "id") == id) return e;
    for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement())
        if (const TiXmlElement* found = FindId(c, id)) return found;
    return nullptr;
}

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

PrimitiveGroup Group(uint32_t type, std::vector<uint16_t> indices) {
    PrimitiveGroup g;
    g.type = type;
    g.indexCount = int32_t(indices.size());
    g.indices = std::move(indices);
    return g;
}

// A part in format 0x000B (stride 10) from rows of position, normal, uv.
MeshPart PnuPart(const std::vector<std::array<float, 8>>& vs, std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = 0;
    part.vertexCount = int32_t(vs.size());
    for (const auto& v : vs) part.vertices.insert(part.vertices.end(), {v[0], v[1], v[2], 1, v[3], v[4], v[5], 0, v[6], v[7]});
    part.groups = std::move(groups);
    return part;
}

// Owns the geometry element the writer hands back.
struct Built {
    GeometryResult result;
    std::unique_ptr<TiXmlElement> owner;
    Built(const Model& model, const Mesh& mesh, const char* name, uint32_t mask)
        : result(WriteMeshGeometry(model, mesh, name, nullptr, mask)), owner(result.geometry) {}
    std::string Array(const std::string& id) const { return TextOf(FindId(owner.get(), id + "-array")); }
    std::string P(size_t i) const {
        const TiXmlElement* t = owner->FirstChildElement("mesh")->FirstChildElement("triangles");
        for (; i > 0 && t; --i) t = t->NextSiblingElement("triangles");
        return t ? TextOf(t->FirstChildElement("p")) : "<none>";
    }
};

}  // namespace

// The hash index must number values exactly as a linear first-occurrence
// search with float equality would: +0 equals -0, a NaN equals nothing.
TEST(MeshGeometry, DeduplicationMatchesLinearSearchWithZeroAndNan) {
    Model model;
    model.materials.emplace_back(new Material);
    model.materials[0]->index = 0;
    {
        Mesh mesh;
        MeshPart part;  // positions only (format 0x0001, stride 4)
        part.materialIndex = 0;
        part.format = 0x0001;
        part.stride = 4;
        part.vertexCount = 5;
        part.vertices = {-0.0f, 0, 1, 1, 0, -0.0f, 1, 1, kNan, 0, 0, 1, kNan, 0, 0, 1, 0, 0, 1, 1};
        part.groups = {Group(0x0202, {0, 1, 2, 3, 4, 0})};
        mesh.parts.push_back(part);
        Built g(model, mesh, "Z", 0x0001);
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
        mesh.parts.push_back(PnuPart({all.begin() + 3000 * p, all.begin() + 3000 * (p + 1)}, {Group(0x0202, idx)}));

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
    Built g(model, mesh, "D", 0x000B);
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

// Names from a model reach the file escaped exactly once, and whatever bytes
// they hold the file parses back.
TEST(XmlSafeText, RoundTripsThroughTheXmlLibrary) {
    struct Row {
        const char* what;
        std::string in, readBack;
    };
    const Row rows[] = {
        {"plain ASCII unchanged", "JNT[Gun]_Part[1,2]", "JNT[Gun]_Part[1,2]"},
        {"markup characters", "a<b>&\"c'", "a<b>&\"c'"},
        {"character reference lookalike", "x&#x41;y", "x&#x41;y"},
        {"control characters", std::string("a\x01" "b\x1f", 4), "a_b_"},
        {"valid UTF-8 kept", "caf\xc3\xa9", "caf\xc3\xa9"},
        {"Windows-1252 quotes", "\x93q\x94", "\xe2\x80\x9cq\xe2\x80\x9d"},
        {"unassigned 1252 byte", "a\x81", "a_"},
        {"latin-1 byte", "\xe9t", "\xc3\xa9t"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TiXmlDocument doc;
        TiXmlElement* e = AddChildElement(doc.LinkEndChild(new TiXmlElement("root"))->ToElement(), "n");
        SetAttr(e, "name", r.in);
        AddText(e, r.in.c_str());
        TiXmlPrinter printer;
        doc.Accept(&printer);
        TiXmlDocument back;
        back.Parse(printer.CStr());
        ASSERT_FALSE(back.Error()) << printer.Str();
        const TiXmlElement* n = back.RootElement()->FirstChildElement("n");
        EXPECT_EQ(Attr(n, "name"), r.readBack);
        EXPECT_EQ(TextOf(n), r.readBack);
    }
}

// A chain of joints deeper than any skeleton (a damaged file) stops at 200
// nested joint nodes instead of writing a file quadratic in the chain length.
TEST(JointNodes, NestingIsBounded) {
    Model model;
    for (int i = 0; i < 2000; ++i) {
        model.joints.emplace_back(new Joint);
        model.joints.back()->index = i;
        model.joints.back()->parentIndex = i - 1;
        model.joints.back()->name.Set("J" + std::to_string(i));
    }
    TiXmlElement top("node");
    DaeState state;
    state.model = &model;
    WriteJointNodes(state, -1, &top);
    int depth = 0;
    for (const TiXmlElement* e = &top; (e = e->FirstChildElement("node")) != nullptr;) ++depth;
    EXPECT_EQ(depth, 200);
}

