#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/object_readers.h"
#include "tests/model/dtrm_test_support.h"

namespace {

std::vector<unsigned char> ShapeBody(uint32_t claimed, uint32_t written) {
    ByteWriter w;
    PutCounted(w, "Nozzle");
    PutCounted(w, "Engine");
    PutU32(w, claimed);
    for (uint32_t i = 0; i < written * 3; ++i) PutF32(w, float(i));
    return w.bytes;
}

std::vector<unsigned char> BurnBody(uint32_t divisions, uint32_t flames, uint32_t written) {
    ByteWriter w;
    PutCounted(w, "Flame");
    PutCounted(w, "Engine");
    PutU32(w, divisions);
    PutU32(w, flames);
    for (uint32_t i = 0; i < written * 3; ++i) PutF32(w, float(i));
    return w.bytes;
}

// A "BMSH" body by hand: one part of positions only (stride 4), no groups.
void PutSmallMesh(ByteWriter& w, int32_t lod) {
    PutI32(w, lod);
    PutI32(w, 1);     // parts
    PutI32(w, 0);     // material index
    PutU32(w, 0x1);   // format: position
    PutI32(w, 2);     // vertices
    for (int i = 0; i < 8; ++i) PutF32(w, float(i));
    PutU16(w, 0);     // groups
}

void PutGlowInfo(ByteWriter& w, const char* name, const char* parent, uint32_t lod) {
    size_t at = BeginNrml(w, "INFO", 0);
    PutCounted(w, name);
    PutCounted(w, parent);
    PutU32(w, lod);
    EndChunk(w, at);
}

void PutTris(ByteWriter& w, uint32_t vertices, const std::vector<uint16_t>& indices) {
    size_t at = BeginBare(w, "TRIS");
    PutU32(w, vertices);
    for (uint32_t i = 0; i < vertices * 3; ++i) PutF32(w, float(i) * 0.5f);
    PutU32(w, uint32_t(indices.size()));
    for (uint16_t i : indices) PutU16(w, i);
    EndChunk(w, at);
}

void PutBox(ByteWriter& w) {
    size_t at = BeginBare(w, "BBOX");
    const float v[6] = {-1, -2, -3, 4, 5, 6};
    for (float f : v) PutF32(w, f);
    EndChunk(w, at);
}

void PutSphere(ByteWriter& w) {
    size_t at = BeginBare(w, "BSPH");
    const float v[4] = {0.5f, 1.5f, 2.5f, 7};
    for (float f : v) PutF32(w, f);
    EndChunk(w, at);
}

}  // namespace

