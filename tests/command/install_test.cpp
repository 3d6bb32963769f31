// The installed tool, as a user gets it from `make package` (a Debian package
// built by cpack, which installs what `make install` does), run on the sample
// model from outside the build tree.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/test_util.h"

namespace fs = std::filesystem;

namespace {

// The usage lines without words, then one conversion of the sample.
void ExpectToolWorks(const std::string& vorda) {
    ASSERT_TRUE(fs::is_regular_file(vorda)) << vorda;
    TempFolder work;
    RunResult run = RunProcess({vorda}, work.Path());
    EXPECT_EQ(run.status, 255) << run.output;
    EXPECT_EQ(run.output, "VORDA [-]action [[-]params]\n-- 1.0\nRun 'vorda help' for the words and an example.\n");
    ASSERT_TRUE(WriteSampleModel(work.File("models/sample.zem")));
    run = RunProcess({vorda, "$CONVERT_IN=models/sample.zem", "$CONVERT_OUT=out/sample.dae", "do=convert"}, work.Path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "Converting models/sample.zem\nSaving out/sample.dae\n");
    const std::string dae = ReadText(work.File("out/sample.dae"));
    EXPECT_NE(dae.find("<COLLADA"), std::string::npos);
    EXPECT_NE(dae.find("HOLD_ANIM"), std::string::npos);  // the clips of the MAD file made it in
    for (const char* texture : {"hull_DIFF.TGA", "hull_NORM.TGA", "canopy_DIFF.TGA"})
        EXPECT_TRUE(fs::is_regular_file(work.File("out/") + texture)) << texture;
}

TEST(Install, DebianPackageHoldsTheToolAndItsDependencies) {
    if (RunShell("command -v dpkg-deb").status != 0) GTEST_SKIP() << "dpkg-deb is not installed";
    TempFolder out;
    RunResult run = RunShell(ShellQuote(VORDA_CPACK_COMMAND) + " -G DEB --config " +
                             ShellQuote(std::string(VORDA_BUILD_DIR) + "/CPackConfig.cmake") + " -B " + ShellQuote(out.Path()),
                             out.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<std::string> debs;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        if (entry.path().extension() == ".deb") debs.push_back(entry.path().string());
    ASSERT_EQ(debs.size(), 1u) << run.output;
    EXPECT_EQ(fs::path(debs[0]).filename().string().rfind("vorda_", 0), 0u) << debs[0];
    run = RunShell("dpkg-deb -f " + ShellQuote(debs[0]) + " Package");
    EXPECT_EQ(run.output, "vorda\n");

    // The package must name the Debian packages holding the libraries the tool
    // names itself (its NEEDED entries), or dpkg -i leaves a tool that cannot
    // start; the sanitizer runtimes belong to the test build only. Usr-merged
    // systems list a library under /lib or /usr/lib: try both. Prints the count
    // of owners, then the owners missing from Depends.
    const std::string bin = ShellQuote(VORDA_BINARY);
    run = RunShell(
        "dpkg-deb -f " + ShellQuote(debs[0]) + " Depends | sed 's/([^)]*)//g' | tr -d ' ' | tr ',' '\\n' |"
        " sort -u > depends; for name in $(readelf -d " + bin +
        " | sed -n 's/.*Shared library: \\[\\(.*\\)\\]/\\1/p'); do"
        " lib=$(ldd " + bin + " | awk -v n=\"$name\" '$1 == n {print $3}'); real=$(readlink -f \"$lib\");"
        " dpkg -S \"$lib\" 2>/dev/null || dpkg -S \"$real\" 2>/dev/null ||"
        " dpkg -S \"${real#/usr}\" 2>/dev/null || echo \"UNOWNED $name:\"; done | cut -d: -f1 |"
        " grep -v '^lib[a-z]*san' | sort -u > owners; wc -l < owners; comm -23 owners depends",
        out.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string& output = run.output;
    EXPECT_GE(std::atoi(output.c_str()), 5) << "libc, libstdc++, libgcc, TinyXML and libsquish expected";
    EXPECT_EQ(output.substr(output.find('\n') + 1), "") << "missing from Depends: " << ReadText(out.File("depends"));

    // What dpkg -i would put in place, unpacked without touching the system.
    TempFolder root;
    ASSERT_EQ(RunShell("dpkg-deb -x " + ShellQuote(debs[0]) + " .", root.Path()).status, 0);
    ExpectToolWorks(root.File("usr/bin/vorda"));
}

}  // namespace

// `make demo`'s script on this build: the sample as DAE and GLB, and the
// names of the files to open, each with the packages that read it.
TEST(Install, DemoWritesTheDaeAndTheGlbAndSaysWhereToOpenThem) {
    TempFolder work;
    const RunResult run = RunShell("sh " + ShellQuote(std::string(VORDA_SOURCE_DIR) + "/scripts/demo.sh") + " " +
                                       ShellQuote(VORDA_BUILD_DIR),
                                   work.Path(), kToolSeconds);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadText(work.File("out/sample.glb")).compare(0, 4, "glTF"), 0) << run.output;
    EXPECT_NE(ReadText(work.File("out/sample.dae")).find("<COLLADA"), std::string::npos) << run.output;
    EXPECT_EQ(CountLines(run.output, "glTF file:    out/sample.glb  (open this in Blender 4.2 or later, Godot, three.js)\n"),
              1u) << run.output;
    EXPECT_EQ(CountLines(run.output, "DAE document: out/sample.dae  (for packages that read COLLADA)\n"), 1u)
        << run.output;
}
