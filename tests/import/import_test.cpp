// The document readers over damaged input (each failure names its file) and
// over the tool's own outputs of the sample.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstring>

#include <cmath>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <filesystem>

#include "collada/document.h"
#include "core/output.h"
#include "gltf/animations.h"
#include "gltf/gltf_writer.h"
#include "gltf/png.h"
#include "import/dae_document.h"
#include "import/dae_scene.h"
#include "import/frame.h"
#include "import/gltf_document.h"
#include "import/gltf_import.h"
#include "import/png_read.h"
#include "model/finite_numbers.h"
#include "model/joints.h"
#include "sample/sample_model.h"
#include "scene/check_scene.h"
#include "scene/conventions.h"
#include "scene/exact_numbers.h"
#include "scene/scene_equal.h"
#include "tests/support/test_util.h"
#include "texture/tga_read.h"
#include "texture/tga_writer.h"

namespace {

// A .gltf of one triangle over m.bin: positions at 0 (36 bytes), indices at
// 36 (three shorts), a material with a texture of t.png. `edit` pairs replace
// text in it.
std::string Gltf(const std::vector<std::pair<std::string, std::string>>& edit = {}) {
    std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
"nodes":[{"name":"a","children":[1]},{"name":"b","mesh":0}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],
"materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],
"textures":[{"source":0}],"images":[{"uri":"t.png"}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},
{"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}],
"bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6}],
"buffers":[{"uri":"m.bin","byteLength":44}]})";
    for (const auto& e : edit) {
        const size_t at = json.find(e.first);
        EXPECT_NE(at, std::string::npos) << e.first;
        if (at != std::string::npos) json.replace(at, e.first.size(), e.second);
    }
    return json;
}

Bytes TrianglePng() {
    PixelImage p;
    p.width = 2;
    p.height = 3;
    for (int i = 0; i < 24; ++i) p.pixels.push_back(static_cast<unsigned char>(i * 10));
    Bytes png;
    EXPECT_TRUE(EncodePng(p, true, png));
    return png;
}

Bytes Bin(uint16_t lastIndex = 2) {
    Bytes bin(44, 0);
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t indices[3] = {0, 1, lastIndex};
    std::memcpy(bin.data(), positions, sizeof positions);
    std::memcpy(bin.data() + 36, indices, sizeof indices);
    return bin;
}

// A GLB of the document with its buffer inside.
Bytes Glb(std::string json, const Bytes& bin) {
    json.replace(json.find("\"uri\":\"m.bin\","), 14, "");
    json.resize((json.size() + 3) / 4 * 4, ' ');
    Bytes out(12, 0);
    auto put = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i))); };
    put(uint32_t(json.size()));
    put(0x4E4F534A);
    out.insert(out.end(), json.begin(), json.end());
    put(uint32_t(bin.size()));
    put(0x004E4942);
    out.insert(out.end(), bin.begin(), bin.end());
    const uint32_t head[3] = {0x46546C67, 2, uint32_t(out.size())};
    std::memcpy(out.data(), head, 12);
    return out;
}

// A DAE of one triangle; `edit` pairs replace text in it.
std::string Dae(const std::vector<std::pair<std::string, std::string>>& edit = {}) {
    std::string xml = R"(<?xml version="1.0"?><COLLADA version="1.4.1"><asset><unit meter="0.01"/></asset><library_geometries>
<geometry id="g"><mesh><source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#pa" count="3" stride="3"><param name="X"/><param name="Y"/><param name="Z"/></accessor></technique_common></source>
<vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
<triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles></mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="s"><node id="a"><translate>1 2 3</translate><instance_geometry url="#g"/></node></visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#s"/></scene></COLLADA>)";
    for (const auto& e : edit) {
        const size_t at = xml.find(e.first);
        EXPECT_NE(at, std::string::npos) << e.first;
        if (at != std::string::npos) xml.replace(at, e.first.size(), e.second);
    }
    return xml;
}

// Reads `file` as the scene building does: a glTF into a scene (every
// primitive's positions and indices, every picture). The failure text, or
// "" when everything reads.
std::string ReadAll(const std::string& file) {
    ReadFailure failure;
    const std::string ext = file.substr(file.rfind('.'));
    if (ext == ".dae") {
        DaeDocument dae;
        return ReadDaeFile(file, dae, failure) ? "" : failure.Text();
    }
    if (ext == ".tga") {
        PixelImage picture;
        bool topDown = false;
        std::string reason;
        return ReadTgaBytes(ReadBytes(file), picture, topDown, reason) ? "" : file + " - " + reason;
    }
    if (ext == ".png") {
        const Bytes bytes = ReadBytes(file);
        PixelImage picture;
        return DecodePng(bytes.data(), bytes.size(), file, picture, failure) ? "" : failure.Text();
    }
    // A glTF as the importer reads it into a scene.
    std::string error;
    const std::unique_ptr<Scene> scene = ImportGltf(file.c_str(), &error);
    return scene ? "" : error;
}

}  // namespace