TEST(ReadEngineShape, VertexCounts) {
    struct Row {
        const char* what;
        uint32_t claimed, written;
        int expect;
    };
    const Row rows[] = {
        {"four_points", 4, 4, 4},
        {"no_points", 0, 0, 0},
        {"count_past_data_clipped_to_whole_points", 1000, 2, 2},
        {"count_negative", 0xFFFFFFFFu, 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<unsigned char> body = ShapeBody(row.claimed, row.written);
        body.push_back(0);  // a stray byte: not a whole point
        Model model;
        model.engineShapes.push_back(std::make_unique<EngineShape>());
        ReadEngineShape(ReaderOf(body), model);
        ASSERT_EQ(model.engineShapes.size(), 2u);
        const EngineShape& s = *model.engineShapes[1];
        EXPECT_EQ(s.index, 1);
        EXPECT_EQ(s.parentIndex, -1);
        EXPECT_STREQ(s.name.CStr(), "Nozzle");
        EXPECT_STREQ(s.parentName.CStr(), "Engine");
        EXPECT_EQ(s.vertexCount, row.expect);
        ASSERT_EQ(s.vertices.size(), size_t(row.expect) * 3);
        for (size_t i = 0; i < s.vertices.size(); ++i) EXPECT_EQ(s.vertices[i], float(i));
    }
}

TEST(ReadEngineBurn, FlamesOfDivisions) {
    struct Row {
        const char* what;
        uint32_t divisions, flames, written;
        int expect;
    };
    const Row rows[] = {
        {"three_divisions_two_flames", 3, 2, 6, 6},
        {"no_divisions", 0, 5, 0, 0},
        {"short_data", 3, 2, 4, 4},
        // The product overflows 32 bits (and 64-bit signed): clipped to the data.
        {"product_overflows", 0xFFFFFFFFu, 0xFFFFFFFFu, 5, 5},
        {"product_wraps_to_small_in_32_bits", 0x10000u, 0x10000u, 3, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<unsigned char> body = BurnBody(row.divisions, row.flames, row.written);
        Model model;
        ReadEngineBurn(ReaderOf(body), model);
        EXPECT_EQ(ModelProblems(model), "");
        ASSERT_EQ(model.engineBurns.size(), 1u);
        const EngineBurn& b = *model.engineBurns[0];
        EXPECT_EQ(b.index, 0);
        EXPECT_STREQ(b.name.CStr(), "Flame");
        EXPECT_EQ(b.divisions, row.divisions);
        EXPECT_EQ(b.flameCount, row.flames);
        EXPECT_EQ(b.vertexCount, row.expect);
        ASSERT_EQ(b.vertices.size(), size_t(row.expect) * 3);
    }
    // Point d of flame f is vertex f x D + d: division 1 of flame 1 is vertex 4.
    const std::vector<unsigned char> body = BurnBody(3, 2, 6);
    Model model;
    ReadEngineBurn(ReaderOf(body), model);
    const EngineBurn& b = *model.engineBurns[0];
    EXPECT_EQ(b.vertices[4 * 3 + 0], 12.0f);
    EXPECT_EQ(b.vertices[4 * 3 + 2], 14.0f);
}

TEST(ReadGlow, InfoAndMeshChildren) {
    struct Row {
        const char* what;
        bool info, mesh, secondInfo, other;
        const char* name;
        uint32_t lod;
    };
    const Row rows[] = {
        {"info_and_mesh", true, true, false, false, "Halo", 2},
        {"info_only", true, false, false, false, "Halo", 2},
        {"mesh_only", false, true, false, false, "", 0},
        {"second_info_replaces", true, true, true, false, "Later", 5},
        {"unknown_children_ignored", true, true, false, true, "Halo", 2},
        {"nothing", false, false, false, false, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        if (row.other) {
            size_t at = BeginForm(w, "INFO");  // a FORM, not the NRML "INFO"
            PutCounted(w, "Wrong");
            EndChunk(w, at);
            at = BeginBare(w, "BMSH");
            PutSmallMesh(w, 9);
            EndChunk(w, at);
        }
        if (row.info) PutGlowInfo(w, "Halo", "Engine", 2);
        if (row.mesh) {
            size_t at = BeginNrml(w, "BMSH", 1);
            PutSmallMesh(w, 3);
            EndChunk(w, at);
        }
        if (row.secondInfo) PutGlowInfo(w, "Later", "Engine", 5);
        Model model;
        ReadGlow(ReaderOf(w.bytes), model);
        ASSERT_EQ(model.glows.size(), 1u);
        const Glow& g = *model.glows[0];
        EXPECT_EQ(g.index, 0);
        EXPECT_EQ(g.parentIndex, -1);
        EXPECT_STREQ(g.name.CStr(), row.name);
        EXPECT_STREQ(g.parentName.CStr(), row.info ? "Engine" : "");
        EXPECT_EQ(g.lod, row.lod);
        if (!row.mesh) {
            EXPECT_EQ(g.mesh, nullptr);
            continue;
        }
        ASSERT_NE(g.mesh, nullptr);
        EXPECT_EQ(g.mesh->lod, 3);
        ASSERT_EQ(g.mesh->parts.size(), 1u);
        EXPECT_EQ(g.mesh->parts[0].vertexCount, 2);
        ASSERT_EQ(g.mesh->parts[0].vertices.size(), 8u);
        EXPECT_EQ(g.mesh->parts[0].vertices[7], 7.0f);
    }
}

TEST(ReadGlow, FixtureRoundTripAndEveryTruncation) {
    Glow source;
    source.name.Set("Glow1");
    source.parentName.Set("Nozzle");
    source.lod = 1;
    source.mesh = std::make_unique<Mesh>();
    source.mesh->lod = 1;
    MeshPart part;
    part.format = kFormatPosition;
    part.stride = 4;
    part.vertexCount = 3;
    part.vertices = {0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1};
    PrimitiveGroup group;
    group.type = kPrimTriList;
    group.indexCount = 3;
    group.indices = {0, 1, 2};
    part.groups.push_back(group);
    source.mesh->parts.push_back(part);
    ByteWriter w;
    AppendGlowForm(w, source);
    const std::vector<unsigned char> content = ChunkBody(w.bytes);

    Model model;
    ReadGlow(ReaderOf(content), model);
    ASSERT_EQ(model.glows.size(), 1u);
    const Glow& g = *model.glows[0];
    EXPECT_STREQ(g.name.CStr(), "Glow1");
    EXPECT_STREQ(g.parentName.CStr(), "Nozzle");
    EXPECT_EQ(g.lod, 1u);
    ASSERT_NE(g.mesh, nullptr);
    ASSERT_EQ(g.mesh->parts.size(), 1u);
    EXPECT_EQ(g.mesh->parts[0].vertices, part.vertices);
    ASSERT_EQ(g.mesh->parts[0].groups.size(), 1u);
    EXPECT_EQ(g.mesh->parts[0].groups[0].indices, group.indices);

    ForEachTruncation(content, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model cutModel;
        ReadGlow(r, cutModel);
        ASSERT_EQ(cutModel.glows.size(), 1u);
        const Glow& cut = *cutModel.glows[0];
        // The INFO record is taken whole or not at all.
        if (!cut.name.value.empty()) {
            EXPECT_STREQ(cut.parentName.CStr(), "Nozzle");
            EXPECT_EQ(cut.lod, 1u);
        }
        EXPECT_EQ(ModelProblems(cutModel), "");
    });
}

TEST(ReadCollision, ChildrenAndTriangles) {
    struct Row {
        const char* what;
        bool box, sphere, tris;
        uint32_t vertices;
        std::vector<uint16_t> indices;
        int expectVertices, expectIndices;
    };
    const Row rows[] = {
        {"box_sphere_tris", true, true, true, 4, {0, 1, 2, 2, 1, 3}, 4, 6},
        {"no_tris", true, true, false, 0, {}, 0, 0},
        {"no_box", false, true, true, 3, {0, 1, 2}, 3, 3},
        {"tris_without_indices", true, true, true, 3, {}, 3, 0},
        {"index_equal_to_vertex_count_empties_indices", true, true, true, 3, {0, 1, 3}, 3, 0},
        {"index_far_out_of_range", true, true, true, 3, {0, 0xFFFF, 1}, 3, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        PutCounted(w, "Hull");
        if (row.box) PutBox(w);
        size_t junk = BeginBare(w, "JUNK");
        PutU32(w, 1);
        EndChunk(w, junk);
        if (row.sphere) PutSphere(w);
        if (row.tris) PutTris(w, row.vertices, row.indices);
        Model model;
        ReadCollision(ReaderOf(w.bytes), model);
        EXPECT_EQ(ModelProblems(model), "");
        ASSERT_EQ(model.collisionMeshes.size(), 1u);
        const CollisionMesh& c = *model.collisionMeshes[0];
        EXPECT_EQ(c.index, 0);
        EXPECT_STREQ(c.parentName.CStr(), "Hull");
        const Bounds fresh;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(c.bounds.boxMin[k], row.box ? float(-1 - k) : fresh.boxMin[k]);
            EXPECT_EQ(c.bounds.boxMax[k], row.box ? float(4 + k) : fresh.boxMax[k]);
            EXPECT_EQ(c.bounds.sphereCentre[k], 0.5f + float(k));
        }
        EXPECT_EQ(c.bounds.sphereRadius, 7.0f);
        EXPECT_EQ(c.bounds.sphereRadiusSq, 0.0f);
        EXPECT_EQ(c.bounds.count, 0);
        EXPECT_EQ(c.vertexCount, row.expectVertices);
        ASSERT_EQ(c.vertices.size(), size_t(row.expectVertices) * 3);
        if (row.expectVertices) {
            EXPECT_EQ(c.vertices.back(), float(row.expectVertices * 3 - 1) * 0.5f);
        }
        EXPECT_EQ(c.indexCount, row.expectIndices);
        ASSERT_EQ(c.indices.size(), size_t(row.expectIndices));
        if (row.expectIndices) {
            EXPECT_EQ(c.indices, row.indices);
        }
    }
}

TEST(ReadCollision, DamagedChildren) {
    // A BBOX of 5 floats is dropped; a TRIS whose counts run past the chunk
    // keeps the whole vertices it has, and drops indices naming the rest.
    ByteWriter w;
    PutCounted(w, "Hull");
    size_t at = BeginBare(w, "BBOX");
    for (int i = 0; i < 5; ++i) PutF32(w, 9);
    EndChunk(w, at);
    at = BeginBare(w, "TRIS");
    PutU32(w, 100);
    for (int i = 0; i < 7; ++i) PutF32(w, 1);  // two whole vertices and a bit
    EndChunk(w, at);
    Model model;
    ReadCollision(ReaderOf(w.bytes), model);
    ASSERT_EQ(model.collisionMeshes.size(), 1u);
    const CollisionMesh& c = *model.collisionMeshes[0];
    EXPECT_EQ(c.bounds.boxMin[0], Bounds().boxMin[0]);
    EXPECT_EQ(c.vertexCount, 2);
    EXPECT_EQ(c.vertices.size(), 6u);
    EXPECT_EQ(c.indexCount, 0);

    // A second TRIS replaces the first.
    ByteWriter twice;
    PutCounted(twice, "Hull");
    PutTris(twice, 4, {0, 1, 2, 1, 2, 3});
    PutTris(twice, 3, {2, 1, 0});
    Model replaced;
    ReadCollision(ReaderOf(twice.bytes), replaced);
    EXPECT_EQ(replaced.collisionMeshes[0]->vertexCount, 3);
    EXPECT_EQ(replaced.collisionMeshes[0]->indices, (std::vector<uint16_t>{2, 1, 0}));

    // The joint name cut short: an object with no children read.
    ByteWriter shortName;
    PutU32(shortName, 50);
    PutText(shortName, "Hu");
    Model named;
    ReadCollision(ReaderOf(shortName.bytes), named);
    ASSERT_EQ(named.collisionMeshes.size(), 1u);
    EXPECT_EQ(named.collisionMeshes[0]->vertexCount, 0);
}

TEST(ReadCollision, FixtureRoundTripTwoFormsAndEveryTruncation) {
    CollisionMesh source;
    source.parentName.Set("Hull");
    for (int k = 0; k < 3; ++k) {
        source.bounds.boxMin[k] = -1;
        source.bounds.boxMax[k] = 1;
        source.bounds.sphereCentre[k] = 0.25f;
    }
    source.bounds.sphereRadius = 1.75f;
    source.vertexCount = 3;
    source.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    source.indexCount = 3;
    source.indices = {0, 1, 2};
    ByteWriter w;
    AppendCollisionForm(w, source);
    const std::vector<unsigned char> content = ChunkBody(w.bytes);

    Model model;
    ReadCollision(ReaderOf(content), model);
    ReadCollision(ReaderOf(content), model);
    ASSERT_EQ(model.collisionMeshes.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const CollisionMesh& c = *model.collisionMeshes[size_t(i)];
        EXPECT_EQ(c.index, i);
        EXPECT_STREQ(c.parentName.CStr(), "Hull");
        EXPECT_EQ(c.bounds.sphereRadius, 1.75f);
        EXPECT_EQ(c.vertices, source.vertices);
        EXPECT_EQ(c.indices, source.indices);
    }

    ForEachTruncation(content, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model cutModel;
        ReadCollision(r, cutModel);
        ASSERT_EQ(cutModel.collisionMeshes.size(), 1u);
        const CollisionMesh& c = *cutModel.collisionMeshes[0];
        EXPECT_EQ(c.vertices.size(), size_t(c.vertexCount) * 3);
        EXPECT_EQ(c.indices.size(), size_t(c.indexCount));
        for (uint16_t i : c.indices) EXPECT_LT(int(i), c.vertexCount);
        EXPECT_EQ(ModelProblems(cutModel), "");
    });
}

TEST(ReadShapes, EveryTruncationOfShapeBurnAndVolume) {
    const std::vector<unsigned char> shape = ShapeBody(3, 3);
    ForEachTruncation(shape, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model model;
        ReadEngineShape(r, model);
        ASSERT_EQ(model.engineShapes.size(), 1u);
        EXPECT_LT(model.engineShapes[0]->vertexCount, 3);
        EXPECT_EQ(model.engineShapes[0]->vertices.size(),
                  size_t(model.engineShapes[0]->vertexCount) * 3);
        EXPECT_EQ(ModelProblems(model), "");
    });
    const std::vector<unsigned char> burn = BurnBody(2, 2, 4);
    ForEachTruncation(burn, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model model;
        ReadEngineBurn(r, model);
        ASSERT_EQ(model.engineBurns.size(), 1u);
        EXPECT_LT(model.engineBurns[0]->vertexCount, 4);
        EXPECT_EQ(model.engineBurns[0]->vertices.size(),
                  size_t(model.engineBurns[0]->vertexCount) * 3);
        EXPECT_EQ(ModelProblems(model), "");
    });
    // The bounding volume has the engine shape's layout; nothing is kept.
    ForEachTruncation(shape, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model model;
        ReadBoundingVolume(r, model);
        EXPECT_TRUE(model.engineShapes.empty());
        EXPECT_EQ(ModelProblems(model), "");
    });
    Model model;
    ReadBoundingVolume(ReaderOf(ShapeBody(0xFFFFFFF0u, 1)), model);
    EXPECT_TRUE(model.engineShapes.empty() && model.collisionMeshes.empty());
}

TEST(ReadGlow, NegativeMeshLodTakesTheGlowLevel) {
    for (bool infoFirst : {true, false}) {
        SCOPED_TRACE(infoFirst);
        ByteWriter w;
        if (infoFirst) PutGlowInfo(w, "Halo", "Engine", 4);
        size_t at = BeginNrml(w, "BMSH", 1);
        PutSmallMesh(w, -65536);
        EndChunk(w, at);
        if (!infoFirst) PutGlowInfo(w, "Halo", "Engine", 4);
        Model model;
        ReadGlow(ReaderOf(w.bytes), model);
        EXPECT_EQ(ModelProblems(model), "");
        ASSERT_NE(model.glows[0]->mesh, nullptr);
        EXPECT_EQ(model.glows[0]->mesh->lod, 4);
    }
}
