// Multi meshes, goblin meshes and "BMSH" mesh bodies; vertex layouts and
// triangle counts.
#include <gtest/gtest.h>

#include "model/mesh_info.h"
#include "model/object_readers.h"
#include "tests/model/model_test_support.h"

namespace {

struct GroupSpec {
    uint32_t type;
    int32_t indexCount;             // as written in the file
    std::vector<uint16_t> indices;  // as many as are stored
};

struct PartSpec {
    uint32_t format;
    int32_t vertexCount;  // as written in the file
    size_t floatsStored;  // floats actually written (value = position in the part)
    std::vector<GroupSpec> groups;
    int16_t groupCount = -1;  // -1: the number of groups
};

// A "BMSH" body laid out field by field.
Bytes MeshBody(int32_t lod, int32_t partCount, const std::vector<PartSpec>& parts) {
    ByteWriter w;
    PutI32(w, lod);
    PutI32(w, partCount);
    for (const PartSpec& p : parts) {
        PutI32(w, 3);
        PutU32(w, p.format);
        PutI32(w, p.vertexCount);
        for (size_t i = 0; i < p.floatsStored; ++i) PutF32(w, float(i));
        PutU16(w, uint16_t(p.groupCount >= 0 ? p.groupCount : int16_t(p.groups.size())));
        for (const GroupSpec& g : p.groups) {
            PutU32(w, g.type);
            PutI32(w, g.indexCount);
            for (uint16_t i : g.indices) PutU16(w, i);
        }
    }
    return w.bytes;
}

std::unique_ptr<Mesh> ReadMeshBytes(const Bytes& bytes) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size()]);  // exact size for ASan
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return ReadMesh(MakeByteReader(copy.get(), bytes.size()));
}

}  // namespace

TEST(ReadMesh, FormatFoldingStrideAndLayout) {
    struct Row {
        uint32_t fileFormat, storedFormat;
        int32_t stride, normal, texCoord;
    };
    const Row rows[] = {
        {0x0019, 0x0009, 6, 0, 4}, {0x0010, 0x0008, 2, 0, 0},  {0x0041, 0x0009, 6, 0, 4},
        {0x0073, 0x000B, 10, 4, 8}, {0x8003, 0x8003, 6, 3, 0}, {0x800B, 0x800B, 8, 3, 6},
        {0x6001, 0x6001, 10, 0, 0}, {0x0100, 0x0100, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.fileFormat);
        // Two vertices, then a list group: the group is found only when the
        // vertex data was read with the right stride.
        PartSpec part{row.fileFormat, 2, size_t(row.stride) * 2, {{0x0202, 3, {0, 1, 1}}}};
        auto mesh = ReadMeshBytes(MeshBody(0, 1, {part}));
        ASSERT_EQ(mesh->parts.size(), 1u);
        const MeshPart& p = mesh->parts[0];
        EXPECT_EQ(p.format, row.storedFormat);
        EXPECT_EQ(p.stride, row.stride);
        ASSERT_EQ(p.vertices.size(), size_t(row.stride) * 2);
        ASSERT_EQ(p.groups.size(), 1u);
        EXPECT_EQ(p.groups[0].indices, (std::vector<uint16_t>{0, 1, 1}));
        VertexLayoutInfo layout = VertexLayout(p.format);
        EXPECT_EQ(layout.stride, row.stride);
        EXPECT_EQ(layout.normal, row.normal);
        EXPECT_EQ(layout.texCoord, row.texCoord);
    }
}