TEST(Import, BadInputsFailWithTheFileAndTheReason) {
    const Bytes png = TrianglePng();
    const Bytes glb = Glb(Gltf(), Bin());
    Bytes hugePng = png;  // the header claims 16000 x 16000 pixels, its CRC made again
    const unsigned char side[4] = {0, 0, 0x3E, 0x80};
    std::memcpy(&hugePng[16], side, 4);
    std::memcpy(&hugePng[20], side, 4);
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= hugePng[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) hugePng[29 + size_t(i)] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    struct Case {
        const char* name;
        std::string file;  // written as the document, beside m.bin (Bin()) and t.png
        Bytes bytes;
        std::string failFile;  // the file the failure must name
        std::string reason;    // and a part of its reason
    };
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Bytes cut = glb;
    cut.resize(cut.size() - 9);
    auto tga = [](unsigned char type, unsigned char bits = 24, size_t missing = 0) {  // one pixel
        Bytes bytes(18 + bits / 8 - missing, 7);
        std::fill(bytes.begin(), bytes.begin() + 18, 0);
        bytes[2] = type, bytes[12] = bytes[14] = 1, bytes[16] = bits;
        return bytes;
    };
    const std::string effects = "<library_effects><effect id=\"fx\"><profile_COMMON><technique sid=\"t\"><lambert>"
                                "<diffuse><color>1 0 0 1</color></diffuse></lambert></technique></profile_COMMON>"
                                "</effect></library_effects><library_geometries>";
    const Case cases[] = {
        {"sound .gltf", "d.gltf", text(Gltf()), "", ""},
        {"sound GLB", "d.glb", glb, "", ""},
        {"sound DAE", "d.dae", text(Dae()), "", ""},
        {"not XML", "d.dae", text("<COLLADA><asset></COLLADA>"), "d.dae", "not XML"},
        {"XML but not COLLADA", "d.dae", text("<html/>"), "d.dae", "not COLLADA"},
        {"not JSON", "d.gltf", text("solid cube"), "d.gltf", "not glTF: broken JSON"},
        {"JSON not an object", "d.gltf", text("[1,2]"), "d.gltf", "not an object"},
        {"object but not glTF", "d.gltf", text("{\"nodes\":[]}"), "d.gltf", "not a glTF document"},
        {"GLB cut short", "d.glb", cut, "d.glb", "cut short"},
        // Long digit strings once made the JSON library read out of bounds.
        {"long numbers", "d.gltf", text(Gltf({{"\"scene\":0", "\"x\":[0." + std::string(400, '0') + "1,0.1234567890123456789012e-330,-0,"
                                                                  "18446744073709551616,-9223372036854775809,1e-400],\"scene\":0"}})),
         "", ""},
        {"number too large", "d.gltf", text(Gltf({{"\"scene\":0", "\"x\":1e400,\"scene\":0"}})), "d.gltf",
         "broken JSON at byte 31 (Number too big"},
        {"missing .bin", "d.gltf", text(Gltf({{"m.bin", "gone.bin"}})), "gone.bin", "No such file"},
        {"missing PNG", "d.gltf", text(Gltf({{"t.png", "gone.png"}})), "gone.png", "No such file"},
        {"URI out of the folder", "d.gltf", text(Gltf({{"m.bin", "../m.bin"}})), "d.gltf", "climbs out"},
        {"too short .bin", "d.gltf", text(Gltf({{"44}]", "400}]"}})), "m.bin", "too short: 44 bytes"},
        {"view past the buffer", "d.gltf", text(Gltf({{"\"byteOffset\":36", "\"byteOffset\":40"}})), "d.gltf",
         "past the end of buffer 0"},
        {"accessor past its view", "d.gltf", text(Gltf({{"\"count\":3,\"type\":\"VEC3\"", "\"count\":4,\"type\":\"VEC3\""}})),
         "d.gltf", "past the end of buffer view 0"},
        {"index out of range", "d.glb", Glb(Gltf(), Bin(3)), "d.glb", "index 2 is 3, past the 3 vertices"},
        {"sparse accessor", "d.gltf", text(Gltf({{"\"count\":3,\"type\":\"VEC3\"", "\"count\":3,\"type\":\"VEC3\",\"sparse\":{}"}})),
         "d.gltf", "sparse"},
        {"zeros beyond the file", "d.gltf", text(Gltf({{"\"bufferView\":0,\"componentType\":5126,\"count\":3", "\"componentType\":5126,\"count\":99999999999"}})),
         "d.gltf", "more memory than the file"},
        {"node with two parents", "d.gltf", text(Gltf({{"\"mesh\":0}", "\"mesh\":0,\"children\":[1]}"}})), "d.gltf",
         "has two parents (nodes 0 and 1)"},
        {"node cycle", "d.gltf", text(Gltf({{"{\"name\":\"a\",\"children\":[1]},{\"name\":\"b\",\"mesh\":0}", "{\"name\":\"a\",\"children\":[1]},{\"name\":\"b\",\"children\":[0]}"}, {"\"nodes\":[0]", "\"nodes\":[]"}})),
         "d.gltf", "cycle"},
        {"broken PNG", "d.gltf", text(Gltf({{"t.png", "m.bin"}})), "m.bin", "not a PNG"},
        {"positions of two numbers", "d.gltf", text(Gltf({{"\"count\":3,\"type\":\"VEC3\"", "\"count\":3,\"type\":\"VEC2\""}})),
         "d.gltf", "positions are not three numbers each"},
        {"PNG larger than its file", "big.png", hugePng, "big.png", "cannot be held in a file"},
        {"PNG cut short", "cut.png", Bytes(png.begin(), png.end() - 20), "cut.png", "not a sound PNG"},
        {"DAE count beyond its array", "d.dae", text(Dae({{"count=\"3\" stride", "count=\"4\" stride"}})), "d.dae",
         "reads 4 elements of stride 3 from an array of 9"},
        {"DAE array count wrong", "d.dae", text(Dae({{"count=\"9\"", "count=\"99999999\""}})), "d.dae", "holds 9 values"},
        {"DAE garbage number", "d.dae", text(Dae({{"0 1 0<", "0 1 0x<"}})), "d.dae", "not a number"},
        {"DAE index out of range", "d.dae", text(Dae({{"<p>0 1 2", "<p>0 1 3"}})), "d.dae",
         "index 3 of input VERTEX is past its 3 elements"},
        {"DAE largest index", "d.dae", text(Dae({{"<p>0 1 2", "<p>0 1 004294967295"}})), "d.dae",
         "index 4294967295 of input VERTEX is past its 3 elements"},
        {"DAE index past 32 bits", "d.dae", text(Dae({{"<p>0 1 2", "<p>0 1 4294967296"}})), "d.dae",
         "<p> holds something that is not an index"},
        {"DAE signed index", "d.dae", text(Dae({{"<p>0 1 2", "<p>0 1 +2"}})), "d.dae",
         "<p> holds something that is not an index"},
        {"DAE triangle count wrong", "d.dae", text(Dae({{"triangles count=\"1\"", "triangles count=\"2\""}})), "d.dae",
         "count=2 but <p> holds 3 corners"},
        {"DAE missing reference", "d.dae", text(Dae({{"url=\"#g\"", "url=\"#h\""}})), "d.dae", "names \"#h\""},
        {"DAE accessor offset past its array", "d.dae", text(Dae({{"count=\"3\" stride", "offset=\"10\" count=\"3\" stride"}})),
         "d.dae", "reads 3 elements of stride 3 from an array of 9"},
        {"DAE accessor count wrapping 64 bits", "d.dae", text(Dae({{"count=\"3\" stride", "count=\"6148914691236517206\" stride"}})),
         "d.dae", "reads 6148914691236517206 elements"},
        {"DAE effect colour of two numbers", "d.dae", text(Dae({{"<library_geometries>", effects}, {"1 0 0 1<", "1 0<"}})),
         "d.dae", "effect \"fx\" <diffuse>: <color> is not 3 or 4 numbers"},
        {"DAE shininess of two numbers", "d.dae",
         text(Dae({{"<library_geometries>", effects}, {"</diffuse>", "</diffuse><shininess><float>1 2</float></shininess>"}})),
         "d.dae", "<shininess> is not one number"},
        {"sound TGA", "t.tga", tga(2), "", ""},
        {"sound grey TGA", "t.tga", tga(3, 8), "", ""},
        {"colour-mapped TGA", "t.tga", tga(1), "t.tga", "image type 1 (only true-colour and grey are read)"},
        {"TGA cut short", "t.tga", tga(2, 24, 1), "t.tga", "cut short: 1 x 1 pixels in 20 bytes"},
        {"glTF channel path not a text", "d.gltf",
         text(Gltf({{"\"scene\":0", "\"animations\":[{\"samplers\":[{\"input\":0,\"output\":0}],"
                                    "\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":5}}]}],\"scene\":0"}})),
         "d.gltf", "animations[0].channels[0].target.path: not a string"},
        {"glTF sampler of no known interpolation", "d.gltf",
         text(Gltf({{"\"scene\":0", "\"animations\":[{\"samplers\":[{\"input\":0,\"output\":0,\"interpolation\":\"SPLINE\"}],"
                                    "\"channels\":[]}],\"scene\":0"}})),
         "d.gltf", "animations[0].samplers[0].interpolation: \"SPLINE\" is no interpolation"},
        {"glTF key times that cannot be read", "d.gltf",
         text(Gltf({{"\"SCALAR\"}]", "\"SCALAR\"},{\"componentType\":5126,\"count\":99999999999,\"type\":\"SCALAR\"}]"},
                    {"\"scene\":0", "\"animations\":[{\"samplers\":[{\"input\":2,\"output\":0}],"
                                    "\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"translation\"}}]}],\"scene\":0"}})),
         "d.gltf", "accessors[2]: 99999999999 values would need more memory"},
        {"DAE unit of two numbers", "d.dae", text(Dae({{"meter=\"0.01\"", "meter=\"1 2\""}})), "d.dae",
         "<unit> meter=\"1 2\" is not a positive number"},
        {"DAE negative unit", "d.dae", text(Dae({{"meter=\"0.01\"", "meter=\"-1\""}})), "d.dae", "is not a positive number"},
        {"view of an odd stride", "d.gltf", text(Gltf({{"\"byteLength\":36}", "\"byteLength\":36,\"byteStride\":6}"}})), "d.gltf",
         "bufferViews[0].byteStride: 6 is not a multiple of 4"},
        {"floats not aligned", "d.gltf", text(Gltf({{"\"bufferView\":0,", "\"bufferView\":0,\"byteOffset\":2,"}})), "d.gltf",
         "accessors[0]: values not aligned to their size"},
        {"signed indices", "d.gltf", text(Gltf({{"5123", "5122"}})), "d.gltf", "accessors[1]: indices must be unsigned"},
        {"node of a matrix and a translation", "d.gltf",
         text(Gltf({{"\"name\":\"a\",", "\"name\":\"a\",\"translation\":[1,2,3],\"matrix\":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1],"}})),
         "d.gltf", "nodes[0]: has both a matrix and translation"},
        {"glTF channel of no known path", "d.gltf",
         text(Gltf({{"\"scene\":0", "\"animations\":[{\"samplers\":[{\"input\":0,\"output\":0}],"
                                    "\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"colour\"}}]}],\"scene\":0"}})),
         "d.gltf", "channels[0].target.path: \"colour\" is no animated property"},
        {"normals of unsigned shorts", "d.gltf", text(Gltf({{"\"POSITION\":0", "\"POSITION\":0,\"NORMAL\":2"},
                    {"\"SCALAR\"}]", "\"SCALAR\"},{\"bufferView\":0,\"componentType\":5121,\"count\":3,\"type\":\"VEC3\"}]"}})), "d.gltf",
         "normals are neither floats nor normalized signed"},
        {"texture coordinates of three numbers", "d.gltf", text(Gltf({{"\"POSITION\":0", "\"POSITION\":0,\"TEXCOORD_0\":0"}})),
         "d.gltf", "accessor 0 does not match its positions"},
        {"DAE stride 0", "d.dae", text(Dae({{"stride=\"3\"", "stride=\"0\""}})), "d.dae", "stride is not a count from 1 to 64"},
        {"DAE scene naming no visual scene", "d.dae", text(Dae({{"url=\"#s\"", "url=\"#g\""}})), "d.dae",
         "<instance_visual_scene> url=\"#g\" names no visual scene"},
        {"TGA shorter than its header", "t.tga", Bytes(17, 0), "t.tga", "17 bytes, fewer than its header"},
        {"TGA of 16 bits", "t.tga", tga(2, 16), "t.tga", "16 bits a pixel"},
        {"packed TGA cut short", "t.tga", tga(10), "t.tga", "its packed pixels end early"},
        {"asset not an object", "d.gltf", text("{\"asset\":5,\"nodes\":[]}"), "d.gltf", "asset: missing: not a glTF document"},
        {"version not a text", "d.gltf", text(Gltf({{"\"2.0\"", "2"}})), "d.gltf", "asset.version: not a string"},
        {"glTF 1", "d.gltf", text(Gltf({{"\"2.0\"", "\"1.0\""}})), "d.gltf", "asset.version: \"1.0\" is not glTF 2"},
        {"required extensions not a list", "d.gltf", text(Gltf({{"\"scene\":0", "\"extensionsRequired\":5,\"scene\":0"}})),
         "d.gltf", "extensionsRequired: not an array"},
        {"rotation of three numbers", "d.gltf", text(Gltf({{"\"name\":\"a\",", "\"name\":\"a\",\"rotation\":[0,0,1],"}})),
         "d.gltf", "nodes[0].rotation: not an array of 4 numbers"},
        {"normalized not true or false", "d.gltf", text(Gltf({{"5126,", "5126,\"normalized\":1,"}})), "d.gltf",
         "accessors[0].normalized: not true or false"},
        {"channel without a target", "d.gltf",
         text(Gltf({{"\"scene\":0", "\"animations\":[{\"samplers\":[{\"input\":0,\"output\":0}],\"channels\":[{\"sampler\":0}]}],\"scene\":0"}})),
         "d.gltf", "animations[0].channels[0]: lacks its sampler or target"},
        {"matrix of three numbers", "d.gltf", text(Gltf({{"\"name\":\"a\",", "\"name\":\"a\",\"matrix\":[1,0,0],"}})),
         "d.gltf", "nodes[0].matrix: not an array of 16 numbers"},
        {"data URI not in base64", "d.gltf", text(Gltf({{"m.bin", "data:application/octet-stream,AAAA"}})), "d.gltf",
         "buffers[0].uri: a data URI that is not base64"},
        {"DAE unit without a length", "d.dae", text(Dae({{"meter=\"0.01\"", "name=\"cm\""}})), "", ""},
        {"DAE accessor of another array", "d.dae", text(Dae({{"source=\"#pa\"", "source=\"#qa\""}})), "d.dae",
         "the accessor reads \"#qa\", not the source's own array"},
        {"DAE accessor count not a count", "d.dae", text(Dae({{"count=\"3\" stride", "count=\"-3\" stride"}})), "d.dae",
         "accessor count=\"-3\" is not a count"},
        {"DAE more params than the stride", "d.dae", text(Dae({{"stride=\"3\"", "stride=\"2\""}})), "d.dae",
         "more params than its stride"},
        {"DAE node cycle", "d.dae", text(Dae({{"<instance_geometry", "<instance_node url=\"#a\"/><instance_geometry"}})),
         "d.dae", "placed inside itself"},
    };
    for (const Case& c : cases) {
        TempFolder t;
        t.Write("m.bin", Bin());
        t.Write("t.png", png);
        t.Write(c.file, c.bytes);
        const std::string failure = ReadAll(t.File(c.file));
        if (c.reason.empty()) {
            EXPECT_EQ(failure, "") << c.name;
            continue;
        }
        EXPECT_EQ(failure.find(t.File(c.failFile) + " - "), 0u) << c.name << ": " << failure;
        EXPECT_NE(failure.find(c.reason), std::string::npos) << c.name << ": " << failure;
    }
}

