#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_util.h"

namespace {

const char kNoInputOutput[] = "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n";
const std::string kLong(3000, 'w');

// "action logLevel dumpLevel" of a context.
std::string Levels(const CommandContext& c) {
    return std::to_string(c.action) + " " + std::to_string(c.logLevel) + " " + std::to_string(c.dumpLevel);
}

}  // namespace

// Each row runs its words in a fresh context; var is "NAME=value" to check
// afterwards ("<none>": must not exist).
TEST(ProcessArgument, WordTable) {
    const struct {
        std::vector<std::string> words;
        std::string printed, levels, var;
    } rows[] = {
        {{" \t-dump"}, "", "0 -1 1", ""},
        {{"--dump"}, "Error - Unknown parameter - -dump\n", "0 -1 -1", ""},
        {{"log", "dump", "nodump"}, "", "0 1 -1", ""},
        {{"loglevel= 12abc", "dumplevel=-3"}, "", "0 12 -3", ""},
        {{"loglevel=99999999999999999999", "dumplevel=x"}, "", "0 2147483647 0", ""},
        {{"#echo=x", "-#echo=y", "  # anything"}, "", "0 -1 -1", ""},
        {{"x=1"}, "Error - Unknown parameter - x\n", "0 -1 -1", ""},
        {{"$A"}, "Error - Unknown parameter - $A\n", "0 -1 -1", "A=<none>"},
        {{"$A=b=c"}, "", "0 -1 -1", "A=b=c"},
        {{"-$A=$[CR]"}, "", "0 -1 -1", "A=$[CR]"},
        {{"$B=x", "$$A=<$[B]>"}, "", "0 -1 -1", "A=<x>"},
        {{"ACTION=Convert"}, "", "1 -1 -1", ""},
        {{"action=convert", "action=zzz"}, "Error - Unknown action - action=zzz\n", "0 -1 -1", ""},
        {{"action=convert", "do=null"}, "", "0 -1 -1", ""},
        {{"action=convert", "DO=CONVERT"}, kNoInputOutput, "0 -1 -1", ""},
        {{"$N=world", "echo=hello $[N]$[CR]", "echo=echo=1"}, "hello world\necho=1", "0 -1 -1", ""},
        {{"exec=echo=x$[CR]y", "pause=0", "pause=-5"}, "x\ny", "0 -1 -1", ""},
        {{"$D=/nonexistent", "script=$[D]/s.txt"}, "PARSE SCRIPT: Failed to load /nonexistent/s.txt (was $[D]/s.txt)\n"
         "Error - Cannot read script file /nonexistent/s.txt - No such file or directory\n",
         "0 -1 -1", "THIS_PATH=<none>"},
        // Word lists: the whole list is expanded before its first item runs.
        {{"exec=$X=1,echo=$[X]"}, "", "0 -1 -1", "X=1"},
        {{"$L=echo=a,echo=b", "exec=$[L]"}, "ab", "0 -1 -1", ""},
        {{"exec=echo=a,,echo=b", "exec=,echo=c"}, "a", "0 -1 -1", ""},  // an empty item ends the list
        {{"exec=echo=a, echo=b,!,echo=c"}, "abc", "0 -1 -1", ""},
        {{"exec=$A=x  ,echo=[$[A]]"}, "[]", "0 -1 -1", "A=x  "},
        {{"exec=$A=" + kLong + ",echo=done"}, "done", "0 -1 -1", "A=" + kLong},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.words[0]);
        CommandContext c;
        EXPECT_EQ(RunWords(c, r.words), r.printed);
        EXPECT_EQ(Levels(c), r.levels);
        if (!r.var.empty()) {
            const size_t eq = r.var.find('=');
            EXPECT_EQ(VariableOrNone(c, r.var.substr(0, eq).c_str()), r.var.substr(eq + 1));
        }
    }
}

// "!" stops the command line only after blanks and one dash.
TEST(ProcessArgument, StopWord) {
    const std::pair<const char*, bool> rows[] = {{"!", true}, {"  !", true}, {"-!", true}, {"\t-!rest", true},
                                                 {"!=x", true}, {"--!", false}, {"a!", false}, {"x=!", false},
                                                 {"echo=!", false}, {"#!", false}};
    for (const auto& [word, stops] : rows) {
        CommandContext c;
        CapturedOutput out;
        EXPECT_EQ(ProcessArgument(c, word), !stops) << word;
    }
}

// Trailing blanks stay part of a line, long lines are kept whole, a "!" line
// ends only its own file, and a path with backslashes opens on every platform.
TEST(ParamsFile, LinesStopWordAndNesting) {
    TempFolder t;
    const std::string inner = t.Write("inner.txt", "echo=i1\necho=i2\n!\necho=i3\n");
    std::string backslashed = inner;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    const std::string outer = t.Write("outer.txt", "  echo=1\r\n\n\t \n   -echo=2 \nparams=" + backslashed +
                                                       "\n#echo=comment\n$V=a b  \n$LONG=" + kLong + "\n!\necho=never\n");
    CommandContext c;
    EXPECT_EQ(RunWords(c, {"params=" + outer, "echo=after"}), "12 i1i2after");
    EXPECT_EQ(VariableOrNone(c, "V"), "a b  ");
    EXPECT_EQ(VariableOrNone(c, "LONG"), kLong);
}

// Chains that run themselves stop at the nesting bound with one error line
// and the command line goes on with its next word; deep chains within the
// bound run.
TEST(Nesting, SelfRunningChainsStopWithOneError) {
    TempFolder t;
    const std::string self = t.File("self.txt"), a = t.File("a.txt"), script = t.File("s.scr");
    t.Write("self.txt", "echo=.\nparams=" + self + "\nparams=" + self + "\n");
    t.Write("a.txt", "params=" + t.Write("b.txt", "params=" + a + "\n") + "\n");
    t.Write("s.scr", "=script=" + script + "\n=script=" + script + "\n");
    t.Write("tree/f.txt", "x");
    const std::vector<std::vector<std::string>> rows = {
        {"params=" + self}, {"params=" + a}, {"script=" + script},
        {"$SCRIPT_POSTLINE=script=" + t.Write("p.scr", "row\n"), "script=" + t.File("p.scr")},
        {"$SCAN_PARAMS=scan=$[SCAN_ROOT]", "scan=" + t.File("tree")}};
    for (std::vector<std::string> words : rows) {
        SCOPED_TRACE(words.back());
        CommandContext c;
        words.push_back("echo=next");
        const std::string printed = RunWords(c, words);
        const size_t first = printed.find("Error - Nesting");
        ASSERT_NE(first, std::string::npos) << printed.substr(0, 300);
        EXPECT_EQ(printed.find("Error - ", first + 1), std::string::npos);  // one error line
        EXPECT_EQ(printed.substr(printed.size() - 4), "next");
        EXPECT_TRUE(c.nesting->depth == 0 && !c.nesting->unwinding && !GetVariable(c, "THIS_PATH"));
    }
    // A chain of n files, each running the next: the bound's depth runs, one more does not.
    auto chain = [&](int n) {
        for (int i = 0; i < n; ++i)
            t.Write("p" + std::to_string(i) + ".txt",
                    i < n - 1 ? "params=" + t.File("p" + std::to_string(i + 1) + ".txt") + "\n" : "echo=deep\n");
        CommandContext c;
        return RunWords(c, {"params=" + t.File("p0.txt")});
    };
    EXPECT_EQ(chain(kMaxNesting), "deep");
    EXPECT_EQ(chain(kMaxNesting + 1).find("Error - Nesting deeper than 64 levels, not run - "), 0u);
}