TEST(ReadMesh, DamagedCountsAreClippedAndBadIndicesEmptied) {
    struct Row {
        const char* name;
        int32_t partCount;
        std::vector<PartSpec> parts;
        std::vector<int32_t> vertexCounts;              // per part read
        std::vector<std::vector<int32_t>> indexCounts;  // per part, per group
    };
    const Row rows[] = {
        {"negative_part_count", -1, {{0x0001, 1, 4, {}}}, {}, {}},
        {"part_count_past_chunk", 0x7FFFFFFF, {{0x0001, 1, 4, {}}}, {1}, {{}}},
        {"vertex_count_past_chunk", 1, {{0x0001, 1000000, 9, {}}}, {2}, {{}}},
        {"negative_vertex_count", 1, {{0x0001, -4, 0, {{0x0202, 0, {}}}}}, {0}, {{0}}},
        {"group_count_past_chunk", 1, {{0x0001, 3, 12, {{0x0202, 3, {0, 1, 2}}}, 0x7FFF}}, {3}, {{3}}},
        {"index_count_past_chunk", 1, {{0x0001, 3, 12, {{0x0205, 1000, {0, 1, 2, 1}}}}}, {3}, {{4}}},
        {"negative_index_count", 1, {{0x0001, 3, 12, {{0x0202, -3, {}}, {0x0202, 3, {2, 1, 0}}}}}, {3}, {{0, 3}}},
        {"index_beyond_vertices_empties_group", 1,
         {{0x0001, 3, 12, {{0x0202, 3, {0, 1, 3}}, {0x0202, 3, {0, 1, 2}}}}}, {3}, {{0, 3}}},
        {"zero_vertices_no_index_fits", 1, {{0x0008, 0, 0, {{0x0202, 3, {0, 0, 0}}}}}, {0}, {{0}}},
        // A format without components still counts a byte per vertex: only the
        // two bytes after the count remain.
        {"stride_zero_count_bounded", 1, {{0x0000, 0x7FFFFFFF, 0, {}}}, {2}, {{}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto mesh = ReadMeshBytes(MeshBody(2, row.partCount, row.parts));
        ASSERT_TRUE(mesh);
        ASSERT_EQ(mesh->parts.size(), row.vertexCounts.size());
        for (size_t p = 0; p < mesh->parts.size(); ++p) {
            const MeshPart& part = mesh->parts[p];
            EXPECT_EQ(part.vertexCount, row.vertexCounts[p]);
            EXPECT_EQ(part.vertices.size(), size_t(part.vertexCount) * size_t(part.stride));
            ASSERT_EQ(part.groups.size(), row.indexCounts[p].size());
            for (size_t g = 0; g < part.groups.size(); ++g) {
                EXPECT_EQ(part.groups[g].indexCount, row.indexCounts[p][g]) << g;
                EXPECT_EQ(part.groups[g].indices.size(), size_t(part.groups[g].indexCount));
            }
        }
    }
}

TEST(TriangleCount, PerPrimitiveType) {
    struct Row {
        uint32_t type;
        int64_t indices, triangles;
    };
    const Row rows[] = {
        {0x0202, 5, 1}, {0x0202, 6, 2}, {0x0205, 2, 0}, {0x0205, 5, 3}, {0x0206, 2, 0},
        {0x0206, 4, 2}, {0x0206, 0, 0}, {0x0203, 6, 0}, {0xFFFFFFFF, 9, 0},
    };
    Mesh mesh;
    mesh.parts.resize(2);
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(testing::Message() << std::hex << rows[i].type << std::dec << " x " << rows[i].indices);
        EXPECT_EQ(GroupTriangleCount(rows[i].type, rows[i].indices), rows[i].triangles);
        PrimitiveGroup g;
        g.type = rows[i].type;
        g.indexCount = int32_t(rows[i].indices);
        mesh.parts[i % 2].groups.push_back(g);
    }
    EXPECT_EQ(TriangleCount(mesh), 8);
}

TEST(ReadMultiMesh, LodNumbersAndRecords) {
    // Three levels stored as -1, 7, -5: a negative level takes its position.
    // The goblin record has no discarded word: its mesh starts right after the names.
    PartSpec part{0x0001, 1, 4, {}};
    ByteWriter w;
    for (const char* kind : {"MULT", "GOBG"}) {
        Chunk(w, BeginNrml(w, kind, 3), [&] {
            PutCounted(w, "hull_mesh");
            PutCounted(w, "Hull");
            if (kind[0] == 'M') PutU32(w, 0xDEADBEEF);
            for (int32_t lod : {-1, 7, -5}) {
                Bytes body = MeshBody(lod, 1, {part});
                Chunk(w, BeginNrml(w, "BMSH", 1), [&] { PutBytes(w, body.data(), body.size()); });
            }
        });
    }
    auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->goblinMeshes.size(), 1u);
    for (const MultiMesh* mm : {model->multiMeshes.at(0).get(), model->goblinMeshes[0].get()}) {
        ASSERT_EQ(mm->meshes.size(), 3u);
        EXPECT_EQ(mm->meshes[0]->lod, 0);
        EXPECT_EQ(mm->meshes[1]->lod, 7);
        EXPECT_EQ(mm->meshes[2]->lod, 2);
        EXPECT_EQ(mm->meshes[2]->parts[0].vertexCount, 1);
    }
}
