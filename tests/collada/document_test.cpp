#include "collada/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/output.h"
#include "tests/collada/xml_query.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
struct TempFolder {
    fs::path path;
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / (std::string("vorda-doc-") + info->name() + "-" +
                                            std::to_string(std::hash<std::string>()(fs::current_path().string())));
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

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Model EmptyModel() {
    Model model;
    model.type = 0;
    model.version = 512;
    return model;
}

}  // namespace

TEST(WriteDocument, SkeletonOfAModelWithoutMeshes) {
    TempFolder tmp;
    const std::string out = tmp / "out/ships/hull.dae";
    Model model = EmptyModel();
    CapturedOutput captured;
    ASSERT_TRUE(WriteDocument(model, out.c_str(), DaeOptions()));
    EXPECT_EQ(captured.Text(), "Saving " + out + "\n");
    EXPECT_EQ(Listing(tmp.path / "out/ships"), std::vector<std::string>{"hull.dae"});

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
    const TiXmlElement* contributor = asset->FirstChildElement("contributor");
    EXPECT_EQ(TextOf(contributor->FirstChildElement("author")), "VORDA");
    // The build date as the compiler gives it ("Apr 16 2015", "Dec  6 2026").
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(<authoring_tool>VORDA [A-Z][a-z]{2} [ 123]\d \d{4} \d\d:\d\d:\d\d</authoring_tool>)")))
        << TextOf(contributor->FirstChildElement("authoring_tool"));

    const TiXmlElement* scene = root->FirstChildElement("library_visual_scenes")->FirstChildElement("visual_scene");
    EXPECT_EQ(AttrNames(scene), (std::vector<std::string>{"id", "name"}));
    EXPECT_EQ(Attr(scene, "id"), "hull");
    EXPECT_EQ(Attr(scene, "name"), "hull");
    EXPECT_EQ(PrintXml(root->FirstChildElement("scene")), "<scene><instance_visual_scene url=\"#hull\" /></scene>");
    EXPECT_EQ(KidNames(scene), (std::vector<std::string>{"node", "node", "extra"}));
    EXPECT_EQ(ChildNodeNames(scene), (std::vector<std::string>{"ROOT_INFO", "ROOT_LOD[0]"}));
    EXPECT_EQ(PrintXml(scene->FirstChildElement("extra")),
              "<extra><technique profile=\"MAX3D\"><frame_rate>30.000000</frame_rate></technique>"
              "<technique profile=\"FCOLLADA\"><start_time>0.000000</start_time><end_time>0.0333333</end_time>"
              "</technique></extra>");
    const TiXmlElement* info = FindByAttr(scene, "id", "ROOT_INFO");
    EXPECT_EQ(ChildNodeNames(info), (std::vector<std::string>{"UVSets[1]", "Class[MultiMesh]_Version[512]"}));
    for (const char* library : {"library_images", "library_materials", "library_effects", "library_geometries",
                                "library_animations"})
        EXPECT_TRUE(Kids(root->FirstChildElement(library)).empty()) << library;
}

TEST(WriteDocument, DocumentNameAndFolderFromThePath) {
    TempFolder tmp;
    struct Row {
        std::string path;       // relative to the temporary folder
        std::string name;       // the document name
        std::string savedAs;    // where the file lands
    };
    const Row rows[] = {
        {"hull.dae", "hull", "hull.dae"},
        {"a.b/c.d.dae", "c.d", "a.b/c.d.dae"},
        {"x\\y\\ship.DAE", "ship", "x/y/ship.DAE"},
        {"plain", "plain", "plain"},
    };
    const fs::path before = fs::current_path();
    fs::current_path(tmp.path);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        Model model = EmptyModel();
        CapturedOutput captured;
        ASSERT_TRUE(WriteDocument(model, r.path.c_str(), DaeOptions()));
        EXPECT_EQ(captured.Text(), "Saving " + r.path + "\n");
        TiXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile((tmp.path / r.savedAs).string().c_str()));
        const TiXmlElement* root = doc.RootElement();
        EXPECT_EQ(Attr(root->FirstChildElement("library_visual_scenes")->FirstChildElement("visual_scene"), "id"),
                  r.name);
        EXPECT_EQ(Attr(root->FirstChildElement("scene")->FirstChildElement("instance_visual_scene"), "url"),
                  "#" + r.name);
    }
    fs::current_path(before);
}

TEST(WriteDocument, FailedSaveReportsOnceAndKeepsTheOldFile) {
    TempFolder tmp;
    {
        SCOPED_TRACE("the target is a folder");
        const std::string out = tmp / "isdir.dae";
        fs::create_directory(out);
        Model model = EmptyModel();
        CapturedOutput captured;
        EXPECT_FALSE(WriteDocument(model, out.c_str(), DaeOptions()));
        EXPECT_EQ(captured.Text(), "Saving " + out + "\nError - Cannot write " + out + "\n");
        EXPECT_TRUE(fs::is_directory(out));
        EXPECT_EQ(Listing(tmp.path), std::vector<std::string>{"isdir.dae"});
        fs::remove(out);
    }
    {
        SCOPED_TRACE("the folder is a regular file");
        std::ofstream(tmp / "plainfile") << "x";
        const std::string out = tmp / "plainfile/sub/a.dae";
        Model model = EmptyModel();
        CapturedOutput captured;
        EXPECT_FALSE(WriteDocument(model, out.c_str(), DaeOptions()));
        EXPECT_EQ(captured.Text(), "Saving " + out + "\nError - Cannot write " + out + "\n");
        EXPECT_EQ(ReadAll(tmp / "plainfile"), "x");
        fs::remove(tmp / "plainfile");
    }
    {
        SCOPED_TRACE("a good document stays when the new one cannot be written");
        const std::string out = tmp / "good.dae";
        Model model = EmptyModel();
        {
            CapturedOutput captured;
            ASSERT_TRUE(WriteDocument(model, out.c_str(), DaeOptions()));
        }
        const std::string good = ReadAll(out);
        ASSERT_NE(good.find("</COLLADA>"), std::string::npos);
        // Block the file the save streams into.
        fs::create_directory(out + ".saving");
        Model other = EmptyModel();
        other.version = 7;
        CapturedOutput captured;
        EXPECT_FALSE(WriteDocument(other, out.c_str(), DaeOptions()));
        EXPECT_EQ(captured.Text(), "Saving " + out + "\nError - Cannot write " + out + "\n");
        EXPECT_EQ(ReadAll(out), good);
        EXPECT_TRUE(fs::is_directory(out + ".saving"));
    }
}

TEST(WriteDocument, ReplacesAnOlderFile) {
    TempFolder tmp;
    const std::string out = tmp / "again.dae";
    std::ofstream(out) << std::string(100000, 'x');
    Model model = EmptyModel();
    model.version = 512;
    CapturedOutput captured;
    ASSERT_TRUE(WriteDocument(model, out.c_str(), DaeOptions()));
    const std::string text = ReadAll(out);
    EXPECT_EQ(text.find('x' + std::string(10, 'x')), std::string::npos);
    EXPECT_NE(text.find("Class[MultiMesh]_Version[512]"), std::string::npos);
    EXPECT_EQ(Listing(tmp.path), std::vector<std::string>{"again.dae"});
}
