#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/script.h"
#include "command_test_util.h"

namespace {

struct ScriptRow {
    const char* name;
    std::vector<std::string> before;  // words run first
    std::string script;
    const char* printed;
    const char* var;       // checked after the script (null: none)
    const char* varValue;  // "<none>" when it must not exist
};

}  // namespace

TEST(RunScript, ScriptTable) {
    const ScriptRow rows[] = {
        {"columns_become_words", {}, "@$A,echo\nx,hello\n", "hello", "A", "x"},
        {"values_keep_inner_and_trailing_blanks", {}, "@$A\n  a b  \n", "", "A", "a b  "},
        {"row_values_stay_without_word_list", {}, "@$A\n1\n@echo\n[$[A]]\n", "[1]", "A", "1"},
        {"word_list_column_runs_private",
         {},
         "@echo,--\nhi$[CR],$X=1,echo=$[X]\nagain,echo=<$[X]>\n",
         "hi\n1again<>",
         "X",
         "<none>"},
        {"private_rows_see_outer_variables", {"$O=out"}, "@echo,--\n$[O],$O=in\n=echo=$[O]\n", "outout", "O", "out"},
        {"equals_line_runs_in_outer_context", {}, "@echo,--\n=$K=kept\nx,\n", "x", "K", "kept"},
        {"comment_cuts_value", {}, "@$A,$B\none#,two\n", "", "B", "<none>"},
        {"comment_and_blank_lines_skipped", {}, "# header next\n\n   \n@echo# names\n a #\n", "a ", nullptr, nullptr},
        {"caret_ends_script", {}, "@echo\na\n^\nb\n", "a", nullptr, nullptr},
        {"row_before_header_sets_nothing", {"$SCRIPT_POSTLINE=echo=post"}, "a,b\n", "post", nullptr, nullptr},
        {"missing_values_stop_row_postline_runs",
         {"$SCRIPT_POSTLINE=echo=|"},
         "@echo,echo,echo\na,b\nc,,d\n",
         "ab|c|",
         nullptr,
         nullptr},
        {"values_beyond_columns_ignored", {}, "@echo\na,b,c\n", "a", nullptr, nullptr},
        {"empty_header_name_ends_header", {}, "@echo,,echo=x\na,b\n", "a", nullptr, nullptr},
        {"dash_dash_ends_header", {}, "@echo,--,$A\na,$B=1\n", "a", "A", "<none>"},
        {"dash_dash_with_blank_is_a_name",
         {},
         "@echo,-- \na,b\n",
         "aError - Unknown parameter - - \n",
         nullptr,
         nullptr},
        {"word_list_column_missing", {"$SCRIPT_POSTLINE=echo=P"}, "@echo,--\na\n", "aP", nullptr, nullptr},
        {"postline_expanded_per_row",
         {"$SCRIPT_POSTLINE=echo=<$[A]>"},
         "@$A\n1\n2\n",
         "<1><2>",
         nullptr,
         nullptr},
        {"unknown_column_word", {}, "@nope\nv\n", "Error - Unknown parameter - nope\n", nullptr, nullptr},
        {"stop_word_does_nothing", {}, "@echo\n!\n=!\nb\n", "!b", nullptr, nullptr},
        {"crlf_lines", {}, "@$A,echo\r\nx,y\r\n", "y", "A", "x"},
        {"dash_column_name", {}, "@-echo\nz\n", "z", nullptr, nullptr},
        {"action_convert_runs_per_row",
         {"action=convert"},
         "@$X\n1\n2\n",
         "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n"
         "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n",
         nullptr,
         nullptr},
        {"action_set_in_private_row_only",
         {},
         "@--\naction=convert\n",
         "Error - Conversion Input not specified!\nError - Conversion Output not specified!\n",
         nullptr,
         nullptr},
    };
    for (const ScriptRow& r : rows) {
        SCOPED_TRACE(r.name);
        TempFolder t;
        std::string file = t.Write("s.txt", r.script);
        CommandContext c;
        std::vector<std::string> words = r.before;
        words.push_back("script=" + file);
        EXPECT_EQ(RunWords(c, words), r.printed);
        EXPECT_EQ(c.action, std::string(r.name) == "action_convert_runs_per_row" ? 1 : 0);
        if (r.var) {
            EXPECT_EQ(VariableOrNone(c, r.var), r.varValue);
        }
    }
}

TEST(RunScript, ThisPathDuringAndAfter) {
    TempFolder t;
    std::string inner = t.Write("sub/inner.txt", "=echo=[$[THIS_PATH]]\n");
    std::string outer = t.Write("outer.txt", "=echo=[$[THIS_PATH]]\n=script=$[THIS_PATH]sub/inner.txt\n=echo=[$[THIS_PATH]]\n");
    std::string folder = t.Path() + "/";
    {
        CommandContext c;
        EXPECT_EQ(RunWords(c, {"script=" + outer}),
                  "[" + folder + "][" + folder + "sub/][" + folder + "]");
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "<none>");
    }
    {
        CommandContext c;
        RunWords(c, {"$THIS_PATH=/kept/", "script=" + inner});
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "/kept/");
    }
    {
        // A failed load leaves THIS_PATH alone.
        CommandContext c;
        RunWords(c, {"$THIS_PATH=/kept/", "script=" + t.File("missing.txt")});
        EXPECT_EQ(VariableOrNone(c, "THIS_PATH"), "/kept/");
    }
}

TEST(RunScript, LongLinesAreCutAt4095) {
    TempFolder t;
    // 4100 characters: the first 4095 form one row, the other 5 the next.
    std::string row = std::string(4095 - 3, 'a') + "xyz" + "bcdef";
    std::string file = t.Write("s.txt", "@$V\n" + row + "\n");
    CommandContext c;
    RunWords(c, {"$SCRIPT_POSTLINE=echo=<$[V]>", "script=" + file});
    EXPECT_EQ(VariableOrNone(c, "V"), "bcdef");
    std::string printed = RunWords(c, {"script=" + file});
    EXPECT_EQ(printed, "<" + row.substr(0, 4095) + "><bcdef>");
}

TEST(RunScript, HeaderBeyond16ColumnsIgnoresTheRest) {
    TempFolder t;
    std::string header = "@";
    std::string data;
    for (int i = 0; i < 18; ++i) {
        header += (i ? ",$C" : "$C") + std::to_string(i);
        data += (i ? "," : "") + std::to_string(i);
    }
    std::string file = t.Write("s.txt", header + "\n" + data + "\n");
    CommandContext c;
    std::string printed = RunWords(c, {"script=" + file});
    EXPECT_EQ(printed, "PARSE SCRIPT: More than 16 columns, ignored from $C16\n");
    EXPECT_EQ(VariableOrNone(c, "C15"), "15");
    EXPECT_EQ(VariableOrNone(c, "C16"), "<none>");
}

TEST(RunScript, LongColumnValuesAreKeptWhole) {
    TempFolder t;
    std::string value(1500, 'q');
    std::string file = t.Write("s.txt", "@$A,$B\n" + value + ",b\n");
    CommandContext c;
    RunWords(c, {"script=" + file});
    EXPECT_EQ(VariableOrNone(c, "A"), value);
    EXPECT_EQ(VariableOrNone(c, "B"), "b");
}
