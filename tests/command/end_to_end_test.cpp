// Runs the built tool as a user would and checks what it prints, its exit
// status and the files it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "command/process_argument.h"
#include "command/variables.h"
#include "core/output.h"
#include "tests/support/test_util.h"

namespace fs = std::filesystem;

namespace {

int RunIn(const std::string& folder, const std::vector<std::string>& words, std::string& output) {
    const RunResult run = RunTool(words, folder);
    output = run.output;
    return run.status;
}

bool IsDae(const std::string& path) { return ReadText(path).rfind("<?xml", 0) == 0 && ReadText(path).find("<COLLADA") < 512; }

}  // namespace

TEST(Tool, ConvertsOneModelAScriptBatchAndAScan) {
    TempFolder t;
    for (const char* f : {"models/B.zem", "models/a.zem", "models/sub/c.zem", "models/.hidden/d.zem"})
        t.Write(f, ZemOfVersion(512));
    t.Write("models/sub/notes.txt", "x");
    std::string out;
    // Relative names: the tool works in the current folder.
    EXPECT_EQ(RunIn(t.Path(), {"$CONVERT_IN=models/a.zem", "$CONVERT_OUT=one.dae", "do=convert"}, out), 0);
    EXPECT_EQ(out, "Converting models/a.zem\nSaving one.dae\n");
    EXPECT_TRUE(IsDae(t.File("one.dae")));

    const std::string script = t.Write("batch.txt", "# two models\n@$CONVERT_IN,$CONVERT_OUT\n"
                                                    "$[THIS_PATH]models/a.zem, $[THIS_PATH]out/a.dae\n"
                                                    "$[THIS_PATH]models/B.zem, $[THIS_PATH]out/b.dae\n");
    EXPECT_EQ(RunIn("/", {"action=convert", "script=" + script}, out), 0);
    const std::string dir = t.Path() + "/";
    EXPECT_EQ(out, "Converting " + dir + "models/a.zem\nSaving " + dir + "out/a.dae\n" +
                   "Converting " + dir + "models/B.zem\nSaving " + dir + "out/b.dae\n");
    EXPECT_TRUE(IsDae(t.File("out/a.dae")) && IsDae(t.File("out/b.dae")));

    // Name order ignoring case, hidden folders skipped; a root given with a
    // trailing "/" is not doubled at the join.
    EXPECT_EQ(RunIn(t.Path(), {"addmask=*.zem", "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],"
                                 "$CONVERT_OUT=scanned/$[SCAN_SUB_PATH].dae,do=convert", "scan=" + dir + "models/"}, out), 0);
    std::string want;
    for (const char* f : {"a.zem", "B.zem", "sub/c.zem"})
        want += "Converting " + dir + "models/" + f + "\nSaving scanned/" + f + ".dae\n";
    EXPECT_EQ(out, want);
    EXPECT_TRUE(IsDae(t.File("scanned/sub/c.zem.dae")));
}
