// The MAD animation file: header chunk order, the string table, clips,
// curves, name sharing and curve links.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/model/read_checked.h"

namespace {

void PutBare(ByteWriter& w, const char* kind, const std::vector<unsigned char>& body) {
    size_t at = BeginBare(w, kind);
    PutBytes(w, body.data(), body.size());
    EndChunk(w, at);
}

std::vector<unsigned char> Text(const char* t) { return std::vector<unsigned char>(t, t + std::strlen(t)); }

std::vector<unsigned char> Words(std::initializer_list<uint32_t> words) {
    ByteWriter w;
    for (uint32_t v : words) PutU32(w, v);
    return w.bytes;
}

std::vector<unsigned char> Mad(const std::vector<std::pair<const char*, std::vector<unsigned char>>>& chunks) {
    ByteWriter w;
    size_t form = BeginForm(w, "MAD ");
    for (const auto& c : chunks) PutBare(w, c.first, c.second);
    EndChunk(w, form);
    return w.bytes;
}

// String table: "Gun_rotateY\0fire\0gun_ROTATEY\0" at offsets 0, 12, 17.
const char kTable[] = "Gun_rotateY\0fire\0gun_ROTATEY";
std::vector<unsigned char> Table() { return std::vector<unsigned char>(kTable, kTable + sizeof kTable); }

// One clip "fire" with one track named like curve 0 linking curves 0, 1, -1
// and 2; two curves: "Gun_rotateY" (2 keys with interpolation words) and
// "gun_ROTATEY" (1 key, none).
std::vector<unsigned char> Marks() {
    ByteWriter w;
    PutU32(w, 12);
    PutF32(w, 1);
    PutF32(w, 5);
    PutF32(w, 2);
    PutF32(w, 4);
    PutU32(w, 1);
    PutU32(w, 0);
    PutU32(w, 4);
    PutI32(w, 0);
    PutI32(w, 1);
    PutI32(w, -1);
    PutI32(w, 2);
    return w.bytes;
}

void PutKey(ByteWriter& w, double time, double value) {
    PutF64(w, time);
    PutF64(w, value);
    PutF32(w, 0.5f);
    PutF32(w, -0.5f);
    PutF32(w, 1.5f);
    PutF32(w, -1.5f);
}

std::vector<unsigned char> Curves() {
    ByteWriter w;
    PutU32(w, 0);
    PutU16(w, 2);
    PutU16(w, 1);
    PutKey(w, 0.0, 1.25);
    PutKey(w, 1.0 / 3.0, 2.5);
    PutU32(w, 11);
    PutU32(w, 22);
    PutU16(w, 0);
    PutU16(w, 3);
    PutU32(w, 17);
    PutU16(w, 1);
    PutU16(w, 0);  // flag clear: no interpolation words after the trailers
    PutKey(w, 9.0, 8.0);
    PutU32(w, 33);
    PutU32(w, 44);
    return w.bytes;
}

std::vector<std::pair<const char*, std::vector<unsigned char>>> WholeFile() {
    return {{"NAME", Text("Drelmarch2 MAD File")},
            {"VERS", Words({3})},
            {"INFO", Words({9, 1, 2, 8, 7})},
            {"STRI", Table()},
            {"MARK", Marks()},
            {"JUNK", Words({1, 2, 3})},
            {"CURV", Curves()}};
}

}  // namespace

