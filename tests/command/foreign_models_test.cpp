// Models made by other programs, converted into the game's format: one row
// per input (how it is made, what the conversion must give). A success
// writes a ZEM that reads without damage and converts back to a DAE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "import/png_read.h"
#include "texture/tga_read.h"
#include "tests/support/test_util.h"

namespace fs = std::filesystem;

namespace {

// The most a colour channel of a smooth picture moves through DXT1 (4-bit
// colour steps, with the two interpolated ones).
constexpr int kDxtError = 12;

// A triangle's positions (0 0 0, 1 0 0, 0 1 0) as a glTF buffer.
const char* const kTriangleBuffer =
    R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],)"
    R"("bufferViews":[{"buffer":0,"byteLength":36}],"buffers":[{"byteLength":36,)"
    R"("uri":"data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}])";

// A glTF document of the triangle: its nodes, meshes and any further
// top-level members.
std::string Gltf(const std::string& nodes, const std::string& meshes, const std::string& more = "") {
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":)" + nodes +
           R"(,"meshes":)" + meshes + "," + kTriangleBuffer + more + "}";
}

// One node of the triangle under `depth` nodes, as glTF and as DAE.
std::string DeepGltf(int depth) {
    std::string nodes = "[";
    for (int i = 0; i < depth; ++i) nodes += R"({"children":[)" + std::to_string(i + 1) + "]},";
    return Gltf(nodes + R"({"name":"Leaf","mesh":0}])", R"([{"primitives":[{"attributes":{"POSITION":0}}]}])");
}
std::string DeepDae(int depth) {
    std::string dae =
        R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">)"
        R"(<library_geometries><geometry id="g"><mesh><source id="p"><float_array id="a" count="9">0 0 0 1 0 0 0 1 0)"
        R"(</float_array><technique_common><accessor source="#a" count="3" stride="3"><param name="X" type="float"/>)"
        R"(<param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>)"
        R"(<vertices id="v"><input semantic="POSITION" source="#p"/></vertices><triangles count="1">)"
        R"(<input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles></mesh></geometry>)"
        R"(</library_geometries><library_visual_scenes><visual_scene id="s">)";
    for (int i = 0; i < depth; ++i) dae += "<node id=\"n" + std::to_string(i) + "\">";
    dae += R"(<node id="Leaf"><instance_geometry url="#g"/></node>)";
    for (int i = 0; i < depth; ++i) dae += "</node>";
    return dae + R"(</visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>)";
}

// A GLB of one mesh of `vertices` vertices (a triangle list without
// indices), written a block at a time.
bool WriteLargeGlb(const std::string& path, uint32_t vertices) {
    const std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)"
                             R"("nodes":[{"name":"Large","mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)"
                             R"("accessors":[{"bufferView":0,"componentType":5126,"count":)" + std::to_string(vertices) +
                             R"(,"type":"VEC3","min":[0,0,0],"max":[1,1,1]}],"bufferViews":[{"buffer":0,"byteLength":)" +
                             std::to_string(uint64_t(vertices) * 12) + R"(}],"buffers":[{"byteLength":)" +
                             std::to_string(uint64_t(vertices) * 12) + "}]}   ";
    const uint32_t jsonLength = uint32_t(json.size() / 4 * 4), binLength = vertices * 12;
    const uint32_t header[5] = {0x46546C67, 2, 12 + 8 + jsonLength + 8 + binLength, jsonLength, 0x4E4F534A};
    const uint32_t binHeader[2] = {binLength, 0x004E4942};
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(header, 4, 5, f) == 5 && std::fwrite(json.data(), 1, jsonLength, f) == jsonLength &&
              std::fwrite(binHeader, 4, 2, f) == 2;
    // Triangles along a line, each corner its own vertex.
    std::vector<float> block;
    for (uint32_t v = 0; v < vertices && ok; v += uint32_t(block.size() / 3)) {
        block.clear();
        for (uint32_t k = v; k < vertices && block.size() < 3 * 65536; ++k)
            block.insert(block.end(), {float(k / 3) * 1e-6f, float(k % 3 == 1), float(k % 3 == 2)});
        ok = std::fwrite(block.data(), sizeof(float), block.size(), f) == block.size();
    }
    return std::fclose(f) == 0 && ok;
}

