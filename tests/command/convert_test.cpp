#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "command/convert.h"

#include "import/dae_scene.h"
#include "import/gltf_import.h"
#include "model/joints.h"
#include "model/model_equal.h"
#include "scene/finite_numbers.h"
#include "scene/model_from_scene.h"
#include "texture/decode_pixels.h"
#include "tests/support/edge_models.h"
#include "tests/support/test_util.h"

namespace fs = std::filesystem;

TEST(Convert, MessageTable) {
    TempFolder t;
    const std::string old = t.Write("old.zem", ZemOfVersion(513)), good = t.Write("good.ZEM", ZemOfVersion(512));
    const std::string out = t.File("o/sub/out.DaE");
    auto convert = [](const std::string& in, const std::string& to) {
        return std::vector<std::string>{"$CONVERT_IN=" + in, "$CONVERT_OUT=" + to, "do=convert"};
    };
    const std::string kNotZem = "Error - Conversion Input must be ZEM!\n";
    const struct {
        std::vector<std::string> words;
        std::string printed;
    } rows[] = {
        {{"do=convert"}, "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n"},
        {{"$CONVERT_OUT=a.dae", "do=convert"}, "Error - Conversion Input not specified!\n"},
        {{"$CONVERT_IN=a.zem", "do=convert"}, "Error - Conversion Output not specified!\n"},
        {convert("a.mad", "a.dae"), kNotZem + "Error - Not converted: a.mad does not end in .zem, .dae, .glb or .gltf\n"},
        {convert("dir.zem/model", "a.dae"), kNotZem + "Error - Not converted: dir.zem/model does not end in .zem, .dae, .glb or .gltf\n"},
        {convert("model", "a.dae"), kNotZem + "Error - Not converted: model does not end in .zem, .dae, .glb or .gltf\n"},
        {convert("a.zem", "a.dae.txt"),
         "Error - Conversion Output must be DAE!\nError - Not converted: a.dae.txt does not end in .dae, .glb, .gltf or .zem\n"},
        {convert(old, out), "Converting " + old + "\nDAE not saved to " + out +
                                "\n - Unknown type: Drelmarch2 Multi Mesh File\n - Unknown version: 00000201\n"},
        {{"$D=" + t.Path(), "$CONVERT_IN=$[D]/good.ZEM", "$CONVERT_OUT=$[D]/o/sub/out.DaE", "do=convert"},
         "Converting " + good + "\nSaving " + out + "\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words[0]);
        EXPECT_FALSE(fs::exists(out));  // only the last row writes
        CommandContext c;
        EXPECT_EQ(RunWords(c, r.words), r.printed);
        EXPECT_EQ(c.action, 0);
    }
    EXPECT_NE(ReadText(out).find("<COLLADA"), std::string::npos);
}

TEST(MakeMadPath, ReplacesFromTheLastDot) {
    const char* rows[][2] = {{"C:\\ships\\a.zem", "C:\\ships\\a.MAD"}, {"ships/a.b.zem", "ships/a.b.MAD"},
                             {"noext", "noext.MAD"}, {"dir.v2/model", "dir.MAD"}, {"", ".MAD"}};
    for (auto& r : rows) {
        SCOPED_TRACE(r[0]);
        EXPECT_EQ(MakeMadPath(r[0]), r[1]);
    }
}

// The animations beside the model are attached to version 512 models only,
// found under ".MAD" or, failing that, the lower-case ".mad".
TEST(LoadModel, AttachesTheMadFileOnlyForVersion512) {
    TempFolder t;
    AnimationSet set;
    set.formatName.Set("Drelmarch2 MAD File");
    for (const char* f : {"a.MAD", "b.MAD", "d.mad"}) ASSERT_TRUE(SaveBytes(t.File(f), BuildMad(set)));
    const std::pair<const char*, bool> rows[] = {{"a.zem", true}, {"b.zem", false}, {"c.zem", false}, {"d.zem", true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.first);
        const std::string path = t.Write(r.first, ZemOfVersion(r.first[0] == 'b' ? 513 : 512));
        CapturedOutput captured;
        std::unique_ptr<Model> m = LoadModel(path.c_str());
        ASSERT_TRUE(m);
        EXPECT_EQ(m->animation != nullptr, r.second);
        EXPECT_STREQ(m->path.CStr(), path.c_str());
        EXPECT_EQ(captured.Text(), "Converting " + path + "\n");
    }
}

TEST(ReadDaeOptions, VerboseWhenAWordBeginsVerboseTextures) {
    const std::pair<const char*, bool> rows[] = {
        {"", false}, {"VerboseTextures", true}, {"verbose", true}, {"foo VERBOSE", true}, {"v", true},
        {"  verbosetex  ", true}, {"VerboseTexturesX", false}, {"Texture", false}, {"xverbose", false},
        {"   ", false}, {"$[OPT]", true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.first);
        CommandContext c;
        SetVariable(c, "OPT", "verb", false);
        SetVariable(c, "DAE_OUT_OPT", r.first, false);  // "" leaves it undefined
        EXPECT_EQ(ReadDaeOptions(c).verboseTextures, r.second);
    }
}

namespace {

// A document's bytes; a DAE without its build-date line.
Bytes Comparable(const std::string& path) {
    Bytes bytes = ReadBytes(path);
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".dae") != 0) return bytes;
    std::string text(bytes.begin(), bytes.end());
    const size_t at = text.find("<authoring_tool>");
    if (at != std::string::npos) text.erase(at, text.find('\n', at) - at);
    return Bytes(text.begin(), text.end());
}

}  // namespace

