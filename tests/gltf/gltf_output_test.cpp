// The bundled sample converted to GLB and to glTF by the built tool, checked
// against its DAE and by outside readers: the Khronos validator, assimp and
// Blender.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <tinyxml.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "gltf/animations.h"
#include "gltf/geometry.h"
#include "gltf/materials.h"
#include "tests/support/dae_checks.h"
#include "tests/support/test_util.h"

namespace {

std::string Attr(const TiXmlElement* e, const char* name) {
    const char* v = e ? e->Attribute(name) : nullptr;
    return v ? v : "<none>";
}

std::string TextOf(const TiXmlElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "";
}

std::vector<const TiXmlElement*> Kids(const TiXmlNode* parent, const char* name) {
    std::vector<const TiXmlElement*> out;
    for (const TiXmlElement* e = parent ? parent->FirstChildElement(name) : nullptr; e; e = e->NextSiblingElement(name))
        out.push_back(e);
    return out;
}

// The first element at or below root whose attribute equals value (and, when
// given, whose element name is elem).
const TiXmlElement* Find(const TiXmlNode* root, const char* attr, const std::string& value, const char* elem = nullptr) {
    const TiXmlElement* e = root ? root->ToElement() : nullptr;
    if (e && e->Attribute(attr) && value == e->Attribute(attr) && (!elem || e->ValueStr() == elem)) return e;
    for (const TiXmlNode* c = root ? root->FirstChild() : nullptr; c; c = c->NextSibling())
        if (const TiXmlElement* found = Find(c, attr, value, elem)) return found;
    return nullptr;
}

const std::string kValidator = std::string(VORDA_SOURCE_DIR) + "/scripts/gltf_validate.js";
const std::string kNodeModules = std::string(VORDA_SOURCE_DIR) + "/build/node/node_modules";

std::string Convert(const std::string& zem, const std::string& out) {
    return RunTool({"$CONVERT_IN=" + zem, "$CONVERT_OUT=" + out, "do=convert"}).output;
}

// The JSON and binary chunks of a GLB.
struct Glb {
    rapidjson::Document json;
    std::vector<unsigned char> bin;
    explicit Glb(const std::string& path) {
        const std::vector<unsigned char> bytes = ReadBytes(path);
        uint32_t head[5] = {};
        if (bytes.size() < sizeof head) return;
        std::memcpy(head, bytes.data(), sizeof head);
        EXPECT_EQ(head[0], 0x46546C67u);
        EXPECT_EQ(head[2], bytes.size());
        json.Parse(reinterpret_cast<const char*>(bytes.data() + 20), head[3]);
        const size_t binAt = 20 + head[3] + 8;
        if (binAt <= bytes.size()) bin.assign(bytes.begin() + long(binAt), bytes.end());
    }
    // The values of a float accessor, or of an index accessor widened.
    std::vector<double> Values(int accessor) const {
        const auto& a = json["accessors"][accessor];
        const auto& view = json["bufferViews"][a["bufferView"].GetInt()];
        const size_t at = view["byteOffset"].GetUint64();
        const std::map<std::string, size_t> widths = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}};
        const size_t n = a["count"].GetUint64() * widths.at(a["type"].GetString());
        std::vector<double> out;
        for (size_t i = 0; i < n; ++i) {
            switch (a["componentType"].GetInt()) {
                case 5126: { float f; std::memcpy(&f, &bin[at + 4 * i], 4); out.push_back(f); break; }
                case 5125: { uint32_t u; std::memcpy(&u, &bin[at + 4 * i], 4); out.push_back(u); break; }
                default: { uint16_t u; std::memcpy(&u, &bin[at + 2 * i], 2); out.push_back(u); break; }
            }
        }
        return out;
    }
    int Find(const char* array, const std::string& name) const {
        for (rapidjson::SizeType i = 0; i < json[array].Size(); ++i)
            if (name == json[array][i]["name"].GetString()) return int(i);
        return -1;
    }
};

std::multiset<std::string> DaeNodeNames(const TiXmlNode* parent) {
    std::multiset<std::string> names;
    for (const TiXmlElement* e : Kids(parent, "node")) {
        names.insert(Attr(e, "name"));
        const auto below = DaeNodeNames(e);
        names.insert(below.begin(), below.end());
    }
    return names;
}

