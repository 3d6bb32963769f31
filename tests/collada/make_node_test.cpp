#include "collada/make_node.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/collada/xml_query.h"

namespace {

// Degrees as the document holds them: the single-precision product printed
// with "%f" (the oracle is the C library, not our formatter).
std::string Deg(float radians) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", double(radians * 57.2957763671875f));
    return buf;
}

}  // namespace

TEST(MakeNode, ChildrenAttributesAndDegreeTexts) {
    TiXmlElement scene("visual_scene");
    const float t[3] = {1.5f, -2.0f, 0.0f};
    const float r[3] = {0.25f, 1.5f, -3.0f};
    TiXmlElement* node = MakeNode(&scene, "JNT[Gun]", t, r);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Parent(), &scene);
    EXPECT_EQ(AttrNames(node), (std::vector<std::string>{"name", "id", "sid"}));
    EXPECT_EQ(Attr(node, "id"), "JNT[Gun]");
    EXPECT_EQ(Attr(node, "sid"), "JNT[Gun]");
    EXPECT_EQ(KidNames(node), (std::vector<std::string>{"translate", "rotate", "rotate", "rotate", "extra"}));
    auto kids = Kids(node);
    EXPECT_EQ(PrintXml(kids[0]), "<translate sid=\"translate\">1.500000 -2.000000 0.000000</translate>");
    EXPECT_EQ(Attr(kids[1], "sid"), "rotateZ");
    EXPECT_EQ(TextOf(kids[1]), "0 0 1 " + Deg(-3.0f));
    EXPECT_EQ(Attr(kids[2], "sid"), "rotateY");
    EXPECT_EQ(TextOf(kids[2]), "0 1 0 85.943665");
    EXPECT_EQ(Attr(kids[3], "sid"), "rotateX");
    EXPECT_EQ(TextOf(kids[3]), "1 0 0 " + Deg(0.25f));
    EXPECT_EQ(PrintXml(kids[4]),
              "<extra><technique profile=\"FCOLLADA\"><visibility>1.000000</visibility></technique></extra>");
    EXPECT_EQ(ToDegrees(0.5f), 0.5f * 57.2957763671875f);
    EXPECT_EQ(Deg(0.5f), "28.647888");
}

TEST(MakeNode, AbsentTransformsAreZero) {
    TiXmlElement scene("visual_scene");
    TiXmlElement* node = MakeNode(&scene, "ROOT_INFO", nullptr, nullptr);
    auto kids = Kids(node);
    ASSERT_EQ(kids.size(), 5u);
    EXPECT_EQ(TextOf(kids[0]), "0.000000 0.000000 0.000000");
    EXPECT_EQ(TextOf(kids[1]), "0 0 1 0.000000");
    EXPECT_EQ(TextOf(kids[2]), "0 1 0 0.000000");
    EXPECT_EQ(TextOf(kids[3]), "1 0 0 0.000000");
}

TEST(SplitLongName, LengthLimitAndGroups) {
    struct Row {
        const char* what;
        std::string name;
        std::string kept;
        std::vector<std::string> sub;  // empty: no SUB_PARAMS child
    };
    const std::string g62 = "NAVL[" + std::string(50, 'a') + "]_Q[12]";
    const Row rows[] = {
        {"60 characters stay whole", std::string("A[") + std::string(55, 'x') + "]_B", "", {}},
        {"61 characters are split", std::string("A[") + std::string(53, 'x') + "]_B[1]", "A[" + std::string(53, 'x') + "]",
         {"B[1]"}},
        {"the light example",
         "NAVL[Light1]_Type[default]_Sect[0]_Sz[1]_Ph[0]_Fr[2]_Col[1,0,0]", "NAVL[Light1]",
         {"Type[default]", "Sect[0]", "Sz[1]", "Ph[0]", "Fr[2]", "Col[1,0,0]"}},
        {"no bracket stays whole", std::string(70, 'z'), "", {}},
        {"text after the last bracket is dropped", "K[" + std::string(60, 'k') + "]_S[2]_tail", "K[" + std::string(60, 'k') + "]",
         {"S[2]"}},
        {"one group only", "ONE[" + std::string(60, 'o') + "]", "ONE[" + std::string(60, 'o') + "]", {}},
        {"long single group with suffix", g62, "NAVL[" + std::string(50, 'a') + "]", {"Q[12]"}},
    };
    EXPECT_EQ(rows[0].name.size(), 60u);
    EXPECT_EQ(rows[1].name.size(), 61u);
    EXPECT_EQ(rows[2].name.size(), 63u);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TiXmlElement scene("visual_scene");
        TiXmlElement* node = MakeNode(&scene, r.name, nullptr, nullptr);
        const std::string kept = r.kept.empty() ? r.name : r.kept;
        EXPECT_EQ(Attr(node, "name"), kept);
        EXPECT_EQ(Attr(node, "id"), kept);
        EXPECT_EQ(Attr(node, "sid"), kept);
        auto holders = Kids(node, "node");
        if (r.sub.empty()) {
            EXPECT_TRUE(holders.empty());
            continue;
        }
        ASSERT_EQ(holders.size(), 1u);
        // The holder comes after the node's transforms and extra.
        EXPECT_EQ(KidNames(node).back(), "node");
        EXPECT_EQ(AttrNames(holders[0]), (std::vector<std::string>{"name", "id"}));
        EXPECT_EQ(Attr(holders[0], "id"), "SUB_PARAMS");
        EXPECT_EQ(ChildNodeNames(holders[0]), r.sub);
        for (const TiXmlElement* sub : Kids(holders[0])) {
            EXPECT_EQ(Attr(sub, "id"), Attr(sub, "name"));
            EXPECT_EQ(Attr(sub, "sid"), "<none>");
            EXPECT_TRUE(Kids(sub).empty());
        }
    }
}
