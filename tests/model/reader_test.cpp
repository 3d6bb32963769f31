// The model readers over edge cases, one table per kind of record: what each
// layout reads into and whether the model is marked damaged. Reads work on
// exact-size heap copies (AddressSanitizer sees any over-read) and are
// checked against the model's invariants. MAD damage: the byte-patch sweep.
#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace {

std::unique_ptr<Model> ReadChecked(const Bytes& bytes) {
    std::vector<std::string> problems;
    std::unique_ptr<Model> model = ReadZemChecked(bytes, &problems);
    for (const std::string& p : problems) ADD_FAILURE() << p;
    return model;
}

// A model file whose "HVMD" form holds exactly the given child bytes.
Bytes ZemWithHvmd(const Bytes& children) {
    return ZemWithForm("HVMD", [&](ByteWriter& w) { PutBytes(w, children.data(), children.size()); });
}

// A file from tokens: "V" the VERS form (512), "V7" VERS 7, "N" the multi mesh
// NAME form, "N:text" another NAME, "M:x" an HVMD form holding one material x,
// "J" a chunk whose length has the top bit set (it would move the walk back).
Bytes TopLevel(std::initializer_list<std::string> tokens) {
    ByteWriter w;
    for (const std::string& t : tokens) {
        if (t[0] == 'V') Chunk(w, BeginForm(w, "VERS"), [&] { PutU32(w, t.size() > 1 ? 7 : 512); });
        if (t[0] == 'N')
            Chunk(w, BeginForm(w, "NAME"), [&] { PutText(w, t.size() > 1 ? t.c_str() + 2 : "Drelmarch2 Multi Mesh File"); });
        if (t[0] == 'M') {
            Chunk(w, BeginForm(w, "HVMD"), [&] {
                Chunk(w, BeginNrml(w, "STAT", 2), [&] {
                    PutCounted(w, t.substr(2));
                    PutCounted(w, "s");
                    PutU32(w, 0);
                });
            });
        }
        if (t[0] == 'J') PutBytes(w, "JUNK\x80\0\0\x04\0\0\0\0", 12);
    }
    return w.bytes;
}

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

}  // namespace

