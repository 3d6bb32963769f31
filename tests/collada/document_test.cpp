#include "collada/document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/output.h"
#include "tests/collada/xml_query.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
struct TempFolder {
    fs::path path = fs::temp_directory_path() /
                    (std::string("vorda-doc-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     std::to_string(std::hash<std::string>()(fs::current_path().string())));
    TempFolder() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes an empty model; returns what the tool printed.
std::string Write(const std::string& path, bool* ok, uint32_t version = 512) {
    Model model;
    model.version = version;
    CapturedOutput captured;
    *ok = WriteDocument(model, path.c_str(), DaeOptions());
    return captured.Text();
}

}  // namespace

TEST(WriteDocument, SkeletonOfAModelWithoutMeshes) {
    TempFolder tmp;
    const std::string out = tmp / "out/ships/hull.dae";  // folders made on the way
    bool ok = false;
    EXPECT_EQ(Write(out, &ok), "Saving " + out + "\n");
    ASSERT_TRUE(ok);
    const std::string text = ReadAll(out);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\" ?>", 0), 0u);
    EXPECT_NE(text.find("<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"),
              std::string::npos);
    EXPECT_NE(text.find("<unit meter=\"0.010000\" name=\"centimeter\" />"), std::string::npos);

    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(out.c_str()));
    const TiXmlElement* root = doc.RootElement();
    EXPECT_EQ(KidNames(root),
              (std::vector<std::string>{"asset", "library_images", "library_materials", "library_effects",
                                        "library_geometries", "library_animations", "library_visual_scenes", "scene"}));
    const TiXmlElement* asset = root->FirstChildElement("asset");
    EXPECT_EQ(KidNames(asset), (std::vector<std::string>{"contributor", "unit", "up_axis"}));
    EXPECT_EQ(TextOf(asset->FirstChildElement("up_axis")), "Y_UP");
    EXPECT_EQ(TextOf(asset->FirstChildElement("contributor")->FirstChildElement("author")), "VORDA");
    const TiXmlElement* scene = root->FirstChildElement("library_visual_scenes")->FirstChildElement("visual_scene");
    EXPECT_EQ(PrintXml(root->FirstChildElement("scene")), "<scene><instance_visual_scene url=\"#hull\" /></scene>");
    EXPECT_NE(text.find("<visual_scene id=\"hull\" name=\"hull\">"), std::string::npos);
    EXPECT_EQ(ChildNames(scene), (std::vector<std::string>{"ROOT_INFO", "ROOT_LOD[0]"}));
    EXPECT_EQ(PrintXml(scene->FirstChildElement("extra")),
              "<extra><technique profile=\"MAX3D\"><frame_rate>30.000000</frame_rate></technique>"
              "<technique profile=\"FCOLLADA\"><start_time>0.000000</start_time><end_time>0.0333333</end_time>"
              "</technique></extra>");
    EXPECT_EQ(ChildNames(FindNode(scene, "ROOT_INFO")),
              (std::vector<std::string>{"UVSets[1]", "Class[MultiMesh]_Version[512]"}));
    for (const char* library : {"library_images", "library_materials", "library_effects", "library_geometries",
                                "library_animations"})
        EXPECT_TRUE(Kids(root->FirstChildElement(library)).empty()) << library;

    // The glow material is written only when the model has glows.
    Model glowing;
    glowing.glows.push_back(std::make_unique<Glow>());
    CapturedOutput captured;
    ASSERT_TRUE(WriteDocument(glowing, (tmp / "glow.dae").c_str(), DaeOptions()));
    TiXmlDocument withGlow;
    ASSERT_TRUE(withGlow.LoadFile((tmp / "glow.dae").c_str()));
    EXPECT_EQ(ChildNames(withGlow.RootElement()->FirstChildElement("library_materials"), "material", "id"),
              std::vector<std::string>{"MATGLOW[TALVE_Glow]"});
}

TEST(WriteDocument, DocumentNameFromThePath) {
    TempFolder tmp;
    const char* const rows[][3] = {{"a.b/c.d.dae", "c.d", "a.b/c.d.dae"}, {"x\\y\\ship.DAE", "ship", "x/y/ship.DAE"},
                                   {"plain", "plain", "plain"}};
    const fs::path before = fs::current_path();
    fs::current_path(tmp.path);
    std::ofstream(tmp / "plain") << std::string(100000, 'x');  // a longer older file is replaced whole
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0]);
        bool ok = false;
        EXPECT_EQ(Write(r[0], &ok), std::string("Saving ") + r[0] + "\n");
        TiXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile((tmp.path / r[2]).string().c_str()));
        EXPECT_EQ(Attr(Find(doc.RootElement(), "id", r[1], "visual_scene"), "name"), r[1]);
        EXPECT_NE(Find(doc.RootElement(), "url", std::string("#") + r[1]), nullptr);
    }
    fs::current_path(before);
    EXPECT_EQ(ReadAll(tmp / "plain").find("xxxxxxxxxx"), std::string::npos);
}

TEST(WriteDocument, FailedSaveReportsOnceAndKeepsTheOldFile) {
    TempFolder tmp;
    std::ofstream(tmp / "plainfile") << "x";
    fs::create_directory(tmp / "isdir.dae");
    const std::string good = tmp / "good.dae";
    bool ok = false;
    Write(good, &ok);
    ASSERT_TRUE(ok);
    const std::string before = ReadAll(good);
    fs::create_directory(good + ".saving");  // blocks the file the save streams into
    for (const std::string& out : {tmp / "isdir.dae", tmp / "plainfile/sub/a.dae", good}) {
        SCOPED_TRACE(out);
        EXPECT_EQ(Write(out, &ok, 7), "Saving " + out + "\nError - Cannot write " + out + "\n");
        EXPECT_FALSE(ok);
    }
    EXPECT_TRUE(fs::is_directory(tmp / "isdir.dae"));
    EXPECT_EQ(ReadAll(tmp / "plainfile"), "x");
    EXPECT_EQ(ReadAll(good), before);
}
