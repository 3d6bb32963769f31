#include <gtest/gtest.h>

#include "command/convert.h"

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
         "Error - Conversion Output must be DAE!\nError - Not converted: a.dae.txt does not end in .dae, .glb or .gltf\n"},
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