// Every form of number a DAE may hold reads to the float the full decimal
// reader gives. Plain decimals take a quicker path that must agree bit for
// bit, above all next to the points halfway between two floats.
TEST(Import, DaeNumbersReadAsTheFullReaderReadsThem) {
    std::vector<std::string> texts = {
        "0", "-0", "-0.000000", "+1.5", "+-2", "1e3", "1E-3", ".5", "1.", "nan", "inf", "-inf", "1e40", "-1e-50",
        "3.4028235e38", "123456789012345678901234", "0.000000000000000000000001", "0.0000000000000000000000001",
        "16777217", "9007199254740993", "9007199254740992", "0.1", "0.333333", "1234567.890123", "0.9999999999999999999"};
    std::mt19937 random(20);
    std::uniform_real_distribution<double> exponent(-7, 9);
    char line[64];
    for (int i = 0; i < 4000; ++i) {
        const float f = float(std::pow(10.0, exponent(random)));
        const double half = (double(f) + double(std::nextafter(f, 1e30f))) / 2;
        for (int decimals = 0; decimals <= 22; decimals += 1 + i % 3) {
            std::snprintf(line, sizeof line, "%.*f", decimals, i % 2 ? half : -double(f));
            texts.push_back(line);
        }
        std::snprintf(line, sizeof line, "%.17g", half);
        texts.push_back(line);
    }
    std::string array;
    for (size_t i = 0; i < texts.size(); ++i) array += (i % 3 ? " " : "\n\t") + texts[i];
    const std::string dae = Dae({{"<vertices", "<source id=\"n\"><float_array id=\"na\" count=\"" +
                                                  std::to_string(texts.size()) + "\">" + array +
                                                  "</float_array></source><vertices"}});
    Bytes bytes(dae.begin(), dae.end());
    DaeDocument doc;
    ReadFailure failure;
    ASSERT_TRUE(ReadDaeBytes(bytes, "n.dae", doc, failure)) << failure.Text();
    const std::vector<float>& floats = doc.geometries.at(0).sources.at(1).floats;
    ASSERT_EQ(floats.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const char* first = texts[i].c_str() + (texts[i][0] == '+');
        const char* last = texts[i].c_str() + texts[i].size();
        float expected = 0;
        if (std::from_chars(first, last, expected).ec == std::errc::result_out_of_range) {
            double wide = 0;
            std::from_chars(first, last, wide);
            expected = float(wide);
        }
        uint32_t want = 0, got = 0;
        std::memcpy(&want, &expected, 4);
        std::memcpy(&got, &floats[i], 4);
        if (std::isnan(expected)) EXPECT_TRUE(std::isnan(floats[i])) << texts[i];
        else EXPECT_EQ(got, want) << texts[i];
    }
}

// Every polygon form of COLLADA becomes the same kind of triangle list.
TEST(Import, DaePolygonFormsBecomeTriangleLists) {
    const std::pair<std::string, std::string> forms[] = {
        {"<polylist count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><vcount>4</vcount><p>0 1 2 3</p></polylist>",
         "0 1 2 0 2 3 "},
        {"<polygons count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2 3</p></polygons>", "0 1 2 0 2 3 "},
        {"<trifans count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2 3</p></trifans>", "0 1 2 0 2 3 "},
        {"<tristrips count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2 3</p></tristrips>", "0 1 2 1 3 2 "},
    };
    for (const auto& form : forms) {
        TempFolder t;
        const std::string file = t.Write("d.dae", Dae({{"count=\"9\">0 0 0 1 0 0 0 1 0", "count=\"12\">0 0 0 1 0 0 0 1 0 1 1 0"},
                                                       {"count=\"3\" stride", "count=\"4\" stride"},
                                                       {"<triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2</p></triangles>", form.first}}));
        DaeDocument dae;
        ReadFailure failure;
        ASSERT_TRUE(ReadDaeFile(file, dae, failure)) << failure.Text();
        std::string indices;
        for (uint32_t i : dae.geometries.at(0).parts.at(0).indices) indices += std::to_string(i) + " ";
        EXPECT_EQ(indices, form.second) << form.first;
    }
}

