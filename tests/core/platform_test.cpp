#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
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

// A file's length and bytes; a pipe has no length, and says so.
TEST(FileLength, OfAFileNotOfAPipe) {
    TempFolder t;
    t.Write("f", "12345");
    uint64_t length = 0;
    FILE* file = OpenFile(t.File("f").c_str(), "rb");
    EXPECT_TRUE(FileLength(file, length) && length == 5);
    unsigned char bytes[4] = {};  // a read at an offset gives all it asks for or fails
    EXPECT_TRUE(ReadFileAt(file, 1, 4, bytes) && bytes[0] == '2' && bytes[3] == '5');
    EXPECT_FALSE(ReadFileAt(file, 2, 4, bytes));
    std::fclose(file);
    FILE* pipe = popen("echo x", "r");
    EXPECT_FALSE(FileLength(pipe, length));
    pclose(pipe);
}

// Files saved as one: written first, then replaced in order; any failure
// leaves every target as it was (a file put back, a new one removed, a
// folder untouched) and no temporary beside them.
TEST(SaveFilesReplacing, AllOrNothing) {
    auto text = [](const char* bytes) -> std::function<bool(FILE*)> {
        return [bytes](FILE* file) { return bytes && std::fputs(bytes, file) >= 0; };
    };
    const struct {
        const char* what;
        std::vector<const char*> before;  // "a" / "b" written "old", a path with "/" a folder holding a file
        bool failWrite;                   // the second file's write fails
        const char* failed;               // the target named, "" when all is saved
        const char* reason;
    } rows[] = {
        {"new files", {}, false, "", ""},
        {"old files replaced", {"a", "b"}, false, "", ""},
        {"a write fails", {"a", "b"}, true, "b", ""},
        {"the second temporary cannot be made", {"a", "b", "b.saving/x"}, false, "b", "Is a directory"},
        {"the first is a folder", {"a/x", "b"}, false, "a", "Is a directory"},
        {"the second is a folder: the first put back", {"a", "b/x"}, false, "b", "Is a directory"},
        {"the second is a folder: the new first removed", {"b/x"}, false, "b", "Is a directory"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        TempFolder t;
        for (const char* path : r.before) t.Write(path, std::strchr(path, '/') ? "x" : "old");
        std::vector<FileToSave> files = {{t.File("a"), text("new a")},
                                         {t.File("b"), text(r.failWrite ? nullptr : "new b")}};
        std::string failed = "none";
        const bool saved = SaveFilesReplacing(files, &failed);
        EXPECT_EQ(saved, *r.failed == 0);
        if (!saved) {
            EXPECT_EQ(failed, t.File(r.failed));
            EXPECT_NE(LastErrorText().find(r.reason), std::string::npos) << LastErrorText();
        }
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(t.Path()))
            left.push_back(entry.path().filename().string() +
                           (entry.is_directory() ? "/" : "=" + ReadText(entry.path().string())));
        std::sort(left.begin(), left.end());
        std::vector<std::string> want;
        if (saved) want = {"a=new a", "b=new b"};
        else
            for (const char* path : r.before) {
                const std::string p = path;
                want.push_back(p.find('/') == std::string::npos ? p + "=old" : p.substr(0, p.find('/')) + "/");
            }
        // (The folder that stood in for a temporary stays: it was there before.)
        std::sort(want.begin(), want.end());
        EXPECT_EQ(left, want);
    }
}
