#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/object_readers.h"
#include "tests/model/dtrm_test_support.h"

namespace {

void PutHead(ByteWriter& w, const char* name, const char* parent, double base) {
    size_t at = BeginNrml(w, "HEAD", 1);
    PutCounted(w, name);
    PutCounted(w, parent);
    PutF32(w, 0.25f);
    PutF32(w, -8);
    for (int i = 0; i < 6; ++i) PutF64(w, base + i);
    EndChunk(w, at);
}

// One dock path laid out by hand with H path fields and S fields per segment.
// Known fields carry recognisable values; fields past the six and ten the
// reader knows carry 0xDEADBEEF, which must never show up in a stored field.
void PutDockPath(ByteWriter& w, const char* name, uint32_t h, uint32_t s, uint32_t segments) {
    PutCounted(w, name);
    PutCounted(w, "Hull");
    PutU32(w, h);
    PutU32(w, s);
    if (h > 0) PutU32(w, 11);
    if (h > 1) PutU32(w, 12);
    if (h > 2) PutF32(w, 1.5f);
    if (h > 3) PutCounted(w, "family");
    if (h > 4) PutU32(w, 1);
    if (h > 5) PutCounted(w, "linked");
    for (uint32_t i = 6; i < h; ++i) PutU32(w, 0xDEADBEEF);
    PutU32(w, segments);
    for (uint32_t seg = 0; seg < segments; ++seg) {
        for (int k = 0; k < 6; ++k) PutF32(w, float(seg * 10 + uint32_t(k)));
        for (uint32_t k = 0; k < s; ++k) {
            if (k >= 10) PutU32(w, 0xDEADBEEF);
            else if (k == 1 || k == 3) PutF32(w, float(k) + 0.5f);
            else PutU32(w, 100 + k);
        }
    }
}

std::vector<unsigned char> NavBody(const std::vector<const char*>& types) {
    ByteWriter w;
    PutU32(w, uint32_t(types.size()));
    for (size_t i = 0; i < types.size(); ++i) {
        PutCounted(w, "Light" + std::to_string(i));
        PutU32(w, uint32_t(7 + i));
        PutF32(w, 2.5f);
        PutF32(w, 0.125f);
        PutF32(w, 3);
        PutCounted(w, types[i]);
        PutF32(w, 0.1f);
        PutF32(w, 0.2f);
        PutF32(w, 0.3f);
        PutF32(w, 0.4f);
        PutF32(w, 1000);
        PutU8(w, 1);
        PutU8(w, uint8_t(i));
    }
    return w.bytes;
}

}  // namespace

TEST(ReadMarker, HeadAfterKeyframesAndDoublePrecision) {
    ByteWriter w;
    size_t keyf = BeginForm(w, "KEYF");
    PutU32(w, 99);
    EndChunk(w, keyf);
    size_t other = BeginBare(w, "HEAD");  // a bare "HEAD" is not the marker's head
    PutCounted(w, "wrong");
    EndChunk(w, other);
    PutHead(w, "Muzzle", "Gun", 0.1);

    Model model;
    model.markers.push_back(std::make_unique<Marker>());
    ReadMarker(ReaderOf(w.bytes), model);
    ASSERT_EQ(model.markers.size(), 2u);
    const Marker& m = *model.markers[1];
    EXPECT_EQ(m.index, 1);
    EXPECT_EQ(m.parentIndex, -1);
    EXPECT_STREQ(m.name.CStr(), "Muzzle");
    EXPECT_STREQ(m.parentName.CStr(), "Gun");
    EXPECT_EQ(m.headValues[0], 0.25f);
    EXPECT_EQ(m.headValues[1], -8.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.position[i], 0.1 + i);  // doubles, not rounded to float
        EXPECT_EQ(m.rotation[i], 0.1 + 3 + i);
    }
    EXPECT_NE(m.position[0], double(float(0.1)));
}