// The sample written as DAE, GLB and .gltf reads back whole: the same
// counts from all three, and every map decodes to its picture.
TEST(Import, ReadsTheToolsOwnOutputs) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    for (const char* out : {"sample.dae", "sample.glb", "sample.gltf"}) {
        const RunResult run = RunTool({"$CONVERT_IN=sample.zem", "$CONVERT_OUT=" + std::string(out), "do=convert"}, t.Path());
        ASSERT_EQ(run.status, 0) << run.output;
    }
    ReadFailure failure;
    DaeDocument dae;
    ASSERT_TRUE(ReadDaeFile(t.File("sample.dae"), dae, failure)) << failure.Text();
    uint64_t daeTriangles = 0;
    for (const DaeGeometry& g : dae.geometries)
        for (const DaeTriangles& part : g.parts) daeTriangles += part.TriangleCount();
    EXPECT_EQ(dae.nodes.size(), 95u);
    EXPECT_EQ(dae.geometries.size(), 12u);
    EXPECT_EQ(daeTriangles, 90u);
    EXPECT_EQ(dae.materials.size(), 5u);
    EXPECT_EQ(dae.images.size(), 13u);  // 12 maps and the image no material uses
    EXPECT_EQ(dae.animations.size(), 7u);
    // Each effect's maps reach their TGA files through the surface and sampler parameters.
    std::string maps;
    for (const DaeEffect& fx : dae.effects)
        for (const DaeColorOrTexture* slot : {&fx.diffuse, &fx.emission, &fx.specular, &fx.bump})
            if (slot->image >= 0) maps += dae.images.at(size_t(slot->image)).initFrom + " ";
    EXPECT_EQ(maps.substr(0, 42), "hull_DIFF.TGA hull_GLOW.TGA hull_SPEC.TGA ") << maps;

    std::vector<std::string> counts;
    for (const char* file : {"sample.glb", "sample.gltf"}) {
        GltfDocument doc;
        ASSERT_TRUE(ReadGltfFile(t.File(file), doc, failure)) << failure.Text();
        uint64_t triangles = 0;
        for (const GltfMesh& mesh : doc.meshes)
            for (const GltfPrimitive& prim : mesh.primitives) {
                std::vector<float> positions;
                std::vector<uint32_t> indices;
                ASSERT_TRUE(ReadAccessorFloats(doc, prim.attributes.at("POSITION"), positions, failure)) << failure.Text();
                ASSERT_TRUE(ReadAccessorIndices(doc, prim.indices, positions.size() / 3, indices, failure)) << failure.Text();
                triangles += indices.size() / 3;
            }
        for (const GltfImage& image : doc.images) {
            PixelImage picture;
            ASSERT_TRUE(DecodePng(image.data.data(), image.data.size(), image.file, picture, failure)) << failure.Text();
            Bytes again;
            ASSERT_TRUE(EncodePng(picture, true, again));
            PixelImage back;
            ASSERT_TRUE(DecodePng(again.data(), again.size(), "again", back, failure));
            EXPECT_EQ(back.pixels, picture.pixels) << image.uri;
        }
        counts.push_back("nodes " + std::to_string(doc.nodes.size()) + ", meshes " + std::to_string(doc.meshes.size()) +
                         ", triangles " + std::to_string(triangles) + ", materials " + std::to_string(doc.materials.size()) +
                         ", images " + std::to_string(doc.images.size()) + ", animations " +
                         std::to_string(doc.animations.size()));
    }
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(counts[0], "nodes 95, meshes 12, triangles 90, materials 5, images 13, animations 2");
}

// Every scene the tool writes as glTF comes back from its GLB and .gltf as
// the same scene: encoded again it gives the same bytes in every file (JSON
// with its extras, buffer, pictures), and it passes the scene check.
TEST(GltfImport, TheToolsOwnGltfReadsBackToTheSameScene) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_TRUE(WriteModelFiles(t.File("still.zem"), *BuildSampleModel()));
    ASSERT_TRUE(WriteModelFiles(t.File("rich.zem"), *RichModel(), BuildSampleAnimation().get()));
    for (const std::string model : {"sample", "still", "rich"})
        for (const std::string extension : {".glb", ".gltf"}) {
            SCOPED_TRACE(model + extension);
            const std::string a = model + "/a/m" + extension, b = t.File(model + "/b/m" + extension);
            const RunResult run = RunTool({"$CONVERT_IN=" + model + ".zem", "$CONVERT_OUT=" + a, "do=convert"}, t.Path());
            // (The rich model is damaged on purpose: converted all the same.)
            ASSERT_TRUE(std::filesystem::exists(t.File(a))) << run.output;
            std::string error;
            const std::unique_ptr<Scene> read = ImportGltf(t.File(a).c_str(), &error);
            ASSERT_TRUE(read) << error;
            EXPECT_EQ(CheckScene(*read), std::vector<std::string>());
            if (model != "rich") {
                std::unique_ptr<Model> built = BuildSampleModel();
                if (model == "sample") built->animation = BuildSampleAnimation();
                ResolveJoints(*built);
                CapturedOutput quiet;
                SceneOptions options;
                options.deduplicate = false;
                EXPECT_EQ(SceneDifference(*BuildScene(*built, options), *read), "");
            }
            {
                CapturedOutput quiet;
                ASSERT_TRUE(WriteGltf(*read, b.c_str(), extension == ".glb"));
            }
            size_t files = 0;
            for (const auto& entry : std::filesystem::directory_iterator(t.File(model + "/a"))) {
                const std::string name = entry.path().filename().string();
                EXPECT_TRUE(ReadBytes(entry.path().string()) == ReadBytes(t.File(model + "/b/" + name))) << name;
                ++files;
            }
            EXPECT_EQ(files, size_t(std::distance(std::filesystem::directory_iterator(t.File(model + "/b")), {})));
            std::filesystem::remove_all(t.File(model));
        }
}

// Facts travel byte for byte through the DAE and both glTF forms, on the
// scene and on its nodes (a name-only node stays one), readable where the
// document can hold them; a damaged or repeated fact is left out.
TEST(Import, FactsTravelByteForByte) {
    for (const bool rich : {false, true}) {
        SCOPED_TRACE(rich ? "rich" : "sample");
        std::unique_ptr<Model> model = rich ? RichModel() : BuildSampleModel();
        if (!rich) model->animation = BuildSampleAnimation();
        ZeroNonFiniteNumbers(*model);  // (as the reader leaves a damaged model)
        ResolveJoints(*model);
        CapturedOutput quiet;
        std::unique_ptr<Scene> scene = BuildScene(*model, SceneOptions());
        ASSERT_TRUE(scene);
        AddTestFacts(*scene);
        if (rich) {
            size_t nameOnly = 0;
            for (const SceneNode& node : scene->nodes) nameOnly += node.nameOnly && !node.facts.empty();
            EXPECT_EQ(nameOnly, 1u);
        }
        CheckBuiltScene(*scene);
        TempFolder t;
        ASSERT_TRUE(WriteDocument(*scene, t.File("m.dae").c_str(), DaeOptions()));
        ASSERT_TRUE(WriteGltf(*scene, t.File("m.gltf").c_str(), false));
        const std::string dae = ReadText(t.File("m.dae")), json = ReadText(t.File("m.gltf"));
        for (const char* text : {"<fact key=\"scale\">1 1 1</fact>", "<fact key=\"empty\" />",
                                 "<fact key=\"windows_1252\" bytes=\"77696e646f77735f31323532 636166e920",
                                 "<fact key=\"key_299\">2093</fact>"})
            EXPECT_NE(dae.find(text), std::string::npos) << text;
        for (const char* text : {R"("facts":{"scale":"1 1 1","empty":"")", R"("fact_bytes":{"windows_1252":)"})
            EXPECT_NE(json.find(text), std::string::npos) << text;
    }
    // Damaged facts: repeated keys, no key, not a text, bytes that are not
    // hexadecimal or hold a NUL.
    TempFolder t;
    t.Write("t.png", TrianglePng());
    const std::string facts = R"(<fact key="k">1</fact><fact key="k">2</fact><fact>no key</fact>)"
                              R"(<fact key="b" bytes="zz"/><fact key="n" bytes="6e 00"/><fact key="c" bytes="63 41"/>)";
    const std::string dae = Dae({{"<translate>1 2 3</translate>",
                                  "<translate>1 2 3</translate><extra><technique profile=\"VORDA\">" + facts +
                                      "</technique></extra>"},
                                 {"</visual_scene>", "<extra><technique profile=\"VORDA\">" + facts +
                                                         "</technique></extra></visual_scene>"}});
    ReadFailure failure;
    const std::unique_ptr<Scene> fromDae = ImportDae(t.Write("d.dae", dae), failure);
    ASSERT_TRUE(fromDae) << failure.Text();
    // (Also a shown text holding a NUL without its bytes, and beside the
    // facts a lone surrogate another program wrote, which leaves them be.)
    const std::string extras = R"("extras":{"facts":{"k":"1","k":"2","x":5,"y":{},"b":"x","n":"y","c":"z","z":"a\u0000"},)"
                               R"("fact_bytes":{"b":"zz","n":"6e 00","c":"63 41","x":"78 78"},"note":"\udc80"})";
    t.Write("m.bin", Bin());
    t.Write("g.gltf", Gltf({{R"("name":"a",)", R"("name":"a",)" + extras + ","},
                            {R"("scenes":[{"nodes":[0]}])", R"("scenes":[{"nodes":[0],)" + extras + "}]"}}));
    std::string error;
    const std::unique_ptr<Scene> fromGltf = ImportGltf(t.File("g.gltf").c_str(), &error);
    ASSERT_TRUE(fromGltf) << error;
    for (const Scene* read : {fromDae.get(), fromGltf.get()}) {
        ASSERT_FALSE(read->nodes.empty());
        for (const SceneFacts* list : {&read->facts, &read->nodes[0].facts}) {
            ASSERT_EQ(list->size(), 2u);
            EXPECT_EQ((*list)[0].key + "=" + (*list)[0].text + " " + (*list)[1].key + "=" + (*list)[1].text, "k=1 c=A");
        }
    }
    // Facts that are not an object at all.
    t.Write("h.gltf", Gltf({{R"("name":"a",)", R"("name":"a","extras":{"facts":["a"],"fact_bytes":7},)"}}));
    const std::unique_ptr<Scene> odd = ImportGltf(t.File("h.gltf").c_str(), &error);
    ASSERT_TRUE(odd) << error;
    EXPECT_TRUE(odd->nodes[0].facts.empty());
}

