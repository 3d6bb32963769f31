// The "DTRM" object readers called on hand-built bodies: markers, dock paths,
// navigation lights, engine shapes and burns, glows and collision meshes.
#include <gtest/gtest.h>

#include "model/object_readers.h"
#include "tests/model/model_test_support.h"

namespace {

// One dock path with h path fields and s fields per segment (negative counts
// stand for none). Fields past the six and ten the reader knows carry
// 0xDEADBEEF, which must never show up in a stored field.
void PutDockPath(ByteWriter& w, const char* name, int32_t h, int32_t s, uint32_t segments) {
    PutCounted(w, name);
    PutCounted(w, "Hull");
    PutI32(w, h);
    PutI32(w, s);
    if (h > 0) PutU32(w, 11);
    if (h > 1) PutU32(w, 12);
    if (h > 2) PutF32(w, 1.5f);
    if (h > 3) PutCounted(w, "family");
    if (h > 4) PutU32(w, 1);
    if (h > 5) PutCounted(w, "linked");
    for (int32_t i = 6; i < h; ++i) PutU32(w, 0xDEADBEEF);
    PutU32(w, segments);
    for (uint32_t seg = 0; seg < segments; ++seg) {
        for (int k = 0; k < 6; ++k) PutF32(w, float(seg * 10 + uint32_t(k)));
        for (int32_t k = 0; k < s; ++k) {
            if (k >= 10) PutU32(w, 0xDEADBEEF);
            else if (k == 1 || k == 3) PutF32(w, float(k) + 0.5f);
            else PutU32(w, 100 + uint32_t(k));
        }
    }
}

// An engine shape (no flame count) or burn body with `written` whole points
// of values 0, 1, 2, ... and a stray byte after them.
Bytes PointsBody(bool burn, uint32_t count, uint32_t flames, uint32_t written) {
    ByteWriter w;
    PutCounted(w, "Flame");
    PutCounted(w, "Engine");
    PutU32(w, count);
    if (burn) PutU32(w, flames);
    for (uint32_t i = 0; i < written * 3; ++i) PutF32(w, float(i));
    PutU8(w, 0);
    return w.bytes;
}

void PutGlowInfo(ByteWriter& w, const char* name, uint32_t lod) {
    Chunk(w, BeginNrml(w, "INFO", 0), [&] {
        PutCounted(w, name);
        PutCounted(w, "Engine");
        PutU32(w, lod);
    });
}

}  // namespace

TEST(ReadMarker, HeadAfterKeyframes) {
    // The keyframe form comes first; a bare "HEAD" is not the marker's head;
    // a later NRML "HEAD" cut inside its doubles is not taken.
    ByteWriter w;
    Chunk(w, BeginForm(w, "KEYF"), [&] { PutU32(w, 99); });
    Chunk(w, BeginBare(w, "HEAD"), [&] { PutCounted(w, "wrong"); });
    for (int doubles : {6, 1}) {
        Chunk(w, BeginNrml(w, "HEAD", 1), [&] {
            PutCounted(w, doubles == 6 ? "Muzzle" : "bad");
            PutCounted(w, "Gun");
            PutF32s(w, {0.25f, -8});
            for (int i = 0; i < doubles; ++i) PutF64(w, 0.1 + i);
        });
    }
    Model model;
    model.markers.push_back(std::make_unique<Marker>());
    ReadMarker(ReaderOf(w.bytes), model);
    ASSERT_EQ(model.markers.size(), 2u);
    const Marker& m = *model.markers[1];
    EXPECT_EQ(m.name.value + "/" + m.parentName.value, "Muzzle/Gun");
    EXPECT_EQ(m.headValues[1], -8.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.position[i], 0.1 + i);  // doubles, not rounded to float
        EXPECT_EQ(m.rotation[i], 0.1 + 3 + i);
    }
}

