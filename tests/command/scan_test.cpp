#include <gtest/gtest.h>

#include "tests/support/test_util.h"

TEST(Scan, VariablesPerFileInNameOrder) {
    TempFolder t;
    for (const char* f : {"b.zem", "A.zem", "sub/deeper/c.ZEM", "sub/x.txt", "README", "trail.", ".svn/h.zem",
                          "~backup/k.zem", ".dot", "~tilde"})
        t.Write(f, "x");
    const std::string root = t.Path();
    const std::string report =
        "$SCAN_PARAMS=echo=$[SCAN_SUB_PATH]|$[SCAN_REL_PATH]|$[SCAN_FILE]|$[SCAN_TYPE]|$[SCAN_FULL_PATH]$[CR]";
    const std::string want =
        "A.zem||A|zem|" + root + "/A.zem\n"
        "b.zem||b|zem|" + root + "/b.zem\n"
        "README||README|zem|" + root + "/README\n"  // no dot: SCAN_TYPE kept from the file before
        "sub/deeper/c.ZEM|sub/deeper|c|ZEM|" + root + "/sub/deeper/c.ZEM\n"
        "sub/x.txt|sub|x|txt|" + root + "/sub/x.txt\n"
        "trail.||trail||" + root + "/trail.\n";  // a trailing dot removes SCAN_TYPE
    CommandContext c;
    EXPECT_EQ(RunWords(c, {report, "scan=" + root}), want);
    EXPECT_EQ(VariableOrNone(c, "SCAN_ROOT"), root);  // the variables of the last file stay set
    EXPECT_EQ(VariableOrNone(c, "SCAN_REL_PATH"), "<none>");
    CommandContext d;  // a root with a trailing separator gives the same full paths
    EXPECT_EQ(RunWords(d, {report, "scan=" + root + "/"}), want);

    CommandContext e;  // without SCAN_PARAMS only the variables are set
    EXPECT_EQ(RunWords(e, {"scan=" + root}), "");
    EXPECT_EQ(VariableOrNone(e, "SCAN_FILE"), "trail");
    t.Write("odd/q$[CR].zem", "x");  // a file's name is taken as it is, never expanded
    EXPECT_EQ(RunWords(e, {"scan=" + t.File("odd")}), "");
    EXPECT_EQ(VariableOrNone(e, "SCAN_FULL_PATH") + VariableOrNone(e, "SCAN_FILE"), t.File("odd/q$[CR].zem") + "q$[CR]");
    EXPECT_EQ(RunWords(e, {"$SCAN_PARAMS=echo=x", "scan=", "scan=" + t.File("missing"), "scan=" + t.File("sub/x.txt")}),
              "Error - Cannot scan folder " + t.File("missing") + " - No such file or directory\n" +
                  "Error - Cannot scan folder " + t.File("sub/x.txt") + " - Not a directory\n");
}

TEST(Scan, MaskTable) {
    TempFolder t;
    for (const char* f : {"a.zem", "a.mad", "a.txt", "abc.zem", "sub/b.zem"}) t.Write(f, "x");
    const struct {
        std::vector<std::string> words;
        const char* printed;
    } rows[] = {
        {{}, "a.mad a.txt a.zem abc.zem sub/b.zem "},
        {{"addmask=*.zem", "addmask=*.mad"}, "a.mad a.zem abc.zem sub/b.zem "},
        {{"addmask=*.zem", "addmask=*.mad", "setmask=*.txt"}, "a.txt "},
        {{"addmask=*.zem;*.MAD"}, "a.mad a.zem abc.zem sub/b.zem "},
        {{"addmask=a*.zem"}, ""},  // the mask covers the whole path
        {{"addmask=*/a*.zem"}, "a.zem abc.zem "},
        {{"$E=zem", "addmask=*/sub/*.$[E]"}, "sub/b.zem "},
        {{"addmask="}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.printed);
        CommandContext c;
        std::vector<std::string> words = r.words;
        words.push_back("$SCAN_PARAMS=echo=$[SCAN_SUB_PATH] ");
        words.push_back("scan=" + t.Path());
        EXPECT_EQ(RunWords(c, words), r.printed);
    }
}

TEST(Scan, LinkLoopsAreWalkedOnce) {
    TempFolder t;
    t.Write("top/a.zem", "x");
    t.Write("top/sub/b.zem", "x");
    std::filesystem::create_directory_symlink(t.File("top"), t.File("top/sub/loop"));
    std::filesystem::create_directory_symlink(t.File("top/sub"), t.File("top/twin"));
    CommandContext c;
    // The root itself counts as walked, so "loop" is never entered, and the
    // folder "sub" is walked once although "twin" leads to it again.
    EXPECT_EQ(RunWords(c, {"$SCAN_PARAMS=echo=$[SCAN_SUB_PATH] ", "scan=" + t.File("top")}), "a.zem sub/b.zem ");
}