// Vertex data too long for a mesh's extras travels in the buffer: a list's
// part vertex runs, its unused vertices, and the used ones glTF does not
// give back as held (normals not of unit length, V values the flip rounds),
// also for a mesh glTF leaves out for want of triangles. The scene reads
// back the same, short lists keep their data in the extras, and the file
// stays validator-clean.
TEST(GltfImport, LongVertexDataTravelsInTheBuffer) {
    Scene scene;
    const float zero[3] = {0, 0, 0};
    const int32_t root = scene.AddNode(-1, "long", zero, zero);
    scene.materials.emplace_back().name = "plain";
    // Each list its own part: its vertices numbered after the last part's.
    auto part = [](SceneMesh& mesh, SceneTriangles list, uint32_t vertices) {
        const uint32_t base = uint32_t(mesh.positions.size() / 3);
        for (uint32_t v = 0; v < vertices; ++v) {
            const float n = v % 2 ? 1.0f : 2.5f;
            for (float x : {float(v), float(v % 7), 1.0f}) mesh.positions.push_back(x);
            for (float x : {0.0f, 0.0f, n}) mesh.normals.push_back(x);
            for (float x : {0.25f, 0.1f * float(v % 10)}) mesh.texCoords.push_back(x);
            for (int k = 0; k < 3; ++k) list.table.push_back(int32_t(base + v));
        }
        mesh.triangles.push_back(std::move(list));
    };
    for (const bool drawn : {true, false}) {
        SceneMesh mesh;
        mesh.name = drawn ? "drawn" : "undrawn";
        mesh.hasPositions = mesh.hasNormals = mesh.hasTexCoords = true;
        mesh.components = 3;
        SceneTriangles list;
        list.material = 0;
        // Every other vertex of 300, in 150 runs of one.
        if (drawn) {
            list.count = 50;
            for (uint32_t t = 0; t < 50; ++t)
                for (uint32_t c : {6 * t, 6 * t + 2, 6 * t + 4}) list.corners.push_back(c);
        }
        part(mesh, list, 300);
        // A short list: all in the extras.
        list.corners = {0, 1, 2};
        list.count = drawn ? 1 : 0;
        if (!drawn) list.corners.clear();
        part(mesh, list, 4);
        const int32_t node = scene.AddNode(root, mesh.name, zero, zero);
        scene.nodes[size_t(node)].mesh = int32_t(scene.meshes.size());
        scene.nodes[size_t(node)].materials = {0};
        scene.meshes.push_back(std::move(mesh));
    }
    CheckBuiltScene(scene);
    TempFolder t;
    {
        CapturedOutput quiet;
        ASSERT_TRUE(WriteGltf(scene, t.File("m.gltf").c_str(), false));
        ASSERT_TRUE(WriteGltf(scene, t.File("m.glb").c_str(), true));
    }
    const std::string json = ReadText(t.File("m.gltf"));
    // Runs, unused and held of the drawn mesh's long list, unused of the
    // undrawn one's; the short lists have none.
    for (const char* text : {R"("listData":[{"runs":)", R"("held":)", R"("heldValues":{"normals":)",
                             R"(},{}])", R"("listData":[{"unused":{"positions":)"})
        EXPECT_NE(json.find(text), std::string::npos) << text;
    EXPECT_EQ(json.find(R"("heldValues":{"positions")"), std::string::npos);
    const RunResult validated =
        RunShell("NODE_PATH=" + ShellQuote(std::string(VORDA_SOURCE_DIR) + "/build/node/node_modules") + " node " +
                 ShellQuote(std::string(VORDA_SOURCE_DIR) + "/scripts/gltf_validate.js") + " m.glb m.gltf", t.Path());
    EXPECT_EQ(validated.status, 0) << validated.output;
    // A left-out mesh whose streams disagree with its vertex width is read
    // without them: the scene stays whole and writes again.
    t.Write("t.png", TrianglePng());
    t.Write("odd.glb", Glb(Gltf({{R"("scenes":[{"nodes":[0]}])",
                                  R"("scenes":[{"nodes":[0],"extras":{"meshes":[{"index":1,"streams":)"
                                  R"([true,true,true,1],"lists":[[-1,0,1,[],[1,2,3,0,0,1,0.5,0.5]]]}]}}])"}}),
                           Bin()));
    std::string error;
    const std::unique_ptr<Scene> odd = ImportGltf(t.File("odd.glb").c_str(), &error);
    ASSERT_TRUE(odd) << error;
    EXPECT_EQ(CheckScene(*odd), std::vector<std::string>());
    CapturedOutput quiet;
    EXPECT_TRUE(WriteGltf(*odd, t.File("again.glb").c_str(), true));
}

// A glTF another program wrote is read for what it holds: a tree in metres
// becomes centimetres, rotations (quaternion or matrix) Euler angles, strips
// and fans triangle lists, the base colour texture the diffuse map, and a
// rotation channel three linear curves.
TEST(GltfImport, ForeignGltfIsReadForWhatItHolds) {
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> edit;
        float translation[3], rotation[3];  // node b
        int64_t triangles;
        float scale = 1;  // baked into the mesh
        unsigned char alpha = 255;  // of the base colour picture's first pixel
    };
    const float quarter = float(std::acos(-1.0) / 2);
    const Row rows[] = {
        {"as written", {}, {0, 0, 0}, {0, 0, 0}, 1},
        {"translation in metres", {{"\"name\":\"b\"", "\"name\":\"b\",\"translation\":[0.5,0,-1]"}}, {50, 0, -100}, {0, 0, 0}, 1},
        {"quaternion", {{"\"name\":\"b\"", "\"name\":\"b\",\"rotation\":[0,0,0.70710678,0.70710678]"}}, {0, 0, 0}, {0, 0, quarter}, 1},
        {"matrix", {{"\"name\":\"b\"", "\"name\":\"b\",\"matrix\":[0,2,0,0,-2,0,0,0,0,0,2,0,1,2,3,1]"}}, {100, 200, 300}, {0, 0, quarter}, 1, 2},
        {"scale", {{"\"name\":\"b\"", "\"name\":\"b\",\"scale\":[3,3,3]"}}, {0, 0, 0}, {0, 0, 0}, 1, 3},
        {"strip", {{"\"indices\":1,", "\"mode\":5,"}}, {0, 0, 0}, {0, 0, 0}, 1},
        {"fan", {{"\"indices\":1,", "\"mode\":6,"}}, {0, 0, 0}, {0, 0, 0}, 1},
        {"points", {{"\"indices\":1,", "\"mode\":0,"}}, {0, 0, 0}, {0, 0, 0}, 0},
        // An "OPAQUE" material (the default) shows no alpha; a blended one does.
        {"blended", {{"\"pbrMetallicRoughness\"", "\"alphaMode\":\"BLEND\",\"pbrMetallicRoughness\""}},
         {0, 0, 0}, {0, 0, 0}, 1, 1, 30},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder t;
        t.Write("m.bin", Bin());
        t.Write("t.png", TrianglePng());
        const std::string file = t.Write("m.gltf", Gltf(row.edit));
        std::string error;
        const std::unique_ptr<Scene> scene = ImportGltf(file.c_str(), &error);
        ASSERT_TRUE(scene) << error;
        EXPECT_EQ(CheckScene(*scene), std::vector<std::string>());
        ASSERT_EQ(scene->nodes.size(), 2u);
        const SceneNode& b = scene->nodes[1];
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(b.translation[i], row.translation[i], 1e-4) << i;
            EXPECT_NEAR(b.rotation[i], row.rotation[i], 1e-5) << i;
        }
        ASSERT_EQ(b.mesh, 0);
        const SceneMesh& mesh = scene->meshes[0];
        int64_t triangles = 0;
        for (const SceneTriangles& list : mesh.triangles) triangles += list.count;
        EXPECT_EQ(triangles, row.triangles);
        if (row.triangles) {
            const float f = 100 * row.scale;
            EXPECT_EQ(mesh.positions, std::vector<float>({0, 0, 0, f, 0, 0, 0, f, 0}));
            EXPECT_EQ(scene->notes.size(), row.scale == 1 ? 0u : 1u);
            EXPECT_EQ(mesh.triangles[0].corners, std::vector<uint32_t>({0, 1, 2}));
            EXPECT_EQ(b.materials, std::vector<int32_t>({0}));
        }
        ASSERT_EQ(scene->materials.size(), 1u);
        const SceneMapRef* diffuse = scene->materials[0].Map(kMapDiffuse);
        ASSERT_TRUE(diffuse);
        const SceneImage& picture = scene->images[size_t(diffuse->image)];
        ASSERT_EQ(picture.picture.pixels.size(), 24u);
        EXPECT_EQ(picture.picture.pixels[3], row.alpha);
        EXPECT_EQ(picture.hasAlpha, row.alpha != 255);
    }

    // An animation turning b a quarter about Z and moving the root a metre;
    // a picture whose name climbs out of the folder is named by its last part.
    TempFolder t;
    t.Write("m.bin", Bin());
    t.Write("t.png", TrianglePng());
    const std::string file = t.Write("m.gltf", Gltf({
        {"{\"bufferView\":1,\"componentType\":5123,\"count\":3,\"type\":\"SCALAR\"}",
         "{\"bufferView\":1,\"componentType\":5123,\"count\":3,\"type\":\"SCALAR\"},"
         "{\"bufferView\":2,\"componentType\":5126,\"count\":2,\"type\":\"SCALAR\",\"min\":[0],\"max\":[1]},"
         "{\"bufferView\":2,\"byteOffset\":8,\"componentType\":5126,\"count\":2,\"type\":\"VEC4\"},"
         "{\"bufferView\":2,\"byteOffset\":40,\"componentType\":5126,\"count\":2,\"type\":\"VEC3\"}"},
        {"\"byteLength\":6}]", "\"byteLength\":6},{\"buffer\":1,\"byteLength\":64}]"},
        {"\"byteLength\":44}]", "\"byteLength\":44},{\"byteLength\":64,\"uri\":\"data:application/octet-stream;"
         "base64,AAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAADzBDU/8wQ1PwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAA==\"}],"
         "\"animations\":[{\"name\":\"Spin\",\"samplers\":[{\"input\":2,\"output\":3},{\"input\":2,\"output\":4}],"
         "\"channels\":[{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"rotation\"}},"
         "{\"sampler\":1,\"target\":{\"node\":0,\"path\":\"translation\"}}]}]"},
        {"{\"uri\":\"t.png\"}", "{\"name\":\"../../up/evil\",\"uri\":\"t.png\"}"},
    }));
    std::string error;
    const std::unique_ptr<Scene> scene = ImportGltf(file.c_str(), &error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(CheckScene(*scene), std::vector<std::string>());
    ASSERT_EQ(scene->images.size(), 1u);
    EXPECT_EQ(scene->images[0].stem, "evil");
    ASSERT_EQ(scene->clips.size(), 1u);
    EXPECT_EQ(scene->clips[0].name, "Spin");
    EXPECT_EQ(scene->clips[0].end, 1.0);
    EXPECT_EQ(scene->endTime, 1.0);
    ASSERT_EQ(scene->curves.size(), 6u);
    const SceneCurve& turn = scene->curves[2];
    EXPECT_EQ(turn.node, 1);
    EXPECT_EQ(turn.property, CurveProperty::kRotateZ);
    ASSERT_EQ(turn.data.keys.size(), 2u);
    EXPECT_NEAR(turn.data.keys[1].value, quarter, 1e-5);
    EXPECT_EQ(scene->curves[3].property, CurveProperty::kTranslateX);
    EXPECT_NEAR(scene->curves[3].data.keys[1].value, 100, 1e-4);
    // Written by the tool, it reads back to the same scene.
    CapturedOutput quiet;
    ASSERT_TRUE(WriteGltf(*scene, t.File("a/m.glb").c_str(), true));
    const std::unique_ptr<Scene> again = ImportGltf(t.File("a/m.glb").c_str(), &error);
    ASSERT_TRUE(again) << error;
    ASSERT_TRUE(WriteGltf(*again, t.File("b/m.glb").c_str(), true));
    EXPECT_TRUE(ReadBytes(t.File("a/m.glb")) == ReadBytes(t.File("b/m.glb")));
}