TEST(ReadMarker, MissingDamagedAndRepeatedHead) {
    struct Row {
        const char* what;
        std::vector<unsigned char> content;
        const char* name;
        double x;
    };
    ByteWriter none;
    size_t keyf = BeginForm(none, "KEYF");
    EndChunk(none, keyf);
    ByteWriter twice;
    PutHead(twice, "first", "J", 1);
    PutHead(twice, "second", "J", 2);
    ByteWriter cut;  // a good HEAD, then one whose doubles run past its chunk
    PutHead(cut, "good", "J", 3);
    size_t at = BeginNrml(cut, "HEAD", 1);
    PutCounted(cut, "bad");
    PutCounted(cut, "J");
    PutF32(cut, 1);
    PutF32(cut, 1);
    PutF64(cut, 4);
    EndChunk(cut, at);
    const Row rows[] = {
        {"empty_content", {}, "", 0},
        {"no_head", none.bytes, "", 0},
        {"second_head_overwrites", twice.bytes, "second", 2},
        {"cut_head_keeps_earlier", cut.bytes, "good", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Model model;
        ReadMarker(ReaderOf(row.content), model);
        ASSERT_EQ(model.markers.size(), 1u);
        EXPECT_STREQ(model.markers[0]->name.CStr(), row.name);
        EXPECT_EQ(model.markers[0]->position[0], row.x);
        EXPECT_EQ(model.markers[0]->index, 0);
    }
}

TEST(ReadMarker, FixtureRoundTripAndEveryTruncation) {
    Marker source;
    source.name.Set("Exhaust");
    source.parentName.Set("Engine");
    source.headValues[0] = 3;
    source.headValues[1] = 4;
    source.position[1] = 1.0 / 3.0;
    source.rotation[2] = -2.0 / 3.0;
    ByteWriter w;
    AppendMarkerForm(w, source);
    const std::vector<unsigned char> content = ChunkBody(w.bytes);

    Model model;
    ReadMarker(ReaderOf(content), model);
    ASSERT_EQ(model.markers.size(), 1u);
    const Marker& m = *model.markers[0];
    EXPECT_STREQ(m.name.CStr(), "Exhaust");
    EXPECT_STREQ(m.parentName.CStr(), "Engine");
    EXPECT_EQ(m.headValues[1], 4.0f);
    EXPECT_EQ(m.position[1], 1.0 / 3.0);
    EXPECT_EQ(m.rotation[2], -2.0 / 3.0);

    ForEachTruncation(content, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model cutModel;
        ReadMarker(r, cutModel);
        ASSERT_EQ(cutModel.markers.size(), 1u);
        // A cut HEAD is never half taken.
        EXPECT_TRUE(cutModel.markers[0]->name.value.empty());
        EXPECT_EQ(cutModel.markers[0]->position[1], 0.0);
        EXPECT_EQ(ModelProblems(cutModel), "");
    });
}

TEST(ReadDockPaths, OptionalFieldCounts) {
    struct Row {
        const char* what;
        uint32_t h, s;
    };
    const Row rows[] = {
        {"h0_s0", 0, 0},     {"h2_s0", 2, 0},   {"h3_s4", 3, 4},
        {"h6_s10", 6, 10},   {"h8_s12", 8, 12}, {"h5_s9", 5, 9},
        {"h_negative_s_negative", 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        PutU32(w, 2);
        const bool negative = int32_t(row.h) < 0;
        // A negative count stands for no fields: lay the path out that way.
        const uint32_t h = negative ? 0 : row.h, s = negative ? 0 : row.s;
        size_t start = w.bytes.size();
        PutDockPath(w, "first", h, s, 2);
        if (negative) {
            // Patch the stored H and S to the negative values.
            size_t hAt = start + 4 + 5 + 4 + 4;
            for (int i = 0; i < 8; ++i) w.bytes[hAt + size_t(i)] = 0xFF;
        }
        PutDockPath(w, "second", 1, 0, 1);
        Model model;
        ReadDockPaths(ReaderOf(w.bytes), model);
        ASSERT_EQ(model.dockPaths.size(), 2u);
        const DockPath& p = *model.dockPaths[0];
        EXPECT_EQ(p.index, 0);
        EXPECT_EQ(p.parentIndex, -1);
        EXPECT_STREQ(p.name.CStr(), "first");
        EXPECT_STREQ(p.parentName.CStr(), "Hull");
        EXPECT_EQ(p.exit, h > 0 ? 11u : 0u);
        EXPECT_EQ(p.latch, h > 1 ? 12u : 0u);
        EXPECT_EQ(p.tolerance, h > 2 ? 1.5f : 0.0f);
        EXPECT_STREQ(p.family.CStr(), h > 3 ? "family" : "");
        EXPECT_EQ(p.animFlags, h > 4 ? 1u : 0u);
        EXPECT_STREQ(p.link.CStr(), h > 5 ? "linked" : "");
        ASSERT_EQ(p.segmentCount, 2);
        ASSERT_EQ(p.segments.size(), 2u);
        for (int seg = 0; seg < 2; ++seg) {
            SCOPED_TRACE(seg);
            const DockSegment& d = p.segments[size_t(seg)];
            EXPECT_EQ(d.index, seg);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(d.position[k], float(seg * 10 + k));
                EXPECT_EQ(d.rotation[k], float(seg * 10 + 3 + k));
            }
            const uint32_t flags[8] = {d.useRot, d.unfocus, d.check, d.close,
                                       d.player, d.queue,   d.clip,  d.clearRes};
            const uint32_t order[8] = {0, 2, 4, 5, 6, 7, 8, 9};
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(flags[k], s > order[k] ? 100 + order[k] : 0u) << "field " << order[k];
            EXPECT_EQ(d.tolerance, s > 1 ? 1.5f : 0.0f);
            EXPECT_EQ(d.speed, s > 3 ? 3.5f : 0.0f);
        }
        // Extra fields skipped: the next path starts where it should.
        const DockPath& next = *model.dockPaths[1];
        EXPECT_EQ(next.index, 1);
        EXPECT_STREQ(next.name.CStr(), "second");
        EXPECT_EQ(next.exit, 11u);
        ASSERT_EQ(next.segmentCount, 1);
        EXPECT_EQ(next.segments[0].rotation[2], 5.0f);
    }
}

