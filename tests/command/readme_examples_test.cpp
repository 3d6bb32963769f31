// Runs every example of the user guide (README.md) the way a reader would: in
// an empty folder, from a shell, with `vorda` on the PATH, so the guide cannot
// drift from the tool. The guide marks what is run: a fenced "sh" block whose
// first line is "# example: NAME", with the directive lines
//   # needs: PATH...     sample models to generate before the block runs
//   # makes: PATH...     files that must exist afterwards
//   # prints: LINE       a line that must appear in the output
//   # requires: TOOL     skip the block when TOOL is not installed
// Fenced "text" blocks whose first line is "# file: NAME" are files the
// examples use (written into every example's folder).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "tests/support/test_util.h"

namespace fs = std::filesystem;

TEST(ReadmeExamples, EveryExampleRunsAsWritten) {
    const std::string guide = ReadText(std::string(VORDA_SOURCE_DIR) + "/README.md");
    ASSERT_FALSE(guide.empty()) << "README.md not found";
    // The set-up commands the guide promises a new user, near the top.
    EXPECT_LT(guide.find("\n    make demo "), 1500u);
    EXPECT_LT(guide.find("\n    make test "), 1500u);

    // The fenced blocks: tag and lines.
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    std::istringstream in(guide);
    bool inside = false;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("```", 0) == 0 && (inside = !inside)) blocks.push_back({l.substr(3), {}});
        else if (inside) blocks.back().second.push_back(l);
    }
    TempFolder files;  // the guide's files, copied into every example's folder
    std::string names = " ";
    for (const auto& [tag, lines] : blocks)
        if (tag == "text" && !lines.empty() && lines[0].rfind("# file: ", 0) == 0) {
            std::string text;
            for (size_t i = 1; i < lines.size(); ++i) text += lines[i] + "\n";  // (the "# file:" line is no part of it)
            files.Write(lines[0].substr(8), text);
        }
    for (const auto& [tag, lines] : blocks) {
        if (tag != "sh" || lines.empty() || lines[0].rfind("# example: ", 0) != 0) continue;
        const std::string name = lines[0].substr(11);
        SCOPED_TRACE("example " + name);
        names += name + " ";
        std::map<std::string, std::vector<std::string>> directives;  // "needs:" -> its words
        std::string script;
        for (const std::string& l : lines) {
            std::istringstream words(l);
            std::string hash, key;
            words >> hash >> key;
            if (hash == "#" && key == "prints:") directives[key].push_back(l.substr(l.find(':') + 2));
            else if (hash == "#") for (std::string w; words >> w;) directives[key].push_back(w);
            script += l + "\n";
        }
        EXPECT_FALSE(directives["makes:"].empty() && directives["prints:"].empty())
            << "an example must name what it makes or prints";
        // A command line the tool prints as its example is one the guide runs.
        for (const std::string& want : directives["prints:"])
            if (want.rfind("  vorda ", 0) == 0) {
                EXPECT_NE(guide.find("\n" + want.substr(2) + "\n"), std::string::npos) << want;
            }
        std::string tools = "true";
        for (const std::string& tool : directives["requires:"]) tools += " && command -v " + ShellQuote(tool);
        if (RunShell(tools).status != 0) continue;  // a tool it needs is not installed

        TempFolder work, bin;
        fs::copy(files.Path(), work.Path(), fs::copy_options::recursive);
        fs::create_symlink(VORDA_BINARY, bin.File("vorda"));
        for (const std::string& need : directives["needs:"]) ASSERT_TRUE(WriteSampleModel(work.File(need))) << need;
        const std::string file = bin.Write("example.sh", script);
        // The tool's own limit: an example that hangs fails here, not after ctest's.
        const RunResult run =
            RunShell("PATH=" + ShellQuote(bin.Path()) + ":\"$PATH\" sh -e " + ShellQuote(file), work.Path(), kToolSeconds);
        const std::string& output = run.output;
        EXPECT_EQ(run.status, 0) << output;
        // VORDA_SHOW_OUTPUT=1 shows what each example printed, to update the guide.
        if (std::getenv("VORDA_SHOW_OUTPUT")) std::printf("%s:\n%s", name.c_str(), output.c_str());
        for (const std::string& made : directives["makes:"]) {
            const std::string text = ReadText(work.File(made));
            EXPECT_FALSE(text.empty()) << made << " not made\n" << output;
            EXPECT_TRUE(fs::path(made).extension() != ".dae" || text.find("<COLLADA") != std::string::npos) << made;
        }
        const std::string lined = "\n" + output + (output.empty() || output.back() == '\n' ? "" : "\n");
        for (const std::string& want : directives["prints:"])
            EXPECT_NE(lined.find("\n" + want + "\n"), std::string::npos) << "missing: " << want << "\n" << output;
        // Lines that mean a word of the guide no longer does what the guide says.
        for (const char* complaint : {"\nError - ", "\nPARSE SCRIPT: ", "\nDAE not saved", "Sanitizer"})
            EXPECT_EQ(lined.find(complaint), std::string::npos) << output;
    }
    // Every topic keeps a runnable example: a broken fence would silently drop it.
    for (const char* name : {"help-and-version", "one-model", "shorthand", "mirror-tree", "params-file", "script",
                             "word-list-script", "verbose-textures", "parallel-xargs", "game-model"})
        EXPECT_NE(names.find(std::string(" ") + name + " "), std::string::npos) << name;
}
