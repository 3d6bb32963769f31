#include "collada/document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/output.h"
#include "tests/collada/xml_query.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes the model; returns what the tool printed, and whether it succeeded in *ok.
std::string Write(Model& model, const std::string& path, bool* ok) {
    CapturedOutput captured;
    *ok = WriteDocument(model, path.c_str(), DaeOptions());
    return captured.Text();
}

}  // namespace

TEST(WriteDocument, SkeletonOfAModelWithoutMeshes) {
    TempDir tmp;
    const std::string out = tmp / "out/ships/hull.dae";  // folders made on the way
    Model model;
    model.version = 512;
    bool ok = false;
    EXPECT_EQ(Write(model, out, &ok), "Saving " + out + "\n");
    ASSERT_TRUE(ok);
    const std::string text = ReadAll(out);
    for (const char* part : {"<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\" ?>",
                             "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">",
                             "<unit meter=\"0.010000\" name=\"centimeter\" />", "<visual_scene id=\"hull\" name=\"hull\">"})
        EXPECT_NE(text.find(part), std::string::npos) << part;

    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(out.c_str()));
    const TiXmlElement* root = doc.RootElement();
    EXPECT_EQ(KidNames(root),
              (std::vector<std::string>{"asset", "library_images", "library_materials", "library_effects",
                                        "library_geometries", "library_animations", "library_visual_scenes", "scene"}));
    for (const TiXmlElement* library : Kids(root))
        if (library->ValueStr().rfind("library_", 0) == 0 && library->ValueStr() != "library_visual_scenes") {
            EXPECT_TRUE(Kids(library).empty()) << library->Value();
        }
    const TiXmlElement* asset = root->FirstChildElement("asset");
    EXPECT_EQ(KidNames(asset), (std::vector<std::string>{"contributor", "created", "modified", "unit", "up_axis"}));
    EXPECT_EQ(TextOf(asset->FirstChildElement("created")) + " " + TextOf(asset->FirstChildElement("modified")),
              "1970-01-01T00:00:00Z 1970-01-01T00:00:00Z");
    EXPECT_EQ(TextOf(asset->FirstChildElement("up_axis")), "Y_UP");
    EXPECT_EQ(TextOf(asset->FirstChildElement("contributor")->FirstChildElement("author")), "VORDA");
    EXPECT_EQ(PrintXml(root->FirstChildElement("scene")), "<scene><instance_visual_scene url=\"#hull\" /></scene>");
    const TiXmlElement* scene = Find(root, "id", "hull", "visual_scene");
    EXPECT_EQ(ChildNames(scene), (std::vector<std::string>{"ROOT_INFO", "ROOT_LOD[0]"}));
    EXPECT_EQ(ChildNames(FindNode(scene, "ROOT_INFO")), (std::vector<std::string>{"UVSets[1]", "Class[MultiMesh]_Version[512]"}));
    EXPECT_EQ(PrintXml(scene->FirstChildElement("extra")),
              "<extra><technique profile=\"MAX3D\"><frame_rate>30.000000</frame_rate></technique>"
              "<technique profile=\"FCOLLADA\"><start_time>0.000000</start_time><end_time>0.0333333</end_time>"
              "</technique></extra>");

    // The glow material is written only when the model has glows.
    model.glows.push_back(std::make_unique<Glow>());
    Write(model, tmp / "glow.dae", &ok);
    TiXmlDocument withGlow;
    ASSERT_TRUE(withGlow.LoadFile((tmp / "glow.dae").c_str()));
    EXPECT_EQ(ChildNames(withGlow.RootElement()->FirstChildElement("library_materials"), "material", "id"),
              std::vector<std::string>{"MATGLOW[TALVE_Glow]"});
}

TEST(WriteDocument, NamesFromThePathAndFailedSaves) {
    TempDir tmp;
    const fs::path before = fs::current_path();
    fs::current_path(tmp.path);
    std::ofstream("plain") << std::string(100000, 'x');  // a longer older file is replaced whole
    Model model;
    bool ok = false;
    for (const char* name : {"a.b/c.d.dae", "x\\y\\ship.DAE", "plain"}) {
        EXPECT_EQ(Write(model, name, &ok), std::string("Saving ") + name + "\n");
        const std::string text = ReadAll(name[0] == 'x' ? "x/y/ship.DAE" : name);
        const std::string docName = name[0] == 'a' ? "c.d" : name[0] == 'x' ? "ship" : "plain";
        EXPECT_NE(text.find("<visual_scene id=\"" + docName + "\" name=\"" + docName + "\">"), std::string::npos) << name;
        EXPECT_NE(text.find("<instance_visual_scene url=\"#" + docName + "\" />"), std::string::npos) << name;
    }
    EXPECT_EQ(ReadAll("plain").find("xxxxxxxxxx"), std::string::npos);

    // A failed save reports the old line and one with the reason, and leaves
    // what was there.
    std::ofstream("plainfile") << "x";
    fs::create_directory("isdir.dae");
    const std::string good = ReadAll("plain");
    fs::create_directory("plain.saving");  // blocks the file the save streams into
    model.version = 7;
    const std::pair<std::string, std::string> failures[] = {
        {"isdir.dae", "Is a directory"}, {"plainfile/sub/a.dae", "Not a directory"}, {"plain", "Is a directory"}};
    for (const auto& [out, reason] : failures) {
        EXPECT_EQ(Write(model, out, &ok), "Saving " + out + "\nError - Cannot write " + out +
                                              "\nError - Cannot write DAE file " + out + " - " + reason + "\n");
        EXPECT_FALSE(ok) << out;
    }
    EXPECT_TRUE(fs::is_directory("isdir.dae"));
    EXPECT_EQ(ReadAll("plainfile"), "x");
    EXPECT_EQ(ReadAll("plain"), good);
    fs::current_path(before);
}