// " %f" texts of a DAE float array, as numbers in tuples of width.
std::set<std::vector<long>> DaeTuples(const TiXmlDocument& doc, const std::string& id, size_t width, bool flipV) {
    std::istringstream in(TextOf(Find(doc.RootElement(), "id", id)));
    std::set<std::vector<long>> out;
    std::vector<long> tuple;
    for (double v; in >> v;) {
        if (flipV && tuple.size() == 1) v = 1 - v;
        tuple.push_back(std::lround(v * 1e4));
        if (tuple.size() == width) out.insert(tuple), tuple.clear();
    }
    return out;
}

std::set<std::vector<long>> GlbTuples(const std::vector<double>& values, size_t width) {
    std::set<std::vector<long>> out;
    for (size_t i = 0; i + width <= values.size(); i += width) {
        std::vector<long> tuple;
        for (size_t k = 0; k < width; ++k) tuple.push_back(std::lround(values[i + k] * 1e4));
        out.insert(tuple);
    }
    return out;
}

struct Converted {
    TempFolder tmp;
    std::string zem = tmp.File("sample.zem"), dae = tmp.File("sample.dae"), glb = tmp.File("sample.glb"),
                gltf = tmp.File("split/sample.gltf");
    std::string daeOutput, glbOutput, gltfOutput;
    Converted() {
        EXPECT_TRUE(WriteSampleModel(zem));
        daeOutput = Convert(zem, dae);
        glbOutput = Convert(zem, glb);
        gltfOutput = Convert(zem, gltf);
    }
};

}  // namespace

TEST(GltfOutput, SampleMatchesItsDaeAndPassesTheValidatorAndAssimp) {
    Converted c;
    // The same lines as the DAE conversion prints.
    auto withPath = [&](const std::string& path) {
        std::string text = c.daeOutput;
        text.replace(text.find(c.dae), c.dae.size(), path);
        return text;
    };
    ASSERT_NE(c.daeOutput.find("Saving " + c.dae + "\n"), std::string::npos) << c.daeOutput;
    EXPECT_EQ(c.glbOutput, withPath(c.glb));
    EXPECT_EQ(c.gltfOutput, withPath(c.gltf));

    const RunResult validated = RunShell("NODE_PATH=" + ShellQuote(kNodeModules) + " node " + ShellQuote(kValidator) +
                                         " " + ShellQuote(c.glb) + " " + ShellQuote(c.gltf));
    const std::string& report = validated.output;
    EXPECT_EQ(validated.status, 0) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2) << report;
    EXPECT_NE(report.find(c.glb + ": 0 errors, 0 warnings"), std::string::npos) << report;
    const AssimpInfo assimp = RunAssimpInfo(c.glb);
    ASSERT_TRUE(assimp.ok) << assimp.output;
    EXPECT_EQ(assimp.animations, 2) << "one per clip";

    TiXmlDocument dae;
    ASSERT_TRUE(dae.LoadFile(c.dae.c_str()));
    Glb glb(c.glb);
    ASSERT_TRUE(glb.json.IsObject());
    const auto& json = glb.json;

    // The same node names, SUB_PARAMS groups and all.
    std::multiset<std::string> nodeNames;
    for (const auto& node : json["nodes"].GetArray()) nodeNames.insert(node["name"].GetString());
    EXPECT_EQ(nodeNames, DaeNodeNames(Find(dae.RootElement(), "id", "sample", "visual_scene")));

    // Every DAE triangle; the hull's positions as they are, its V flipped.
    long triangles = 0;
    for (const auto& mesh : json["meshes"].GetArray())
        for (const auto& p : mesh["primitives"].GetArray()) triangles += json["accessors"][p["indices"].GetInt()]["count"].GetInt() / 3;
    long daeTriangles = 0;
    for (const TiXmlElement* g : Kids(dae.RootElement()->FirstChildElement("library_geometries"), "geometry"))
        for (const TiXmlElement* t : Kids(g->FirstChildElement("mesh"), "triangles")) daeTriangles += std::stol(Attr(t, "count"));
    EXPECT_EQ(triangles, daeTriangles);
    EXPECT_EQ(triangles, 90);
    const int hull = glb.Find("meshes", "MULT[Hull]_LOD[0]");
    ASSERT_GE(hull, 0);
    const auto& hullAttributes = json["meshes"][hull]["primitives"][0]["attributes"];
    EXPECT_EQ(GlbTuples(glb.Values(hullAttributes["POSITION"].GetInt()), 3),
              DaeTuples(dae, "MULT[Hull]_LOD[0]-POSITION-array", 3, false));
    EXPECT_EQ(GlbTuples(glb.Values(hullAttributes["TEXCOORD_0"].GetInt()), 2),
              DaeTuples(dae, "MULT[Hull]_LOD[0]-UV0-array", 2, true));
    for (double v : glb.Values(hullAttributes["NORMAL"].GetInt())) EXPECT_LE(std::fabs(v), 1.0);

    // Materials by the DAE's names (their maps: the golden files).
    std::set<std::string> materials, daeMaterials;
    for (const auto& m : json["materials"].GetArray()) materials.insert(m["name"].GetString());
    for (const TiXmlElement* m : Kids(dae.RootElement()->FirstChildElement("library_materials"), "material"))
        daeMaterials.insert(Attr(m, "name"));
    EXPECT_EQ(materials, daeMaterials);
}

