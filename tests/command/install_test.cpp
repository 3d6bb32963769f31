// The installed tool, as a user gets it: `make install` (cmake --install into
// a prefix) and `make package` (a Debian package built by cpack), each then
// run on the sample model from outside the build tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/command/guide_support.h"

namespace fs = std::filesystem;
using namespace guide;

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
    EXPECT_EQ(output,
              "Converting models/sample.zem\nSaving out/sample.dae\n"
              "ALERT: Mapping STAT shader [glass] to shader map [] - not exact!!!\n");
    std::string dae;
    {
        std::ifstream in(work.path + "/out/sample.dae", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        dae = text.str();
    }
    EXPECT_NE(dae.find("<COLLADA"), std::string::npos);
    // The clips of the MAD file beside the model made it in.
    EXPECT_NE(dae.find("HOLD_ANIM"), std::string::npos);
    for (const char* texture : {"hull_DIFF.TGA", "hull_NORM.TGA", "canopy_DIFF.TGA"})
        EXPECT_TRUE(fs::is_regular_file(work.path + "/out/" + texture)) << texture;
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
    std::string depends;
    ASSERT_EQ(RunInShell(out.path, "dpkg-deb -f " + ShellQuote(debs[0]) + " Depends", depends), 0) << depends;
    std::vector<std::string> declared;
    for (size_t at = 0; at < depends.size();) {
        size_t end = depends.find_first_of(",\n", at);
        if (end == std::string::npos) end = depends.size();
        std::string name = depends.substr(at, end - at);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!name.empty()) declared.push_back(name);
        at = end + 1;
    }
    // Only the libraries the tool names itself (its NEEDED entries): the
    // ones those pull in are their own packages' dependencies. Usr-merged
    // systems list a library under /lib or /usr/lib, so try both.
    const std::string bin = ShellQuote(VORDA_BINARY);
    std::string owners;
    ASSERT_EQ(RunInShell(out.path,
                         "for name in $(readelf -d " + bin +
                             " | sed -n 's/.*Shared library: \\[\\(.*\\)\\]/\\1/p'); do"
                             " lib=$(ldd " + bin + " | awk -v n=\"$name\" '$1 == n {print $3}');"
                             " real=$(readlink -f \"$lib\");"
                             " dpkg -S \"$lib\" 2>/dev/null || dpkg -S \"$real\" 2>/dev/null ||"
                             " dpkg -S \"${real#/usr}\" 2>/dev/null || echo \"UNOWNED $name:\"; done"
                             " | cut -d: -f1 | sort -u",
                         owners),
              0);
    size_t checked = 0;
    for (size_t at = 0; at < owners.size();) {
        size_t end = owners.find('\n', at);
        if (end == std::string::npos) end = owners.size();
        const std::string owner = owners.substr(at, end - at);
        at = end + 1;
        // The sanitizer runtimes belong to the test build only.
        if (owner.empty() || owner.rfind("libasan", 0) == 0 || owner.rfind("libubsan", 0) == 0) continue;
        ++checked;
        bool found = false;
        for (const std::string& d : declared) found = found || d == owner;
        EXPECT_TRUE(found) << owner << " is missing from Depends: " << depends;
    }
    EXPECT_GE(checked, 5u) << "libc, libstdc++, libgcc, TinyXML and libsquish expected among:\n" << owners;

    // What dpkg -i would put in place, unpacked without touching the system.
    ScratchFolder root;
    ASSERT_EQ(RunInShell(root.path, "dpkg-deb -x " + ShellQuote(debs[0]) + " .", output), 0) << output;
    ExpectToolWorks(root.path + "/usr/bin/vorda");
}

}  // namespace
