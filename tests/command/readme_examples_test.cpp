// Runs every example of the user guide (README.md) the way a reader would: in
// an empty folder, from a shell, with `vorda` on the PATH. So the guide cannot
// drift from the tool: a renamed word, a changed file name or a changed
// message makes one of these tests fail.
//
// The guide marks what is run: a fenced "sh" block whose first line is
// "# example: NAME", with the directive lines
//   # needs: PATH...     sample models to generate before the block runs
//   # makes: PATH...     files that must exist afterwards
//   # prints: LINE       a line that must appear in the output
//   # requires: TOOL     skip the block when TOOL is not installed
// and fenced "text" blocks whose first line is "# file: NAME" are files the
// examples use (written into every example's folder).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/command/guide_support.h"

namespace fs = std::filesystem;
using namespace guide;

namespace {

struct GuideFile {
    std::string name;
    std::string text;
};

struct GuideExample {
    std::string name;
    int line = 0;  // line of the opening fence, for messages
    std::string script;
    std::vector<std::string> needs, makes, prints, tools;
};

struct Guide {
    bool read = false;
    std::vector<GuideFile> files;
    std::vector<GuideExample> examples;
};

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

Guide ParseGuide(const std::string& text) {
    Guide guide;
    guide.read = true;
    std::vector<std::string> lines;
    {
        std::istringstream in(text);
        std::string l;
        while (std::getline(in, l)) lines.push_back(l);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWith(lines[i], "```")) continue;
        const std::string tag = Trim(lines[i].substr(3));
        const int fenceLine = int(i) + 1;
        std::vector<std::string> body;
        size_t j = i + 1;
        while (j < lines.size() && !StartsWith(lines[j], "```")) body.push_back(lines[j++]);
        i = j;  // the closing fence
        if (body.empty()) continue;
        if (tag == "text" && StartsWith(body[0], "# file:")) {
            GuideFile file;
            file.name = Trim(body[0].substr(7));
            for (const std::string& l : body) file.text += l + "\n";
            guide.files.push_back(file);
        } else if (tag == "sh" && StartsWith(body[0], "# example:")) {
            GuideExample ex;
            ex.name = Trim(body[0].substr(10));
            ex.line = fenceLine;
            for (const std::string& l : body) {
                if (StartsWith(l, "# needs:")) {
                    for (auto& w : Words(l.substr(8))) ex.needs.push_back(w);
                } else if (StartsWith(l, "# makes:")) {
                    for (auto& w : Words(l.substr(8))) ex.makes.push_back(w);
                } else if (StartsWith(l, "# prints:")) {
                    ex.prints.push_back(Trim(l.substr(9)));
                } else if (StartsWith(l, "# requires:")) {
                    for (auto& w : Words(l.substr(11))) ex.tools.push_back(w);
                }
                ex.script += l + "\n";
            }
            guide.examples.push_back(ex);
        }
    }
    return guide;
}

const Guide& TheGuide() {
    static const Guide guide = [] {
        std::ifstream in(std::string(VORDA_SOURCE_DIR) + "/README.md", std::ios::binary);
        if (!in) return Guide{};
        std::stringstream text;
        text << in.rdbuf();
        return ParseGuide(text.str());
    }();
    return guide;
}

bool HasLine(const std::string& output, const std::string& line) {
    std::istringstream in(output);
    std::string l;
    while (std::getline(in, l))
        if (l == line) return true;
    return false;
}

// Lines that mean a word of the guide no longer does what the guide says.
std::vector<std::string> ComplaintLines(const std::string& output) {
    std::vector<std::string> out;
    std::istringstream in(output);
    std::string l;
    while (std::getline(in, l)) {
        if (StartsWith(l, "Error - ") || StartsWith(l, "PARSE SCRIPT: ") || StartsWith(l, "DAE not saved") ||
            l.find("Sanitizer") != std::string::npos)
            out.push_back(l);
    }
    return out;
}