TEST(GltfOutput, FailedSavesKeepTheOlderFile) {
    TempFolder tmp;
    const std::string zem = tmp.File("m.zem");
    ASSERT_TRUE(WriteSampleModel(zem));
    // A save that cannot go through leaves the older file as it was.
    for (const char* name : {"old.glb", "old.gltf"}) {
        SCOPED_TRACE(name);
        const std::string path = tmp.File(name);
        std::ofstream(path) << "older";
        std::filesystem::create_directories(path + ".saving/blocker");
        const std::string output = Convert(zem, path);
        EXPECT_NE(output.find("Error - Cannot write " + path + "\n"), std::string::npos) << output;
        EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd', 'e', 'r'}));
    }
}

// What a user finds after importing into Blender: the DAE's nodes as objects,
// its triangles, the maps on the materials and one action per clip
// and object.
TEST(GltfOutput, BlenderImportsTheSample) {
    Converted c;
    const RunResult run = RunProcess({"/usr/bin/blender", "-b", "--factory-startup", "--python",
                                      std::string(VORDA_SOURCE_DIR) + "/tests/support/blender_import_check.py", "--",
                                      c.dae, c.glb});
    const std::string& output = run.output;
    ASSERT_EQ(run.status, 0) << output;
    std::map<std::string, std::string> lines;  // the last line of each kind; "dae box <name>" for each box
    std::multiset<std::string> glbActions;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 8 && line.compare(3, 5, " box ") == 0) {
            lines[line.substr(0, line.find(' ', 8))] = line.substr(line.find(' ', 8));
        } else if (line.rfind("glb action ", 0) == 0) {
            glbActions.insert(line.substr(11, line.find('_') - 11));
            EXPECT_EQ(line.find(" keys 0"), std::string::npos) << line;
        } else if (line.rfind("glb ", 0) == 0 || line.rfind("dae ", 0) == 0) {
            const size_t cut = line.find(' ', line.find(' ') + 1);
            lines[line.substr(0, cut)] = line.substr(cut + 1);
        }
    }
    // The DAE import holds every node as an object (the script checks it), and
    // the GLB import gives the same objects.
    EXPECT_EQ(output.find("MISSING: "), std::string::npos) << output;
    EXPECT_NE(output.find("\nCHECKED "), std::string::npos) << output;
    EXPECT_EQ(lines["glb triangles"], "90") << output;
    // Both imports agree: the same objects, triangles, and every mesh of a
    // level in the same place at the same size and orientation.
    EXPECT_EQ(lines["dae objects"], lines["glb objects"]);
    EXPECT_EQ(lines["dae triangles"], lines["glb triangles"]);
    for (const char* lod : {"MULT[Hull]_LOD[1]", "MULT[Hull]_LOD[2]"}) {
        EXPECT_NE(lines[std::string("dae box ") + lod], "") << output;
        EXPECT_EQ(lines[std::string("dae box ") + lod], lines[std::string("glb box ") + lod]) << output;
    }
    EXPECT_NE(output.find("glb material MAT[Hull]_SHD[ship] base=hull_DIFF emission=hull_GLOW normal=hull_NORM"),
              std::string::npos) << output;
    EXPECT_EQ(std::set<std::string>(glbActions.begin(), glbActions.end()), (std::set<std::string>{"Deploy", "Fire"}));
}

