#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "command/word_list.h"
#include "command_test_util.h"

namespace {

struct WordRow {
    const char* name;
    std::vector<std::string> words;
    const char* printed;
    int action;
    int logLevel;
    int dumpLevel;
    const char* var;       // variable to check afterwards (null: none)
    const char* varValue;  // "<none>" when it must not exist
};

}  // namespace

TEST(ProcessArgument, WordTable) {
    const WordRow rows[] = {
        {"blanks_and_dash", {" \t-dump"}, "", 0, -1, 1, nullptr, nullptr},
        {"second_dash_is_part_of_name", {"--dump"}, "Error - Unknown parameter - -dump\n", 0, -1, -1, nullptr, nullptr},
        {"plain_words", {"log", "dump", "nodump"}, "", 0, 1, -1, nullptr, nullptr},
        {"nolog", {"LOG", "NoLog"}, "", 0, -1, -1, nullptr, nullptr},
        {"levels_atoi", {"loglevel= 12abc", "dumplevel=-3"}, "", 0, 12, -3, nullptr, nullptr},
        {"levels_not_a_number", {"loglevel=x", "dumplevel="}, "", 0, 0, 0, nullptr, nullptr},
        {"levels_overflow_saturates", {"loglevel=99999999999999999999"}, "", 0, 2147483647, -1, nullptr, nullptr},
        {"comment", {"#echo=x", "-#echo=y", "  # anything"}, "", 0, -1, -1, nullptr, nullptr},
        {"unknown_valued", {"x=1"}, "Error - Unknown parameter - x\n", 0, -1, -1, nullptr, nullptr},
        {"unknown_plain", {"frobnicate"}, "Error - Unknown parameter - frobnicate\n", 0, -1, -1, nullptr, nullptr},
        {"dollar_without_value", {"$A"}, "Error - Unknown parameter - $A\n", 0, -1, -1, "A", "<none>"},
        {"only_first_equals_splits", {"$A=b=c"}, "", 0, -1, -1, "A", "b=c"},
        {"assignment_unexpanded", {"$A=$[CR]"}, "", 0, -1, -1, "A", "$[CR]"},
        {"assignment_expanded", {"$B=x", "$$A=<$[B]>"}, "", 0, -1, -1, "A", "<x>"},
        {"dash_before_assignment", {"-$A=1"}, "", 0, -1, -1, "A", "1"},
        {"action_convert_any_case", {"ACTION=Convert"}, "", 1, -1, -1, nullptr, nullptr},
        {"action_other_text", {"action=convert", "action=zzz"}, "", 0, -1, -1, nullptr, nullptr},
        {"do_null_clears_action", {"action=convert", "do=null"}, "", 0, -1, -1, nullptr, nullptr},
        {"do_convert_runs_and_clears",
         {"action=convert", "DO=CONVERT"},
         "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n", 0, -1, -1,
         nullptr, nullptr},
        {"echo_expands", {"$N=world", "echo=hello $[N]$[CR]"}, "hello world\n", 0, -1, -1, nullptr, nullptr},
        {"echo_no_line_break", {"echo=a", "echo=b"}, "ab", 0, -1, -1, nullptr, nullptr},
        {"echo_cr_between", {"echo=x$[CR]y"}, "x\ny", 0, -1, -1, nullptr, nullptr},
        {"pause_zero_and_negative", {"pause=0", "pause=-5", "pause=abc"}, "", 0, -1, -1, nullptr, nullptr},
        {"names_shadow_in_order", {"echo=echo=1"}, "echo=1", 0, -1, -1, nullptr, nullptr},
        {"params_missing_is_silent", {"params=/nonexistent/vorda/params.txt"}, "", 0, -1, -1, nullptr, nullptr},
        {"script_missing",
         {"$D=/nonexistent", "script=$[D]/s.txt"},
         "PARSE SCRIPT: Failed to load /nonexistent/s.txt (was $[D]/s.txt)\n", 0, -1, -1, "THIS_PATH", "<none>"},
        {"exec_expands_whole_list_first", {"exec=$X=1,echo=$[X]"}, "", 0, -1, -1, "X", "1"},
        {"exec_cr", {"exec=$X=1,echo=$[CR]"}, "\n", 0, -1, -1, "X", "1"},
        {"exec_list_from_variable", {"$L=echo=a,echo=b", "exec=$[L]"}, "ab", 0, -1, -1, nullptr, nullptr},
        {"exec_empty_item_ends_list", {"exec=echo=a,,echo=b"}, "a", 0, -1, -1, nullptr, nullptr},
        {"exec_blank_after_comma", {"exec=echo=a, echo=b"}, "ab", 0, -1, -1, nullptr, nullptr},
        {"exec_leading_comma_runs_nothing", {"exec=,echo=a"}, "", 0, -1, -1, nullptr, nullptr},
        {"exec_stop_word_ignored", {"exec=echo=a,!,echo=b"}, "ab", 0, -1, -1, nullptr, nullptr},
        {"exec_trailing_blanks_kept", {"exec=$A=x  ,echo=[$[A]]"}, "[]", 0, -1, -1, "A", "x  "},
        {"masks", {"addmask=*.zem", "addmask=*.mad"}, "", 0, -1, -1, nullptr, nullptr},
        {"help", {"help"}, nullptr, 0, -1, -1, nullptr, nullptr},
    };
    for (const WordRow& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        std::string printed = RunWords(c, r.words);
        if (r.printed) {
            EXPECT_EQ(printed, r.printed);
        }
        EXPECT_EQ(c.action, r.action);
        EXPECT_EQ(c.logLevel, r.logLevel);
        EXPECT_EQ(c.dumpLevel, r.dumpLevel);
        if (r.var) {
            EXPECT_EQ(VariableOrNone(c, r.var), r.varValue);
        }
    }
}