TEST(ReadDockPaths, OptionalFieldCounts) {
    const std::pair<int32_t, int32_t> rows[] = {{0, 0}, {2, 0}, {3, 4}, {6, 10}, {8, 12}, {5, 9}, {-1, -1}};
    for (const auto& row : rows) {
        const int32_t h = row.first, s = row.second;
        SCOPED_TRACE(testing::Message() << "H=" << h << " S=" << s);
        ByteWriter w;
        PutU32(w, 2);
        PutDockPath(w, "first", h, s, 2);
        PutDockPath(w, "second", 1, 0, 1);
        Model model;
        ReadDockPaths(ReaderOf(w.bytes), model);
        ExpectClean(model);
        ASSERT_EQ(model.dockPaths.size(), 2u);
        const DockPath& p = *model.dockPaths[0];
        EXPECT_EQ(p.exit, h > 0 ? 11u : 0u);
        EXPECT_EQ(p.latch, h > 1 ? 12u : 0u);
        EXPECT_EQ(p.tolerance, h > 2 ? 1.5f : 0.0f);
        EXPECT_EQ(p.family.value, h > 3 ? "family" : "");
        EXPECT_EQ(p.animFlags, h > 4 ? 1u : 0u);
        EXPECT_EQ(p.link.value, h > 5 ? "linked" : "");
        ASSERT_EQ(p.segments.size(), 2u);
        for (int seg = 0; seg < 2; ++seg) {
            SCOPED_TRACE(seg);
            const DockSegment& d = p.segments[size_t(seg)];
            for (int k = 0; k < 6; ++k) EXPECT_EQ(k < 3 ? d.position[k] : d.rotation[k - 3], float(seg * 10 + k));
            const uint32_t flags[8] = {d.useRot, d.unfocus, d.check, d.close, d.player, d.queue, d.clip, d.clearRes};
            const int32_t order[8] = {0, 2, 4, 5, 6, 7, 8, 9};
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(flags[k], s > order[k] ? 100 + uint32_t(order[k]) : 0u) << "field " << order[k];
            EXPECT_EQ(d.tolerance, s > 1 ? 1.5f : 0.0f);
            EXPECT_EQ(d.speed, s > 3 ? 3.5f : 0.0f);
        }
        // Extra fields skipped: the next path starts where it should.
        EXPECT_EQ(model.dockPaths[1]->name.value, "second");
        EXPECT_EQ(model.dockPaths[1]->segments.at(0).rotation[2], 5.0f);
    }
}

TEST(ReadNavLights, FieldsInOrder) {
    const char* types[3] = {"default", "DEFAULT", "Strobe"};
    ByteWriter w;
    PutU32(w, 3);
    for (uint8_t i = 0; i < 3; ++i) {
        PutCounted(w, "Light" + std::to_string(i));
        PutU32(w, 7u + i);
        PutF32s(w, {2.5f, 0.125f, 3});
        PutCounted(w, types[i]);
        PutF32s(w, {0.1f, 0.2f, 0.3f, 0.4f, 1000});
        PutU8(w, 1);
        PutU8(w, i);
    }
    Model model;
    ReadNavLights(ReaderOf(w.bytes), 3, model);
    ASSERT_EQ(model.navLights.size(), 3u);
    for (uint8_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(int(i));
        const NavLight& l = *model.navLights[i];
        EXPECT_EQ(l.index, i);
        EXPECT_EQ(l.name.value, "Light" + std::to_string(i));
        EXPECT_EQ(l.type.value, types[i]);
        EXPECT_EQ(l.section, 7u + i);
        const float want[9] = {2.5f, 0.125f, 3, 0.1f, 0.2f, 0.3f, 0.4f, 1000};
        const float got[9] = {l.size, l.phase, l.frequency, l.colour[0], l.colour[1], l.colour[2], l.colour[3], l.distance};
        for (int k = 0; k < 9; ++k) EXPECT_EQ(got[k], want[k]) << k;
        EXPECT_EQ(l.sprite, 1);
        EXPECT_EQ(l.highEnd, i);
    }
}

TEST(ReadEngineShapeAndBurn, PointCountsAndOrder) {
    const struct {
        const char* what;
        bool burn;
        uint32_t count, flames, written;
        int expect;
    } rows[] = {
        {"shape_count_past_data", false, 1000, 0, 2, 2},
        {"burn_short_data", true, 3, 2, 4, 4},
        {"burn_product_overflows", true, 0xFFFFFFFFu, 0xFFFFFFFFu, 5, 5},
        {"burn_product_wraps_to_small_in_32_bits", true, 0x10000u, 0x10000u, 3, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Model model;
        const Bytes body = PointsBody(row.burn, row.count, row.flames, row.written);
        if (row.burn) ReadEngineBurn(ReaderOf(body), model);
        else ReadEngineShape(ReaderOf(body), model);
        ExpectClean(model);
        const std::vector<float>& v = row.burn ? model.engineBurns.at(0)->vertices : model.engineShapes.at(0)->vertices;
        EXPECT_EQ(row.burn ? model.engineBurns[0]->vertexCount : model.engineShapes[0]->vertexCount, row.expect);
        ASSERT_EQ(v.size(), size_t(row.expect) * 3);
        for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i], float(i));
    }
    // Point d of flame f is vertex f x D + d: division 1 of flame 1 is vertex 4.
    Model model;
    ReadEngineBurn(ReaderOf(PointsBody(true, 3, 2, 6)), model);
    EXPECT_EQ(model.engineBurns[0]->divisions, 3u);
    EXPECT_EQ(model.engineBurns[0]->vertices[4 * 3 + 2], 14.0f);
}