// Each clip's animation drives exactly the curves its tracks link (connected
// links, in the curves' order); a clip linking none has no animation but is
// listed in the scene's extras; without clips one "Timeline" drives every
// curve. Lines "<animation> <node> <path>", then "clip <name> <start>-<end>
// [animation]".
TEST(GltfOutput, EachClipPlaysTheCurvesItsTracksLink) {
    auto clip = [](AnimationSet& set, const char* name, float start, float end, std::vector<int32_t> curves) {
        auto c = std::make_unique<AnimationClip>();
        c->name.Set(name);
        c->start = c->loopStart = start;
        c->end = c->loopEnd = end;
        auto track = std::make_unique<ClipTrack>();
        track->name.Set("Track");
        track->curveIndices = curves;
        track->links.resize(curves.size());
        c->tracks.push_back(std::move(track));
        set.clips.push_back(std::move(c));
    };
    const std::string sample = "Deploy JNT[Turret] rotation\nDeploy JNT[Gun] rotation\nDeploy JNT[Hull] translation\n"
                               "Fire JNT[Gun] translation\nFire ROOT_LOD[0] rotation\nFire JNT[EngineL] translation\n"
                               "clip Deploy 0-2 0\nclip Fire 2-3 1\n";
    const struct {
        const char* name;
        std::function<void(AnimationSet&)> change;
        std::string expected;
    } cases[] = {
        {"sample", [](AnimationSet&) {}, sample},
        // The turret and the hull have keys inside 0-2 too; Late holds the
        // turret's last value (no key of it inside 2.5-3).
        {"one joint", [&](AnimationSet& s) { s.clips.clear(); clip(s, "Aim", 0, 2, {1}); clip(s, "Late", 2.5f, 3, {0}); },
         "Aim JNT[Gun] rotation\nLate JNT[Turret] rotation\nclip Aim 0-2 0\nclip Late 2.5-3 1\n"},
        {"no link", [&](AnimationSet& s) { clip(s, "Idle", 1, 2, {99}); clip(s, "Empty", 0, 1, {}); },
         sample + "clip Idle 1-2\nclip Empty 0-1\n"},
        // A clip ending before it starts is one moment.
        {"backwards", [&](AnimationSet& s) { s.clips.clear(); clip(s, "Back", 2, 1, {0}); },
         "Back JNT[Turret] rotation\nclip Back 2-2 0\n"},
        {"no curves", [](AnimationSet& s) { s.clips.clear(), s.curves.clear(); }, ""},
        {"no clips", [](AnimationSet& s) { s.clips.clear(); },
         "Timeline JNT[Turret] rotation\nTimeline JNT[Gun] translation\nTimeline JNT[Gun] rotation\n"
         "Timeline JNT[Hull] translation\nTimeline ROOT_LOD[0] rotation\nTimeline JNT[EngineL] translation\n"},
    };
    TempFolder t;
    std::string files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<AnimationSet> set = BuildSampleAnimation();
        c.change(*set);
        const std::string glb = t.File(std::string(c.name) + "/m.glb");
        ASSERT_TRUE(WriteModelFiles(t.File(std::string(c.name) + "/m.zem"), *BuildSampleModel(), set.get()));
        Convert(t.File(std::string(c.name) + "/m.zem"), glb);
        files += " " + ShellQuote(glb);
        const Glb read(glb);
        ASSERT_TRUE(read.json.IsObject());
        const auto& json = read.json;
        std::ostringstream lines;
        if (json.HasMember("animations"))
            for (const auto& a : json["animations"].GetArray())
                for (const auto& channel : a["channels"].GetArray())
                    lines << a["name"].GetString() << " " << json["nodes"][channel["target"]["node"].GetInt()]["name"].GetString()
                          << " " << channel["target"]["path"].GetString() << "\n";
        const auto& extras = json["scenes"][0]["extras"];
        if (extras.HasMember("clips"))
            for (const auto& listed : extras["clips"].GetArray()) {
                lines << "clip " << listed["name"].GetString() << " " << listed["start"].GetDouble() << "-"
                      << listed["end"].GetDouble();
                if (listed.HasMember("animation")) lines << " " << listed["animation"].GetInt();
                lines << "\n";
            }
        EXPECT_EQ(lines.str(), c.expected);
    }
    const RunResult validated = RunShell("NODE_PATH=" + ShellQuote(kNodeModules) + " node " + ShellQuote(kValidator) + files);
    EXPECT_EQ(validated.status, 0) << validated.output;
}

