// Material ("STAT") and texture image ("LMIP") bodies.
#include <gtest/gtest.h>

#include "model/object_readers.h"
#include "tests/model/read_checked.h"

namespace {

// One parameter in the file layout: type, data size, the given data bytes,
// then the name when the material stores names.
void PutParam(ByteWriter& w, int32_t type, int32_t dataSize, const std::vector<unsigned char>& data,
              const char* name) {
    PutI32(w, type);
    PutI32(w, dataSize);
    PutBytes(w, data.data(), data.size());
    if (name) PutCounted(w, name);
}

std::vector<unsigned char> Colour(float r, float g, float b, float a) {
    ByteWriter w;
    PutF32(w, r);
    PutF32(w, g);
    PutF32(w, b);
    PutF32(w, a);
    return w.bytes;
}

std::vector<unsigned char> U32Bytes(uint32_t v) {
    ByteWriter w;
    PutU32(w, v);
    return w.bytes;
}

std::unique_ptr<Model> ReadHvmdChild(const ByteWriter& child) { return ReadZemChecked(ZemWithHvmd(child.bytes)); }

}  // namespace

TEST(ReadMaterial, BareStatNamesParametersByPosition) {
    struct Row {
        const char* name;
        std::vector<int32_t> types;
        std::vector<std::string> names;
        const char* shader;
    };
    const Row rows[] = {
        {"texture_colour_unknown", {5, 4, 7}, {"$diffuse", "Colour2", "Unknown3"}, "fx"},
        {"no_texture_keeps_shader", {4, 4, 9}, {"Colour1", "Colour2", "Unknown3"}, "ship_hull"},
        {"texture_last", {4, 5}, {"Colour1", "$diffuse"}, "fx"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        size_t at = BeginBare(w, "STAT");
        PutCounted(w, "hull");
        PutCounted(w, "ship_hull");
        PutU32(w, uint32_t(row.types.size()));
        for (int32_t type : row.types) {
            if (type == 4) PutParam(w, 4, 16, Colour(1, 0.5f, 0.25f, 1), nullptr);
            else if (type == 5) PutParam(w, 5, 4, U32Bytes(3), nullptr);
            else PutParam(w, type, 0, {}, nullptr);
        }
        EndChunk(w, at);
        auto model = ReadHvmdChild(w);
        ASSERT_TRUE(model);
        ASSERT_EQ(model->materials.size(), 1u);
        const Material& m = *model->materials[0];
        EXPECT_EQ(m.version, 0u);
        EXPECT_EQ(m.name.value, "hull");
        EXPECT_EQ(m.shader.value, row.shader);
        ASSERT_EQ(m.params.size(), row.names.size());
        for (size_t i = 0; i < m.params.size(); ++i) {
            EXPECT_EQ(m.params[i].name.value, row.names[i]);
            EXPECT_EQ(m.params[i].type, row.types[i]);
            if (row.types[i] == 5) {
                EXPECT_EQ(m.params[i].imageIndex, 3);
            }
            if (row.types[i] == 4) {
                EXPECT_EQ(m.params[i].colour[2], 0.25f);
            }
        }
    }
}

TEST(ReadMaterial, NamedParametersAfterTheirData) {
    // Version 2: each name follows its data; extra data bytes are skipped; a
    // data size below the known data never moves the reading backwards.
    ByteWriter w;
    size_t at = BeginNrml(w, "STAT", 2);
    PutCounted(w, "glass");
    PutCounted(w, "window");
    PutU32(w, 5);
    std::vector<unsigned char> colourPlus = Colour(0.1f, 0.2f, 0.3f, 0.4f);
    colourPlus.insert(colourPlus.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    PutParam(w, 4, 20, colourPlus, "$colour");
    PutParam(w, 6, 0, {}, "$empty");
    PutParam(w, 5, 12, {7, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, "$glow");
    PutParam(w, 4, 8, Colour(1, 1, 1, 1), "$short");  // size below the four floats
    PutParam(w, 9, -5, {}, "$negative");
    EndChunk(w, at);

    auto model = ReadHvmdChild(w);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 1u);
    const Material& m = *model->materials[0];
    EXPECT_EQ(m.version, 2u);
    EXPECT_EQ(m.shader.value, "window");
    const char* names[] = {"$colour", "$empty", "$glow", "$short", "$negative"};
    ASSERT_EQ(m.params.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(m.params[i].name.value, names[i]) << i;
    EXPECT_EQ(m.params[0].colour[3], 0.4f);
    EXPECT_EQ(m.params[2].imageIndex, 7);
    EXPECT_EQ(m.params[3].colour[0], 1.0f);
    EXPECT_EQ(m.params[4].type, 9);
}

TEST(ReadMaterial, CountsPastTheChunkAreClipped) {
    struct Row {
        const char* name;
        uint32_t count;
        int32_t dataSize;
        size_t params;
    };
    const Row rows[] = {
        {"count_all_bits", 0xFFFFFFFFu, 16, 1},
        {"count_two_one_stored", 2, 16, 1},
        {"data_size_past_chunk", 1, 0x7FFFFFFF, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        size_t at = BeginNrml(w, "STAT", 2);
        PutCounted(w, "m");
        PutCounted(w, "s");
        PutU32(w, row.count);
        PutParam(w, 4, row.dataSize, Colour(1, 2, 3, 4), "$p");
        EndChunk(w, at);
        auto model = ReadHvmdChild(w);
        ASSERT_TRUE(model);
        ASSERT_EQ(model->materials.size(), 1u);
        EXPECT_EQ(model->materials[0]->params.size(), row.params);
        EXPECT_EQ(model->materials[0]->params[0].colour[1], 2.0f);
    }
}

TEST(ReadMaterial, CountedStringPastChunkIsClipped) {
    ByteWriter w;
    size_t at = BeginNrml(w, "STAT", 2);
    PutCounted(w, "name");
    PutU32(w, 0xFFFFFFF0u);
    PutText(w, "shad");
    EndChunk(w, at);
    ByteWriter after;
    size_t next = BeginBare(after, "STAT");
    PutCounted(after, "second");
    PutCounted(after, "s");
    PutU32(after, 0);
    EndChunk(after, next);
    w.bytes.insert(w.bytes.end(), after.bytes.begin(), after.bytes.end());
    auto model = ReadHvmdChild(w);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 2u);
    EXPECT_EQ(model->materials[0]->shader.value, "shad");
    EXPECT_EQ(model->materials[1]->name.value, "second");
    EXPECT_EQ(model->materials[1]->index, 1);
}

TEST(ReadTextureImage, LevelByteCounts) {
    struct Row {
        const char* format;
        int32_t width, height;
        int32_t bytes;  // hand-computed
    };
    const Row rows[] = {
        {"DXT1", 256, 256, 32768}, {"DXT1", 2, 2, 8},   {"DXT1", 1, 1, 8},     {"DXT5", 256, 256, 65536},
        {"DXT5", 2, 2, 16},        {"DXT5", 1, 1, 16},  {"8888", 2, 1, 8},     {"dxt1", 8, 8, 32},
        {"DXT1", 6, 6, 8},         {"DXT3", 12, 4, 48}, {"8888", 0, 0, 4},     {"8888", -3, 2, 8},
        {"DXT3", -8, 16, 64},      {"ABCD", 8, 8, 64},  {"8888", 3, 5, 60},    {"Dxt1", 7, 9, 16},
    };
    for (const Row& row : rows) {
        std::string trace = std::string(row.format) + " " + std::to_string(row.width) + "x" + std::to_string(row.height);
        SCOPED_TRACE(trace);
        ByteWriter w;
        size_t at = BeginBare(w, "LMIP");
        PutCounted(w, "tex\\hull.dds");
        PutFourCC(w, row.format);
        PutU32(w, 2);
        PutI32(w, row.width);
        PutI32(w, row.height);
        for (int32_t i = 0; i < row.bytes; ++i) PutU8(w, uint8_t(i));
        // A second level right behind: found only if the first was sized right.
        PutI32(w, 7777);
        PutI32(w, 1);
        EndChunk(w, at);
        auto model = ReadHvmdChild(w);
        ASSERT_TRUE(model);
        ASSERT_EQ(model->images.size(), 1u);
        const TextureImage& image = *model->images[0];
        EXPECT_EQ(image.format.value, row.format);
        EXPECT_EQ(image.name.value, "tex\\hull.dds");
        ASSERT_EQ(image.levels.size(), 2u);
        EXPECT_EQ(image.levels[0].size, row.bytes);
        ASSERT_EQ(image.levels[0].data.size(), size_t(row.bytes));
        EXPECT_EQ(image.levels[0].data.back(), uint8_t(row.bytes - 1));
        EXPECT_EQ(image.levels[1].width, 7777);
        EXPECT_TRUE(image.levels[1].data.empty());  // nothing of it is stored
    }
}

TEST(ReadTextureImage, ShortAndHugeLevels) {
    struct Row {
        const char* name;
        const char* format;
        uint32_t count;
        int32_t width, height;
        size_t stored;
        int32_t size;
        size_t levels;
    };
    const Row rows[] = {
        {"level_cut_short", "DXT1", 1, 8, 8, 10, 32, 1},
        {"count_far_past_chunk", "8888", 0xFFFFFFFFu, 1, 1, 4, 4, 1},
        {"size_past_32_bits", "8888", 1, 0x7FFFFFFF, 0x7FFFFFFF, 12, 0x7FFFFFFF, 1},
        {"no_level_stored", "DXT5", 3, 4, 4, 0, 16, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteWriter w;
        size_t at = BeginBare(w, "LMIP");
        PutCounted(w, "t");
        PutFourCC(w, row.format);
        PutU32(w, row.count);
        PutI32(w, row.width);
        PutI32(w, row.height);
        for (size_t i = 0; i < row.stored; ++i) PutU8(w, 0xAB);
        EndChunk(w, at);
        auto model = ReadHvmdChild(w);
        ASSERT_TRUE(model);
        ASSERT_EQ(model->images.size(), 1u);
        const TextureImage& image = *model->images[0];
        ASSERT_EQ(image.levels.size(), row.levels);
        EXPECT_EQ(image.levels[0].size, row.size);
        EXPECT_EQ(image.levels[0].data.size(), row.stored);
    }
}

TEST(ReadTextureImage, FormatCodeStopsAtZeroByte) {
    ByteWriter w;
    size_t at = BeginBare(w, "LMIP");
    PutCounted(w, "t");
    PutBytes(w, "DX\0\0", 4);
    PutU32(w, 0);
    EndChunk(w, at);
    auto model = ReadHvmdChild(w);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->images.size(), 1u);
    EXPECT_EQ(model->images[0]->format.value, "DX");
    EXPECT_TRUE(model->images[0]->levels.empty());
}