// A node turning half round about Y and back, one key a step of 15
// degrees, and a second node half round about X then Y: each key's Euler
// angles lie near the last key's (the other form of the same turn, or a
// whole turn away, would be a flip the curve plays as a spin).
TEST(GltfImport, RotationKeysTurnWithoutFlips) {
    const double pi = std::acos(-1.0);
    std::vector<float> bytes;
    const int keys = 25;
    for (int k = 0; k < keys; ++k) bytes.push_back(float(k));
    for (int node = 0; node < 2; ++node)
        for (int k = 0; k < keys; ++k) {
            const double a = pi / 12 * (k <= 12 ? k : 24 - k);  // 0 .. 180 .. 0 degrees
            const double c = std::cos(a / 2), s = std::sin(a / 2);
            // About Y; for the second node a quarter about X first.
            const double q[4] = {0, s, 0, c}, x[4] = {std::sin(pi / 4), 0, 0, std::cos(pi / 4)};
            const double r[4] = {q[3] * x[0] + q[0] * x[3] + q[1] * x[2] - q[2] * x[1],
                                 q[3] * x[1] - q[0] * x[2] + q[1] * x[3] + q[2] * x[0],
                                 q[3] * x[2] + q[0] * x[1] - q[1] * x[0] + q[2] * x[3],
                                 q[3] * x[3] - q[0] * x[0] - q[1] * x[1] - q[2] * x[2]};
            for (int i = 0; i < 4; ++i) bytes.push_back(float(node == 0 ? q[i] : r[i]));
        }
    TempFolder t;
    t.Write("r.bin", Bytes(reinterpret_cast<const unsigned char*>(bytes.data()),
                           reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size())));
    const std::string n = std::to_string(keys), length = std::to_string(bytes.size() * 4);
    const std::string file = t.Write("r.gltf",
        R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0,1]}],"nodes":[{"name":"a"},{"name":"b"}],)"
        R"("buffers":[{"uri":"r.bin","byteLength":)" + length + R"(}],"bufferViews":[{"buffer":0,"byteLength":)" + length +
        R"(}],"accessors":[{"bufferView":0,"componentType":5126,"count":)" + n + R"(,"type":"SCALAR"},)"
        R"({"bufferView":0,"byteOffset":)" + std::to_string(keys * 4) + R"(,"componentType":5126,"count":)" + n +
        R"(,"type":"VEC4"},{"bufferView":0,"byteOffset":)" + std::to_string(keys * 20) +
        R"(,"componentType":5126,"count":)" + n + R"(,"type":"VEC4"}],"animations":[{"samplers":[{"input":0,"output":1},)"
        R"({"input":0,"output":2}],"channels":[{"sampler":0,"target":{"node":0,"path":"rotation"}},)"
        R"({"sampler":1,"target":{"node":1,"path":"rotation"}}]}]})");
    std::string error;
    const std::unique_ptr<Scene> scene = ImportGltf(file.c_str(), &error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->curves.size(), 6u);
    for (const SceneCurve& curve : scene->curves) {
        ASSERT_EQ(curve.data.keys.size(), size_t(keys));
        for (int k = 1; k < keys; ++k)
            EXPECT_LT(std::fabs(curve.data.keys[size_t(k)].value - curve.data.keys[size_t(k) - 1].value), 0.27)
                << curve.data.name.value << " key " << k;
    }
}

