// The MAD animation file: header chunk order, the string table, clips,
// curves, name sharing and curve links.
#include <gtest/gtest.h>

#include "tests/model/model_test_support.h"

namespace {

using Chunks = std::vector<std::pair<const char*, Bytes>>;

Bytes Text(const char* t) { return Bytes(t, t + std::strlen(t)); }

Bytes Mad(const Chunks& chunks) {
    ByteWriter w;
    size_t form = BeginForm(w, "MAD ");
    for (const auto& c : chunks) {
        size_t at = BeginBare(w, c.first);
        PutBytes(w, c.second.data(), c.second.size());
        EndChunk(w, at);
    }
    EndChunk(w, form);
    return w.bytes;
}

// String table: "Gun_rotateY\0fire\0gun_ROTATEY\0" at offsets 0, 12, 17.
const char kTable[] = "Gun_rotateY\0fire\0gun_ROTATEY";

// One clip "fire" (start 1, end 5, loop 2 to 4) with one track named like
// curve 0, linking curves 0, 1, -1 and 2.
Bytes Marks() {
    ByteWriter w;
    PutU32(w, 12);
    PutF32s(w, {1, 5, 2, 4});
    for (uint32_t v : {1u, 0u, 4u, 0u, 1u, 0xFFFFFFFFu, 2u}) PutU32(w, v);
    return w.bytes;
}

void PutKey(ByteWriter& w, double time, double value) {
    PutF64(w, time);
    PutF64(w, value);
    PutF32s(w, {0.5f, -0.5f, 1.5f, -1.5f});
}

// Two curves: "Gun_rotateY" (flag bit 0 set: 2 keys, then the trailers, then
// one interpolation word per key) and "gun_ROTATEY" (bit 0 clear: no words).
Bytes Curves() {
    ByteWriter w;
    PutBytes(w, "\0\0\0\0\2\0\1\0", 8);  // name offset, key count, flags
    PutKey(w, 0.0, 1.25);
    PutKey(w, 1.0 / 3.0, 2.5);
    // Trailers 11 and 22, interpolation halfwords 0 and 3; curve 1: name
    // offset 17, one key, flags 0.
    for (uint32_t v : {11u, 22u, 3u << 16, 17u, 1u}) PutU32(w, v);
    PutKey(w, 9.0, 8.0);
    for (uint32_t v : {33u, 44u}) PutU32(w, v);
    return w.bytes;
}

Chunks WholeFile() {
    return {{"NAME", Text("Drelmarch2 MAD File")}, {"VERS", Words({3})},
            {"INFO", Words({9, 1, 2, 8, 7})},      {"STRI", Bytes(kTable, kTable + sizeof kTable)},
            {"MARK", Marks()},                     {"JUNK", Words({1, 2, 3})},
            {"CURV", Curves()}};
}

}  // namespace

