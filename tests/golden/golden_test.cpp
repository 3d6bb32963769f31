// The golden conversions: the sample and the rich test model converted by the
// built tool and compared byte for byte with tests/golden/expected (printed
// text, DAE with its build-date line masked, SHA-256 of every TGA; the glTF
// JSON of the GLB laid out one value a line, SHA-256 of the GLB, the .gltf,
// its buffer and PNG files); `make golden` rewrites them after an intended
// change. Outside readers run here.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tests/support/dae_checks.h"
#include "tests/support/test_util.h"

namespace {

const std::string kExpected = std::string(VORDA_SOURCE_DIR) + "/tests/golden/expected/";

// The line of the document that carries the tool's build date.
std::string MaskBuildDate(const std::string& dae) {
    std::istringstream in(dae);
    std::string out;
    for (std::string line; std::getline(in, line);)
        out += (line.find("<authoring_tool>") != std::string::npos ? "(build-date line)" : line) + "\n";
    return out;
}

// Empty when equal; else the first differing line of both.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int line = 1;; ++line) {
        const bool he = bool(std::getline(e, le)), ha = bool(std::getline(a, la));
        if (!he && !ha) return "the files differ only in their line ends";
        if (!he || !ha || le != la)
            return "first difference at line " + std::to_string(line) + "\n  expected: " + (he ? le : "<end>") +
                   "\n  actual:   " + (ha ? la : "<end>");
    }
}

// Compares text with the expected file `name` of `set`, or rewrites it.
void Golden(const std::string& set, const std::string& name, const std::string& actual) {
    const std::string path = kExpected + set + "/" + name;
    if (const char* v = std::getenv("VORDA_GOLDEN_UPDATE"); v && *v && std::string(v) != "0") {
        std::filesystem::create_directories(kExpected + set);
        ASSERT_TRUE(SaveBytes(path, Bytes(actual.begin(), actual.end()))) << path;
        return;
    }
    const std::string diff = FirstDifference(ReadText(path), actual);
    EXPECT_EQ(diff, "") << path << " (run `make golden` after an intended change)";
}

// Converts <folder>/<set>.zem to <set>.dae and checks everything it wrote
// against the expected files; returns the DAE path.
std::string ConvertAndCompare(const TempFolder& t, const std::string& set, int status,
                              const std::string& options = "") {
    const RunResult run = RunTool(
        {"$DAE_OUT_OPT=" + options, "$CONVERT_IN=" + set + ".zem", "$CONVERT_OUT=" + set + ".dae", "do=convert"}, t.Path());
    EXPECT_EQ(run.status, status) << run.output;
    Golden(set, "output.txt", run.output);
    Golden(set, set + ".dae", MaskBuildDate(ReadText(t.File(set + ".dae"))));
    const RunResult sums = RunShell("sha256sum *.TGA", t.Path());
    Golden(set, "tga.sha256", sums.output);
    return t.File(set + ".dae");
}

// The JSON chunk of a GLB, one value a line (numbers as read back).
std::string GlbJsonLines(const std::string& glbPath) {
    const Bytes bytes = ReadBytes(glbPath);
    uint32_t head[5] = {};
    if (bytes.size() < sizeof head) return "<no GLB>";
    std::memcpy(head, bytes.data(), sizeof head);
    if (head[3] > bytes.size() - sizeof head) return "<cut short>";
    rapidjson::Document json;
    json.Parse<rapidjson::kParseFullPrecisionFlag>(reinterpret_cast<const char*>(bytes.data() + 20), head[3]);
    if (json.HasParseError()) return "<no JSON>";
    rapidjson::StringBuffer text;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
    writer.SetIndent(' ', 1);
    json.Accept(writer);
    return std::string(text.GetString(), text.GetSize()) + "\n";
}

// Converts <folder>/<set>.zem to <set>.glb and gltf/<set>.gltf, checks them
// against the expected files and the glTF validator.
void ConvertGltfAndCompare(const TempFolder& t, const std::string& set) {
    for (const std::string& out : {set + ".glb", "gltf/" + set + ".gltf"})
        RunTool({"$CONVERT_IN=" + set + ".zem", "$CONVERT_OUT=" + out, "do=convert"}, t.Path());
    Golden(set, set + ".gltf.json", GlbJsonLines(t.File(set + ".glb")));
    Golden(set, "gltf.sha256", RunShell("sha256sum *.glb gltf/*", t.Path()).output);
    const RunResult validated = RunShell("NODE_PATH=" + ShellQuote(std::string(VORDA_SOURCE_DIR) + "/build/node/node_modules") +
                                         " node " + ShellQuote(std::string(VORDA_SOURCE_DIR) + "/scripts/gltf_validate.js") +
                                         " " + set + ".glb gltf/" + set + ".gltf", t.Path());
    EXPECT_EQ(validated.status, 0) << validated.output;
}

}  // namespace

// The counts below are taken by hand from sample/sample_model.cpp (95 nodes,
// 7 animation elements, 12 geometries of 90 triangles, 5 materials).
TEST(Golden, SampleConvertsAsExpectedAndOpensInOutsideReaders) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    const std::string dae = ConvertAndCompare(t, "sample", 0);
    ConvertGltfAndCompare(t, "sample");

    std::string listed;
    for (const std::string& e : DaeSchemaErrors(dae)) listed += e + "\n";
    EXPECT_EQ(listed, "");

    const AssimpInfo assimp = RunAssimpInfo(dae);
    ASSERT_TRUE(assimp.ok) << assimp.output;
    EXPECT_EQ(assimp.nodes, 96) << "assimp adds one root node";
    EXPECT_NE(assimp.output.find("Animation Channels: 5\n"), std::string::npos) << assimp.output;

    const PyColladaInfo py = RunPyCollada(dae);
    ASSERT_TRUE(py.ok) << py.output;
    const std::pair<const char*, long> counts[] = {{"nodes", 95},     {"animations", 7}, {"geometries", 12},
                                                   {"triangles", 90}, {"materials", 5},  {"errors", 0},
                                                   {"unbound", 0}};
    for (const auto& c : counts) EXPECT_EQ(py.Count(c.first), c.second) << c.first << "\n" << py.output;

    const RunResult identify = RunShell("identify *.TGA", t.Path());
    EXPECT_EQ(identify.status, 0) << identify.output;
    // 12 maps and the picture of the one image no material uses.
    EXPECT_EQ(std::count(identify.output.begin(), identify.output.end(), '\n'), 13) << identify.output;

    std::string missing;
    for (const std::string& p : BlenderImportProblems(dae)) missing += p + "\n";
    EXPECT_EQ(missing, "") << "Blender";
}

TEST(Golden, RichModelConvertsAsExpectedAndParsesStrictly) {
    TempFolder t;
    ASSERT_TRUE(WriteModelFiles(t.File("rich.zem"), *RichModel(), BuildSampleAnimation().get()));
    const std::string dae = ConvertAndCompare(t, "rich", 1, "VerboseTextures");  // 1: damaged
    ConvertGltfAndCompare(t, "rich");
    EXPECT_EQ(StrictXmlErrors({dae}), "");
    const PyColladaInfo py = RunPyCollada(dae);
    ASSERT_TRUE(py.ok) << py.output;
    EXPECT_EQ(py.Count("errors"), 0) << py.output;
    const AssimpInfo assimp = RunAssimpInfo(dae);
    EXPECT_TRUE(assimp.ok) << assimp.output;
}