// Every format pair through the built tool, for the sample and the rich
// model: the model converted to X and X converted to Y gives the same
// document and maps as the model converted to Y (what a DAE's texts do not
// give back travels in its VORDA techniques, the rich model's zeros of
// either sign among them).
TEST(Convert, NineFormatPairs) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_TRUE(WriteModelFiles(t.File("rich.zem"), *RichModel(), BuildSampleAnimation().get()));
    ASSERT_TRUE(WriteModelFiles(t.File("meshes.zem"), *MeshEdgeModel(), BuildSampleAnimation().get()));
    // (With a header the tool converts, and pictures of stems of their own:
    // two of one stem are written to one map file.)
    std::unique_ptr<Model> objects = ObjectEdgeModel();
    objects->version = kMultiMeshVersion, objects->typeName = BuildSampleModel()->typeName;
    objects->images[1]->name.Set("other\\b c.dds"), objects->images[2]->name.Set("c d");
    ASSERT_TRUE(WriteModelFiles(t.File("objects.zem"), *objects, objects->animation.get()));
    const char* const kFormats[] = {"dae", "glb", "gltf"};
    const struct {
        const char* from;
        const char* to;
    } rows[] = {
        {"dae", "dae"},  {"dae", "glb"},  {"dae", "gltf"},  {"glb", "dae"},   {"glb", "glb"},
        {"glb", "gltf"}, {"gltf", "dae"}, {"gltf", "glb"},  {"gltf", "gltf"},
    };
    for (const char* model : {"sample", "rich", "meshes", "objects"}) {
        for (const char* format : kFormats) {
            const std::string out = std::string("direct/") + format + "/" + model + "." + format;
            RunTool({std::string(model) + ".zem", out}, t.Path());  // the rich model has alerts
            ASSERT_TRUE(fs::exists(t.File(out))) << out;
        }
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(model) + " " + r.from + " -> " + r.to);
            const std::string name = std::string(model) + "." + r.to;
            const std::string in = std::string("direct/") + r.from + "/" + model + "." + r.from;
            const std::string folder = std::string(r.from) + "-" + r.to;
            const RunResult run = RunTool({"$CONVERT_IN=" + in, "$CONVERT_OUT=" + folder + "/" + name, "do=convert"},
                                          t.Path());
            ASSERT_EQ(run.status, 0) << run.output;
            EXPECT_EQ(run.output, "Converting " + in + "\nSaving " + folder + "/" + name + "\n");
            const std::string direct = t.File(std::string("direct/") + r.to);
            for (const auto& entry : fs::directory_iterator(direct)) {
                const std::string file = entry.path().filename().string();
                EXPECT_TRUE(Comparable(entry.path().string()) == Comparable(t.File(folder + "/" + file))) << file;
            }
        }
        // The way back to the game and out again: X -> ZEM' -> X' gives X
        // (the game's model rebuilt from the document holds all the
        // document came from).
        for (const char* format : kFormats) {
            SCOPED_TRACE(std::string(model) + " " + format + " -> zem -> " + format);
            const std::string in = std::string("direct/") + format + "/" + model + "." + format;
            const std::string zem = std::string("zem-") + format + "/" + model + ".zem";
            const std::string out = std::string("back-") + format + "/" + model + "." + format;
            const RunResult there = RunTool({in, zem}, t.Path());
            EXPECT_EQ(there.output.find("ALERT"), std::string::npos) << there.output;
            RunTool({zem, out}, t.Path());  // the rich model's damage is still there
            const std::string direct = t.File(std::string("direct/") + format);
            for (const auto& entry : fs::directory_iterator(direct)) {
                const std::string file = entry.path().filename().string();
                EXPECT_TRUE(Comparable(entry.path().string()) ==
                            Comparable(t.File(std::string("back-") + format + "/" + file)))
                    << file;
            }
        }
        // A scan picks documents by mask (any case) like models.
        const RunResult run = RunTool({"setmask=*.GLB;*.gltf", "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],"
                                       "$CONVERT_OUT=scan/$[SCAN_REL_PATH]/$[SCAN_FILE].dae,do=convert",
                                       "scan=direct"},
                                      t.Path());
        EXPECT_NE(run.output.find("Summary - 2 models: 2 converted, 0 damaged, 0 failed\n"), std::string::npos)
            << run.output;
        for (const char* from : {"glb", "gltf"})
            EXPECT_EQ(ReadBytes(t.File(std::string("scan/") + from + "/" + model + ".dae")),
                      ReadBytes(t.File(std::string(from) + "-dae/" + model + ".dae")));
        fs::remove_all(t.File("direct"));
    }
}

