// Runs the built tool as a user would and checks what it prints, its exit
// status and the files it writes.
#include <gtest/gtest.h>

#include "command_test_util.h"

namespace fs = std::filesystem;

namespace {

int RunTool(const std::string& folder, const std::vector<std::string>& words, std::string& output) {
    std::string command = Quote(VORDA_BINARY);
    for (const std::string& w : words) command += " " + Quote(w);
    return Shell(folder, command, output);
}

bool IsDae(const std::string& path) {
    const std::string text = ReadText(path);
    return text.rfind("<?xml", 0) == 0 && text.find("<COLLADA") != std::string::npos;
}

}  // namespace

TEST(Tool, UsageStopWordAndVersion513) {
    TempFolder t;
    std::string out;
    EXPECT_EQ(RunTool(t.Path(), {}, out), 255);
    EXPECT_EQ(out, "VORDA [-]action [[-]params]\n-- 1.0\n");
    EXPECT_EQ(RunTool(t.Path(), {"$A=1", "echo=a$[A]", "bogus", "-#", "  -!", "echo=never"}, out), 0);
    EXPECT_EQ(out, "a1Error - Unknown parameter - bogus\n");
    RunTool(t.Path(), {"echo=a", "wait", "echo=b"}, out);  // returns at the end of input
    EXPECT_EQ(out, "aPress Enter to continue . . . b");

    // A version 513 model is read but refused with three lines; nothing is written.
    t.Write("old.zem", ZemOfVersion(513));
    EXPECT_EQ(RunTool(t.Path(), {"$CONVERT_IN=old.zem", "$CONVERT_OUT=old.dae", "do=convert"}, out), 0);
    EXPECT_EQ(out, "Converting old.zem\nDAE not saved to old.dae\n - Unknown type: Drelmarch2 Multi Mesh File\n"
                   " - Unknown version: 00000201\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(t.Path()), {}), 1);
}

TEST(Tool, ConvertsOneModelAndAScriptBatch) {
    TempFolder t;
    for (const char* f : {"models/a.zem", "models/b.zem"}) t.Write(f, ZemOfVersion(512));
    std::string out;
    // Relative names: the tool works in the current folder.
    EXPECT_EQ(RunTool(t.Path(), {"$CONVERT_IN=models/a.zem", "$CONVERT_OUT=one.dae", "do=convert"}, out), 0);
    EXPECT_EQ(out.rfind("Converting models/a.zem\nSaving one.dae\n", 0), 0u) << out;
    EXPECT_TRUE(IsDae(t.File("one.dae")));

    const std::string script = t.Write("batch.txt",
                                       "# two models\n@$CONVERT_IN,$CONVERT_OUT\n"
                                       "$[THIS_PATH]models/a.zem, $[THIS_PATH]out/a.dae\n"
                                       "$[THIS_PATH]models/b.zem, $[THIS_PATH]out/b.dae\n");
    EXPECT_EQ(RunTool("/", {"action=convert", "script=" + script}, out), 0);
    const std::string dir = t.Path() + "/";
    const size_t a = out.find("Converting " + dir + "models/a.zem\nSaving " + dir + "out/a.dae\n");
    const size_t b = out.find("Converting " + dir + "models/b.zem\nSaving " + dir + "out/b.dae\n");
    EXPECT_NE(a, std::string::npos) << out;
    EXPECT_NE(b, std::string::npos) << out;
    EXPECT_LT(a, b);
    EXPECT_TRUE(IsDae(t.File("out/a.dae")) && IsDae(t.File("out/b.dae")));
}

TEST(Tool, ScanConvertsEveryModelInNameOrder) {
    TempFolder t;
    for (const char* f : {"B.zem", "a.zem", "sub/c.zem", ".hidden/d.zem"}) t.Write(f, ZemOfVersion(512));
    t.Write("sub/notes.txt", "x");
    const std::string root = t.Path() + "/", dest = t.File("out");
    std::string out;
    EXPECT_EQ(RunTool(t.Path(), {"addmask=*.zem", "$OUT=" + dest,
                                 "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],"
                                 "$CONVERT_OUT=$[OUT]/$[SCAN_SUB_PATH].dae,do=convert",
                                 "scan=" + root}, out), 0);
    std::vector<std::string> converted;
    for (size_t at = out.find("Converting "); at != std::string::npos; at = out.find("Converting ", at + 1))
        converted.push_back(out.substr(at + 11, out.find('\n', at) - at - 11));
    // A root given with a trailing "/" is not doubled at the join.
    EXPECT_EQ(converted, (std::vector<std::string>{root + "a.zem", root + "B.zem", root + "sub/c.zem"})) << out;
    for (const char* f : {"a.zem.dae", "B.zem.dae", "sub/c.zem.dae"}) EXPECT_TRUE(IsDae(dest + "/" + f)) << f;
    EXPECT_FALSE(fs::exists(dest + "/.hidden"));
}