TEST(ReadDockPaths, BadCountsDropTheDamagedPath) {
    struct Row {
        const char* what;
        uint32_t pathCount;
        uint32_t segmentsClaimed;  // of the second path, which has 1 segment
        uint32_t h;                // of the second path
        size_t expect;
    };
    const Row rows[] = {
        {"fine", 2, 1, 2, 2},
        {"path_count_negative", 0x80000000u, 1, 2, 0},
        {"path_count_past_data", 1000, 1, 2, 2},
        {"segment_count_past_data", 2, 2, 2, 1},
        {"segment_count_huge", 2, 0x7FFFFFFFu, 2, 1},
        {"segment_count_negative", 2, 0xFFFFFFFFu, 2, 2},
        {"path_fields_past_data", 2, 1, 0x7FFFFFFFu, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        PutU32(w, row.pathCount);
        PutDockPath(w, "first", 6, 10, 1);
        size_t second = w.bytes.size();
        PutDockPath(w, "second", 2, 0, 1);
        // Patch the second path's H and segment count.
        size_t hAt = second + 4 + 6 + 4 + 4;
        for (int i = 0; i < 4; ++i) w.bytes[hAt + size_t(i)] = uint8_t(row.h >> (8 * i));
        size_t segAt = hAt + 8 + 8;
        for (int i = 0; i < 4; ++i)
            w.bytes[segAt + size_t(i)] = uint8_t(row.segmentsClaimed >> (8 * i));
        Model model;
        ReadDockPaths(ReaderOf(w.bytes), model);
        EXPECT_EQ(ModelProblems(model), "");
        ASSERT_EQ(model.dockPaths.size(), row.expect);
        if (row.expect > 0) {
            EXPECT_STREQ(model.dockPaths[0]->name.CStr(), "first");
        }
        if (row.expect > 1 && int32_t(row.segmentsClaimed) < 0) {
            EXPECT_EQ(model.dockPaths[1]->segmentCount, 0);
        }
    }
}

TEST(ReadDockPaths, FixtureRoundTripAndEveryTruncation) {
    Model source;
    for (int p = 0; p < 2; ++p) {
        auto path = std::make_unique<DockPath>();
        path->name.Set(p ? "Launch" : "Dock");
        path->parentName.Set("Bay");
        path->exit = uint32_t(p);
        path->latch = 1;
        path->tolerance = 0.75f;
        path->family.Set("Fighter");
        path->animFlags = 1;
        path->link.Set(p ? "" : "Launch");
        for (int s = 0; s < 3; ++s) {
            DockSegment seg;
            seg.position[0] = float(s);
            seg.rotation[1] = float(-s);
            seg.useRot = 1;
            seg.tolerance = 2.5f;
            seg.speed = float(s) * 10;
            seg.queue = 1;
            seg.clearRes = uint32_t(s);
            path->segments.push_back(seg);
        }
        path->segmentCount = 3;
        source.dockPaths.push_back(std::move(path));
    }
    ByteWriter w;
    AppendDockChunk(w, source.dockPaths);
    const std::vector<unsigned char> body = ChunkBody(w.bytes);

    Model model;
    ReadDockPaths(ReaderOf(body), model);
    ASSERT_EQ(model.dockPaths.size(), 2u);
    for (size_t p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const DockPath& a = *source.dockPaths[p];
        const DockPath& b = *model.dockPaths[p];
        EXPECT_EQ(b.index, int(p));
        EXPECT_EQ(b.name.value, a.name.value);
        EXPECT_EQ(b.exit, a.exit);
        EXPECT_EQ(b.tolerance, a.tolerance);
        EXPECT_EQ(b.family.value, a.family.value);
        EXPECT_EQ(b.link.value, a.link.value);
        ASSERT_EQ(b.segmentCount, 3);
        for (size_t s = 0; s < 3; ++s) {
            EXPECT_EQ(b.segments[s].index, int(s));
            EXPECT_EQ(b.segments[s].rotation[1], a.segments[s].rotation[1]);
            EXPECT_EQ(b.segments[s].speed, a.segments[s].speed);
            EXPECT_EQ(b.segments[s].queue, 1u);
            EXPECT_EQ(b.segments[s].clearRes, a.segments[s].clearRes);
        }
    }

    ForEachTruncation(body, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model cutModel;
        ReadDockPaths(r, cutModel);
        ASSERT_LT(cutModel.dockPaths.size(), 2u);
        for (auto& path : cutModel.dockPaths) {  // only whole paths are kept
            EXPECT_EQ(path->segmentCount, 3);
            EXPECT_EQ(path->segments.size(), 3u);
            EXPECT_EQ(path->segments[2].clearRes, 2u);
        }
        EXPECT_EQ(ModelProblems(cutModel), "");
    });
}