TEST(ReadGlow, InfoAndMeshChildren) {
    const struct {
        const char* what;
        bool info, mesh, secondInfo, other;
        const char* name;
        uint32_t lod;
        int32_t meshLod;  // as stored
    } rows[] = {
        {"info_and_mesh", true, true, false, false, "Halo", 2, 3},
        {"info_only", true, false, false, false, "Halo", 2, 3},
        {"second_info_replaces", true, true, true, false, "Later", 5, 3},
        {"unknown_children_ignored", true, true, false, true, "Halo", 2, 3},
        {"negative_mesh_lod_before_info", false, true, true, false, "Later", 5, -65536},
        {"negative_mesh_lod_after_info", true, true, false, false, "Halo", 2, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        if (row.other) Chunk(w, BeginForm(w, "INFO"), [&] { PutCounted(w, "Wrong"); });  // not the NRML "INFO"
        if (row.info) PutGlowInfo(w, "Halo", 2);
        if (row.mesh) {
            Chunk(w, BeginNrml(w, "BMSH", 1), [&] {  // positions only, two vertices, no groups
                for (int32_t v : {row.meshLod, 1, 0, 1, 2}) PutI32(w, v);
                for (int i = 0; i < 8; ++i) PutF32(w, float(i));
                PutU16(w, 0);
            });
        }
        if (row.secondInfo) PutGlowInfo(w, "Later", 5);
        Model model;
        ReadGlow(ReaderOf(w.bytes), model);
        ExpectClean(model);
        ASSERT_EQ(model.glows.size(), 1u);
        const Glow& g = *model.glows[0];
        EXPECT_EQ(g.name.value, row.name);
        EXPECT_EQ(g.parentName.value, row.info || row.secondInfo ? "Engine" : "");
        EXPECT_EQ(g.lod, row.lod);
        ASSERT_EQ(g.mesh != nullptr, row.mesh);
        if (!row.mesh) continue;
        // A negative stored level takes the glow's level, wherever the INFO is.
        EXPECT_EQ(g.mesh->lod, row.meshLod < 0 ? int32_t(row.lod) : row.meshLod);
        EXPECT_EQ(g.mesh->parts.at(0).vertices.at(7), 7.0f);
    }
}

TEST(ReadCollision, ChildrenAndTriangles) {
    const struct {
        const char* what;
        bool box, tris;
        uint32_t vertices;
        std::vector<uint16_t> indices;
        int expectIndices;
    } rows[] = {
        {"box_sphere_tris", true, true, 4, {0, 1, 2, 2, 1, 3}, 6},
        {"no_tris", true, false, 0, {}, 0},
        {"index_equal_to_vertex_count_empties_indices", true, true, 3, {0, 1, 3}, 0},
        {"index_far_out_of_range", true, true, 3, {0, 0xFFFF, 1}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        PutCounted(w, "Hull");
        if (row.box) Chunk(w, BeginBare(w, "BBOX"), [&] { PutF32s(w, {-1, -2, -3, 4, 5, 6}); });
        Chunk(w, BeginBare(w, "JUNK"), [&] { PutU32(w, 1); });
        Chunk(w, BeginBare(w, "BSPH"), [&] { PutF32s(w, {0.5f, 1.5f, 2.5f, 7}); });
        if (row.tris) {
            Chunk(w, BeginBare(w, "TRIS"), [&] {
                PutU32(w, row.vertices);
                for (uint32_t i = 0; i < row.vertices * 3; ++i) PutF32(w, float(i) * 0.5f);
                PutU32(w, uint32_t(row.indices.size()));
                for (uint16_t i : row.indices) PutU16(w, i);
            });
        }
        Model model;
        ReadCollision(ReaderOf(w.bytes), model);
        ExpectClean(model);
        ASSERT_EQ(model.collisionMeshes.size(), 1u);
        const CollisionMesh& c = *model.collisionMeshes[0];
        const Bounds fresh;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(c.bounds.boxMin[k], row.box ? float(-1 - k) : fresh.boxMin[k]);
            EXPECT_EQ(c.bounds.boxMax[k], row.box ? float(4 + k) : fresh.boxMax[k]);
            EXPECT_EQ(c.bounds.sphereCentre[k], 0.5f + float(k));
        }
        EXPECT_EQ(c.bounds.sphereRadius, 7.0f);
        EXPECT_EQ(c.vertexCount, int32_t(row.vertices));
        ASSERT_EQ(c.vertices.size(), size_t(row.vertices) * 3);
        if (row.vertices) { EXPECT_EQ(c.vertices.back(), float(row.vertices * 3 - 1) * 0.5f); }
        EXPECT_EQ(c.indexCount, row.expectIndices);
        EXPECT_EQ(c.indices, row.expectIndices ? row.indices : std::vector<uint16_t>());
    }
}