namespace {

// The scene the convert action makes of an input, as it makes it.
std::unique_ptr<Scene> SceneAsConverted(const std::string& path) {
    CapturedOutput quiet;
    const std::string extension = path.substr(path.rfind('.'));
    if (extension == ".zem") {
        std::unique_ptr<Model> model = LoadModel(path.c_str());
        if (!model) return nullptr;
        ResolveJoints(*model);
        return BuildScene(*model, SceneOptions());
    }
    ReadFailure failure;
    std::string error;
    std::unique_ptr<Scene> scene = extension == ".dae" ? ImportDae(path, failure) : ImportGltf(path.c_str(), &error);
    Damage damage;
    if (scene) ZeroNumbersNotFinite(*scene, damage);
    return scene;
}

}  // namespace

// A ".zem" output (any letter case) from every input, for a model with
// animations and one without: the model the scene stands for, and its
// animation file beside it when it has one, as the model writer writes them.
TEST(Convert, ZemFromEveryInput) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_TRUE(WriteModelFiles(t.File("still.zem"), *BuildSampleModel()));
    for (const char* model : {"sample", "still"}) {
        for (const char* format : {"dae", "glb", "gltf"})
            ASSERT_EQ(RunTool({std::string(model) + ".zem", std::string("in/") + model + "." + format}, t.Path()).status, 0);
        for (const std::string& in : {std::string(model) + ".zem", std::string("in/") + model + ".dae",
                                     std::string("in/") + model + ".glb", std::string("in/") + model + ".gltf"}) {
            SCOPED_TRACE(in);
            const std::string base = "out/" + in.substr(in.rfind('.') + 1) + "/" + model;
            const std::string out = base + (in.back() == 'b' ? ".ZEM" : ".zem");
            const RunResult run = RunTool({"$CONVERT_IN=" + in, "$CONVERT_OUT=" + out, "do=convert"}, t.Path());
            const std::unique_ptr<Scene> scene = SceneAsConverted(t.File(in));
            ASSERT_TRUE(scene);
            WayBackReport report;
            const std::unique_ptr<Model> back = ModelFromScene(*scene, report);
            std::string printed = "Converting " + in + "\nSaving " + out + "\n";
            for (const std::string& kind : report.defaults) printed += "Note - Facts taken from defaults: " + kind + "\n";
            EXPECT_EQ(run.output, printed);
            EXPECT_EQ(run.status, 0);
            EXPECT_TRUE(ReadBytes(t.File(out)) == BuildZem(*back));
            EXPECT_EQ(fs::exists(t.File(base + ".MAD")), back->animation != nullptr);
            if (back->animation) {
                EXPECT_TRUE(ReadBytes(t.File(base + ".MAD")) == BuildMad(*back->animation));
            }
        }
    }
}

