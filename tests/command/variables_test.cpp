#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "command_test_util.h"

namespace {

struct ExpandRow {
    const char* name;
    std::vector<std::string> words;  // run first, in a fresh context
    const char* text;
    const char* want;
};

}  // namespace

TEST(Expand, ReferenceTable) {
    const ExpandRow rows[] = {
        {"builtin_cr", {}, "a$[CR]b", "a\nb"},
        {"user_cr_hides_builtin", {"$CR=x"}, "a$[CR]b", "axb"},
        {"builtin_cr_any_case", {}, "$[cr]", "\n"},
        {"undefined_is_empty", {}, "$[X]", ""},
        {"undefined_between_text", {}, "pre$[X]post", "prepost"},
        {"resolved_at_use", {"$A=$[B]", "$B=1"}, "$[A]", "1"},
        {"two_dollars_expand_now", {"$B=1", "$$A=$[B]", "$B=2"}, "$[A]", "1"},
        {"inner_brackets_are_the_name", {"$B=x", "$Ax=no"}, "$[A$[B]]", ""},
        {"inner_name_literal", {"$A$[B]=yes"}, "<$[A$[B]]>", "<yes>"},
        {"unclosed_reference", {}, "pre$[NAME", "pre"},
        {"unclosed_reference_runs_to_end", {"$NAME=v"}, "pre$[NAME", "prev"},
        {"case_insensitive_names", {"$path=x"}, "$[PATH]", "x"},
        {"joined_reference", {"$P=$[", "$V=ok"}, "$[P]V]", "ok"},
        {"nested_open_swallows_rest", {"$P=$[", "$Q=V]"}, "$[P]$[Q]", ""},
        {"rescan_from_start", {"$A=$[B]$[B]", "$B=b"}, "$[A]-$[A]", "bb-bb"},
        {"plain_text", {}, "no references here", "no references here"},
        {"lone_dollar", {}, "$5 [x] $ [", "$5 [x] $ ["},
        {"empty_name", {}, "a$[]b", "ab"},
    };
    for (const ExpandRow& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        std::string printed;
        {
            CapturedOutput out;
            for (const std::string& w : r.words) ProcessArgument(c, w.c_str());
            EXPECT_EQ(Expand(c, r.text), r.want);
            printed = out.Text();
        }
        EXPECT_EQ(printed, "");
    }
}

TEST(Expand, TwoDollarsWithUndefinedValueCreatesNothing) {
    CommandContext c;
    RunWords(c, {"$$A=$[B]"});
    EXPECT_EQ(VariableOrNone(c, "A"), "<none>");
    EXPECT_TRUE(c.variables.empty());
}

TEST(Expand, LongTextsGrowPastTheOldBufferSize) {
    CommandContext c;
    std::string big(5000, 'x');
    SetVariable(c, "BIG", big.c_str(), false);
    EXPECT_EQ(Expand(c, "<$[BIG]$[BIG]>"), "<" + big + big + ">");
}