TEST(ReadMad, WholeFileFields) {
    auto set = ReadMadChecked(Mad(WholeFile()));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->version, 3u);
    EXPECT_EQ(set->formatName.value, "Drelmarch2 MAD File");
    EXPECT_EQ(set->infoWord0, 9u);
    EXPECT_EQ(set->infoWord3, 8u);
    EXPECT_EQ(set->infoWord4, 7u);
    EXPECT_EQ(set->stringTable.size(), sizeof kTable + 1);

    ASSERT_EQ(set->clips.size(), 1u);
    const AnimationClip& clip = *set->clips[0];
    EXPECT_EQ(clip.name.value, "fire");
    EXPECT_EQ(clip.start, 1.0f);
    EXPECT_EQ(clip.end, 5.0f);
    EXPECT_EQ(clip.loopStart, 2.0f);
    EXPECT_EQ(clip.loopEnd, 4.0f);
    ASSERT_EQ(clip.tracks.size(), 1u);

    ASSERT_EQ(set->curves.size(), 2u);
    const AnimationCurve& c0 = *set->curves[0];
    EXPECT_EQ(c0.index, 0);
    EXPECT_EQ(c0.flags, 1);
    ASSERT_EQ(c0.keys.size(), 2u);
    EXPECT_EQ(c0.keys[1].time, 1.0 / 3.0);
    EXPECT_EQ(c0.keys[1].value, 2.5);
    EXPECT_EQ(c0.keys[1].inTangentY, -0.5f);
    EXPECT_EQ(c0.keys[1].outTangentX, 1.5f);
    EXPECT_EQ(c0.keys[0].interpolation, 0u);
    EXPECT_EQ(c0.keys[1].interpolation, 3u);
    EXPECT_EQ(c0.trailer1, 11u);
    EXPECT_EQ(c0.trailer2, 22u);
    const AnimationCurve& c1 = *set->curves[1];
    EXPECT_EQ(c1.index, 1);
    EXPECT_EQ(c1.name.value, "gun_ROTATEY");
    ASSERT_EQ(c1.keys.size(), 1u);
    EXPECT_EQ(c1.keys[0].time, 9.0);
    EXPECT_EQ(c1.keys[0].interpolation, 0u);
    EXPECT_EQ(c1.trailer2, 44u);
}

TEST(ReadMad, SharedNamesAndLinks) {
    auto set = ReadMadChecked(Mad(WholeFile()));
    ASSERT_TRUE(set);
    // "fire" (clip), "Gun_rotateY" (track and curve 0, and curve 1 in other case).
    ASSERT_EQ(set->names.size(), 2u);
    EXPECT_EQ(set->names[0].name.value, "fire");
    EXPECT_EQ(set->names[1].name.value, "Gun_rotateY");
    const ClipTrack& track = *set->clips[0]->tracks[0];
    EXPECT_EQ(set->clips[0]->nameIndex, 0);
    EXPECT_EQ(track.nameIndex, 1);
    EXPECT_EQ(set->curves[0]->nameIndex, 1);
    EXPECT_EQ(set->curves[1]->nameIndex, 1);

    const struct {
        int32_t index;
        const char* name;
        uint32_t connected;
    } want[] = {{0, "Gun_rotateY", 1}, {1, "gun_ROTATEY", 1}, {-1, "DISCONNECTED", 0}, {2, "DISCONNECTED", 0}};
    ASSERT_EQ(track.links.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(track.curveIndices[i], want[i].index);
        EXPECT_EQ(track.links[i].curveName.value, want[i].name);
        EXPECT_EQ(track.links[i].connected, want[i].connected);
    }
}