// Every way to name a ".zem" output, an old animation file beside a model
// without animations named (and kept), and a save that fails leaving the
// old model and animation file as they were.
TEST(Convert, ZemOutputWaysOldAnimationsAndFailedSaves) {
    TempFolder t;
    ASSERT_TRUE(WriteModelFiles(t.File("still.zem"), *BuildSampleModel()));
    ASSERT_EQ(RunTool({"still.zem", "still.glb"}, t.Path()).status, 0);
    t.Write("still.params", "$CONVERT_IN=still.glb\n$CONVERT_OUT=params/m.zem\ndo=convert\n");
    t.Write("still.script", "=action=convert\n@$CONVERT_IN,$CONVERT_OUT\nstill.glb,script/m.zem\n");
    t.Write("old/m.MAD", "old");
    t.Write("lower/m.mad", "old");
    t.Write("fails/m.zem", "old");
    t.Write("fails/m.MAD", "old");
    t.Write("fails/m.zem.saving/x", "x");  // the temporary cannot be written
    const std::string kOld = "ALERT: Old animation file ";
    const struct {
        std::vector<std::string> words;
        std::string out;      // the model written
        std::string printed;  // after "Saving <out>\n"
        int status;
    } rows[] = {
        {{"still.glb", "short/m.zem"}, "short/m.zem", "", 0},
        {{"params=still.params"}, "params/m.zem", "", 0},
        {{"script=still.script"}, "script/m.zem", "", 0},
        {{"setmask=*.glb", "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],$CONVERT_OUT=scan/$[SCAN_FILE].zem,do=convert",
          "scan=."},
         "scan/still.zem", "", 0},
        {{"still.glb", "old/m.zem"}, "old/m.zem",
         kOld + "old/m.MAD beside old/m.zem, which has no animations - the game would pair them; move it away\n", 0},
        {{"still.glb", "lower/m.zem"}, "lower/m.zem",
         kOld + "lower/m.mad beside lower/m.zem, which has no animations - the game would pair them; move it away\n", 0},
        {{"still.glb", "fails/m.zem"}, "fails/m.zem",
         "Error - Cannot write fails/m.zem\nError - Cannot write ZEM file fails/m.zem - Is a directory\n", 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words[0] + " " + r.out);
        const RunResult run = RunTool(r.words, t.Path());
        EXPECT_EQ(run.status, r.status);
        const std::string saving = "Saving " + r.out + "\n";
        ASSERT_NE(run.output.find(saving), std::string::npos) << run.output;
        EXPECT_EQ(run.output.substr(run.output.find(saving) + saving.size()), r.printed);
        EXPECT_TRUE(fs::exists(t.File(r.out)));
    }
    for (const char* kept : {"old/m.MAD", "lower/m.mad", "fails/m.zem", "fails/m.MAD"}) EXPECT_EQ(ReadText(t.File(kept)), "old") << kept;
    EXPECT_FALSE(fs::exists(t.File("fails/m.MAD.saving")));
    // A model after a model is the next model to convert, as before.
    const RunResult two = RunTool({"still.zem", "still.zem"}, t.Path());
    EXPECT_NE(two.output.find("Summary - 2 models: 2 converted"), std::string::npos) << two.output;
    EXPECT_EQ(two.output.find("Saving still.zem"), std::string::npos) << two.output;
}