// A quad box side with a texture coordinate per corner, as assimp takes it.
const char* const kBoxObj =
    "o Box\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "f 1/1 4/4 3/3 2/2\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\nf 2/1 3/2 7/3 6/4\nf 3/1 4/2 8/3 7/4\nf 4/1 1/2 5/3 8/4\n";

// The words of the script's "made <key> ..." line.
std::vector<std::string> Made(const std::string& output, const std::string& key) {
    std::vector<std::string> words;
    const size_t at = output.find("made " + key + " ");
    if (at == std::string::npos) return words;
    std::istringstream line(output.substr(at + 6 + key.size(), output.find('\n', at) - at - 6 - key.size()));
    for (std::string word; line >> word;) words.push_back(word);
    return words;
}

// What Blender made, as the DAE of the converted ZEM shows it: its
// triangles, a joint per object and a multi mesh per mesh object, the
// painted picture (within the block compression's error), the empty's move
// (Blender's Y metres are the game's -Z centimetres); and Blender imports
// that DAE again.
void CheckBlenderModel(const TempFolder& t, const std::string& made) {
    const std::string dae = ReadText(t.File("back.dae"));
    long long triangles = 0;
    for (size_t at = dae.find("<triangles count=\""); at != std::string::npos;
         at = dae.find("<triangles count=\"", at + 1))
        triangles += std::atoll(dae.c_str() + at + 18);
    ASSERT_EQ(Made(made, "triangles").size(), 1u) << made;
    EXPECT_EQ(triangles, std::atoll(Made(made, "triangles")[0].c_str()));
    for (const std::string& joint : Made(made, "joints"))
        EXPECT_NE(dae.find("name=\"JNT[" + joint + "]\""), std::string::npos) << joint;
    for (const std::string& mesh : Made(made, "meshes"))
        EXPECT_NE(dae.find("name=\"MULT[" + mesh + "]_LOD[0]\""), std::string::npos) << mesh;

    const Bytes png = ReadBytes(t.File("paint.png")), tga = ReadBytes(t.File("paint_DIFF.TGA"));
    PixelImage painted, map;
    ReadFailure failure;
    bool topDown = false;
    std::string reason;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), "paint.png", painted, failure)) << failure.Text();
    ASSERT_TRUE(ReadTgaBytes(tga, map, topDown, reason)) << reason;
    ASSERT_FALSE(topDown);  // (both bottom row first)
    ASSERT_EQ(map.width, painted.width);
    ASSERT_EQ(map.height, painted.height);
    int worst = 0;
    for (size_t i = 0; i < map.pixels.size(); ++i)
        if (i % 4 != 3) worst = std::max(worst, std::abs(int(map.pixels[i]) - int(painted.pixels[i])));
    EXPECT_LE(worst, kDxtError);

    const size_t keys = dae.find("\"JNT[Ship]-translate.Z-output-array\"");
    ASSERT_NE(keys, std::string::npos);
    const std::string values = dae.substr(keys, dae.find("</float_array>", keys) - keys);
    EXPECT_NEAR(std::atof(values.c_str() + values.find_last_of(' ', values.size() - 2)), -300, 1e-3) << values;

    const RunResult imported = RunProcess({"/usr/bin/blender", "-b", "--factory-startup", "--python",
                                           std::string(VORDA_SOURCE_DIR) + "/tests/support/blender_import_check.py",
                                           "--", t.File("back.dae")});
    EXPECT_EQ(imported.status, 0) << imported.output;
    EXPECT_EQ(imported.output.find("MISSING: "), std::string::npos) << imported.output;
}

struct ForeignRow {
    const char* name;
    const char* tools;     // the programs making the input (a row is skipped when one is missing)
    std::string make;      // a shell command making `input` in the folder ($VORDA: the tool), or
    const char* script;    // a Blender script under tests/support run with `-- <input>`, or
    std::string text;      // the input's text
    const char* input;     // the file converted
    const char* output;    // what it is converted to ("out.zem", "out.dae")
    int status;
    std::vector<std::string> lines;  // lines the conversion prints
};