TEST(ReadMad, HeaderChunkOrders) {
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, std::vector<unsigned char>>> chunks;
        bool made;
        size_t clips;
    };
    auto whole = WholeFile();
    auto swapped = whole;
    std::swap(swapped[0], swapped[1]);
    auto lower = whole;
    lower[0].second = Text("DRELMARCH2 mad file");
    auto foreign = whole;
    foreign[0].second = Text("Drelmarch2 MAD Files");
    auto noVersion = whole;
    noVersion.erase(noVersion.begin() + 1);
    auto infoFirst = whole;  // INFO before the set exists has nowhere to go
    std::swap(infoFirst[0], infoFirst[2]);
    auto secondPair = whole;
    secondPair.push_back({"NAME", Text("Drelmarch2 MAD File")});
    secondPair.push_back({"VERS", Words({99})});
    secondPair.push_back({"INFO", Words({0, 0, 0, 0, 0})});
    auto foreignAfter = whole;
    foreignAfter.insert(foreignAfter.begin() + 4, {{"NAME", Text("x")}, {"VERS", Words({1})}});
    const Row rows[] = {
        {"name_then_version", whole, true, 1},
        {"version_then_name", swapped, true, 1},
        {"name_in_other_case", lower, true, 1},
        {"foreign_name", foreign, false, 0},
        {"no_version", noVersion, false, 0},
        {"info_before_name", infoFirst, true, 0},
        {"second_pair_keeps_set", secondPair, true, 1},
        {"foreign_pair_after_set_stops", foreignAfter, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto set = ReadMadChecked(Mad(row.chunks));
        ASSERT_EQ(bool(set), row.made);
        if (!set) continue;
        EXPECT_EQ(set->version, 3u);
        EXPECT_EQ(set->clips.size(), row.clips);
    }
}

