#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/platform.h"
#include "tests/support/test_util.h"

TEST(MatchesMask, WildcardTable) {
    const struct {
        const char* path;
        const char* mask;
        bool match;
    } rows[] = {
        {"data/ships/a.zem", "*", true},          {"", "*", true},
        {"data/ships/a.ZEM", "*.zem", true},      {"DATA/A.ZEM", "data/a.zem", true},  // letters ignore case
        {"data/ships/a.zem", "*.mad", false},     {"data/ships/a.zem.bak", "*.zem", false},  // the whole path
        {"data/ships/a.zem", "a*.zem", false},    {"data/ships/a.zem", "data*.zem", true},  // from the start
        {"data/ships/abc.zem", "*/a*.zem", true}, {"data/ships/abc.zem", "*/b*.zem", false},  // "*" spans "/"
        {"data/ships/a.zem", "data/ships/?.zem", true}, {"data/ships/ab.zem", "data/ships/?.zem", false},
        {"data/ships/a.zem", "*.mad;*.zem", true}, {"data/ships/a.txt", "*.mad;*.zem", false},  // alternatives
        {"data/ships/a.zem", "*.mad; *.zem", true}, {"dub/b.zea", "d*a*a*", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*c", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.path) + " ~ " + r.mask);
        EXPECT_EQ(MatchesMask(r.path, r.mask), r.match);
    }
}

TEST(ListFolder, NameOrderIgnoringCaseWithFolderFlags) {
    TempFolder t;
    for (const char* name : {"b.zem", "A.zem", "c.ZEM", "a_sub/x", ".hidden", "~tmp"}) t.Write(name, "x");
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(t.Path().c_str(), entries));
    std::string names;
    for (const FolderEntry& e : entries) names += e.name + (e.isFolder ? "/ " : " ");
    // "." and ".." are left out; hidden names are listed (the scan skips them).
    EXPECT_EQ(names, ".hidden A.zem a_sub/ b.zem c.ZEM ~tmp ");
    EXPECT_FALSE(ListFolder(t.File("missing").c_str(), entries));
}

TEST(MakeFolderTree, MakesEveryMissingLevel) {
    TempFolder t;
    EXPECT_TRUE(MakeFolderTree(t.File("a/b/c")));
    EXPECT_TRUE(FolderExists(t.File("a/b/c").c_str()));
    EXPECT_TRUE(MakeFolderTree(t.File("a/b/c/")));  // existing: not an error
    EXPECT_TRUE(MakeFolderTree(t.Path() + "\\x\\y"));  // a backslash separates too
    EXPECT_TRUE(FolderExists(t.File("x/y").c_str()));
    EXPECT_TRUE(MakeFolderTree(""));
    t.Write("file", "x");
    EXPECT_FALSE(MakeFolderTree(t.File("file/sub")));
}
