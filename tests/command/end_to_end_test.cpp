// Runs the built tool as a user would and checks what it prints, its exit
// status and the files it writes.
#include <gtest/gtest.h>

#include "command_test_util.h"

namespace fs = std::filesystem;

namespace {

bool IsDae(const std::string& path) { return ReadText(path).rfind("<?xml", 0) == 0 && ReadText(path).find("<COLLADA") < 512; }

}  // namespace

TEST(Tool, UsageStopWordAndVersion513) {
    TempFolder t;
    std::string out;
    EXPECT_EQ(RunTool(t.Path(), {}, out), 255);
    EXPECT_EQ(out, "VORDA [-]action [[-]params]\n-- 1.0\nRun 'vorda help' for the words and an example.\n");
    EXPECT_EQ(RunTool(t.Path(), {"$A=1", "echo=a$[A]", "bogus", "-#", "  -!", "echo=never"}, out), 1);
    EXPECT_EQ(out, "a1Error - Unknown parameter - bogus\n");
    RunTool(t.Path(), {"echo=a", "wait", "echo=b"}, out);  // returns at the end of input
    EXPECT_EQ(out, "aPress Enter to continue . . . b");

    // A version 513 model is read but refused with three lines; nothing is written.
    t.Write("old.zem", ZemOfVersion(513));
    EXPECT_EQ(RunTool(t.Path(), {"$CONVERT_IN=old.zem", "$CONVERT_OUT=old.dae", "do=convert"}, out), 1);
    EXPECT_EQ(out, "Converting old.zem\nDAE not saved to old.dae\n - Unknown type: Drelmarch2 Multi Mesh File\n"
                   " - Unknown version: 00000201\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(t.Path()), {}), 1);
}

TEST(Tool, ConvertsOneModelAScriptBatchAndAScan) {
    TempFolder t;
    for (const char* f : {"models/B.zem", "models/a.zem", "models/sub/c.zem", "models/.hidden/d.zem"})
        t.Write(f, ZemOfVersion(512));
    t.Write("models/sub/notes.txt", "x");
    std::string out;
    // Relative names: the tool works in the current folder.
    EXPECT_EQ(RunTool(t.Path(), {"$CONVERT_IN=models/a.zem", "$CONVERT_OUT=one.dae", "do=convert"}, out), 0);
    EXPECT_EQ(out, "Converting models/a.zem\nSaving one.dae\n");
    EXPECT_TRUE(IsDae(t.File("one.dae")));

    const std::string script = t.Write("batch.txt", "# two models\n@$CONVERT_IN,$CONVERT_OUT\n"
                                                    "$[THIS_PATH]models/a.zem, $[THIS_PATH]out/a.dae\n"
                                                    "$[THIS_PATH]models/B.zem, $[THIS_PATH]out/b.dae\n");
    EXPECT_EQ(RunTool("/", {"action=convert", "script=" + script}, out), 0);
    const std::string dir = t.Path() + "/";
    EXPECT_EQ(out, "Converting " + dir + "models/a.zem\nSaving " + dir + "out/a.dae\n" +
                   "Converting " + dir + "models/B.zem\nSaving " + dir + "out/b.dae\n" +
                   "Summary - 2 models: 2 converted, 0 damaged, 0 failed\n");
    EXPECT_TRUE(IsDae(t.File("out/a.dae")) && IsDae(t.File("out/b.dae")));

    // Name order ignoring case, hidden folders skipped; a root given with a
    // trailing "/" is not doubled at the join.
    EXPECT_EQ(RunTool(t.Path(), {"addmask=*.zem", "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],"
                                 "$CONVERT_OUT=scanned/$[SCAN_SUB_PATH].dae,do=convert", "scan=" + dir + "models/"}, out), 0);
    std::string want;
    for (const char* f : {"a.zem", "B.zem", "sub/c.zem"})
        want += "Converting " + dir + "models/" + f + "\nSaving scanned/" + f + ".dae\n";
    EXPECT_EQ(out, want + "Summary - 3 models: 3 converted, 0 damaged, 0 failed\n");
    EXPECT_TRUE(IsDae(t.File("scanned/sub/c.zem.dae")));
}