TEST(ProcessArgument, StopWordOnlyAfterBlanksAndOneDash) {
    const char* stops[] = {"!", "  !", "-!", "\t-!rest", "!=x"};
    for (const char* w : stops) {
        SCOPED_TRACE(w);
        CommandContext c;
        EXPECT_FALSE(ProcessArgument(c, w));
    }
    const char* goes_on[] = {"--!", "a!", "x=!", "echo=!", "#!"};
    for (const char* w : goes_on) {
        SCOPED_TRACE(w);
        CommandContext c;
        CapturedOutput out;
        EXPECT_TRUE(ProcessArgument(c, w));
    }
}

TEST(ProcessArgument, HelpPrintsUsageAndReference) {
    for (const char* w : {"help", "-help", "--help", "HELP"}) {
        SCOPED_TRACE(w);
        CommandContext c;
        std::string text = RunWords(c, {w});
        EXPECT_EQ(text.rfind("VORDA [-]action [[-]params]\n-- 1.0\n", 0), 0u);
        EXPECT_NE(text.find("CONVERT_IN"), std::string::npos);
        EXPECT_EQ(text.find("Error"), std::string::npos);
    }
}

TEST(ProcessArgument, SetmaskKeepsExactlyOneExpandedMask) {
    CommandContext c;
    RunWords(c, {"addmask=*.zem", "addmask=*.mad", "$E=dae", "setmask=*.$[E]", "addmask="});
    ASSERT_EQ(c.masks.size(), 2u);
    EXPECT_EQ(*c.masks[0], "*.dae");
    EXPECT_EQ(*c.masks[1], "");  // an empty mask is kept too
}

TEST(ProcessArgument, PauseSleepsWholeSeconds) {
    CommandContext c;
    auto start = std::chrono::steady_clock::now();
    RunWords(c, {"pause=1"});
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 3000);
}

TEST(ParamsFile, LinesStopWordAndNesting) {
    TempFolder t;
    std::string inner = t.Write("inner.txt", "echo=i1\n!\necho=i2\n");
    std::string outer = t.Write("outer.txt",
                                "  echo=1\r\n"
                                "\n"
                                "\t \n"
                                "   -echo=2 \n"
                                "params=" + inner + "\n"
                                "#echo=comment\n"
                                "$V=a b  \n"
                                "!\n"
                                "echo=never\n");
    CommandContext c;
    std::string printed = RunWords(c, {"params=" + outer, "echo=after"});
    // Trailing blanks stay part of a line; a "!" line ends only its own file.
    EXPECT_EQ(printed, "12 i1after");
    EXPECT_EQ(VariableOrNone(c, "V"), "a b  ");
}

TEST(ParamsFile, LongLinesAreKeptWhole) {
    TempFolder t;
    std::string value(3000, 'v');
    std::string file = t.Write("long.txt", "$LONG=" + value + "\n");
    CommandContext c;
    RunWords(c, {"params=" + file});
    EXPECT_EQ(VariableOrNone(c, "LONG"), value);
}

TEST(WordList, LongItemsAreKeptWhole) {
    std::string value(2000, 'w');
    CommandContext c;
    EXPECT_EQ(RunWords(c, {"exec=$A=" + value + ",echo=done"}), "done");
    EXPECT_EQ(VariableOrNone(c, "A"), value);
}

// Chains that run themselves stop at the nesting bound with one error line
// and the command line goes on with its next word.
TEST(Nesting, SelfRunningChainsStopWithOneError) {
    TempFolder t;
    std::string self = t.File("self.txt");
    t.Write("self.txt", "echo=.\nparams=" + self + "\nparams=" + self + "\n");
    std::string a = t.File("a.txt"), b = t.File("b.txt");
    t.Write("a.txt", "params=" + b + "\n");
    t.Write("b.txt", "params=" + a + "\n");
    std::string script = t.File("s.scr");
    t.Write("s.scr", "=script=" + script + "\n=script=" + script + "\n");
    t.Write("tree/f.txt", "x");

    struct Row {
        const char* name;
        std::vector<std::string> words;
    };
    const std::vector<Row> rows = {
        {"params_names_itself_twice", {"params=" + self}},
        {"params_through_another", {"params=" + a}},
        {"script_runs_itself", {"script=" + script}},
        {"postline_runs_its_script", {"$SCRIPT_POSTLINE=script=" + t.Write("p.scr", "row\n"), "script=" + t.File("p.scr")}},
        {"scan_params_scans_again", {"$SCAN_PARAMS=scan=$[SCAN_ROOT]", "scan=" + t.File("tree")}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CommandContext c;
        std::vector<std::string> words = r.words;
        words.push_back("echo=next");
        std::string printed = RunWords(c, words);
        size_t first = printed.find("Error - Nesting");
        ASSERT_NE(first, std::string::npos) << printed.substr(0, 300);
        EXPECT_EQ(printed.find("Error - ", first + 1), std::string::npos);
        EXPECT_EQ(printed.substr(printed.size() - 4), "next");
        EXPECT_EQ(c.nesting->depth, 0);
        EXPECT_FALSE(c.nesting->unwinding);
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "<none>");
    }
}

TEST(Nesting, DeepButBoundedChainsRun) {
    // Forty files each running the next: well inside the bound, all run.
    TempFolder t;
    for (int i = 0; i < 40; ++i)
        t.Write("p" + std::to_string(i) + ".txt",
                i + 1 < 40 ? "params=" + t.File("p" + std::to_string(i + 1) + ".txt") + "\n" : "echo=deep\n");
    CommandContext c;
    EXPECT_EQ(RunWords(c, {"params=" + t.File("p0.txt")}), "deep");
}
