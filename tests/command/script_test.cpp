#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace {
const char kNoInputOutput[] = "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n";
}  // namespace

// Each row runs its words, then the script, in a fresh context; var is
// "NAME=value" to check afterwards ("<none>": must not exist).
TEST(RunScript, ScriptTable) {
    const std::string value(1500, 'q');
    const struct {
        std::vector<std::string> before;
        std::string script, printed, var;
        int action;
    } rows[] = {
        {{}, "@$A,echo\r\nx,hello\r\n", "hello", "A=x", 0},
        {{}, "@$A\n  a b  \n", "", "A=a b  ", 0},
        {{}, "@$A,$B\n" + value + ",b\n", "", "A=" + value, 0},
        {{}, "@$A\n1\n@echo\n[$[A]]\n", "[1]", "A=1", 0},  // without "--" row values stay
        {{}, "@echo,--\nhi$[CR],$X=1,echo=$[X]\nagain,echo=<$[X]>\n", "hi\n1again<>", "X=<none>", 0},
        {{"$O=out"}, "@echo,--\n$[O],$O=in\n=echo=$[O]\n", "outout", "O=out", 0},
        {{}, "@echo,--\n=$K=kept\nx,\n", "x", "K=kept", 0},  // "=" lines run in the outer context
        {{}, "@$A,$B\none#,two\n", "", "B=<none>", 0},  // "#" cuts the rest of the line
        {{}, "# header next\n\n   \n@echo# names\n a #\n", "a ", "", 0},
        {{}, "@echo\na\n^\nb\n", "a", "", 0},
        {{"$SCRIPT_POSTLINE=echo=post"}, "a,b\n", "post", "", 0},  // a data row before any header
        {{"$SCRIPT_POSTLINE=echo=|"}, "@echo,echo,echo\na,b\nc,,d\n", "ab|c|", "", 0},
        {{}, "@echo\na,b,c\n", "a", "", 0},
        {{}, "@echo,,echo=x\na,b\n", "a", "", 0},
        {{}, "@echo,--,$A\na,$B=1\n", "a", "A=<none>", 0},
        {{}, "@echo,-- \na,b\n", "aError - Unknown parameter - - \n", "", 0},
        {{"$SCRIPT_POSTLINE=echo=P"}, "@echo,--\na\n", "aP", "", 0},
        {{"$SCRIPT_POSTLINE=echo=<$[A]>"}, "@$A\n1\n2\n", "<1><2>", "", 0},
        {{}, "@nope\nv\n", "Error - Unknown parameter - nope\n", "", 0},
        {{}, "@echo\n!\n=!\nb\n", "!b", "", 0},
        {{}, "@-echo\nz\n", "z", "", 0},
        {{"action=convert"}, "@$X\n1\n2\n", std::string(kNoInputOutput) + kNoInputOutput, "", 1},
        {{}, "@--\naction=convert\n", kNoInputOutput, "", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.script.substr(0, 40));
        TempFolder t;
        CommandContext c;
        std::vector<std::string> words = r.before;
        words.push_back("script=" + t.Write("s.txt", r.script));
        EXPECT_EQ(RunWords(c, words), r.printed);
        EXPECT_EQ(c.action, r.action);
        if (!r.var.empty()) {
            const size_t eq = r.var.find('=');
            EXPECT_EQ(VariableOrNone(c, r.var.substr(0, eq).c_str()), r.var.substr(eq + 1));
        }
    }
}

TEST(RunScript, ThisPathDuringAndAfter) {
    TempFolder t;
    const std::string inner = t.Write("sub/inner.txt", "=echo=[$[THIS_PATH]]\n");
    const std::string outer =
        t.Write("outer.txt", "=echo=[$[THIS_PATH]]\n=script=$[THIS_PATH]sub\\inner.txt\n=echo=[$[THIS_PATH]]\n");
    const std::string dir = t.Path() + "/";
    CommandContext c;
    // A backslash separates folders on every platform: scripts written on
    // Windows run unchanged.
    EXPECT_EQ(RunWords(c, {"script=" + outer}), "[" + dir + "][" + dir + "sub\\][" + dir + "]");
    EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "<none>");
    for (const std::string& file : {inner, t.File("missing.txt")}) {  // restored, and untouched by a failed load
        CommandContext d;
        RunWords(d, {"$THIS_PATH=/kept/", "script=" + file});
        EXPECT_EQ(VariableOrNone(d, "THIS_PATH"), "/kept/");
    }
}

TEST(RunScript, LinesCutAt4095AndColumnsAt16) {
    TempFolder t;
    // 4100 characters: the first 4095 form one row, the other 5 the next.
    const std::string row = std::string(4092, 'a') + "xyz" + "bcdef";
    CommandContext c;
    EXPECT_EQ(RunWords(c, {"$SCRIPT_POSTLINE=echo=<$[V]>", "script=" + t.Write("s.txt", "@$V\n" + row + "\n")}),
              "<" + row.substr(0, 4095) + "><bcdef>");

    std::string header = "@$C0", data = "0";
    for (int i = 1; i < 18; ++i) header += ",$C" + std::to_string(i), data += "," + std::to_string(i);
    CommandContext d;
    EXPECT_EQ(RunWords(d, {"script=" + t.Write("w.txt", header + "\n" + data + "\n")}),
              "PARSE SCRIPT: More than 16 columns, ignored from $C16\n");
    EXPECT_EQ(VariableOrNone(d, "C15"), "15");
    EXPECT_EQ(VariableOrNone(d, "C16"), "<none>");
}
