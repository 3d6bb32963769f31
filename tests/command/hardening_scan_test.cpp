// One scan over a tree of 200 damaged models and a few good ones, as the tool
// meets old and modded game folders: it must finish normally, report the
// damaged files, write a well-formed document for every model it converts,
// and convert the good models exactly as it does when they are alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "command_test_util.h"
#include "hardening_support.h"
#include "sample/sample_model.h"

namespace {

namespace fs = std::filesystem;

// Offsets of chunk headers: four upper-case letters or digits (or "MAD ")
// followed by a length that fits in the file.
std::vector<size_t> ChunkHeaders(const std::vector<unsigned char>& b) {
    std::vector<size_t> at;
    auto tag = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' '; };
    for (size_t i = 0; i + 8 <= b.size(); ++i) {
        if (!(tag(b[i]) && tag(b[i + 1]) && tag(b[i + 2]) && tag(b[i + 3]))) continue;
        const uint32_t length = uint32_t(b[i + 4]) << 24 | uint32_t(b[i + 5]) << 16 | uint32_t(b[i + 6]) << 8 | b[i + 7];
        if (length <= b.size() - i - 8) at.push_back(i);
    }
    return at;
}

// One mutation of a good file, chosen by kind; the generator is seeded, so
// the tree is the same on every run.
std::vector<unsigned char> Mutate(std::vector<unsigned char> b, int kind, std::mt19937& rng) {
    auto pick = [&](size_t n) { return size_t(rng() % (n ? n : 1)); };
    const std::vector<size_t> headers = ChunkHeaders(b);
    switch (kind) {
        case 0:  // cut at a random point
            b.resize(8 + pick(b.size() - 8));
            break;
        case 1:  // flip bits of a few bytes
            for (int i = 0, n = 1 + int(pick(4)); i < n; ++i) b[pick(b.size())] ^= uint8_t(1 + pick(255));
            break;
        case 2:  // patch runs of 0x00 or 0xFF
            for (int i = 0, n = 1 + int(pick(3)); i < n; ++i) {
                const size_t at = pick(b.size());
                const uint8_t value = rng() & 1 ? 0xFF : 0x00;
                for (size_t k = at; k < b.size() && k < at + 1 + pick(4); ++k) b[k] = value;
            }
            break;
        case 3: {  // inflate a little-endian 32-bit value (most are counts)
            const size_t at = pick(b.size() - 4) & ~size_t(3);
            const uint32_t big[] = {0x7FFFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0x0000FFFFu, 0x80000000u};
            const uint32_t v = big[pick(5)];
            for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(v >> (8 * k));
            break;
        }
        default: {  // a chunk length with the top bit set, or grown past its parent
            if (headers.empty()) break;
            const size_t at = headers[pick(headers.size())];
            if (rng() & 1) b[at + 4] |= 0x80;
            else b[at + 5] = uint8_t(b[at + 5] + 1 + pick(200));
            break;
        }
    }
    return b;
}