std::vector<ForeignRow> Rows() {
    const std::string box = R"([{"name":"Tri","primitives":[{"attributes":{"POSITION":0}}]}])";
    const std::string body = R"([{"name":"Body","mesh":0}])";
    return {
        // Other programs' GLBs: assimp lists extensions it does not need;
        // gltfpack quantizes the attributes under a required extension,
        // places them by a node scale and scales texture coordinates back
        // by a texture transform.
        {"AssimpGlb", "assimp", "assimp export box.obj in.glb", nullptr, "", "in.glb", "out.zem", 0, {}},
        {"AssimpGlbToDae", "assimp", "assimp export box.obj in.glb", nullptr, "", "in.glb", "out.dae", 0, {}},
        {"GltfpackOfAssimp", "assimp gltfpack", "assimp export box.obj a.glb && gltfpack -i a.glb -o in.glb", nullptr,
         "", "in.glb", "out.zem", 0, {}},
        // (gltfpack drops the empty node that shows the version.)
        {"GltfpackOfOwnGlb", "gltfpack", "\"$VORDA\" sample.zem own.glb && gltfpack -i own.glb -o in.glb", nullptr,
         "", "in.glb", "out.zem", 0, {"Note - Facts taken from defaults: model version"}},
        {"GltfpackOfOwnGlbToDae", "gltfpack", "\"$VORDA\" sample.zem own.glb && gltfpack -i own.glb -o in.glb",
         nullptr, "", "in.glb", "out.dae", 0, {}},
        // A ship modelled from scratch in Blender, exported with its default
        // glTF settings and with its COLLADA exporter.
        {"BlenderGlb", "", "", "blender_new_model.py", "", "new.glb", "out.zem", 0, {}},
        {"BlenderDae", "", "", "blender_new_model.py", "", "new.dae", "out.zem", 0,
         {"Note - Material Plain has no texture - given a 4 x 4 texture of its colour (231 89 89)"}},
        // Hand-written documents.
        {"RequiredExtensionRefused", "", "", nullptr,
         Gltf(body, box, R"(,"extensionsUsed":["KHR_draco_mesh_compression","KHR_mesh_quantization"],)"
                         R"("extensionsRequired":["KHR_mesh_quantization","KHR_draco_mesh_compression"])"),
         "in.gltf", "out.zem", 1,
         {"Error - Cannot read in.gltf - extensionsRequired: needs extensions this reader lacks "
          "(\"KHR_draco_mesh_compression\")"}},
        {"WhatTheGameHasNoPlaceFor", "", "", nullptr,
         Gltf(R"([{"name":"Body","mesh":0,"skin":0,"camera":0,"scale":[2,2,2],)"
              R"("extensions":{"KHR_lights_punctual":{"light":0}}}])",
              R"([{"name":"Tri","primitives":[{"attributes":{"POSITION":0,"COLOR_0":0,"TEXCOORD_1":0},)"
              R"("targets":[{"POSITION":0}]},{"attributes":{"POSITION":0},"mode":1}]}])",
              R"(,"extensionsUsed":["KHR_lights_punctual"])"),
         "in.gltf", "out.dae", 0,
         {"Note - Skin of node Body left out - the game's format has no skins",
          "Note - Camera of node Body left out - the game's format has no cameras",
          "Note - Light of node Body left out - the game's format has no lights",
          "Note - Scale of node Body baked into its mesh and its children's places - the game's format has no scale",
          "Note - Lines and points of mesh Tri left out - the game's models are made of triangles",
          "Note - Morph targets of mesh Tri left out - the game's format has none",
          "Note - Vertex colours of mesh Tri left out - the game's format has none",
          "Note - Texture coordinate sets past the first of mesh Tri left out - the game's format has one"}},
        // Bad input: a named error, never a crash.
        {"NoTriangles", "", "", nullptr,
         Gltf(body, R"([{"name":"Tri","primitives":[{"attributes":{"POSITION":0},"mode":0}]}])"), "in.gltf",
         "out.zem", 1, {"Error - No model made of in.gltf - it holds no triangle to make a model of"}},
        {"TextureNotAPicture", "", "", nullptr,
         Gltf(body, R"([{"primitives":[{"attributes":{"POSITION":0},"material":0}]}])",
              R"(,"materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],"textures":[{"source":0}],)"
              R"("images":[{"uri":"data:image/png;base64,bm90IGEgcGljdHVyZQ=="}])"),
         "in.gltf", "out.zem", 1, {"Error - Cannot read in.gltf - not a PNG file"}},
        {"GltfThousandLevelsDeep", "", "", nullptr, DeepGltf(1000), "in.gltf", "out.zem", 1,
         {"Error - Cannot read in.gltf - nodes[257]: nodes nested deeper than 256"}},
        {"DaeThousandLevelsDeep", "", "", nullptr, DeepDae(1000), "in.dae", "out.glb", 1,
         {"Error - Cannot read in.dae - nodes nested deeper than 256"}},
        {"GltfDeepestTaken", "", "", nullptr, DeepGltf(256), "in.gltf", "out.dae", 0, {}},
        {"TenMillionVertices", "", "", nullptr, "", "large.glb", "out.zem", 0, {}},
    };
}