class GuideExampleTest : public ::testing::Test {
public:
    explicit GuideExampleTest(size_t which) : which_(which) {}
    void TestBody() override {
        const Guide& guide = TheGuide();
        ASSERT_LT(which_, guide.examples.size());
        const GuideExample& ex = guide.examples[which_];
        SCOPED_TRACE("README.md line " + std::to_string(ex.line) + ", example " + ex.name);
        for (const std::string& tool : ex.tools)
            if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";

        ScratchFolder work;
        ScratchFolder bin;
        std::error_code ec;
        fs::create_symlink(VORDA_BINARY, fs::path(bin.path) / "vorda", ec);
        ASSERT_FALSE(ec) << ec.message();
        for (const GuideFile& f : guide.files)
            ASSERT_TRUE(WriteTextFile((fs::path(work.path) / f.name).string(), f.text)) << f.name;
        for (const std::string& need : ex.needs)
            ASSERT_TRUE(WriteSampleModel((fs::path(work.path) / need).string())) << need;
        const std::string script = (fs::path(bin.path) / "example.sh").string();
        ASSERT_TRUE(WriteTextFile(script, ex.script));

        std::string output;
        int status = RunInShell(work.path, "PATH=" + ShellQuote(bin.path) + ":\"$PATH\" sh -e " + ShellQuote(script),
                                output);
        EXPECT_EQ(status, 0) << output;
        // VORDA_SHOW_OUTPUT=1 shows what each example printed, to update the guide.
        if (std::getenv("VORDA_SHOW_OUTPUT")) std::printf("%s", output.c_str());
        for (const std::string& made : ex.makes) {
            const fs::path p = fs::path(work.path) / made;
            EXPECT_TRUE(fs::is_regular_file(p, ec) && fs::file_size(p, ec) > 0) << made << " not made\n" << output;
            if (p.extension() == ".dae" && fs::is_regular_file(p, ec)) {
                std::ifstream in(p, std::ios::binary);
                std::stringstream text;
                text << in.rdbuf();
                EXPECT_NE(text.str().find("<COLLADA"), std::string::npos) << made << " is no COLLADA document";
            }
        }
        for (const std::string& line : ex.prints) EXPECT_TRUE(HasLine(output, line)) << "missing: " << line << "\n" << output;
        for (const std::string& line : ComplaintLines(output)) ADD_FAILURE() << "complaint: " << line;
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
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        ::testing::RegisterTest("ReadmeExamples", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                [i]() -> ::testing::Test* { return new GuideExampleTest(i); });
    }
    return true;
}();

TEST(ReadmeGuide, HasItsExamplesAndSetUpCommands) {
    const Guide& guide = TheGuide();
    ASSERT_TRUE(guide.read) << "README.md not found";
    // The guide's promise to a new user: these two, near the top.
    std::ifstream in(std::string(VORDA_SOURCE_DIR) + "/README.md");
    std::string head, l;
    for (int n = 0; n < 25 && std::getline(in, l); ++n) head += l + "\n";
    EXPECT_NE(head.find("    make demo"), std::string::npos);
    EXPECT_NE(head.find("    make test"), std::string::npos);

    // Every topic of the guide keeps a runnable example; a broken fence would
    // silently drop them.
    const char* expected[] = {"one-model", "mirror-tree", "params-file", "script",
                              "word-list-script", "verbose-textures", "parallel-xargs"};
    for (const char* name : expected) {
        SCOPED_TRACE(name);
        bool found = false;
        for (const GuideExample& ex : guide.examples) found = found || ex.name == name;
        EXPECT_TRUE(found);
    }
    for (const GuideExample& ex : guide.examples) {
        SCOPED_TRACE(ex.name);
        EXPECT_FALSE(ex.makes.empty()) << "an example must name what it makes";
        EXPECT_NE(ex.script.find("vorda"), std::string::npos);
    }
    for (const char* file : {"mirror.params", "batch.script", "rows.script"}) {
        bool found = false;
        for (const GuideFile& f : guide.files) found = found || f.name == file;
        EXPECT_TRUE(found) << file;
    }
}

TEST(ReadmeGuide, ParserReadsMarkedBlocksOnly) {
    const Guide g = ParseGuide(
        "text\n"
        "```sh\n# example: a\n# needs: x.zem y/z.zem\n# makes: o.dae\n# prints: Saving o.dae\nvorda w\n```\n"
        "```sh\nvorda not-marked\n```\n"
        "```text\n# file: f.txt\nline\n```\n"
        "```text\nnot a file\n```\n"
        "```sh\n# example: b\n# requires: parallel\necho\n```\n");
    ASSERT_EQ(g.examples.size(), 2u);
    EXPECT_EQ(g.examples[0].name, "a");
    EXPECT_EQ(g.examples[0].needs, (std::vector<std::string>{"x.zem", "y/z.zem"}));
    EXPECT_EQ(g.examples[0].makes, (std::vector<std::string>{"o.dae"}));
    EXPECT_EQ(g.examples[0].prints, (std::vector<std::string>{"Saving o.dae"}));
    EXPECT_EQ(g.examples[0].line, 2);
    EXPECT_EQ(g.examples[1].tools, (std::vector<std::string>{"parallel"}));
    ASSERT_EQ(g.files.size(), 1u);
    EXPECT_EQ(g.files[0].name, "f.txt");
    EXPECT_EQ(g.files[0].text, "# file: f.txt\nline\n");
}

TEST(ReadmeGuide, HasLineMatchesWholeLines) {
    EXPECT_TRUE(HasLine("Converting a.zem\nSaving b.dae\n", "Saving b.dae"));
    EXPECT_TRUE(HasLine("Converting a.zem\nSaving b.dae", "Saving b.dae"));
    EXPECT_TRUE(HasLine("Saving b.dae\n", "Saving b.dae"));
    EXPECT_FALSE(HasLine("Saving b.dae.x\n", "Saving b.dae"));
    EXPECT_FALSE(HasLine("xSaving b.dae\n", "Saving b.dae"));
}

}  // namespace
