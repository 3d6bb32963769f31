// What a user sees when something goes wrong: every failure prints one line
// naming the file and the reason, the exit status is 1 when anything failed
// (0 when all went well), and a run of several conversions ends with one
// summary line a script can grep.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <random>

#include "tests/support/test_util.h"

namespace fs = std::filesystem;

namespace {

std::string SampleBytes(size_t cut = std::string::npos) {
    const std::vector<unsigned char> zem = BuildZem(*BuildSampleModel());
    return std::string(zem.begin(), zem.begin() + std::min(cut, zem.size()));
}

// An output folder the tool cannot write into: a read-only file system when
// this sandbox lets one be mounted (root ignores permissions), else a folder
// without write permission. Returns the reason the system will give, or ""
// when neither can be had.
std::string MakeReadOnlyFolder(const std::string& path) {
    fs::create_directories(path);
    if (::geteuid() != 0) return ::chmod(path.c_str(), 0555) == 0 ? "Permission denied" : "";
    return mount("tmpfs", path.c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0 ? "Read-only file system" : "";
}

}  // namespace

// One bad input per row, each in a folder holding the sample as ships/hull.zem
// with its ships/hull.MAD: the line it prints (exactly once, followed by the
// line naming the damaged part for a damaged file) and the exit status.
TEST(FailureReport, EveryBadInputPrintsItsLineAndFailsTheRun) {
    struct Row {
        const char* name;
        std::function<void(TempFolder&)> setUp;
        std::vector<std::string> words;
        std::string line;  // "REASON" stands for the read-only folder's reason
        std::string next = "";
    };
    const auto write = [](const char* path, const std::string& bytes) {
        return [=](TempFolder& t) { t.Write(path, bytes); };
    };
    std::mt19937 rng(12);
    std::string noise(600, '\0');
    for (char& c : noise) c = char(rng());
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 29);
    const Bytes mad = BuildMad(*BuildSampleAnimation());
    const Row rows[] = {
        {"missing file", nullptr, {"missing.zem"}, "Error - Cannot read model file missing.zem - No such file or directory"},
        {"zero bytes", write("empty.zem", ""), {"empty.zem"}, "Error - Not a model file empty.zem - the file is empty"},
        {"random bytes", write("noise.zem", noise), {"$CONVERT_IN=noise.zem", "$CONVERT_OUT=o.dae", "do=convert"},
         "Error - Not a model file noise.zem - no model header"},
        {"PNG renamed", write("picture.zem", png), {"picture.zem"}, "Error - Not a model file picture.zem - no model header"},
        {"cut at 4", write("cut4.zem", SampleBytes(4)), {"cut4.zem"}, "Error - Not a model file cut4.zem - no model header"},
        {"cut at 12", write("cut12.zem", SampleBytes(12)), {"cut12.zem"},
         "Error - Not a model file cut12.zem - no model header"},
        {"cut in the middle", write("half.zem", SampleBytes(SampleBytes().size() / 2)), {"half.zem"},
         "ALERT: Damaged model file half.zem - converting what could be read",
         " - Damaged: multi mesh [Hull] and 2 more parts"},
        {"folder as input", [](TempFolder& t) { fs::create_directory(t.File("folder.zem")); }, {"folder.zem"},
         "Error - Cannot read model file folder.zem - Is a directory"},
        {"params file", nullptr, {"params=nosuch.params"},
         "Error - Cannot read params file nosuch.params - No such file or directory"},
        {"script file", nullptr, {"script=nosuch.script"},
         "Error - Cannot read script file nosuch.script - No such file or directory"},
        {"scan folder", nullptr, {"scan=nosuchdir"}, "Error - Cannot scan folder nosuchdir - No such file or directory"},
        {"unknown action", nullptr, {"do=convrt"}, "Error - Unknown action - do=convrt"},
        {"unknown option", nullptr, {"$DAE_OUT_OPT=verbose shiny", "ships/hull.zem"},
         "Error - Unknown option in DAE_OUT_OPT - shiny"},
        {"damaged MAD", write("ships/hull.MAD", std::string(mad.begin(), mad.begin() + long(mad.size() * 2 / 3))),
         {"ships/hull.zem"}, "ALERT: Damaged animation file ships/hull.MAD - converting what could be read",
         " - Damaged: the curve list (CURV) and 2 more parts"},
        {"empty MAD", write("ships/hull.MAD", ""), {"ships/hull.zem"},
         "ALERT: Not an animation file ships/hull.MAD - the file is empty - converting without animations"},
        {"MAD is a folder",
         [](TempFolder& t) { fs::remove(t.File("ships/hull.MAD")), fs::create_directory(t.File("ships/hull.MAD")); },
         {"ships/hull.zem"},
         "ALERT: Cannot read animation file ships/hull.MAD - Is a directory - converting without animations"},
        {"read-only output", nullptr, {"ships/hull.zem", "ro/hull.dae"}, "Error - Cannot write DAE file ro/hull.dae - REASON"},
        // The shorthand's output takes every extension the convert action writes.
        {"read-only GLB output", nullptr, {"ships/hull.zem", "ro/hull.GLB"}, "Error - Cannot write GLB file ro/hull.GLB - REASON"},
        {"read-only glTF output", nullptr, {"ships/hull.zem", "ro/hull.gltf"},
         "Error - Cannot write texture file ro/hull_DIFF.png - REASON"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder t;
        ASSERT_TRUE(WriteSampleModel(t.File("ships/hull.zem")));
        if (row.setUp) row.setUp(t);
        std::string line = row.line;
        const bool readOnly = line.find("REASON") != std::string::npos;
        if (readOnly) {
            const std::string reason = MakeReadOnlyFolder(t.File("ro"));
            if (reason.empty()) continue;  // no way to make a folder read-only here
            line.replace(line.find("REASON"), 6, reason);
        }
        const RunResult run = RunTool(row.words, t.Path());
        const std::string& out = run.output;
        if (readOnly && ::geteuid() == 0) umount(t.File("ro").c_str());
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_EQ(CountLines(out, line + "\n" + (row.next.empty() ? "" : row.next + "\n")), 1u) << out;
        EXPECT_EQ(out.find("Summary - "), std::string::npos) << out;  // one conversion at most
    }
}

// A scan over good and bad models: every model is attempted, the run ends
// with the summary line and status 1; the good ones alone give status 0.
TEST(FailureReport, ScanEndsWithTheSummaryAndTheStatus) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("tree/good/a.zem")));
    ASSERT_TRUE(WriteSampleModel(t.File("tree/good/sub/b.zem")));
    t.Write("tree/bad/empty.zem", "");
    t.Write("tree/bad/half.zem", SampleBytes(SampleBytes().size() / 2));
    t.Write("tree/bad/png.zem", "\x89PNG\r\n");
    fs::create_directories(t.File("tree/empty folder"));
    const auto scan = [&](const std::string& folder) {
        return RunTool({"setmask=*.zem", "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],$CONVERT_OUT=out/$[SCAN_REL_PATH]/"
                        "$[SCAN_FILE].dae,do=convert", "scan=" + folder}, t.Path());
    };
    RunResult run = scan("tree");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string& out = run.output;
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), "Summary - 5 models: 2 converted, 1 damaged, 2 failed\n");
    EXPECT_EQ(CountLines(out, "Error - Not a model file tree/bad/empty.zem - the file is empty\n"), 1u) << out;
    run = scan("tree/good");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(CountLines(run.output, "Summary - 2 models: 2 converted, 0 damaged, 0 failed\n"), 1u) << run.output;
    run = scan("tree/empty folder");  // an empty folder is no failure
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
}

// Two different models whose textures share names, converted into one folder
// in one run: the replaced texture is reported. Apart, or the same model
// twice, nothing is.
TEST(FailureReport, TextureReplacedByAnotherModelIsReported) {
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("a.zem")));
    std::unique_ptr<Model> other = BuildSampleModel();
    for (auto& image : other->images)
        for (unsigned char& byte : image->levels[0].data) byte = uint8_t(~byte);
    ASSERT_TRUE(SaveBytes(t.File("b.zem"), BuildZem(*other)));
    RunResult run = RunTool({"a.zem", "out/a.dae", "b.zem", "out/b.dae"}, t.Path());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(CountLines(run.output, "Error - Texture file out/hull_DIFF.TGA of a.zem replaced with other pixels of "
                                     "b.zem - convert them into separate folders\n"), 1u) << run.output;
    EXPECT_EQ(CountLines(run.output, "Summary - 2 models: 1 converted, 0 damaged, 1 failed\n"), 1u) << run.output;
    run = RunTool({"a.zem", "a/a.dae", "b.zem", "b/b.dae", "a.zem", "a/a.dae"}, t.Path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("Error"), std::string::npos) << run.output;
}
