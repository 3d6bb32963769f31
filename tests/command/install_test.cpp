// The installed tool, as a user gets it: `make install` (cmake --install into
// a prefix) and `make package` (a Debian package built by cpack), each then
// run on the sample model from outside the build tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/command/guide_support.h"

namespace fs = std::filesystem;

namespace {

// Runs the tool found at vorda on the sample in a fresh folder: the usage
// lines without words, then one conversion.
void ExpectToolWorks(const std::string& vorda) {
    ASSERT_TRUE(fs::is_regular_file(vorda)) << vorda;
    ScratchFolder work;
    std::string output;
    EXPECT_EQ(RunInShell(work.path, ShellQuote(vorda), output), 255) << output;
    EXPECT_EQ(output, "VORDA [-]action [[-]params]\n-- 1.0\n");

    ASSERT_TRUE(WriteSampleModel(work.path + "/models/sample.zem"));
    const int status = RunInShell(
        work.path, ShellQuote(vorda) + " '$CONVERT_IN=models/sample.zem' '$CONVERT_OUT=out/sample.dae' do=convert",
        output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "Converting models/sample.zem\nSaving out/sample.dae\n");
    std::error_code ec;
    EXPECT_GT(fs::file_size(work.path + "/out/sample.dae", ec), 0u) << ec.message();
    EXPECT_TRUE(fs::is_regular_file(work.path + "/out/sample_DIFF.TGA"));
}

TEST(Install, IntoAPrefixGivesAWorkingTool) {
    ScratchFolder prefix;
    std::string output;
    const int status = RunInShell(prefix.path,
                                  ShellQuote(VORDA_CMAKE_COMMAND) + " --install " + ShellQuote(VORDA_BUILD_DIR) +
                                      " --prefix " + ShellQuote(prefix.path),
                                  output);
    ASSERT_EQ(status, 0) << output;
    ExpectToolWorks(prefix.path + "/bin/vorda");
}

TEST(Install, DebianPackageHoldsTheToolAndItsDependencies) {
    if (!HaveProgram("dpkg-deb")) GTEST_SKIP() << "dpkg-deb is not installed";
    ScratchFolder out;
    std::string output;
    int status = RunInShell(out.path,
                            ShellQuote(VORDA_CPACK_COMMAND) + " -G DEB --config " +
                                ShellQuote(std::string(VORDA_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                                ShellQuote(out.path),
                            output);
    ASSERT_EQ(status, 0) << output;
    std::vector<std::string> debs;
    for (const auto& entry : fs::directory_iterator(out.path))
        if (entry.path().extension() == ".deb") debs.push_back(entry.path().string());
    ASSERT_EQ(debs.size(), 1u) << output;
    EXPECT_EQ(fs::path(debs[0]).filename().string().rfind("vorda_", 0), 0u) << debs[0];

    // The package must name the Debian packages that hold the libraries the
    // tool is linked with, or dpkg -i leaves a tool that cannot start.
    ASSERT_EQ(RunInShell(out.path, "dpkg-deb -f " + ShellQuote(debs[0]) + " Package Depends", output), 0) << output;
    EXPECT_NE(output.find("Package: vorda"), std::string::npos) << output;
    ASSERT_EQ(RunInShell(out.path,
                         "for lib in $(ldd " + ShellQuote(VORDA_BINARY) +
                             " | awk '/tinyxml|squish/ {print $3}'); do"
                             " dpkg -S \"$(readlink -f \"$lib\")\" 2>/dev/null || dpkg -S \"$lib\"; done"
                             " | cut -d: -f1 | sort -u",
                         output),
              0);
    std::string depends;
    RunInShell(out.path, "dpkg-deb -f " + ShellQuote(debs[0]) + " Depends", depends);
    size_t owners = 0;
    for (size_t at = 0; at < output.size();) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string owner = output.substr(at, end - at);
        at = end + 1;
        if (owner.empty()) continue;
        ++owners;
        EXPECT_NE(depends.find(owner), std::string::npos) << owner << " missing from Depends: " << depends;
    }
    EXPECT_EQ(owners, 2u) << "expected the owners of the TinyXML and libsquish libraries, got:\n" << output;

    // What dpkg -i would put in place, unpacked without touching the system.
    ScratchFolder root;
    ASSERT_EQ(RunInShell(root.path, "dpkg-deb -x " + ShellQuote(debs[0]) + " .", output), 0) << output;
    ExpectToolWorks(root.path + "/usr/bin/vorda");
}

}  // namespace