// The sample's GLB re-exported by Blender (no extras) reads for what it
// holds: the same nodes and placements, triangles, materials with their
// maps and clips as the tool's own GLB.
TEST(GltfImport, BlenderReExportReadsLikeTheToolsOwn) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    const RunResult run = RunTool({"$CONVERT_IN=sample.zem", "$CONVERT_OUT=sample.glb", "do=convert"}, t.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    const RunResult blender = RunProcess(
        {"/usr/bin/blender", "-b", "--factory-startup", "--python-expr",
         "import numpy\nif 'bool' not in numpy.__dict__: numpy.bool = bool\nimport bpy\n"
         "bpy.ops.wm.read_factory_settings(use_empty=True)\n"
         "bpy.ops.import_scene.gltf(filepath='sample.glb')\n"
         "bpy.ops.export_scene.gltf(filepath='blender.glb', export_format='GLB')\n"},
        t.Path());
    ASSERT_EQ(blender.status, 0) << blender.output;
    std::string error;
    const std::unique_ptr<Scene> own = ImportGltf(t.File("sample.glb").c_str(), &error);
    const std::unique_ptr<Scene> other = ImportGltf(t.File("blender.glb").c_str(), &error);
    ASSERT_TRUE(own && other) << error;
    EXPECT_EQ(CheckScene(*other), std::vector<std::string>());
    auto byName = [](const Scene& scene) {
        std::map<std::string, std::vector<float>> places;
        for (const SceneNode& node : scene.nodes)
            places[node.name] = {node.translation[0], node.translation[1], node.translation[2],
                                 node.rotation[0],    node.rotation[1],    node.rotation[2]};
        return places;
    };
    // (Blender numbers names given twice, "SUB_PARAMS.001": those are
    // counted, the others compared by name.)
    EXPECT_EQ(other->nodes.size(), own->nodes.size());
    const auto ownPlaces = byName(*own), otherPlaces = byName(*other);
    // Blender places an animated node as its clip's first frame has it.
    std::set<std::string> animated;
    for (const SceneCurve& curve : own->curves) animated.insert(curve.targetName);
    for (const auto& place : ownPlaces) {
        if (place.first.rfind("SUB_PARAMS", 0) == 0 || animated.count(place.first)) continue;
        ASSERT_EQ(otherPlaces.count(place.first), 1u) << place.first;
        const std::vector<float>& p = otherPlaces.at(place.first);
        for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(p[i], place.second[i], 1e-4) << place.first << " " << i;
        // The same turn, whichever angles give it.
        double q[4], r[4];
        gltf::EulerToQuaternion(p[3], p[4], p[5], q);
        gltf::EulerToQuaternion(place.second[3], place.second[4], place.second[5], r);
        EXPECT_NEAR(std::fabs(q[0] * r[0] + q[1] * r[1] + q[2] * r[2] + q[3] * r[3]), 1.0, 1e-6) << place.first;
    }
    auto triangles = [](const Scene& scene) {
        int64_t n = 0;
        for (const SceneMesh& mesh : scene.meshes)
            for (const SceneTriangles& list : mesh.triangles) n += list.count;
        return n;
    };
    EXPECT_EQ(triangles(*other), 90);
    std::set<std::string> ownMaterials, otherMaterials, clips;
    for (const SceneMaterial& m : own->materials) ownMaterials.insert(m.name + (m.Map(kMapDiffuse) ? " DIFF" : ""));
    for (const SceneMaterial& m : other->materials) otherMaterials.insert(m.name + (m.Map(kMapDiffuse) ? " DIFF" : ""));
    EXPECT_EQ(otherMaterials, ownMaterials);
    for (const SceneClip& clip : other->clips) clips.insert(clip.name);
    EXPECT_EQ(clips, (std::set<std::string>{"Deploy", "Fire"}));
}

// Another program's DAE: the node's transforms become the scene's placement,
// a whole-matrix animation one curve per translation and angle, and a
// texture its TGA file's pixels.
TEST(DaeImport, ForeignDaeIsReadForWhatItHolds) {
    const std::string animation = R"(<library_animations><animation id="n"><source id="i">
<float_array id="ia" count="2">0 1</float_array><technique_common><accessor source="#ia" count="2"><param name="TIME" type="float"/></accessor></technique_common></source>
<source id="o"><float_array id="oa" count="32">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 0 -1 0 5 1 0 0 0 0 0 1 0 0 0 0 1</float_array>
<technique_common><accessor source="#oa" count="2" stride="16"><param name="TRANSFORM" type="float4x4"/></accessor></technique_common></source>
<sampler id="smp"><input semantic="INPUT" source="#i"/><input semantic="OUTPUT" source="#o"/></sampler>
<channel source="#smp" target="a/transform"/></animation></library_animations><library_visual_scenes>)";
    // One value a key: the node's Y and its turn about Z, as other programs name them.
    std::string single = animation.substr(0, animation.find("<source id=\"o\">")) +
                         R"(<source id="o"><float_array id="oa" count="2">0 5</float_array><technique_common><accessor source="#oa" count="2"><param name="Y" type="float"/></accessor></technique_common></source>
<sampler id="smp"><input semantic="INPUT" source="#i"/><input semantic="OUTPUT" source="#o"/></sampler>
<channel source="#smp" target="a/location.Y"/></animation><animation id="r"><source id="ri"><float_array id="ria" count="2">0 1</float_array><technique_common><accessor source="#ria" count="2"><param name="TIME" type="float"/></accessor></technique_common></source>
<source id="ro"><float_array id="roa" count="2">0 90</float_array><technique_common><accessor source="#roa" count="2"><param name="ANGLE" type="float"/></accessor></technique_common></source>
<sampler id="rs"><input semantic="INPUT" source="#ri"/><input semantic="OUTPUT" source="#ro"/></sampler>
<channel source="#rs" target="a/rotateZ.ANGLE"/></animation></library_animations><library_visual_scenes>)";
    const std::string material = R"(<library_images><image id="im"><init_from>pic.tga</init_from></image></library_images>
<library_effects><effect id="fx"><profile_COMMON><technique sid="t"><lambert><diffuse><texture texture="im" texcoord="UV"/></diffuse></lambert></technique></profile_COMMON></effect></library_effects>
<library_materials><material id="m" name="Paint"><instance_effect url="#fx"/></material></library_materials><library_geometries>)";
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> edit;
        float translation[3], rotation[3];
        size_t curves, materials;
        const char* note = "";  // the note the scene holds
        float second = 1;      // the second vertex's X
        std::vector<CurveProperty> properties = {};
    };
    const float quarter = float(std::acos(-1.0) / 2);
    const Row rows[] = {
        // Metres and Z up become the scene's centimetres and Y up.
        {"metres", {{"meter=\"0.01\"", "meter=\"1\""}}, {100, 200, 300}, {0, 0, 0}, 0, 0, "", 100},
        {"Z up", {{"</asset>", "<up_axis>Z_UP</up_axis></asset>"}}, {1, 3, -2}, {0, 0, 0}, 0, 0},
        // What the game's format has no place for: the skin's geometry is
        // placed, the skin left out.
        {"skin",
         {{"<library_visual_scenes>", "<library_controllers><controller id=\"c\"><skin source=\"#g\"/></controller>"
                                      "</library_controllers><library_visual_scenes>"},
          {"<instance_geometry url=\"#g\"/>", "<instance_controller url=\"#c\"/>"}},
         {1, 2, 3}, {0, 0, 0}, 0, 0, "Skin of node a left out - the game's format has no skins"},
        {"camera", {{"<instance_geometry", "<instance_camera url=\"#cam\"/><instance_geometry"}}, {1, 2, 3}, {0, 0, 0}, 0, 0,
         "Camera of node a left out - the game's format has no cameras"},
        {"translate", {}, {1, 2, 3}, {0, 0, 0}, 0, 0},
        {"rotate", {{"<translate>1 2 3</translate>", "<rotate>0 0 1 90</rotate>"}}, {0, 0, 0}, {0, 0, quarter}, 0, 0},
        {"matrix and scale",
         {{"<translate>1 2 3</translate>", "<matrix>0 -2 0 4 2 0 0 5 0 0 2 6 0 0 0 1</matrix><scale>3 3 3</scale>"}},
         {4, 5, 6}, {0, 0, quarter}, 0, 0,
         "Scale of node a baked into its mesh and its children's places - the game's format has no scale", 6},
        {"matrix animation", {{"<library_visual_scenes>", animation}}, {1, 2, 3}, {0, 0, 0}, 6, 0},
        {"value animations", {{"<library_visual_scenes>", single}}, {1, 2, 3}, {0, 0, 0}, 2, 0, "", 1,
         {CurveProperty::kTranslateY, CurveProperty::kRotateZ}},
        {"value animations named without a dot", {{"<library_visual_scenes>", single}, {"location.Y", "translateY"}},
         {1, 2, 3}, {0, 0, 0}, 2, 0, "", 1, {CurveProperty::kTranslateY, CurveProperty::kRotateZ}},
        {"textured material",
         {{"<library_geometries>", material},
          {"<triangles count=\"1\">", "<triangles count=\"1\" material=\"x\">"},
          {"<instance_geometry url=\"#g\"/>", "<instance_geometry url=\"#g\"><bind_material><technique_common>"
                                               "<instance_material symbol=\"x\" target=\"#m\"/></technique_common>"
                                               "</bind_material></instance_geometry>"}},
         {1, 2, 3}, {0, 0, 0}, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder t;
        const unsigned char pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        ASSERT_TRUE(WriteTga(t.File("pic.tga"), 1, -2, pixels, sizeof pixels));
        ReadFailure failure;
        const std::unique_ptr<Scene> scene = ImportDae(t.Write("m.dae", Dae(row.edit)), failure);
        ASSERT_TRUE(scene) << failure.Text();
        ASSERT_EQ(scene->nodes.size(), 1u);
        const SceneNode& node = scene->nodes[0];
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(node.translation[i], row.translation[i], 1e-5) << i;
            EXPECT_NEAR(node.rotation[i], row.rotation[i], 1e-5) << i;
        }
        ASSERT_EQ(scene->meshes.size(), 1u);
        EXPECT_EQ(scene->meshes[0].triangles[0].count, 1);
        EXPECT_EQ(scene->meshes[0].positions[3], row.second);
        EXPECT_EQ(scene->notes, *row.note ? std::vector<std::string>{row.note} : std::vector<std::string>());
        ASSERT_EQ(scene->curves.size(), row.curves);
        if (row.curves) {
            EXPECT_EQ(scene->curves[0].data.keys[1].value, 5.0);  // translate X (Y) of the second key
            EXPECT_NEAR(scene->curves.back().data.keys[1].value, quarter, 1e-6);  // rotate Z
        }
        for (size_t i = 0; i < row.properties.size(); ++i) EXPECT_EQ(scene->curves[i].property, row.properties[i]);
        ASSERT_EQ(scene->materials.size(), row.materials);
        if (row.materials) {
            EXPECT_EQ(scene->materials[0].name, "Paint");
            EXPECT_EQ(scene->meshes[0].triangles[0].material, 0);
            ASSERT_EQ(scene->materials[0].maps.size(), 1u);
            const SceneImage& image = scene->images[size_t(scene->materials[0].maps[0].image)];
            EXPECT_EQ(image.output, "DIFF");
            EXPECT_EQ(image.picture.pixels, Bytes(pixels, pixels + 8));
        }
    }
}

