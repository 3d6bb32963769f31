#include "collada/nodes.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/collada/xml_query.h"

namespace {

// The visual scene of a scene holding the given root nodes, as saved.
std::unique_ptr<TiXmlDocument> Encoded(const Scene& scene) {
    TiXmlElement visualScene("visual_scene");
    AddNodes(&visualScene, scene);
    return Reparsed(visualScene);
}

}  // namespace

TEST(MakeNode, LayoutAndDegreeTexts) {
    Scene scene;
    const float t[3] = {1.5f, -2.0f, 0.0f};
    const float r[3] = {0.5f, 1.5f, -3.0f};
    scene.AddNode(-1, "JNT[Gun]", t, r);
    scene.AddNode(-1, "ROOT_INFO", nullptr, nullptr);
    const auto doc = Encoded(scene);
    const TiXmlElement* node = doc->RootElement()->FirstChildElement("node");
    ASSERT_NE(node, nullptr);
    // Degrees as the single-precision product printed by the C library.
    char z[64];
    std::snprintf(z, sizeof z, "%f", double(-3.0f * 57.2957763671875f));
    EXPECT_EQ(PrintXml(node),
              "<node name=\"JNT[Gun]\" id=\"JNT[Gun]\" sid=\"JNT[Gun]\">"
              "<translate sid=\"translate\">1.500000 -2.000000 0.000000</translate>"
              "<rotate sid=\"rotateZ\">0 0 1 " + std::string(z) + "</rotate>"
              "<rotate sid=\"rotateY\">0 1 0 85.943665</rotate>"
              "<rotate sid=\"rotateX\">1 0 0 28.647888</rotate>"
              "<extra><technique profile=\"FCOLLADA\"><visibility>1.000000</visibility></technique></extra></node>");
    const TiXmlElement* bare = node->NextSiblingElement("node");
    EXPECT_EQ(TransformText(bare, "translate"), "0.000000 0.000000 0.000000");
    EXPECT_EQ(TransformText(bare, "rotateX"), "1 0 0 0.000000");
}

TEST(SplitLongName, LengthLimitAndGroups) {
    struct Row {
        const char* what;
        std::string name, kept;
        std::vector<std::string> sub;  // empty: no SUB_PARAMS child
    };
    const std::string x53(53, 'x'), k60(60, 'k');
    const Row rows[] = {
        {"60 characters stay whole", "A[" + std::string(55, 'x') + "]_B", "", {}},
        {"61 characters are split", "A[" + x53 + "]_B[1]", "A[" + x53 + "]", {"B[1]"}},
        {"the light example", "NAVL[Light1]_Type[default]_Sect[0]_Sz[1]_Ph[0]_Fr[2]_Col[1,0,0]", "NAVL[Light1]",
         {"Type[default]", "Sect[0]", "Sz[1]", "Ph[0]", "Fr[2]", "Col[1,0,0]"}},
        {"no bracket stays whole", std::string(70, 'z'), "", {}},
        {"text after the last bracket is dropped", "K[" + k60 + "]_S[2]_tail", "K[" + k60 + "]", {"S[2]"}},
        {"one group only", "ONE[" + k60 + "]", "", {}},
    };
    ASSERT_EQ(rows[0].name.size(), 60u);
    ASSERT_EQ(rows[1].name.size(), 61u);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Scene scene;
        scene.AddNode(-1, r.name, nullptr, nullptr);
        const auto doc = Encoded(scene);
        const TiXmlElement* node = doc->RootElement()->FirstChildElement("node");
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
        EXPECT_EQ(KidNames(node).back(), "node");  // after the transforms and extra
        std::string want = "<node name=\"SUB_PARAMS\" id=\"SUB_PARAMS\">";
        for (const std::string& s : r.sub) want += "<node name=\"" + s + "\" id=\"" + s + "\" />";
        EXPECT_EQ(PrintXml(holders[0]), want + "</node>");
    }
}