// Documents that cannot be read: one "Error - " line naming the file and the
// reason, exit status 1, and the output already there left as it was.
TEST(Convert, BadDocumentsWriteNothing) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    for (const char* out : {"good/m.dae", "good/m.glb", "good/m.gltf"})
        ASSERT_EQ(RunTool({"sample.zem", out}, t.Path()).status, 0);
    const Bytes glb = ReadBytes(t.File("good/m.glb"));
    const std::string gltf = ReadText(t.File("good/m.gltf")), dae = ReadText(t.File("good/m.dae"));
    auto edited = [](std::string text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    t.Write("bad/text.dae", "no XML here");
    t.Write("bad/other.dae", "<?xml version=\"1.0\"?><svg/>");
    t.Write("bad/cut.glb", Bytes(glb.begin(), glb.begin() + 100));
    t.Write("bad/array.gltf", "[1, 2]");
    t.Write("bad/nojson.gltf", "{\"asset\": ");
    t.Write("bad/nomaps.dae", dae);  // its TGA files are not beside it
    t.Write("bad/nobin.gltf", gltf);  // neither its .bin
    fs::copy_file(t.File("good/m.bin"), t.File("bad/short.bin"));
    fs::resize_file(t.File("bad/short.bin"), 64);
    t.Write("bad/short.gltf", edited(gltf, "\"m.bin\"", "\"short.bin\""));
    const struct {
        const char* input;
        const char* file;  // the file the line names
        const char* reason;
    } rows[] = {
        {"bad/text.dae", "bad/text.dae", "not XML"},
        {"bad/other.dae", "bad/other.dae", "not COLLADA"},
        {"bad/cut.glb", "bad/cut.glb", "cut short"},
        {"bad/array.gltf", "bad/array.gltf", "not an object"},
        {"bad/nojson.gltf", "bad/nojson.gltf", "broken JSON"},
        {"bad/nomaps.dae", "bad/hull_DIFF.TGA", "named by nomaps.dae"},
        {"bad/nobin.gltf", "bad/m.bin", "named by nobin.gltf"},
        {"bad/short.gltf", "bad/short.bin", "too short"},
        {"bad/missing.glb", "bad/missing.glb", "cannot read the file"},
    };
    t.Write("out/kept.glb", "kept");
    t.Write("out/kept.dae", "kept");
    for (const auto& r : rows) {
        for (const char* out : {"out/kept.glb", "out/kept.dae"}) {
            SCOPED_TRACE(std::string(r.input) + " -> " + out);
            const RunResult run = RunTool({r.input, out}, t.Path());
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.output.find("Converting " + std::string(r.input) + "\nError - "), 0u) << run.output;
            EXPECT_NE(run.output.find(r.file), std::string::npos) << run.output;
            EXPECT_NE(run.output.find(r.reason), std::string::npos) << run.output;
            EXPECT_EQ(run.output.find("Saving"), std::string::npos) << run.output;
            EXPECT_EQ(ReadText(t.File(out)), "kept");
        }
    }
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(t.File("out"))) files += entry.is_regular_file();
    EXPECT_EQ(files, 2u);
}

