#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "command/convert.h"
#include "command_test_util.h"
#include "tests/support/fixture_writer.h"

namespace {

// A multi-mesh model file as the game writes it: VERS, the multi mesh NAME
// and an INFO form.
std::vector<unsigned char> SmallZem(uint32_t version) {
    Model m;
    m.version = version;
    auto info = std::make_unique<InfoEntry>();
    info->key.Set("AUTH");
    info->value.Set("tests");
    m.infoEntries.push_back(std::move(info));
    return BuildZem(m);
}

std::string ConvertWords(CommandContext& c, const std::string& in, const std::string& out) {
    return RunWords(c, {"$CONVERT_IN=" + in, "$CONVERT_OUT=" + out, "do=convert"});
}

}  // namespace

TEST(Convert, RefusedInputsPrintTheirLine) {
    TempFolder t;
    std::string missing = t.File("missing.zem");
    struct Row {
        const char* name;
        std::vector<std::string> words;
        std::string printed;
    };
    const std::vector<Row> rows = {
        {"both_missing", {"do=convert"},
         "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n"},
        {"input_missing", {"$CONVERT_OUT=a.dae", "do=convert"}, "Error - Conversion Input not specified!\n"},
        {"output_missing", {"$CONVERT_IN=a.zem", "do=convert"}, "Error - Conversion Output not specified!\n"},
        {"input_not_zem", {"$CONVERT_IN=a.mad", "$CONVERT_OUT=a.dae", "do=convert"},
         "Error - Conversion Input must be ZEM!\n"},
        {"dot_only_in_folder", {"$CONVERT_IN=dir.zem/model", "$CONVERT_OUT=a.dae", "do=convert"},
         "Error - Conversion Input must be ZEM!\n"},
        {"input_without_dot", {"$CONVERT_IN=model", "$CONVERT_OUT=a.dae", "do=convert"},
         "Error - Conversion Input must be ZEM!\n"},
        {"output_not_dae", {"$CONVERT_IN=a.zem", "$CONVERT_OUT=a.dae.txt", "do=convert"},
         "Error - Conversion Output must be DAE!\n"},
        {"lower_case_zem_accepted_file_missing",
         {"$CONVERT_IN=" + missing, "$CONVERT_OUT=" + t.File("out.DaE"), "do=convert"},
         "Converting " + missing + "\n"},
        {"expanded_names",
         {"$D=" + t.Path(), "$CONVERT_IN=$[D]/missing.ZEM", "$CONVERT_OUT=$[D]/o.dae", "do=convert"},
         "Converting " + t.File("missing.ZEM") + "\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        EXPECT_EQ(RunWords(c, r.words), r.printed);
        EXPECT_EQ(c.action, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(t.File("out.DaE")));
}

TEST(Convert, UnreadableModelPrintsOnlyConverting) {
    TempFolder t;
    std::string in = t.Write("junk.zem", "this is not a chunk file at all");
    std::string empty = t.Write("empty.zem", "");
    for (const std::string& path : {in, empty}) {
        SCOPED_TRACE(path);
        CommandContext c;
        EXPECT_EQ(ConvertWords(c, path, t.File("out.dae")), "Converting " + path + "\n");
        EXPECT_FALSE(std::filesystem::exists(t.File("out.dae")));
    }
}

TEST(MakeMadPath, ReplacesFromTheLastDot) {
    const char* rows[][2] = {
        {"C:\\ships\\a.zem", "C:\\ships\\a.MAD"},
        {"ships/a.b.zem", "ships/a.b.MAD"},
        {"noext", "noext.MAD"},
        {"dir.v2/model", "dir.MAD"},  // the whole path is searched
        {"", ".MAD"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r[0]);
        EXPECT_EQ(MakeMadPath(r[0]), r[1]);
    }
}

TEST(ReadDaeOptions, VerboseWhenAWordBeginsVerboseTextures) {
    struct Row {
        const char* value;  // "" leaves DAE_OUT_OPT undefined
        bool verbose;
    };
    const Row rows[] = {
        {"", false},
        {"VerboseTextures", true},
        {"verbose", true},
        {"foo VERBOSE", true},
        {"v", true},
        {"  verbosetex  ", true},
        {"VerboseTexturesX", false},
        {"Texture", false},
        {"xverbose", false},
        {"   ", false},  // empty words are not beginnings
        {"$[OPT]", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        CommandContext c;
        SetVariable(c, "OPT", "verb", false);
        SetVariable(c, "DAE_OUT_OPT", r.value, false);
        EXPECT_EQ(ReadDaeOptions(c).verboseTextures, r.verbose);
    }
}

TEST(SaveModel, GateRefusesOtherTypesAndVersions) {
    TempFolder t;
    std::string out = t.File("m.dae");
    struct Row {
        const char* name;
        int32_t type;
        uint32_t version;
        const char* typeName;
        const char* version8;
    };
    const Row rows[] = {
        {"version_513", 0, 513, "Drelmarch2 Multi Mesh File", "00000201"},
        {"other_type", -1, 512, "Some Other File", "00000200"},
        {"both_wrong", 3, 0xABCDEF12u, "", "ABCDEF12"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Model m;
        m.type = r.type;
        m.version = r.version;
        m.typeName.Set(r.typeName);
        CommandContext c;
        CapturedOutput captured;
        EXPECT_FALSE(SaveModel(m, c, out.c_str()));
        EXPECT_EQ(captured.Text(), "DAE not saved to " + out + "\n - Unknown type: " + r.typeName +
                                       "\n - Unknown version: " + r.version8 + "\n");
    }
    // A path without the DAE extension is refused before the gate, silently.
    Model m;
    CommandContext c;
    CapturedOutput captured;
    EXPECT_FALSE(SaveModel(m, c, t.File("m.obj").c_str()));
    EXPECT_FALSE(SaveModel(m, c, t.File("noext").c_str()));
    EXPECT_EQ(captured.Text(), "");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// The tests below need the model reader and the document writer.

TEST(Convert, Version513ModelIsNotSaved) {
    TempFolder t;
    std::string in = t.File("ship.zem"), out = t.File("ship.dae");
    ASSERT_TRUE(SaveBytes(in, SmallZem(513)));
    CommandContext c;
    EXPECT_EQ(ConvertWords(c, in, out), "Converting " + in + "\nDAE not saved to " + out +
                                            "\n - Unknown type: Drelmarch2 Multi Mesh File\n"
                                            " - Unknown version: 00000201\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(LoadModel, AttachesTheMadFileOnlyForVersion512) {
    TempFolder t;
    AnimationSet set;
    set.formatName.Set("Drelmarch2 MAD File");
    set.version = 1;
    ASSERT_TRUE(SaveBytes(t.File("a.MAD"), BuildMad(set)));
    ASSERT_TRUE(SaveBytes(t.File("b.MAD"), BuildMad(set)));
    ASSERT_TRUE(SaveBytes(t.File("a.zem"), SmallZem(512)));
    ASSERT_TRUE(SaveBytes(t.File("b.zem"), SmallZem(513)));
    ASSERT_TRUE(SaveBytes(t.File("c.zem"), SmallZem(512)));  // no MAD beside it
    ASSERT_TRUE(SaveBytes(t.File("d.mad"), BuildMad(set)));    // lower-case extension
    ASSERT_TRUE(SaveBytes(t.File("d.zem"), SmallZem(512)));
    {
        CapturedOutput quiet;
        std::unique_ptr<Model> d = LoadModel(t.File("d.zem").c_str());
        ASSERT_TRUE(d);
        EXPECT_NE(d->animation, nullptr);
    }
    CapturedOutput captured;
    std::unique_ptr<Model> a = LoadModel(t.File("a.zem").c_str());
    std::unique_ptr<Model> b = LoadModel(t.File("b.zem").c_str());
    std::unique_ptr<Model> c = LoadModel(t.File("c.zem").c_str());
    ASSERT_TRUE(a && b && c);
    EXPECT_STREQ(a->path.CStr(), t.File("a.zem").c_str());
    EXPECT_EQ(a->type, 0);
    EXPECT_NE(a->animation, nullptr);
    EXPECT_EQ(b->animation, nullptr);
    EXPECT_EQ(c->animation, nullptr);
    EXPECT_EQ(captured.Text(), "Converting " + t.File("a.zem") + "\nConverting " + t.File("b.zem") +
                                   "\nConverting " + t.File("c.zem") + "\n");
}

TEST(Convert, Version512ModelIsWritten) {
    TempFolder t;
    std::string in = t.File("ship.ZEM"), out = t.File("out/sub/ship.dae");
    ASSERT_TRUE(SaveBytes(in, SmallZem(512)));
    CommandContext c;
    std::string printed = ConvertWords(c, in, out);
    EXPECT_EQ(printed.rfind("Converting " + in + "\nSaving " + out + "\n", 0), 0u) << printed;
    EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(c.action, 0);
}