// A value that refers to itself would re-expand for ever: the expansion stops
// with one error line and yields nothing.
TEST(Expand, SelfReferenceStopsWithOneError) {
    struct Row {
        const char* name;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        {"direct", {"$A=$[A]"}},
        {"growing", {"$A=x$[A]"}},
        {"doubling", {"$A=$[A]$[A]"}},
        {"through_another", {"$A=<$[B]>", "$B=$[A]"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        RunWords(c, r.words);
        CapturedOutput out;
        EXPECT_EQ(Expand(c, "pre$[A]post"), "");
        std::string text = out.Text();
        EXPECT_EQ(text.rfind("Error - ", 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
    // The word that met it goes on and the next word runs.
    CommandContext c;
    std::string text = RunWords(c, {"$A=$[A]", "echo=$[A]", "echo=next"});
    EXPECT_EQ(text.substr(text.size() - 4), "next");
}

// Without a bound on the bytes copied, 10000 passes over a long text would
// copy gigabytes before the substitution bound stopped them.
TEST(Expand, RunawayOnALongTextStopsQuickly) {
    CommandContext c;
    SetVariable(c, "A", "$[A]", false);
    std::string text(900 * 1024, 'x');
    text += "$[A]";
    CapturedOutput out;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Expand(c, text.c_str()), "");
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(ms, 2000);
    EXPECT_EQ(out.Text().rfind("Error - Variable expansion does not end", 0), 0u);
}

TEST(SetVariable, RemovalAndSlotReuse) {
    CommandContext c;
    RunWords(c, {"$A=1", "$B=2", "$C=3", "$D=4"});
    ASSERT_EQ(c.variables.size(), 4u);
    RunWords(c, {"$B=", "$D="});
    ASSERT_EQ(c.variables.size(), 4u);  // removal nulls the slot, the list keeps its size
    EXPECT_EQ(c.variables[1], nullptr);
    EXPECT_EQ(c.variables[3], nullptr);
    EXPECT_EQ(VariableOrNone(c, "B"), "<none>");
    RunWords(c, {"$E=5"});  // the highest null slot is reused first
    ASSERT_NE(c.variables[3], nullptr);
    EXPECT_STREQ(c.variables[3]->name.CStr(), "E");
    RunWords(c, {"$F=6"});
    ASSERT_NE(c.variables[1], nullptr);
    EXPECT_STREQ(c.variables[1]->name.CStr(), "F");
    RunWords(c, {"$G=7"});
    EXPECT_EQ(c.variables.size(), 5u);  // no null slot left: grows by one
    RunWords(c, {"$nothing="});         // removing what does not exist changes nothing
    EXPECT_EQ(c.variables.size(), 5u);
    RunWords(c, {"$a=one"});  // replacing keeps slot and name
    EXPECT_STREQ(c.variables[0]->name.CStr(), "A");
    EXPECT_EQ(VariableOrNone(c, "A"), "one");
}

TEST(SetThisPath, FolderPartAndRestore) {
    struct Row {
        const char* path;
        const char* want;
    };
    const Row rows[] = {
        {"C:\\data/models/a.zem", "C:\\data/models/"},  // last separator of either kind
        {"C:\\data\\models\\a.zem", "C:\\data\\models\\"},
        {"/scripts/run.txt", "/scripts/"},
        {"D:a.zem", "D:"},
        {"a.zem", "<none>"},
        {"", "<none>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        CommandContext c;
        SetVariable(c, "THIS_PATH", "old/", false);
        std::string saved;
        SetThisPath(c, r.path, &saved);
        EXPECT_EQ(saved, "old/");
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), r.want);
        SetThisPath(c, saved.c_str(), nullptr);
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "old/");
    }
    CommandContext c;
    std::string saved = "junk";
    SetThisPath(c, "x/y", &saved);
    EXPECT_EQ(saved, "");
    SetThisPath(c, saved.c_str(), nullptr);
    EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "<none>");
}

TEST(CopyContext, DeepCopyKeepsNullSlots) {
    CommandContext a;
    RunWords(a, {"$A=1", "$B=2", "$C=3", "$B=", "action=convert", "loglevel=4", "dump", "addmask=*.zem"});
    CommandContext b;
    RunWords(b, {"$Z=9", "addmask=*.x", "addmask=*.y"});
    CopyContext(b, a);
    EXPECT_EQ(b.action, 1);
    EXPECT_EQ(b.logLevel, 4);
    EXPECT_EQ(b.dumpLevel, 1);
    ASSERT_EQ(b.variables.size(), 3u);
    EXPECT_EQ(b.variables[1], nullptr);
    EXPECT_EQ(VariableOrNone(b, "Z"), "<none>");
    ASSERT_EQ(b.masks.size(), 1u);
    EXPECT_EQ(*b.masks[0], "*.zem");
    // Changing the copy leaves the original alone.
    RunWords(b, {"$A=changed", "addmask=*.mad"});
    EXPECT_EQ(VariableOrNone(a, "A"), "1");
    EXPECT_EQ(a.masks.size(), 1u);
}
