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

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "command_test_util.h"

namespace fs = std::filesystem;

namespace {

struct GuideExample {
    std::string name, script;
    int line = 0;  // of the opening fence, for messages
    std::vector<std::string> needs, makes, prints, tools;
};

struct Guide {
    std::vector<std::pair<std::string, std::string>> files;  // name, text
    std::vector<GuideExample> examples;
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Appends the blank-separated words after the directive (of length n) to out.
void AddWords(const std::string& line, size_t n, std::vector<std::string>& out) {
    std::istringstream in(line.substr(n));
    for (std::string w; in >> w;) out.push_back(w);
}

const Guide& TheGuide() {
    static const Guide guide = [] {
        Guide g;
        const std::vector<std::string> lines = Lines(ReadText(std::string(VORDA_SOURCE_DIR) + "/README.md"));
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!StartsWith(lines[i], "```")) continue;
            const std::string tag = lines[i].substr(3, lines[i].find_last_not_of(" \t\r") - 2);
            const size_t open = i++;
            std::vector<std::string> body;
            for (; i < lines.size() && !StartsWith(lines[i], "```"); ++i) body.push_back(lines[i]);
            if (body.empty()) continue;
            if (tag == "text" && StartsWith(body[0], "# file: ")) {
                std::string text;
                for (const std::string& l : body) text += l + "\n";
                g.files.emplace_back(body[0].substr(8), text);
            } else if (tag == "sh" && StartsWith(body[0], "# example: ")) {
                GuideExample ex;
                ex.name = body[0].substr(11);
                ex.line = int(open) + 1;
                for (const std::string& l : body) {
                    if (StartsWith(l, "# needs:")) AddWords(l, 8, ex.needs);
                    if (StartsWith(l, "# makes:")) AddWords(l, 8, ex.makes);
                    if (StartsWith(l, "# requires:")) AddWords(l, 11, ex.tools);
                    if (StartsWith(l, "# prints: ")) ex.prints.push_back(l.substr(10));
                    ex.script += l + "\n";
                }
                g.examples.push_back(ex);
            }
        }
        return g;
    }();
    return guide;
}

class GuideExampleTest : public ::testing::Test {
public:
    explicit GuideExampleTest(size_t which) : which_(which) {}
    void TestBody() override {
        const Guide& guide = TheGuide();
        const GuideExample& ex = guide.examples[which_];
        SCOPED_TRACE("README.md line " + std::to_string(ex.line) + ", example " + ex.name);
        std::string output;
        for (const std::string& tool : ex.tools)
            if (Shell("/", "command -v " + Quote(tool), output) != 0) GTEST_SKIP() << tool << " is not installed";

        TempFolder work, bin;
        fs::create_symlink(VORDA_BINARY, bin.File("vorda"));
        for (const auto& file : guide.files) work.Write(file.first, file.second);
        for (const std::string& need : ex.needs) ASSERT_TRUE(WriteSampleModel(work.File(need))) << need;
        const std::string script = bin.Write("example.sh", ex.script);
        EXPECT_EQ(Shell(work.Path(), "PATH=" + Quote(bin.Path()) + ":\"$PATH\" sh -e " + Quote(script), output), 0)
            << output;
        // VORDA_SHOW_OUTPUT=1 shows what each example printed, to update the guide.
        if (std::getenv("VORDA_SHOW_OUTPUT")) std::printf("%s", output.c_str());
        for (const std::string& made : ex.makes) {
            std::error_code ec;
            EXPECT_GT(fs::file_size(work.File(made), ec), 0u) << made << " not made\n" << output;
            if (fs::path(made).extension() == ".dae") {
                EXPECT_NE(ReadText(work.File(made)).find("<COLLADA"), std::string::npos) << made;
            }
        }
        const std::vector<std::string> lines = Lines(output);
        for (const std::string& want : ex.prints)
            EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << "missing: " << want << "\n" << output;
        // Lines that mean a word of the guide no longer does what the guide says.
        for (const std::string& l : lines)
            if (StartsWith(l, "Error - ") || StartsWith(l, "PARSE SCRIPT: ") || StartsWith(l, "DAE not saved") ||
                l.find("Sanitizer") != std::string::npos)
                ADD_FAILURE() << "complaint: " << l;
    }

private:
    size_t which_;
};

// One test per example, named after it, registered before the tests run.
const bool registered = [] {
    const Guide& guide = TheGuide();
    for (size_t i = 0; i < guide.examples.size(); ++i) {
        std::string name = guide.examples[i].name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        ::testing::RegisterTest("ReadmeExamples", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                [i]() -> ::testing::Test* { return new GuideExampleTest(i); });
    }
    return true;
}();

// Every topic of the guide keeps a runnable example naming what it makes, and
// the set-up commands stay near the top: a broken fence would silently drop them.
TEST(ReadmeGuide, HasItsExamplesAndSetUpCommands) {
    const Guide& guide = TheGuide();
    const std::string head = ReadText(std::string(VORDA_SOURCE_DIR) + "/README.md").substr(0, 1500);
    EXPECT_NE(head.find("\n    make demo "), std::string::npos);
    EXPECT_NE(head.find("\n    make test "), std::string::npos);
    std::string names = " ";
    for (const GuideExample& ex : guide.examples) {
        names += ex.name + " ";
        EXPECT_FALSE(ex.makes.empty()) << ex.name;
        EXPECT_NE(ex.script.find("vorda"), std::string::npos) << ex.name;
    }
    for (const char* name : {"one-model", "mirror-tree", "params-file", "script", "word-list-script",
                             "verbose-textures", "parallel-xargs"})
        EXPECT_NE(names.find(std::string(" ") + name + " "), std::string::npos) << name;
    std::string files = " ";
    for (const auto& file : guide.files) files += file.first + " ";
    for (const char* file : {"mirror.params", "batch.script", "rows.script"})
        EXPECT_NE(files.find(std::string(" ") + file + " "), std::string::npos) << file;
}

}  // namespace