// The stages as properties. Tangents: unit length, across the normal,
// along rising U, w telling whether V runs the other way of normal x tangent.
// Rows: the UV of the corners (0,0,0), (1,0,0), (0,1,0) of a triangle facing
// normal, and the tangent and w expected.
TEST(GltfStages, TangentsAreUnitAcrossTheNormalAndHanded) {
    const struct {
        float uv[6];
        float normal[3];
        float tangent[3];
        float w;
    } cases[] = {
        {{0, 0, 1, 0, 0, 1}, {0, 0, 1}, {1, 0, 0}, 1},     // U along X, V along Y
        {{0, 0, -1, 0, 0, 1}, {0, 0, 1}, {-1, 0, 0}, -1},  // U mirrored
        {{0, 0, 1, 0, 0, -1}, {0, 0, 1}, {1, 0, 0}, -1},   // V mirrored
        {{0, 0, 0, 1, 1, 0}, {0, 0, 1}, {0, 1, 0}, -1},    // U along Y, V along X
        {{0, 0, 1, 0, 0, 1}, {0.6f, 0, 0.8f}, {0.8f, 0, -0.6f}, 1},  // a leaning normal: made perpendicular
        {{0, 0, 0, 0, 0, 0}, {0, 0, 1}, {1, 0, 0}, 1},     // no U direction: any direction across
        {{0, 0, 0, 0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<float>(c.uv, c.uv + 6)));
        const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        const std::vector<float> normals = {c.normal[0], c.normal[1], c.normal[2], c.normal[0], c.normal[1],
                                            c.normal[2], c.normal[0], c.normal[1], c.normal[2]};
        const std::vector<float> t = gltf::Tangents(positions, normals, std::vector<float>(c.uv, c.uv + 6), {0, 1, 2});
        ASSERT_EQ(t.size(), 12u);
        for (size_t v = 0; v < 3; ++v) {
            for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(t[v * 4 + i], c.tangent[i], 1e-6) << "vertex " << v;
            EXPECT_EQ(t[v * 4 + 3], c.w) << "vertex " << v;
        }
    }
}

// Rotation about X, then Y, then Z: the quaternion's matrix is Rz * Ry * Rx.
TEST(GltfStages, EulerAnglesTurnAsTheirMatrices) {
    using M = std::array<double, 9>;
    auto product = [](const M& a, const M& b) {
        M out{};
        for (int i = 0; i < 9; ++i)
            for (int k = 0; k < 3; ++k) out[i] += a[i / 3 * 3 + k] * b[k * 3 + i % 3];
        return out;
    };
    const double angles[][3] = {{0.3, 0, 0}, {0, -1.2, 0}, {0, 0, 2.5}, {0.4, 0.7, -0.2}, {3.0, -1.5, 1.0}};
    for (const auto& a : angles) {
        const double c[3] = {std::cos(a[0]), std::cos(a[1]), std::cos(a[2])};
        const double s[3] = {std::sin(a[0]), std::sin(a[1]), std::sin(a[2])};
        const M rx = {1, 0, 0, 0, c[0], -s[0], 0, s[0], c[0]}, ry = {c[1], 0, s[1], 0, 1, 0, -s[1], 0, c[1]},
                rz = {c[2], -s[2], 0, s[2], c[2], 0, 0, 0, 1};
        double q[4];
        gltf::EulerToQuaternion(a[0], a[1], a[2], q);
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        const M fromQ = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                         2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                         2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
        const M expected = product(rz, product(ry, rx));
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(fromQ[size_t(i)], expected[size_t(i)], 1e-12) << i;
    }
}