// (A failing row is named by its name.)
void PrintTo(const ForeignRow& row, std::ostream* out) { *out << row.name; }

class ForeignModels : public testing::TestWithParam<ForeignRow> {};

TEST_P(ForeignModels, ConvertIntoTheGame) {
    const ForeignRow& row = GetParam();
    const bool large = std::string(row.input) == "large.glb";
    if (large && UnderAddressSanitizer()) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    std::string tools = row.tools;
    if (row.script) tools += " blender";
    for (size_t at = 0; at < tools.size();) {
        const size_t end = std::min(tools.find(' ', at), tools.size());
        const std::string tool = tools.substr(at, end - at);
        at = end + 1;
        if (!tool.empty() && RunShell("command -v " + tool).status != 0) GTEST_SKIP() << tool << " is not installed";
    }
    TempFolder t;
    t.Write("box.obj", kBoxObj);
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    if (!row.text.empty()) t.Write(row.input, row.text);
    if (large) {
        ASSERT_TRUE(WriteLargeGlb(t.File(row.input), 10000000));
    }
    std::string make = row.make;
    RunResult made;
    if (row.script)
        make = "blender -b --factory-startup --python " + ShellQuote(std::string(VORDA_SOURCE_DIR) + "/tests/support/" +
                                                                     row.script) + " -- " + row.input;
    if (!make.empty()) {
        made = RunShell("VORDA=" + ShellQuote(VORDA_BINARY) + " && export VORDA && " + make, t.Path());
        ASSERT_EQ(made.status, 0) << made.output;
    }

    // (The large model in memory bounded by its size: the scene, the model's
    // four-wide vertices and the file's bytes, 11 times the input measured.)
    const size_t limit = large ? (size_t(64) << 20) + 14 * size_t(120000000) : 0;
    const RunResult run = RunTool({row.input, row.output}, t.Path(), limit);
    EXPECT_EQ(run.status, row.status) << run.output;
    for (const std::string& line : row.lines)
        EXPECT_NE(run.output.find("\n" + line + "\n"), std::string::npos) << line << "\n" << run.output;
    EXPECT_EQ(run.output.find("Damaged"), std::string::npos) << run.output;
    if (row.status != 0 || std::string(row.output) != "out.zem") return;

    std::vector<std::string> problems;
    const std::unique_ptr<Model> model = ReadZemChecked(ReadBytes(t.File("out.zem")), &problems);
    ASSERT_TRUE(model);
    if (large) {
        // Every vertex kept, in parts the 16-bit indices reach.
        int64_t vertices = 0;
        for (const auto& multi : model->multiMeshes)
            for (const auto& mesh : multi->meshes)
                for (const MeshPart& part : mesh->parts) {
                    EXPECT_LE(part.vertexCount, 65536);
                    vertices += part.vertexCount;
                }
        EXPECT_EQ(vertices, 10000000 / 3 * 3);  // (the last is in no triangle)
        return;
    }
    if (fs::exists(t.File("out.MAD"))) {
        EXPECT_TRUE(ReadMadChecked(ReadBytes(t.File("out.MAD")), &problems));
    }
    for (const std::string& p : problems) ADD_FAILURE() << p;
    const RunResult back = RunTool({"out.zem", "back.dae"}, t.Path());
    EXPECT_EQ(back.status, 0) << back.output;
    EXPECT_EQ(back.output.find("Damaged"), std::string::npos) << back.output;
    if (row.script) CheckBlenderModel(t, made.output);
}

INSTANTIATE_TEST_SUITE_P(Rows, ForeignModels, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<ForeignRow>& row) { return std::string(row.param.name); });

}  // namespace