// A DAE holding numbers that are not finite (as one written from a damaged
// model before such numbers were made 0) converts with them as 0: the
// damage alert, exit status 1, and documents without "nan" or "inf".
TEST(Convert, NumbersNotFiniteInADocumentBecomeZero) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_EQ(RunTool({"sample.zem", "a.dae"}, t.Path()).status, 0);
    std::string dae = ReadText(t.File("a.dae"));
    for (const char* bad : {"nan", "-inf"}) {
        const size_t array = dae.find("<float_array");
        const size_t at = dae.find("2.000000", array);
        ASSERT_NE(at, std::string::npos);
        dae.replace(at, 8, bad);
    }
    t.Write("b.dae", dae);
    for (const char* out : {"c.dae", "c.gltf"}) {
        const RunResult run = RunTool({"b.dae", out}, t.Path());
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_EQ(run.output, "Converting b.dae\nALERT: Damaged model file b.dae - converting what could be read\n"
                              " - Damaged: mesh [MULT[Hull]_LOD[0]]\nSaving " + std::string(out) + "\n");
        const std::string text = ReadText(t.File(out));
        EXPECT_EQ(text.find(">nan"), std::string::npos);
        EXPECT_EQ(text.find(" nan"), std::string::npos);
        EXPECT_EQ(text.find("inf "), std::string::npos);
    }
}

// Blender imports the DAE made from a GLB as the DAE made from the model:
// the same objects, triangles, boxes, materials with their maps and actions.
TEST(Convert, BlenderImportsADaeMadeFromAGlbAsTheModelsDae) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_EQ(RunTool({"sample.zem", "a/m.dae", "sample.zem", "a/m.glb", "a/m.glb", "b/m.dae"}, t.Path()).status, 0);
    auto imported = [&](const std::string& dae) {
        const RunResult run = RunProcess({"/usr/bin/blender", "-b", "--factory-startup", "--python",
                                          std::string(VORDA_SOURCE_DIR) + "/tests/support/blender_import_check.py",
                                          "--", t.File(dae), t.File("a/m.glb")});
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("MISSING: "), std::string::npos) << run.output;
        std::string lines;
        std::istringstream in(run.output);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("dae ", 0) == 0) lines += line + "\n";
        return lines;
    };
    const std::string direct = imported("a/m.dae");
    EXPECT_NE(direct.find("dae triangles 90"), std::string::npos) << direct;
    EXPECT_EQ(imported("b/m.dae"), direct);
}