// The sample's GLB as the stages lay it out: views aligned to 4 bytes, in
// order without overlap inside the one buffer, each holding its accessor
// exactly; tangents unit and across the normals; sampled rotations those of
// the curves' angles at the key times (rows: animation, node, time in the
// clip, axis, angle).
TEST(GltfStages, SampleBufferTangentsAndSampledRotations) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("s.zem")));
    Convert(t.File("s.zem"), t.File("s.glb"));
    const Glb glb(t.File("s.glb"));
    ASSERT_TRUE(glb.json.IsObject());
    const auto& json = glb.json;
    const size_t length = json["buffers"][0]["byteLength"].GetUint64();
    EXPECT_EQ(glb.bin.size(), length);
    EXPECT_EQ(length % 4, 0u);
    size_t end = 0;
    for (const auto& view : json["bufferViews"].GetArray()) {
        const size_t at = view["byteOffset"].GetUint64();
        EXPECT_EQ(at % 4, 0u);
        EXPECT_GE(at, end);
        EXPECT_LT(at - end, 4u) << "no gap beyond the padding";
        end = at + view["byteLength"].GetUint64();
    }
    EXPECT_LE(end, length);
    EXPECT_GT(end + 4, length);
    const std::map<std::string, size_t> widths = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}};
    for (const auto& a : json["accessors"].GetArray())
        EXPECT_EQ(a["count"].GetUint64() * widths.at(a["type"].GetString()) * (a["componentType"].GetInt() == 5123 ? 2 : 4),
                  json["bufferViews"][a["bufferView"].GetInt()]["byteLength"].GetUint64());

    int tangents = 0;
    for (const auto& mesh : json["meshes"].GetArray())
        for (const auto& p : mesh["primitives"].GetArray()) {
            if (!p["attributes"].HasMember("TANGENT")) continue;
            ++tangents;
            const std::vector<double> tv = glb.Values(p["attributes"]["TANGENT"].GetInt());
            const std::vector<double> nv = glb.Values(p["attributes"]["NORMAL"].GetInt());
            ASSERT_EQ(tv.size() / 4, nv.size() / 3);
            for (size_t v = 0; v < nv.size() / 3; ++v) {
                const double* x = &tv[v * 4];
                const double* n = &nv[v * 3];
                EXPECT_NEAR(x[0] * x[0] + x[1] * x[1] + x[2] * x[2], 1.0, 1e-5);
                EXPECT_NEAR(x[0] * n[0] + x[1] * n[1] + x[2] * n[2], 0.0, 1e-5);
                EXPECT_EQ(std::fabs(x[3]), 1.0);
            }
        }
    EXPECT_EQ(tangents, 3) << "the three primitives of the hull's normal-mapped material";

    const struct {
        const char* animation;
        const char* node;
        double time;
        int axis;
        double angle;
    } rotations[] = {{"Deploy", "JNT[Turret]", 0, 1, 0},   {"Deploy", "JNT[Turret]", 1, 1, 0.8},
                     {"Deploy", "JNT[Gun]", 0.5, 0, -0.3}, {"Deploy", "JNT[Gun]", 2, 0, 0},
                     {"Fire", "ROOT_LOD[0]", 0, 2, 0.2 / 3}, {"Fire", "ROOT_LOD[0]", 1, 2, 0.1}};
    for (const auto& r : rotations) {
        SCOPED_TRACE(std::string(r.animation) + " " + r.node + " " + std::to_string(r.time));
        std::vector<double> q;
        for (const auto& a : json["animations"].GetArray()) {
            if (std::string(a["name"].GetString()) != r.animation) continue;
            for (const auto& c : a["channels"].GetArray()) {
                if (json["nodes"][c["target"]["node"].GetInt()]["name"].GetString() != std::string(r.node) ||
                    c["target"]["path"].GetString() != std::string("rotation"))
                    continue;
                const auto& sampler = a["samplers"][c["sampler"].GetInt()];
                const std::vector<double> times = glb.Values(sampler["input"].GetInt());
                const std::vector<double> out = glb.Values(sampler["output"].GetInt());
                for (size_t i = 0; i < times.size(); ++i)
                    if (std::fabs(times[i] - r.time) < 1e-6) q.assign(out.begin() + long(i * 4), out.begin() + long(i * 4 + 4));
            }
        }
        ASSERT_EQ(q.size(), 4u) << "no sample at that time";
        const double sign = q[3] < 0 ? -1 : 1;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(sign * q[size_t(i)], i == r.axis ? std::sin(r.angle / 2) : 0.0, 1e-6);
        EXPECT_NEAR(sign * q[3], std::cos(r.angle / 2), 1e-6);
    }
}

