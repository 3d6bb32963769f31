#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "tests/support/test_util.h"

TEST(Expand, ReferenceTable) {
    const std::string big(5000, 'x');
    const struct {
        std::vector<std::string> words;  // run first, in a fresh context
        std::string text, want;
    } rows[] = {
        {{}, "a$[CR]b", "a\nb"},
        {{"$CR=x"}, "a$[CR]b", "axb"},  // a user variable hides the built-in one
        {{}, "$[cr]", "\n"},
        {{}, "pre$[X]post", "prepost"},  // undefined: empty
        {{"$A=$[B]", "$B=1"}, "$[A]", "1"},  // resolved where it is used
        {{"$B=1", "$$A=$[B]", "$B=2"}, "$[A]", "1"},  // two dollars: expanded when set
        {{"$B=x", "$Ax=no"}, "$[A$[B]]", ""},  // the inner brackets are part of the name
        {{"$A$[B]=yes"}, "<$[A$[B]]>", "<yes>"},
        {{}, "pre$[NAME", "pre"},  // an unclosed reference runs to the end
        {{"$NAME=v"}, "pre$[NAME", "prev"},
        {{"$path=x"}, "$[PATH]", "x"},
        {{"$P=$[", "$V=ok"}, "$[P]V]", "ok"},  // each pass rescans from the start
        {{"$P=$[", "$Q=V]"}, "$[P]$[Q]", ""},
        {{"$A=$[B]$[B]", "$B=b"}, "$[A]-$[A]", "bb-bb"},
        {{}, "$5 [x] $ [ a$[]b", "$5 [x] $ [ ab"},
        {{"$BIG=" + big}, "<$[BIG]$[BIG]>", "<" + big + big + ">"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        CommandContext c;
        CapturedOutput out;
        for (const std::string& w : r.words) ProcessArgument(c, w.c_str());
        EXPECT_EQ(Expand(c, r.text.c_str()), r.want);
        EXPECT_EQ(out.Text(), "");
    }
}

// A value that refers to itself would re-expand for ever: the expansion stops
// with one error line and yields nothing, quickly even on a long text, and the
// next word runs.
TEST(Expand, SelfReferenceStopsWithOneError) {
    const std::string longText = std::string(900 * 1024, 'x') + "$[A]";
    const std::vector<std::vector<std::string>> rows = {
        {"$A=$[A]"}, {"$A=x$[A]"}, {"$A=$[A]$[A]"}, {"$A=<$[B]>", "$B=$[A]"}};
    for (const std::string& text : {std::string("pre$[A]post"), longText}) {
        for (const auto& words : rows) {
            SCOPED_TRACE(words[0]);
            CommandContext c;
            RunWords(c, words);
            CapturedOutput out;
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(Expand(c, text.c_str()), "");
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
            const std::string printed = out.Text();
            EXPECT_EQ(printed.rfind("Error - Variable expansion does not end", 0), 0u) << printed;
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        }
    }
    CommandContext c;
    const std::string text = RunWords(c, {"$A=$[A]", "echo=$[A]", "echo=next"});
    EXPECT_EQ(text.substr(text.size() - 4), "next");
}

TEST(SetThisPath, FolderPartAndRestore) {
    const char* rows[][2] = {{"C:\\data/models/a.zem", "C:\\data/models/"},  // last separator of either kind
                             {"C:\\data\\models\\a.zem", "C:\\data\\models\\"}, {"/scripts/run.txt", "/scripts/"},
                             {"D:a.zem", "D:"}, {"a.zem", "<none>"}, {"", "<none>"}};
    for (auto& r : rows) {
        SCOPED_TRACE(r[0]);
        CommandContext c;
        SetVariable(c, "THIS_PATH", "old/", false);
        std::string saved;
        SetThisPath(c, r[0], &saved);
        EXPECT_EQ(saved, "old/");
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), r[1]);
        SetThisPath(c, saved.c_str(), nullptr);
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "old/");
    }
}
