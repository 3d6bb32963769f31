// Runs the built tool as a user would and checks what it prints, its exit
// status and the files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command_test_util.h"
#include "tests/support/fixture_writer.h"

namespace {

struct RunResult {
    std::string output;
    int status = -1;
};

// Every word is passed single-quoted, so "$" and blanks reach the tool as is.
RunResult RunTool(const std::vector<std::string>& words, const std::string& folder = "") {
    std::string command;
    if (!folder.empty()) command = "cd '" + folder + "' && ";
    command += std::string("'") + VORDA_BINARY + "'";
    for (const std::string& w : words) command += " '" + w + "'";
    command += " 2>&1 </dev/null";
    RunResult r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::vector<unsigned char> SmallZem(uint32_t version) {
    Model m;
    m.version = version;
    auto info = std::make_unique<InfoEntry>();
    info->key.Set("AUTH");
    info->value.Set("tests");
    m.infoEntries.push_back(std::move(info));
    return BuildZem(m);
}

bool IsDae(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[512] = {};
    size_t n = std::fread(head, 1, sizeof head - 1, f);
    std::fclose(f);
    std::string text(head, n);
    return text.rfind("<?xml", 0) == 0 && text.find("<COLLADA") != std::string::npos;
}

}  // namespace

TEST(Tool, NoArgumentPrintsUsageAndExits255) {
    RunResult r = RunTool({});
    EXPECT_EQ(r.output, "VORDA [-]action [[-]params]\n-- 1.0\n");
    EXPECT_EQ(r.status, 255);
}

TEST(Tool, WordsRunInOrderAndStopWordEndsTheLine) {
    RunResult r = RunTool({"$A=1", "echo=a$[A]", "bogus", "-#", "  -!", "echo=never"});
    EXPECT_EQ(r.output, "a1Error - Unknown parameter - bogus\n");
    EXPECT_EQ(r.status, 0);
    // `wait` prompts and returns at the end of input.
    RunResult waited = RunTool({"echo=a", "wait", "echo=b"});
    EXPECT_EQ(waited.output, "aPress Enter to continue . . . b");
    RunResult help = RunTool({"--help"});
    EXPECT_EQ(help.output.rfind("VORDA [-]action [[-]params]\n-- 1.0\n", 0), 0u);
    EXPECT_EQ(help.status, 0);
}

TEST(Tool, Version513PrintsDaeNotSavedAndWritesNothing) {
    TempFolder t;
    std::string in = t.File("old.zem"), out = t.File("old.dae");
    ASSERT_TRUE(SaveBytes(in, SmallZem(513)));
    RunResult r = RunTool({"$CONVERT_IN=" + in, "$CONVERT_OUT=" + out, "do=convert"});
    EXPECT_EQ(r.output, "Converting " + in + "\nDAE not saved to " + out +
                            "\n - Unknown type: Drelmarch2 Multi Mesh File\n - Unknown version: 00000201\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.Path()), {}), 1);
}

TEST(Tool, ConvertsOneModel) {
    TempFolder t;
    ASSERT_TRUE(SaveBytes(t.File("ship.zem"), SmallZem(512)));
    // Relative names: the tool works in the current folder.
    RunResult r = RunTool({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=ship.dae", "do=convert"}, t.Path());
    EXPECT_EQ(r.output.rfind("Converting ship.zem\nSaving ship.dae\n", 0), 0u) << r.output;
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(IsDae(t.File("ship.dae")));
}

TEST(Tool, ScriptConvertsOncePerRow) {
    TempFolder t;
    std::filesystem::create_directories(t.File("models"));
    ASSERT_TRUE(SaveBytes(t.File("models/a.zem"), SmallZem(512)));
    ASSERT_TRUE(SaveBytes(t.File("models/b.zem"), SmallZem(512)));
    std::string script = t.Write("batch.txt",
                                 "# two models\n"
                                 "@$CONVERT_IN,$CONVERT_OUT\n"
                                 "$[THIS_PATH]models/a.zem, $[THIS_PATH]out/a.dae\n"
                                 "$[THIS_PATH]models/b.zem, $[THIS_PATH]out/b.dae\n");
    RunResult r = RunTool({"action=convert", "script=" + script});
    std::string folder = t.Path() + "/";
    size_t a = r.output.find("Converting " + folder + "models/a.zem\nSaving " + folder + "out/a.dae\n");
    size_t b = r.output.find("Converting " + folder + "models/b.zem\nSaving " + folder + "out/b.dae\n");
    EXPECT_NE(a, std::string::npos) << r.output;
    EXPECT_NE(b, std::string::npos) << r.output;
    EXPECT_LT(a, b);
    EXPECT_TRUE(IsDae(t.File("out/a.dae")));
    EXPECT_TRUE(IsDae(t.File("out/b.dae")));
}

TEST(Tool, ScanConvertsEveryModelInNameOrder) {
    TempFolder t;
    for (const char* f : {"B.zem", "a.zem", "sub/c.zem", "sub/notes.txt", ".hidden/d.zem"}) t.Write(f, "");
    for (const char* f : {"B.zem", "a.zem", "sub/c.zem", ".hidden/d.zem"}) ASSERT_TRUE(SaveBytes(t.File(f), SmallZem(512)));
    std::string out = t.File("out");
    RunResult r = RunTool({"addmask=*.zem", "$OUT=" + out,
                           "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],$CONVERT_OUT=$[OUT]/$[SCAN_SUB_PATH].dae,do=convert",
                           "scan=" + t.Path() + "/"});
    std::string root = t.Path() + "/";
    std::vector<std::string> converted;
    for (size_t at = r.output.find("Converting "); at != std::string::npos; at = r.output.find("Converting ", at + 1))
        converted.push_back(r.output.substr(at + 11, r.output.find('\n', at) - at - 11));
    // A root given with a trailing "/" is not doubled at the join.
    const std::vector<std::string> want = {root + "a.zem", root + "B.zem", root + "sub/c.zem"};
    EXPECT_EQ(converted, want) << r.output;
    EXPECT_TRUE(IsDae(out + "/a.zem.dae"));
    EXPECT_TRUE(IsDae(out + "/B.zem.dae"));
    EXPECT_TRUE(IsDae(out + "/sub/c.zem.dae"));
    EXPECT_FALSE(std::filesystem::exists(out + "/.hidden"));
}
