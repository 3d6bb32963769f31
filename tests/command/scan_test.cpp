#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "command/scan.h"
#include "command_test_util.h"

namespace {

// Prints one line per scanned file with every scan variable.
const char* kReport =
    "$SCAN_PARAMS=echo=$[SCAN_SUB_PATH]|$[SCAN_REL_PATH]|$[SCAN_FILE]|$[SCAN_TYPE]|$[SCAN_FULL_PATH]$[CR]";

}  // namespace

TEST(Scan, VariablesPerFileInNameOrder) {
    TempFolder t;
    for (const char* f : {"b.zem", "A.zem", "sub/deeper/c.ZEM", "sub/x.txt", "README", "trail.", ".svn/h.zem",
                          "~backup/k.zem", ".dot", "~tilde"})
        t.Write(f, "x");
    std::string root = t.Path();
    CommandContext c;
    std::string printed = RunWords(c, {kReport, "scan=" + root});
    const std::string want =
        "A.zem||A|zem|" + root + "/A.zem\n"
        "b.zem||b|zem|" + root + "/b.zem\n"
        "README||README|zem|" + root + "/README\n"  // no dot: SCAN_TYPE kept from the file before
        "sub/deeper/c.ZEM|sub/deeper|c|ZEM|" + root + "/sub/deeper/c.ZEM\n"
        "sub/x.txt|sub|x|txt|" + root + "/sub/x.txt\n"
        "trail.||trail||" + root + "/trail.\n";  // a trailing dot removes SCAN_TYPE
    EXPECT_EQ(printed, want);
    // The variables of the last file stay set.
    EXPECT_EQ(VariableOrNone(c, "SCAN_ROOT"), root);
    EXPECT_EQ(VariableOrNone(c, "SCAN_FILE"), "trail");
    EXPECT_EQ(VariableOrNone(c, "SCAN_TYPE"), "<none>");
    EXPECT_EQ(VariableOrNone(c, "SCAN_REL_PATH"), "<none>");

    // A root written with a trailing separator gives the same full paths.
    CommandContext d;
    EXPECT_EQ(RunWords(d, {kReport, "scan=" + root + "/"}), want);
}

TEST(Scan, MaskTable) {
    TempFolder t;
    for (const char* f : {"a.zem", "a.mad", "a.txt", "abc.zem", "sub/b.zem"}) t.Write(f, "x");
    struct Row {
        const char* name;
        std::vector<std::string> words;
        const char* printed;
    };
    const std::vector<Row> rows = {
        {"no_masks_match_all", {}, "a.mad a.txt a.zem abc.zem sub/b.zem "},
        {"two_masks", {"addmask=*.zem", "addmask=*.mad"}, "a.mad a.zem abc.zem sub/b.zem "},
        {"setmask_starts_over", {"addmask=*.zem", "addmask=*.mad", "setmask=*.txt"}, "a.txt "},
        {"alternatives_in_one_mask", {"addmask=*.txt;*.MAD"}, "a.mad a.txt "},
        {"mask_matches_whole_path", {"addmask=a*.zem"}, ""},
        {"separator_in_mask", {"addmask=*/a*.zem"}, "a.zem abc.zem "},
        {"expanded_mask", {"$E=zem", "addmask=*/sub/*.$[E]"}, "sub/b.zem "},
        {"empty_mask_matches_nothing", {"addmask="}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        std::vector<std::string> words = r.words;
        words.push_back("$SCAN_PARAMS=echo=$[SCAN_SUB_PATH] ");
        words.push_back("scan=" + t.Path());
        EXPECT_EQ(RunWords(c, words), r.printed);
    }
}

TEST(Scan, EmptyOrMissingRootsAndNoParams) {
    TempFolder t;
    t.Write("a.zem", "x");
    std::filesystem::create_directories(t.File("empty"));
    CommandContext c;
    EXPECT_EQ(RunWords(c, {"$SCAN_PARAMS=echo=x", "scan=", "scan=$[NOTHING]"}), "");
    EXPECT_EQ(VariableOrNone(c, "SCAN_ROOT"), "<none>");
    EXPECT_EQ(RunWords(c, {"scan=" + t.File("missing"), "scan=" + t.File("empty")}), "");
    CommandContext d;
    EXPECT_EQ(RunWords(d, {"scan=" + t.Path()}), "");  // no SCAN_PARAMS: variables only
    EXPECT_EQ(VariableOrNone(d, "SCAN_FILE"), "a");
}

TEST(Scan, LinkLoopsAreWalkedOnce) {
    TempFolder t;
    t.Write("top/a.zem", "x");
    t.Write("top/sub/b.zem", "x");
    std::filesystem::create_directory_symlink(t.File("top"), t.File("top/sub/loop"));
    std::filesystem::create_directory_symlink(t.File("top/sub"), t.File("top/twin"));
    CommandContext c;
    std::string printed = RunWords(c, {"$SCAN_PARAMS=echo=$[SCAN_SUB_PATH] ", "scan=" + t.File("top")});
    // The root itself counts as walked, so "loop" is never entered, and the
    // folder "sub" is walked once although "twin" leads to it again.
    EXPECT_EQ(printed, "a.zem sub/b.zem ");
}