TEST(ReadMad, FormHeaderRefusals) {
    std::vector<unsigned char> good = Mad(WholeFile());
    struct Row {
        const char* name;
        size_t at;
        unsigned char byte;
        bool made;
    };
    const Row rows[] = {
        {"not_form", 0, 'X', false},
        {"not_mad", 11, 'X', false},
        {"length_top_bit", 4, 0x80, false},
        {"length_below_type", 7, 0x02, false},
        {"length_past_file", 5, 0x7F, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> bytes = good;
        if (std::string(row.name) == "length_below_type") bytes[4] = bytes[5] = bytes[6] = 0;
        bytes[row.at] = row.byte;
        EXPECT_EQ(bool(ReadMadChecked(bytes)), row.made);
    }
    EXPECT_FALSE(ReadMadChecked({}));
    EXPECT_FALSE(ReadMadChecked(std::vector<unsigned char>(good.begin(), good.begin() + 11)));
}

TEST(ReadMad, DamagedRecords) {
    struct Row {
        const char* name;
        std::vector<unsigned char> info, marks, curves;
        size_t clips, tracks, links, curveCount, keys;
        const char* clipName;
    };
    ByteWriter hugeKeys;  // key count 65535 with one key stored
    PutU32(hugeKeys, 0);
    PutU16(hugeKeys, 0xFFFF);
    PutU16(hugeKeys, 1);
    PutKey(hugeKeys, 1, 2);
    ByteWriter farName;  // a name offset past the table, huge track and link counts
    PutU32(farName, 1000);
    for (int i = 0; i < 4; ++i) PutF32(farName, 0);
    PutU32(farName, 2);
    PutU32(farName, 5);
    PutU32(farName, 0xFFFFFFFFu);
    PutI32(farName, 0);
    const Row rows[] = {
        {"counts_past_chunks", Words({0, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0}), Marks(), Curves(), 1, 1, 4, 2, 2, "fire"},
        {"negative_counts", Words({0, 0xFFFFFFFFu, 0x80000000u, 0, 0}), Marks(), Curves(), 0, 0, 0, 0, 0, ""},
        {"key_count_past_chunk", Words({0, 0, 1, 0, 0}), {}, hugeKeys.bytes, 0, 0, 0, 1, 1, ""},
        {"name_offset_outside_table", Words({0, 1, 0, 0, 0}), farName.bytes, {}, 1, 1, 1, 0, 0, ""},
        {"short_info", Words({0, 1}), Marks(), Curves(), 1, 1, 4, 0, 0, "fire"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto set = ReadMadChecked(Mad({{"VERS", Words({3})},
                                       {"NAME", Text("Drelmarch2 MAD File")},
                                       {"INFO", row.info},
                                       {"STRI", Table()},
                                       {"MARK", row.marks},
                                       {"CURV", row.curves}}));
        ASSERT_TRUE(set);
        ASSERT_EQ(set->clips.size(), row.clips);
        EXPECT_EQ(set->clipCount, int32_t(row.clips));
        if (row.clips) {
            EXPECT_EQ(set->clips[0]->name.value, row.clipName);
            ASSERT_EQ(set->clips[0]->tracks.size(), row.tracks);
            EXPECT_EQ(set->clips[0]->tracks[0]->links.size(), row.links);
        }
        ASSERT_EQ(set->curves.size(), row.curveCount);
        EXPECT_EQ(set->curveCount, int32_t(row.curveCount));
        if (row.curveCount) {
            EXPECT_EQ(set->curves[0]->keys.size(), row.keys);
        }
    }
}

TEST(ReadMad, LongNamesAreCutAt511Bytes) {
    // Every record may name the same long string; cutting keeps the set's
    // size linear in the file's.
    AnimationSet in;
    auto curve = std::make_unique<AnimationCurve>();
    curve->name.Set(std::string(600, 'x') + "_rotateX");
    in.curves.push_back(std::move(curve));
    curve = std::make_unique<AnimationCurve>();
    curve->name.Set(std::string(511, 'y'));
    in.curves.push_back(std::move(curve));
    auto out = ReadMadChecked(BuildMad(in));
    ASSERT_TRUE(out);
    ASSERT_EQ(out->curves.size(), 2u);
    EXPECT_EQ(out->curves[0]->name.value, std::string(511, 'x'));
    EXPECT_EQ(out->curves[1]->name.value, std::string(511, 'y'));
}

TEST(ReadMad, FixtureRoundTrip) {
    AnimationSet in;
    in.version = 2;
    in.infoWord0 = 5;
    auto curve = std::make_unique<AnimationCurve>();
    curve->name.Set("Root:Hull_translateX");
    curve->flags = 1;
    for (int k = 0; k < 3; ++k) {
        CurveKey key;
        key.time = k;
        key.value = k * 0.5;
        key.interpolation = uint32_t(k);
        curve->keys.push_back(key);
    }
    in.curves.push_back(std::move(curve));
    auto clip = std::make_unique<AnimationClip>();
    clip->name.Set("Root:Hull_translateX");
    auto track = std::make_unique<ClipTrack>();
    track->name.Set("idle");
    track->curveIndices = {0, 5};
    clip->tracks.push_back(std::move(track));
    in.clips.push_back(std::move(clip));

    auto out = ReadMadChecked(BuildMad(in));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->version, 2u);
    EXPECT_EQ(out->infoWord0, 5u);
    ASSERT_EQ(out->curves.size(), 1u);
    ASSERT_EQ(out->curves[0]->keys.size(), 3u);
    EXPECT_EQ(out->curves[0]->keys[2].interpolation, 2u);
    EXPECT_EQ(out->curves[0]->keys[2].value, 1.0);
    ASSERT_EQ(out->names.size(), 2u);  // the clip shares the curve's name
    EXPECT_EQ(out->clips[0]->nameIndex, out->curves[0]->nameIndex);
    EXPECT_EQ(out->clips[0]->tracks[0]->links[1].curveName.value, "DISCONNECTED");
}

TEST(ReadMad, EveryTruncationStopsCleanly) {
    std::vector<unsigned char> whole = Mad(WholeFile());
    for (size_t len = 0; len < whole.size(); ++len) {
        SCOPED_TRACE(len);
        ReadMadChecked(std::vector<unsigned char>(whole.begin(), whole.begin() + long(len)));
    }
}

TEST(LoadMad, FromFile) {
    std::string path = testing::TempDir() + "vorda_load_mad_test.MAD";
    ASSERT_TRUE(SaveBytes(path, Mad(WholeFile())));
    auto set = LoadMad(path.c_str());
    ASSERT_TRUE(set);
    EXPECT_EQ(set->path.value, path);
    EXPECT_EQ(set->curves.size(), 2u);
    std::remove(path.c_str());
    EXPECT_FALSE(LoadMad(path.c_str()));
}