std::vector<std::string> FilesUnder(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(HardeningScan, DamagedTreeConvertsAndGoodModelsMatchTheirLoneConversion) {
    TempFolder folder;
    const std::vector<unsigned char> sample = BuildZem(*BuildSampleModel());
    const std::vector<unsigned char> sampleMad = BuildMad(*BuildSampleAnimation());
    Model plain;
    plain.version = 512;
    auto joint = std::make_unique<Joint>();
    joint->name.Set("Root");
    plain.joints.push_back(std::move(joint));
    const std::vector<unsigned char> small = BuildZem(plain);

    for (const char* sub : {"tree/good", "tree/d0", "tree/d1", "tree/d2", "tree/d3", "tree/d4", "tree/d5", "tree/d6",
                            "tree/d7", "tree/d8", "tree/d9"})
        fs::create_directories(folder.File(sub));
    std::mt19937 rng(20261206);
    const int kDamaged = 200;
    for (int i = 0; i < kDamaged; ++i) {
        const std::string base = "tree/d" + std::to_string(i % 10) + "/m" + std::to_string(i);
        SaveBytes(folder.File(base + ".zem"), Mutate(i % 7 == 6 ? small : sample, i % 5, rng));
        // Every third model has a MAD beside it, damaged every other time.
        if (i % 3 == 0) SaveBytes(folder.File(base + ".MAD"), i % 2 ? Mutate(sampleMad, i % 5, rng) : sampleMad);
    }
    const std::vector<std::string> good = {"tree/good/ship", "tree/good/plain", "tree/d3/zz_ship"};
    SaveBytes(folder.File(good[0] + ".zem"), sample);
    SaveBytes(folder.File(good[0] + ".MAD"), sampleMad);
    SaveBytes(folder.File(good[1] + ".zem"), small);
    SaveBytes(folder.File(good[2] + ".zem"), sample);

    const std::string params =
        "$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],$CONVERT_OUT=out/$[SCAN_REL_PATH]/$[SCAN_FILE].dae,do=convert";
    ToolRun run = RunToolLimited({"setmask=*.zem", params, "scan=tree"}, folder.Path(), 0, 120);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.status, 1) << run.output.substr(run.output.size() > 4000 ? run.output.size() - 4000 : 0);
    ASSERT_NE(run.output.find("Converting "), std::string::npos) << run.output;

    // Every model was attempted; damaged ones are reported, good ones not.
    size_t converting = 0, saving = 0, damaged = 0;
    std::set<std::string> reported;
    for (size_t pos = 0; pos < run.output.size();) {
        size_t end = run.output.find('\n', pos);
        if (end == std::string::npos) end = run.output.size();
        const std::string line = run.output.substr(pos, end - pos);
        converting += line.rfind("Converting ", 0) == 0;
        saving += line.rfind("Saving ", 0) == 0;
        if (line.rfind("ALERT: Damaged model file ", 0) == 0) {
            ++damaged;
            reported.insert(line);
        }
        pos = end + 1;
    }
    EXPECT_EQ(converting, size_t(kDamaged) + good.size());
    // Flipped bits inside float data damage nothing the readers can see.
    EXPECT_GT(damaged, size_t(kDamaged) / 3);
    for (const std::string& g : good)
        EXPECT_EQ(run.output.find("ALERT: Damaged model file " + g), std::string::npos) << g;

    // A well-formed document for every model converted.
    std::vector<std::string> daes;
    for (const std::string& f : FilesUnder(folder.File("out")))
        if (fs::path(f).extension() == ".dae") daes.push_back(folder.File("out/" + f));
    EXPECT_GE(daes.size(), good.size());
    EXPECT_LE(daes.size(), saving);
    EXPECT_EQ(StrictXmlErrors(daes), "");
    for (const std::string& f : FilesUnder(folder.File("out"))) EXPECT_EQ(f.find(".saving"), std::string::npos) << f;

    // Each good model alone, into its own folder: the same files, byte for byte.
    for (const std::string& g : good) {
        SCOPED_TRACE(g);
        const std::string rel = fs::path(g).parent_path().string().substr(5);  // below "tree/"
        const std::string stem = fs::path(g).filename().string();
        ToolRun alone = RunToolLimited({"$CONVERT_IN=" + g + ".zem", "$CONVERT_OUT=alone/" + rel + "/" + stem + ".dae",
                                        "do=convert"},
                                       folder.Path());
        ASSERT_EQ(alone.status, 0) << alone.output;
        EXPECT_EQ(alone.output.find("ALERT: Damaged"), std::string::npos) << alone.output;
        const std::string aloneDae = folder.File("alone/" + rel + "/" + stem + ".dae");
        const std::string treeDae = folder.File("out/" + rel + "/" + stem + ".dae");
        ASSERT_FALSE(FileBytes(aloneDae).empty());
        EXPECT_TRUE(FileBytes(aloneDae) == FileBytes(treeDae));
        for (const std::string& f : FilesUnder(folder.File("alone/" + rel))) {
            if (fs::path(f).extension() != ".tga") continue;
            // Textures of models sharing the folder are named after their own
            // images; compare the ones this model wrote.
            EXPECT_TRUE(FileBytes(folder.File("alone/" + rel + "/" + f)) == FileBytes(folder.File("out/" + rel + "/" + f)))
                << f;
        }
        fs::remove_all(folder.File("alone"));
    }
}

}  // namespace