// The model rebuilt from each document is the original, field by field,
// but for what the way back makes anew (the levels below the first, the
// collision bounds, one triangle list a part, what joint resolution sets)
// and the block bytes of a level, whose pixels decode alike. It reads
// whole and passes the model check.
TEST(Convert, TheModelRebuiltFromADocumentIsTheOriginal) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    std::vector<std::string> problems;
    auto read = [&](const std::string& zem) {
        std::unique_ptr<Model> model = ReadZemChecked(ReadBytes(t.File(zem + ".zem")), &problems);
        if (!model) return model;
        model->animation = ReadMadChecked(ReadBytes(t.File(zem + ".MAD")), &problems);
        ResolveJoints(*model);  // (the joints are listed in the order the tool sorts them)
        return model;
    };
    const std::unique_ptr<Model> original = read("sample");
    ASSERT_TRUE(original && original->animation);
    for (const char* format : {"dae", "glb", "gltf"}) {
        SCOPED_TRACE(format);
        const std::string document = std::string("doc/sample.") + format, back = std::string(format) + "/sample";
        ASSERT_EQ(RunTool({"sample.zem", document}, t.Path()).status, 0);
        const RunResult run = RunTool({document, back + ".zem"}, t.Path());
        EXPECT_EQ(run.output, "Converting " + document + "\nSaving " + back + ".zem\n");
        const std::unique_ptr<Model> rebuilt = read(back);
        ASSERT_TRUE(rebuilt && rebuilt->animation);
        EXPECT_EQ(problems, std::vector<std::string>());
        EXPECT_FALSE(rebuilt->damage || rebuilt->animation->damage) << rebuilt->damage.first;
        ASSERT_EQ(rebuilt->images.size(), original->images.size());
        for (size_t i = 0; i < original->images.size(); ++i) {
            MipLevel& a = original->images[i]->levels.at(0);
            MipLevel& b = rebuilt->images[i]->levels.at(0);
            std::unique_ptr<PixelImage> pa, pb;
            const char* code = original->images[i]->format.CStr();
            ASSERT_EQ(DecodeLevel(a, code, pa), DecodeStatus::kOk);
            ASSERT_EQ(DecodeLevel(b, code, pb), DecodeStatus::kOk);
            EXPECT_TRUE(pa->pixels == pb->pixels) << original->images[i]->name.value;
            b.data = a.data;
        }
        ModelCompareOptions regenerated;
        regenerated.skipLowerMips = regenerated.skipTangents = regenerated.skipCollisionBounds = true;
        regenerated.groupsAsTriangles = regenerated.skipJointResolution = true;
        EXPECT_EQ(ModelDifference(*original, *rebuilt, regenerated), "");
    }
}

