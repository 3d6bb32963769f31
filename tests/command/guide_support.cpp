#include "tests/command/guide_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "sample/sample_model.h"
#include "tests/support/fixture_writer.h"

namespace fs = std::filesystem;

namespace guide {

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "vorda_guide_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    if (info) name += std::string("_") + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    path = (fs::path(::testing::TempDir()) / name).string();
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path, ec);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

static bool MakeParentFolders(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    return !ec;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    if (!MakeParentFolders(path)) return false;
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return SaveBytes(path, bytes);
}

bool WriteSampleModel(const std::string& path) {
    // The MAD file goes where the tool looks for it: the model's name with its
    // extension replaced by ".MAD".
    std::string mad = path;
    const size_t dot = mad.rfind('.');
    if (dot != std::string::npos && mad.find('/', dot) == std::string::npos) mad.resize(dot);
    mad += ".MAD";
    return MakeParentFolders(path) && SaveBytes(path, BuildZem(*BuildSampleModel())) &&
           SaveBytes(mad, BuildMad(*BuildSampleAnimation()));
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int RunInShell(const std::string& folder, const std::string& command, std::string& output) {
    output.clear();
    // Kept beside the folder, not in it, so the command never sees it.
    const std::string log = folder + ".log";
    const std::string line = "cd " + ShellQuote(folder) + " && ( " + command + " ) > " + ShellQuote(log) +
                             " 2>&1 < /dev/null";
    int status = std::system(line.c_str());
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    output = text.str();
    std::error_code ec;
    fs::remove(log, ec);
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool HaveProgram(const std::string& name) {
    const std::string line = "command -v " + ShellQuote(name) + " > /dev/null 2>&1";
    int status = std::system(line.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace guide