TEST(ReadNavLights, FieldsInOrder) {
    const std::vector<unsigned char> body = NavBody({"default", "DEFAULT", "Strobe"});
    Model model;
    ReadNavLights(ReaderOf(body), 3, model);
    ASSERT_EQ(model.navLights.size(), 3u);
    const char* types[3] = {"default", "DEFAULT", "Strobe"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const NavLight& l = *model.navLights[i];
        EXPECT_EQ(l.index, int(i));
        EXPECT_EQ(l.name.value, "Light" + std::to_string(i));
        EXPECT_STREQ(l.type.CStr(), types[i]);
        EXPECT_EQ(l.section, 7 + i);
        EXPECT_EQ(l.size, 2.5f);
        EXPECT_EQ(l.phase, 0.125f);
        EXPECT_EQ(l.frequency, 3.0f);
        EXPECT_EQ(l.colour[0], 0.1f);
        EXPECT_EQ(l.colour[3], 0.4f);
        EXPECT_EQ(l.distance, 1000.0f);
        EXPECT_EQ(l.sprite, 1);
        EXPECT_EQ(l.highEnd, uint8_t(i));
    }
    // The type compares equal to "default" ignoring case, as the writer does.
    EXPECT_TRUE(EqualNoCase(model.navLights[1]->type.CStr(), "default"));
}

TEST(ReadNavLights, FixtureRoundTripBadCountsAndEveryTruncation) {
    Model source;
    for (int i = 0; i < 2; ++i) {
        auto l = std::make_unique<NavLight>();
        l->name.Set(i ? "Tail" : "Nose");
        l->type.Set("default");
        l->section = 2;
        l->colour[1] = 0.5f;
        l->sprite = uint8_t(i);
        source.navLights.push_back(std::move(l));
    }
    ByteWriter w;
    AppendNavLightsChunk(w, source.navLights);
    const std::vector<unsigned char> body = ChunkBody(w.bytes);
    Model model;
    ReadNavLights(ReaderOf(body), 0, model);
    ASSERT_EQ(model.navLights.size(), 2u);
    EXPECT_STREQ(model.navLights[1]->name.CStr(), "Tail");
    EXPECT_EQ(model.navLights[1]->colour[1], 0.5f);
    EXPECT_EQ(model.navLights[1]->colour[3], 1.0f);
    EXPECT_EQ(model.navLights[1]->sprite, 1);

    std::vector<unsigned char> negative = body;
    negative[3] = 0x80;
    Model none;
    ReadNavLights(ReaderOf(negative), 0, none);
    EXPECT_TRUE(none.navLights.empty());

    ForEachTruncation(body, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model cutModel;
        ReadNavLights(r, 0, cutModel);
        ASSERT_LT(cutModel.navLights.size(), 2u);
        for (auto& l : cutModel.navLights) EXPECT_STREQ(l->name.CStr(), "Nose");
        EXPECT_EQ(ModelProblems(cutModel), "");
    });
}