// Indices are 16-bit exactly while every index stays below 65535 (the
// restart value), and the writing run puts every corner's vertex number
// into the buffer the measuring run laid out. Rows: triangles of one list
// over consecutive vertices, then one more list of a single vertex.
TEST(GltfStages, IndexWidthAndWrittenIndices) {
    const struct {
        int triangles;
        bool extra;
        int componentType;
    } cases[] = {{21845, false, 5123}, {21845, true, 5125}, {1, false, 5123}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.triangles + int(c.extra));
        Scene scene;
        SceneMesh mesh;
        mesh.hasPositions = mesh.positionsOnly = true;
        mesh.components = 1;
        mesh.positions.resize(size_t(c.triangles) * 9, 1.0f);
        SceneTriangles list;
        list.count = c.triangles;
        for (uint32_t i = 0; i < uint32_t(c.triangles * 3); ++i) list.corners.push_back(i);
        mesh.triangles.push_back(list);
        if (c.extra) {
            list.count = 1;
            list.corners = {0, 0, 0};
            mesh.triangles.push_back(list);
        }
        gltf::Buffer measured;
        ASSERT_EQ(gltf::AddMesh(measured, scene, mesh).size(), 1u);
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        gltf::Buffer written;
        written.file = file;
        written.measured = &measured;
        const std::vector<gltf::Primitive> primitives = gltf::AddMesh(written, scene, mesh);
        EXPECT_TRUE(written.ok);
        EXPECT_EQ(written.size, measured.size);
        const gltf::Accessor& indices = written.accessors[size_t(primitives[0].indices)];
        EXPECT_EQ(indices.componentType, c.componentType);
        const size_t corners = size_t(c.triangles) * 3 + (c.extra ? 3 : 0), width = c.componentType == 5123 ? 2 : 4;
        ASSERT_EQ(indices.count, corners);
        std::vector<unsigned char> bytes(corners * width);
        std::fseek(file, long(written.views[size_t(indices.view)].offset), SEEK_SET);
        ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
        for (size_t i = 0; i < corners; ++i) {
            uint32_t v = 0;
            std::memcpy(&v, &bytes[i * width], width);
            ASSERT_EQ(v, std::min<uint32_t>(uint32_t(i), uint32_t(c.triangles * 3))) << "corner " << i;
        }
    }
}

// A material's emission: a GLOW map gives white over the map, else its colour
// when any channel is lit, else nothing.
TEST(GltfStages, EmissionOfAMaterial) {
    const struct {
        float emission[3];
        bool glowMap;
        const char* expected;
    } cases[] = {{{0, 0, 0}, false, ""},           {{0.5f, 0, 0}, false, "[0.5,0.0,0.0]"},
                 {{0, 0.5f, 0}, false, "[0.0,0.5,0.0]"}, {{0, 0, 0.5f}, false, "[0.0,0.0,0.5]"},
                 {{0, 0, 0}, true, "[1.0,1.0,1.0]"}, {{0.5f, 0.5f, 0.5f}, true, "[1.0,1.0,1.0]"}};
    for (const auto& c : cases) {
        Scene scene;
        scene.materials.emplace_back();
        std::copy(c.emission, c.emission + 3, scene.materials[0].emission);
        if (c.glowMap) scene.materials[0].maps.push_back({"GLOW", 0});
        rapidjson::StringBuffer text;
        gltf::Json json(text);
        json.StartObject();
        gltf::WriteMaterialsJson(json, scene, {0});
        json.EndObject();
        const std::string written = text.GetString();
        const size_t at = written.find("\"emissiveFactor\":");
        EXPECT_EQ(at == std::string::npos ? "" : written.substr(at + 17, written.find(']', at) - at - 16), c.expected)
            << written;
    }
}

TEST(GltfStages, UrisArePercentEncoded) {
    EXPECT_EQ(gltf::PercentEncoded("My ship[2]~_v-1.5%.png"), "My%20ship%5B2%5D~_v-1.5%25.png");
}
