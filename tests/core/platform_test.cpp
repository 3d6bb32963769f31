#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/platform.h"

namespace fs = std::filesystem;

namespace {

class TempTree {
public:
    TempTree() {
        static int counter = 0;
        root_ = fs::temp_directory_path() /
                ("vorda_platform_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" + std::to_string(++counter));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~TempTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    const fs::path& Root() const { return root_; }
    void Touch(const std::string& relative) const {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << "x";
    }

private:
    fs::path root_;
};

}  // namespace

TEST(MatchesMask, WildcardTable) {
    struct Row {
        const char* path;
        const char* mask;
        bool match;
    };
    const Row rows[] = {
        {"data/ships/a.zem", "*", true},
        {"", "*", true},
        {"data/ships/a.zem", "*.zem", true},
        {"data/ships/a.ZEM", "*.zem", true},    // letters ignore case
        {"DATA/A.ZEM", "data/a.zem", true},
        {"data/ships/a.zem", "*.mad", false},
        {"data/ships/a.zem.bak", "*.zem", false},  // the mask covers the whole path
        {"data/ships/a.zem", "a*.zem", false},     // no leading "*": must match from the start
        {"data/ships/a.zem", "data*.zem", true},
        {"data/ships/abc.zem", "*/a*.zem", true},   // "*" spans separators
        {"data/ships/abc.zem", "*/b*.zem", false},
        {"data/ships/a.zem", "data/ships/?.zem", true},
        {"data/ships/ab.zem", "data/ships/?.zem", false},  // "?" is exactly one character
        {"data/ships/.zem", "data/ships/?.zem", false},
        {"data/ships/a.zem", "*.mad;*.zem", true},     // ";" separates alternatives
        {"data/ships/a.txt", "*.mad;*.zem", false},
        {"data/ships/a.zem", "*.mad; *.zem", true},
        {"data/a.zem", "*a*a*", true},
        {"dub/b.zea", "d*a*a*", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*c", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.path) + " ~ " + r.mask);
        EXPECT_EQ(MatchesMask(r.path, r.mask), r.match);
    }
}

TEST(ListFolder, NameOrderIgnoringCaseWithFolderFlags) {
    TempTree t;
    for (const char* name : {"b.zem", "A.zem", "c.ZEM", "a_sub/x", ".hidden", "~tmp"}) t.Touch(name);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(t.Root().string().c_str(), entries));
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name + (e.isFolder ? "/" : ""));
    // "." and ".." are left out; hidden names are listed (the scan skips them).
    const std::vector<std::string> want = {".hidden", "A.zem", "a_sub/", "b.zem", "c.ZEM", "~tmp"};
    EXPECT_EQ(names, want);
    EXPECT_FALSE(ListFolder((t.Root() / "missing").string().c_str(), entries));
}

TEST(MakeFolderTree, MakesEveryMissingLevel) {
    TempTree t;
    std::string deep = (t.Root() / "a" / "b" / "c").string();
    EXPECT_TRUE(MakeFolderTree(deep));
    EXPECT_TRUE(FolderExists(deep.c_str()));
    EXPECT_TRUE(MakeFolderTree(deep + "/"));  // existing: not an error
    std::string mixed = t.Root().string() + "\\x\\y";  // a backslash separates too
    EXPECT_TRUE(MakeFolderTree(mixed));
    EXPECT_TRUE(FolderExists((t.Root() / "x" / "y").string().c_str()));
    EXPECT_TRUE(MakeFolderTree(""));
    t.Touch("file");
    EXPECT_FALSE(MakeFolderTree((t.Root() / "file" / "sub").string()));
}

TEST(FolderIdentity, SameFolderThroughALink) {
    TempTree t;
    t.Touch("real/x");
    fs::create_directory_symlink(t.Root() / "real", t.Root() / "link");
    uint64_t d1 = 0, i1 = 0, d2 = 0, i2 = 0;
    ASSERT_TRUE(FolderIdentity((t.Root() / "real").string().c_str(), d1, i1));
    ASSERT_TRUE(FolderIdentity((t.Root() / "link").string().c_str(), d2, i2));
    EXPECT_EQ(d1, d2);
    EXPECT_EQ(i1, i2);
    EXPECT_FALSE(FolderIdentity((t.Root() / "none").string().c_str(), d1, i1));
}