TEST(ReadMad, WholeFileSharedNamesAndLinks) {
    auto set = ReadMadChecked(Mad(WholeFile()));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->infoWord4, 7u);
    ASSERT_EQ(set->clips.size(), 1u);
    const AnimationClip& clip = *set->clips[0];
    EXPECT_EQ(clip.loopStart, 2.0f);
    ASSERT_EQ(clip.tracks.size(), 1u);

    ASSERT_EQ(set->curves.size(), 2u);
    const AnimationCurve& c0 = *set->curves[0];
    ASSERT_EQ(c0.keys.size(), 2u);
    EXPECT_EQ(c0.keys[1].time, 1.0 / 3.0);
    EXPECT_EQ(c0.keys[1].outTangentX, 1.5f);
    EXPECT_EQ(c0.keys[0].interpolation, 0u);
    EXPECT_EQ(c0.keys[1].interpolation, 3u);
    EXPECT_EQ(c0.trailer2, 22u);
    const AnimationCurve& c1 = *set->curves[1];
    ASSERT_EQ(c1.keys.size(), 1u);
    EXPECT_EQ(c1.keys[0].interpolation, 0u);
    EXPECT_EQ(c1.trailer2, 44u);

    // Names are shared case-insensitively: "fire" (clip) and "Gun_rotateY"
    // (track, curve 0, and curve 1 in the other case).
    ASSERT_EQ(set->names.size(), 2u);
    EXPECT_EQ(set->names[0].name.value, "fire");
    EXPECT_EQ(set->names[1].name.value, "Gun_rotateY");
    const ClipTrack& track = *clip.tracks[0];
    EXPECT_EQ(clip.nameIndex, 0);
    EXPECT_EQ(track.nameIndex, 1);
    EXPECT_EQ(c0.nameIndex, 1);
    EXPECT_EQ(c1.nameIndex, 1);
    // Links to -1 and to curveCount are "DISCONNECTED".
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
    auto with = [](void (*change)(Chunks&)) {
        Chunks c = WholeFile();
        change(c);
        return Mad(c);
    };
    Bytes notMad = Mad(WholeFile());
    notMad[11] = 'X';
    const struct {
        const char* name;
        Bytes bytes;
        bool made;
        size_t clips;
    } rows[] = {
        {"name_then_version", Mad(WholeFile()), true, 1},
        {"version_then_name", with([](Chunks& c) { std::swap(c[0], c[1]); }), true, 1},
        {"name_in_other_case", with([](Chunks& c) { c[0].second = Text("DRELMARCH2 mad file"); }), true, 1},
        {"foreign_name", with([](Chunks& c) { c[0].second = Text("Drelmarch2 MAD Files"); }), false, 0},
        {"no_version", with([](Chunks& c) { c.erase(c.begin() + 1); }), false, 0},
        {"info_before_name", with([](Chunks& c) { std::swap(c[0], c[2]); }), true, 0},
        {"second_pair_keeps_set", with([](Chunks& c) {
             c.push_back({"NAME", Text("Drelmarch2 MAD File")});
             c.push_back({"VERS", Words({99})});
         }), true, 1},
        {"foreign_pair_after_set_stops",
         with([](Chunks& c) { c.insert(c.begin() + 4, {{"NAME", Text("x")}, {"VERS", Words({1})}}); }), true, 0},
        {"form_type_not_mad", notMad, false, 0},
        {"empty_file", {}, false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto set = ReadMadChecked(row.bytes);
        ASSERT_EQ(bool(set), row.made);
        if (!set) continue;
        EXPECT_EQ(set->version, 3u);
        EXPECT_EQ(set->clips.size(), row.clips);
    }
}

TEST(ReadMad, DamagedRecords) {
    ByteWriter hugeKeys;  // key count 65535 with one key stored
    PutBytes(hugeKeys, "\0\0\0\0\xff\xff\1\0", 8);
    PutKey(hugeKeys, 1, 2);
    ByteWriter farName;  // a name offset past the table, huge track and link counts
    PutU32(farName, 1000);
    PutF32s(farName, {0, 0, 0, 0});
    for (uint32_t v : {2u, 5u, 0xFFFFFFFFu, 0u}) PutU32(farName, v);
    const struct {
        const char* name;
        Bytes info, marks, curves;
        size_t clips, links, curveCount, keys;
        const char* clipName;
    } rows[] = {
        {"counts_past_chunks", Words({0, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0}), Marks(), Curves(), 1, 4, 2, 2, "fire"},
        {"negative_counts", Words({0, 0xFFFFFFFFu, 0x80000000u, 0, 0}), Marks(), Curves(), 0, 0, 0, 0, ""},
        {"key_count_past_chunk", Words({0, 0, 1, 0, 0}), {}, hugeKeys.bytes, 0, 0, 1, 1, ""},
        {"name_offset_outside_table", Words({0, 1, 0, 0, 0}), farName.bytes, {}, 1, 1, 0, 0, ""},
        {"short_info", Words({0, 1}), Marks(), Curves(), 1, 4, 0, 0, "fire"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto set = ReadMadChecked(Mad({{"VERS", Words({3})},
                                       {"NAME", Text("Drelmarch2 MAD File")},
                                       {"INFO", row.info},
                                       {"STRI", Bytes(kTable, kTable + sizeof kTable)},
                                       {"MARK", row.marks},
                                       {"CURV", row.curves}}));
        ASSERT_TRUE(set);
        ASSERT_EQ(set->clips.size(), row.clips);
        EXPECT_EQ(set->clipCount, int32_t(row.clips));
        if (row.clips) {
            EXPECT_EQ(set->clips[0]->name.value, row.clipName);
            ASSERT_EQ(set->clips[0]->tracks.size(), 1u);
            EXPECT_EQ(set->clips[0]->tracks[0]->links.size(), row.links);
        }
        ASSERT_EQ(set->curves.size(), row.curveCount);
        EXPECT_EQ(set->curveCount, int32_t(row.curveCount));
        if (row.curveCount) { EXPECT_EQ(set->curves[0]->keys.size(), row.keys); }
    }
}

TEST(ReadMad, EveryTruncationStopsCleanly) {
    const Bytes whole = Mad(WholeFile());
    for (size_t len = 0; len < whole.size(); ++len) {
        SCOPED_TRACE(len);
        ReadMadChecked(Bytes(whole.begin(), whole.begin() + long(len)));
    }
}