TEST(ReadModelFile, TopLevelForms) {
    const struct {
        const char* name;
        Bytes bytes;
        bool made;
        uint32_t version;
        std::vector<std::string> materials;
        bool damaged;
    } rows[] = {
        {"lower_case_name", TopLevel({"V", "N:drelmarch2 multi mesh file", "M:a"}), true, 512, {"a"}, false},
        {"name_before_vers_keeps_version_0", TopLevel({"N", "V", "M:a"}), true, 0, {"a"}, false},
        {"foreign_name_stops_before_any_model", TopLevel({"V", "N:Drelmarch2 Single Mesh File", "N", "M:a"}),
         false, 0, {}, false},
        {"foreign_name_after_model_returns_it", TopLevel({"V", "N", "M:a", "N:other", "M:b"}), true, 512, {"a"}, false},
        {"second_name_keeps_first_model", TopLevel({"V", "N", "M:a", "V7", "N", "M:b"}), true, 512, {"a", "b"}, false},
        {"data_form_before_name_skipped", TopLevel({"V", "M:early", "N", "M:a"}), true, 512, {"a"}, false},
        {"negative_length_ends_walk", TopLevel({"V", "N", "J", "M:after"}), true, 512, {}, true},
        {"empty_file", {}, false, 0, {}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto model = ReadChecked(row.bytes);
        ASSERT_EQ(bool(model), row.made);
        if (!model) continue;
        EXPECT_EQ(model->version, row.version);
        std::vector<std::string> names;
        for (const auto& m : model->materials) names.push_back(m->name.value);
        EXPECT_EQ(names, row.materials);
        EXPECT_EQ(bool(model->damage), row.damaged);
    }
}

TEST(ReadMesh, DamagedCountsAreClippedAndBadIndicesEmptied) {
    struct Row {
        const char* name;
        int32_t partCount;
        std::vector<PartSpec> parts;
        std::vector<int32_t> vertexCounts;              // per part read
        std::vector<std::vector<int32_t>> indexCounts;  // per part, per group
        bool damaged;
    };
    const Row rows[] = {
        {"well_formed", 1, {{0x0001, 3, 12, {{0x0202, 3, {0, 1, 2}}}}}, {3}, {{3}}, false},
        {"negative_part_count", -1, {{0x0001, 1, 4, {}}}, {}, {}, false},
        {"part_count_past_chunk", 0x7FFFFFFF, {{0x0001, 1, 4, {}}}, {1}, {{}}, true},
        {"vertex_count_past_chunk", 1, {{0x0001, 1000000, 9, {}}}, {2}, {{}}, true},
        {"negative_vertex_count", 1, {{0x0001, -4, 0, {{0x0202, 0, {}}}}}, {0}, {{0}}, false},
        {"group_count_past_chunk", 1, {{0x0001, 3, 12, {{0x0202, 3, {0, 1, 2}}}, 0x7FFF}}, {3}, {{3}}, true},
        {"index_count_past_chunk", 1, {{0x0001, 3, 12, {{0x0205, 1000, {0, 1, 2, 1}}}}}, {3}, {{4}}, true},
        {"negative_index_count", 1, {{0x0001, 3, 12, {{0x0202, -3, {}}, {0x0202, 3, {2, 1, 0}}}}}, {3}, {{0, 3}}, false},
        {"index_beyond_vertices_empties_group", 1,
         {{0x0001, 3, 12, {{0x0202, 3, {0, 1, 3}}, {0x0202, 3, {0, 1, 2}}}}}, {3}, {{0, 3}}, true},
        {"zero_vertices_no_index_fits", 1, {{0x0008, 0, 0, {{0x0202, 3, {0, 0, 0}}}}}, {0}, {{0}}, true},
        // A format without components still counts a byte per vertex: only the
        // two bytes after the count remain.
        {"stride_zero_count_bounded", 1, {{0x0000, 0x7FFFFFFF, 0, {}}}, {2}, {{}}, true},
        // Format bits fold: 0x0010 and 0x0040 read as texture coordinates and
        // positions; two texture coordinate sets keep one.
        {"folded_format", 1, {{0x0073, 2, 20, {{0x0202, 3, {0, 1, 1}}}}}, {2}, {{3}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        Chunk(w, BeginNrml(w, "MULT", 1), [&] {
            PutCounted(w, "hull");
            PutCounted(w, "Hull");
            PutU32(w, 0);
            const Bytes body = MeshBody(2, row.partCount, row.parts);
            Chunk(w, BeginNrml(w, "BMSH", 1), [&] { PutBytes(w, body.data(), body.size()); });
        });
        auto model = ReadChecked(ZemWithHvmd(w.bytes));
        ASSERT_TRUE(model && model->multiMeshes.size() == 1 && model->multiMeshes[0]->meshes.size() == 1);
        EXPECT_EQ(bool(model->damage), row.damaged);
        const Mesh& mesh = *model->multiMeshes[0]->meshes[0];
        ASSERT_EQ(mesh.parts.size(), row.vertexCounts.size());
        for (size_t p = 0; p < mesh.parts.size(); ++p) {
            const MeshPart& part = mesh.parts[p];
            EXPECT_EQ(part.vertexCount, row.vertexCounts[p]);
            ASSERT_EQ(part.groups.size(), row.indexCounts[p].size());
            for (size_t g = 0; g < part.groups.size(); ++g) EXPECT_EQ(part.groups[g].indexCount, row.indexCounts[p][g]) << g;
        }
    }
}

TEST(ReadTextureImage, LevelByteCounts) {
    // Each row writes `stored` bytes for the first level; with count 2 a
    // second level header follows, found only if the first was sized right.
    const struct {
        const char* format;
        int32_t width, height;
        int32_t size;  // hand-computed
        uint32_t count;
        size_t stored;
        bool damaged;
    } rows[] = {
        {"DXT1", 256, 256, 32768, 2, 32768, true}, {"DXT1", 2, 2, 8, 2, 8, true},    {"DXT1", 1, 1, 8, 2, 8, true},
        {"DXT5", 256, 256, 65536, 2, 65536, true}, {"DXT5", 1, 1, 16, 2, 16, true},  {"8888", 2, 1, 8, 2, 8, true},
        {"dxt1", 8, 8, 32, 2, 32, true},           {"DXT1", 6, 6, 8, 2, 8, true},    {"DXT3", 12, 4, 48, 2, 48, true},
        {"8888", -3, 2, 8, 2, 8, true},            {"ABCD", 8, 8, 64, 2, 64, true},  {"Dxt1", 7, 9, 16, 2, 16, true},
        {"8888", 2, 2, 16, 1, 16, false},
        {"DXT1", 8, 8, 32, 1, 10, true},  // level cut short
        {"8888", 1, 1, 4, 0xFFFFFFFFu, 4, true},  // count far past the chunk
        {"8888", 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 1, 12, true},  // size past 32 bits
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.format << " " << row.width << "x" << row.height);
        ByteWriter w;
        Chunk(w, BeginBare(w, "LMIP"), [&] {
            PutCounted(w, "tex\\hull.dds");
            PutFourCC(w, row.format);
            for (int32_t v : {int32_t(row.count), row.width, row.height}) PutI32(w, v);
            for (size_t i = 0; i < row.stored; ++i) PutU8(w, uint8_t(i));
            if (row.count == 2) {  // a second level: width and height only
                PutI32(w, 7777);
                PutI32(w, 1);
            }
        });
        auto model = ReadChecked(ZemWithHvmd(w.bytes));
        ASSERT_TRUE(model);
        EXPECT_EQ(bool(model->damage), row.damaged);
        ASSERT_EQ(model->images.size(), 1u);
        const TextureImage& image = *model->images[0];
        EXPECT_EQ(image.format.value, row.format);
        ASSERT_EQ(image.levels.size(), row.count == 2 ? 2u : 1u);
        EXPECT_EQ(image.levels[0].size, row.size);
        ASSERT_EQ(image.levels[0].data.size(), row.stored);
        EXPECT_EQ(image.levels[0].data.back(), uint8_t(row.stored - 1));
        if (row.count != 2) continue;
        EXPECT_EQ(image.levels[1].width, 7777);
        EXPECT_TRUE(image.levels[1].data.empty());  // nothing of it is stored
    }
}

TEST(ReadMaterial, CountsAndSizesPastTheChunk) {
    // Version 2 names each parameter after its data; extra data bytes are
    // skipped, a size below the known data never moves the reading back.
    const struct {
        const char* name;
        uint32_t count;
        int32_t dataSize;
        uint32_t shaderLength;  // 0: the shader is stored whole
        size_t params;
        bool damaged;
    } rows[] = {
        {"well_formed", 1, 16, 0, 1, false},        {"extra_data_skipped", 1, 20, 0, 1, false},
        {"size_below_the_colour", 1, 8, 0, 1, false}, {"count_past_chunk", 0xFFFFFFFFu, 16, 0, 1, true},
        {"two_of_one", 2, 16, 0, 1, true},          {"size_past_chunk", 1, 0x7FFFFFFF, 0, 1, true},
        {"shader_past_chunk", 1, 16, 0xFFFFFFF0u, 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        Chunk(w, BeginNrml(w, "STAT", 2), [&] {
            PutCounted(w, "m");
            if (row.shaderLength) {
                PutU32(w, row.shaderLength);
                PutText(w, "shad");
                return;
            }
            PutCounted(w, "shad");
            PutU32(w, row.count);
            PutI32(w, kParamColour);
            PutI32(w, row.dataSize);
            for (float v : {1.0f, 2.0f, 3.0f, 4.0f}) PutF32(w, v);
            if (row.dataSize == 20) PutU32(w, 0xEEEEEEEE);
            PutCounted(w, "$p");
        });
        Chunk(w, BeginBare(w, "STAT"), [&] {  // the next chunk is found where it starts
            PutCounted(w, "second");
            PutCounted(w, "s");
            PutU32(w, 2);  // the old layout: parameters named by their place
            for (int32_t v : {int32_t(kParamColour), 16, 0, 0, 0, 0, 7, 0}) PutI32(w, v);
        });
        auto model = ReadChecked(ZemWithHvmd(w.bytes));
        ASSERT_TRUE(model);
        EXPECT_EQ(bool(model->damage), row.damaged);
        ASSERT_EQ(model->materials.size(), 2u);
        const Material& m = *model->materials[0];
        EXPECT_EQ(m.shader.value, "shad");
        ASSERT_EQ(m.params.size(), row.params);
        if (row.params) {
            EXPECT_EQ(m.params[0].colour[1], 2.0f);
            EXPECT_EQ(m.params[0].name.value, row.dataSize < 100 ? "$p" : "");  // a size past the chunk leaves no name
        }
        EXPECT_EQ(model->materials[1]->name.value, "second");
        ASSERT_EQ(model->materials[1]->params.size(), 2u);
        EXPECT_EQ(model->materials[1]->params[0].name.value + " " + model->materials[1]->params[1].name.value,
                  "Colour1 Unknown2");
        EXPECT_EQ(model->materials[1]->index, 1);
    }
}