// A document built by hand, with no reader's check before it: the scene
// refuses the first corner (in corner order) whose number is past its stream.
TEST(DaeImport, SceneRefusesNumbersPastTheirStreams) {
    DaeDocument doc;
    doc.path = "hand.dae";
    DaeGeometry g;
    g.id = "g";
    for (const char* semantic : {"POSITION", "NORMAL"}) {
        DaeSource s;
        s.floats = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        s.count = 3;
        s.stride = 3;
        g.sources.push_back(s);
        DaeInput in;
        in.semantic = semantic;
        in.source = int(g.sources.size()) - 1;
        in.offset = uint32_t(in.source);
        g.parts.resize(1);
        g.parts[0].inputs.push_back(in);
    }
    g.parts[0].stride = 2;
    g.parts[0].indices = {0, 0, 1, 1, 2, 2, 0, 0, 1, 7, 9, 2};  // corner 4 (NORMAL 7) comes before corner 5 (POSITION 9)
    doc.geometries.push_back(g);
    ReadFailure failure;
    EXPECT_FALSE(SceneFromDae(doc, failure));
    EXPECT_EQ(failure.Text(), "hand.dae - geometry \"g\": index 7 of NORMAL is out of range (3 values)");
    doc.geometries[0].parts[0].indices = {0, 0, 1, 1, 2, 2};
    EXPECT_TRUE(SceneFromDae(doc, failure)) << failure.Text();
}

// The numbers a DAE's technique sets right: the quick read-back of a "%f"
// text is the text's own, and a correction code puts back every float.
// A damaged code changes nothing.
TEST(DaeImport, CorrectionsGiveBackEveryFloat) {
    std::vector<float> values = {0.0f, -0.0f, 1e-7f, -1e-7f, 0.0078125f, 0.5e-6f, 1.5e-6f, 0.1f, -0.7f, 3.14159274f,
                                 16.0000019f, 9.9e9f, -2.3e9f, 4194304.25f, 3.4e38f, 1e-45f, INFINITY, -INFINITY};
    std::mt19937 random(20);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t bits = random();
        float v;
        std::memcpy(&v, &bits, 4);
        if (!std::isnan(v)) values.push_back(i % 2 ? v : std::ldexp(float(bits % 2000000) - 1e6f, -int(bits % 40)));
    }
    std::vector<float> read;
    for (float v : values) {
        const float quick = F6ReadsBackAs(v), text = F6ReadsBackAsByText(v);
        ASSERT_EQ(std::memcmp(&quick, &text, 4), 0) << v;
        read.push_back(text);
    }
    const std::string code = F6Corrections(values.data(), values.size());
    std::vector<float> back = read;
    ASSERT_TRUE(ApplyCorrections(code.data(), code.size(), back.data(), back.size()));
    EXPECT_EQ(std::memcmp(back.data(), values.data(), values.size() * 4), 0);
    EXPECT_EQ(F6Corrections(read.data(), read.size()), "");  // texts that read back need nothing
    // (The last: the first value set right, the second pushed past the float range.)
    for (const std::string& damaged : {code + "0", code.substr(0, code.size() - 1), "<" + code, code + ".ZZZZZZZZ1",
                                       std::string("WWWWWWWWWWWWW0"), std::string("1WWWWWW8")}) {
        std::vector<float> kept = read;
        EXPECT_FALSE(ApplyCorrections(damaged.data(), damaged.size(), kept.data(), kept.size())) << damaged.substr(0, 20);
        EXPECT_EQ(std::memcmp(kept.data(), read.data(), read.size() * 4), 0) << damaged.substr(0, 20);
    }
}

// The sample's DAE without its VORDA techniques (as an older DAE) reads as
// its text says: the same nodes, meshes and triangles, numbers within the
// text's last digit. Damaged techniques are left out and the scene stays
// sound.
TEST(DaeImport, WithoutOrWithDamagedTechniquesTheTextCounts) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_EQ(RunTool({"sample.zem", "sample.dae"}, t.Path()).status, 0);
    const std::string text = ReadText(t.File("sample.dae"));
    ReadFailure failure;
    const std::unique_ptr<Scene> whole = ImportDae(t.File("sample.dae"), failure);
    ASSERT_TRUE(whole) << failure.Text();
    const std::regex technique(R"(<extra>\s*<technique profile="VORDA">[\s\S]*?</extra>)");
    const std::string plain = std::regex_replace(text, technique, "");
    ASSERT_EQ(plain.find("VORDA\">"), std::string::npos);
    const std::vector<std::pair<std::string, std::string>> damage = {
        {"<first_use>0 ", "<first_use>99999 "}, {"<corners>12 ", "<corners>0 "}, {"<exact_positions>", "<exact_positions>~"},
        {"<node_order>", "<node_order>0 1 "}, {"<place>", "<place>1 "}, {"image=\"6\"", "image=\"600\""},
        {"<key_times>", "<key_times>x"}, {"<clip name=", "<clip start=\"s\" name="},
        {"</vertex_list>", "<zero_signs>0 0 0 99999 0 0</zero_signs></vertex_list>"},
        // (Component 3 of a position: past it the next position's zero X.)
        {"<first_use>0 2 3 1 2 1</first_use>", "<first_use>0 2 3 1 2 1</first_use><zero_signs>2 0 3</zero_signs>"}};
    std::string damaged = text;
    for (const auto& d : damage) {
        const size_t at = damaged.find(d.first);
        ASSERT_NE(at, std::string::npos) << d.first;
        damaged.replace(at, d.first.size(), d.second);
    }
    for (const std::string* document : {&plain, static_cast<const std::string*>(&damaged)}) {
        SCOPED_TRACE(document == &plain ? "without techniques" : "damaged techniques");
        const std::unique_ptr<Scene> scene = ImportDae(t.Write(document == &plain ? "plain.dae" : "damaged.dae", *document), failure);
        ASSERT_TRUE(scene) << failure.Text();
        const std::vector<std::string> problems = CheckScene(*scene);
        EXPECT_TRUE(problems.empty()) << problems.front();
        ASSERT_EQ(scene->nodes.size(), whole->nodes.size());
        ASSERT_EQ(scene->meshes.size(), whole->meshes.size());
        for (size_t m = 0; m < scene->meshes.size(); ++m) {
            const SceneMesh& a = scene->meshes[m];
            const SceneMesh& b = whole->meshes[m];
            ASSERT_EQ(a.triangles.size(), b.triangles.size());
            ASSERT_EQ(a.positions.size(), b.positions.size());
            for (size_t i = 0; i < a.positions.size(); ++i) EXPECT_NEAR(a.positions[i], b.positions[i], 1e-6);
        }
    }
}

// The linear maps of node scale: normals take the cofactors (the transposed
// inverse times the determinant's size), a map of one scale is known as
// such, and a float text's rounding of 0 and 1 is made exact.
TEST(Frame, CofactorsUniformScalesAndSnapping) {
    for (const double sign : {1.0, -1.0}) {
        Frame a;
        const double m[9] = {2, 1, 0, 0, 3, 1, 1, 0, 4 * sign};
        std::copy(m, m + 9, a.m);
        const double det = a.Determinant();
        EXPECT_EQ(det, sign > 0 ? 25 : -23);
        EXPECT_TRUE(a.Cofactors().Transposed() * a == Frame::Uniform(std::fabs(det))) << sign;
    }
    double s = 0;
    EXPECT_TRUE(Frame::Uniform(2.5).IsUniform(s) && s == 2.5);
    for (int i = 1; i < 9; ++i) {
        Frame f = Frame::Uniform(2.5);
        f.m[i] += 1;
        EXPECT_FALSE(f.IsUniform(s)) << i;
    }
    Frame f;
    const double near[9] = {1 + 9e-6, -1 - 9e-6, 9e-6, -9e-6, 0.5, 1.1e-5, 1 - 1.1e-5, 0, 1};
    std::copy(near, near + 9, f.m);
    f.Snap();
    const double snapped[9] = {1, -1, 0, 0, 0.5, 1.1e-5, 1 - 1.1e-5, 0, 1};
    EXPECT_TRUE(std::equal(f.m, f.m + 9, snapped));
}