// The sample's GLB edited in Blender 3.4 and exported twice by one run of
// tests/support/blender_edit.py: with "Custom Properties" on it converts
// back to a ZEM whose DAE differs from the original's only by each edit
// (Blender keeps only the images a material's texture slots show, without
// their extras: the images, effects and materials and the images fact are
// left out); with Blender's defaults it converts and names, once each, the
// kinds of facts taken from defaults.
TEST(Convert, BlenderEditsComeBackInTheZem) {
    const struct {
        const char* edit;                 // as blender_edit.py takes it
        std::vector<std::string> blocks;  // the geometries, nodes and animations it changes
        const char* shown;                // a text of the first one's changed lines
    } edits[] = {
        // A joint no animation plays, moved up (glTF's Y is Blender's Z).
        {"move JNT[EngineR] 0 0 2.5", {"JNT[EngineR]"}, "1.200000 2.500000 -4.100000"},
        // A vertex of a mesh.
        {"vertex MULT[Turret]_LOD[0] 0 0.5 0 0", {"MULT[Turret]_LOD[0]-lib"}, "> 1.100000 0.000000 -0.600000"},
        // A clip's keys moved: Blender's 49 samples become the curve's keys
        // in the clip (the key after it kept); the curves Blender only
        // resampled stay as they were. The joint, and what stands at its
        // place (levels above 0, the collision mesh), show its first key.
        {"action Deploy_JNT[Hull] 0 0 0.5",
         {"JNT[Hull]-translate.Y", "JNT[Hull]", "MULT[Hull]_LOD[1]", "MULT[Hull]_LOD[2]", "GLOW[EngineL_Glow]_LOD[1]",
          "COL[Hull]"},
         "count=\"50\""},
    };
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_EQ(RunTool({"sample.zem", "sample.glb", "sample.zem", "a/sample.dae"}, t.Path()).status, 0);
    std::vector<std::string> blender = {"/usr/bin/blender", "-b", "--factory-startup", "--python",
                                        std::string(VORDA_SOURCE_DIR) + "/tests/support/blender_edit.py", "--",
                                        "sample.glb", "b/sample.glb", "plain.glb"};
    fs::create_directories(t.File("b"));
    for (const auto& e : edits) blender.push_back(e.edit);
    const RunResult run = RunProcess(blender, t.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    // (The image no material uses, which Blender does not import, is the
    // one written with zero bytes: the model reads whole.)
    const RunResult back = RunTool({"b/sample.glb", "b/sample.zem", "b/sample.zem", "b/sample.dae"}, t.Path());
    EXPECT_NE(back.output.find("Saving b/sample.zem\nNote - Facts taken from defaults: image pixels\nConverting"),
              std::string::npos) << back.output;
    EXPECT_EQ(back.output.find("Damaged"), std::string::npos) << back.output;
    EXPECT_EQ(back.status, 0) << back.output;

    // The lines of the geometries (by geometry), the animations, and the
    // visual scenes (by the innermost node holding them).
    auto blocks = [&](const std::string& dae) {
        std::map<std::string, std::string> out;
        std::istringstream in(ReadText(t.File(dae)));
        std::string library, geometry;
        std::vector<std::string> nodes;
        for (std::string line; std::getline(in, line);) {
            const size_t open = line.find("<library_");
            if (open != std::string::npos) library = line.substr(open + 9, line.find('>', open) - open - 9);
            auto named = [&](const char* tag) {
                const size_t at = line.find(tag);
                if (at == std::string::npos) return std::string();
                const size_t from = at + std::strlen(tag);
                return line.substr(from, line.find('"', from) - from);
            };
            if (library == "geometries") {
                if (!named("<geometry id=\"").empty()) geometry = named("<geometry id=\"");
                out[geometry] += line + "\n";
            } else if (library == "animations") {
                // (Each animation by the first source it holds.)
                if (line.find("<animation") != std::string::npos) geometry = "animations";
                else if (geometry == "animations" && !named("<source id=\"").empty())
                    geometry = named("<source id=\"").substr(0, named("<source id=\"").rfind('-'));
                out[geometry] += line + "\n";
            } else if (library == "visual_scenes" && line.find("key=\"images\"") == std::string::npos &&
                       line.find("<visual_scene id=") == std::string::npos) {
                const std::string node = named("<node name=\"");
                const bool opens = !node.empty() && line.find("/>") == std::string::npos;
                if (opens) nodes.push_back(node);
                out[nodes.empty() ? (node.empty() ? "scene" : node) : nodes.back()] += line + "\n";
                if (line.find("</node>") != std::string::npos && !nodes.empty()) nodes.pop_back();
            }
        }
        return out;
    };
    const auto before = blocks("a/sample.dae"), after = blocks("b/sample.dae");
    ASSERT_EQ(after.size(), before.size());
    ASSERT_TRUE(before.count("animations"));
    std::set<std::string> edited;
    for (const auto& e : edits) {
        SCOPED_TRACE(e.edit);
        for (const std::string& block : e.blocks) {
            edited.insert(block);
            ASSERT_TRUE(before.count(block) && after.count(block)) << block;
            EXPECT_NE(after.at(block), before.at(block)) << block;
        }
        EXPECT_EQ(before.at(e.blocks[0]).find(e.shown), std::string::npos);
        EXPECT_NE(after.at(e.blocks[0]).find(e.shown), std::string::npos) << after.at(e.blocks[0]);
    }
    for (const auto& b : before) {
        if (!edited.count(b.first)) {
            EXPECT_EQ(after.count(b.first) ? after.at(b.first) : "", b.second) << b.first;
        }
    }

    // Blender's defaults: no extras at all.
    const RunResult plain = RunTool({"plain.glb", "plain.zem"}, t.Path());
    EXPECT_EQ(plain.status, 0) << plain.output;
    std::set<std::string> kinds;
    std::istringstream lines(plain.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Note - Facts taken from defaults: ", 0) == 0) {
            EXPECT_TRUE(kinds.insert(line).second) << line;
        }
    }
    for (const char* kind : {"part vertex formats", "joint scale and flags", "animation file header and clip tracks"})
        EXPECT_EQ(kinds.count(std::string("Note - Facts taken from defaults: ") + kind), 1u) << plain.output;
    EXPECT_NE(plain.output.find("Saving plain.zem"), std::string::npos) << plain.output;
}
