// Material ("STAT") and texture image ("LMIP") bodies.
#include <gtest/gtest.h>

#include "tests/model/model_test_support.h"

namespace {

// One parameter in the file layout: type, data size, the data bytes, then
// the name when the material stores names.
void PutParam(ByteWriter& w, int32_t type, int32_t dataSize, const Bytes& data, const char* name = nullptr) {
    PutI32(w, type);
    PutI32(w, dataSize);
    PutBytes(w, data.data(), data.size());
    if (name) PutCounted(w, name);
}

Bytes Colour(float r, float g, float b, float a) {
    ByteWriter w;
    PutF32s(w, {r, g, b, a});
    return w.bytes;
}

const Material& OnlyMaterial(const std::unique_ptr<Model>& model) {
    EXPECT_TRUE(model && model->materials.size() == 1);
    return *model->materials.at(0);
}

}  // namespace

TEST(ReadMaterial, BareStatNamesParametersByPosition) {
    struct Row {
        std::vector<int32_t> types;
        std::vector<std::string> names;
        const char* shader;
    };
    const Row rows[] = {
        {{5, 4, 7}, {"$diffuse", "Colour2", "Unknown3"}, "fx"},
        {{4, 4, 9}, {"Colour1", "Colour2", "Unknown3"}, "ship_hull"},
        {{4, 5}, {"Colour1", "$diffuse"}, "fx"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.names[0] + " " + row.names[1]);
        ByteWriter w;
        size_t at = BeginBare(w, "STAT");
        PutCounted(w, "hull");
        PutCounted(w, "ship_hull");
        PutU32(w, uint32_t(row.types.size()));
        for (int32_t type : row.types) {
            if (type == 4) PutParam(w, 4, 16, Colour(1, 0.5f, 0.25f, 1));
            else if (type == 5) PutParam(w, 5, 4, Words({3}));
            else PutParam(w, type, 0, {});
        }
        EndChunk(w, at);
        auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
        const Material& m = OnlyMaterial(model);
        EXPECT_EQ(m.version, 0u);
        EXPECT_EQ(m.name.value, "hull");
        EXPECT_EQ(m.shader.value, row.shader);
        ASSERT_EQ(m.params.size(), row.names.size());
        for (size_t i = 0; i < m.params.size(); ++i) {
            EXPECT_EQ(m.params[i].name.value, row.names[i]);
            EXPECT_EQ(m.params[i].type, row.types[i]);
            if (row.types[i] == 5) { EXPECT_EQ(m.params[i].imageIndex, 3); }
            if (row.types[i] == 4) { EXPECT_EQ(m.params[i].colour[2], 0.25f); }
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
    Bytes colourPlus = Colour(0.1f, 0.2f, 0.3f, 0.4f);
    colourPlus.insert(colourPlus.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    PutParam(w, 4, 20, colourPlus, "$colour");
    PutParam(w, 6, 0, {}, "$empty");
    PutParam(w, 5, 12, {7, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, "$glow");
    PutParam(w, 4, 8, Colour(1, 1, 1, 1), "$short");  // size below the four floats
    PutParam(w, 9, -5, {}, "$negative");
    EndChunk(w, at);
    auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
    const Material& m = OnlyMaterial(model);
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
        uint32_t count;
        int32_t dataSize;
        uint32_t shaderLength;  // 0: the shader is stored whole
    };
    const Row rows[] = {{0xFFFFFFFFu, 16, 0}, {2, 16, 0}, {1, 0x7FFFFFFF, 0}, {1, 16, 0xFFFFFFF0u}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.count << " " << row.dataSize << " " << row.shaderLength);
        ByteWriter w;
        size_t at = BeginNrml(w, "STAT", 2);
        PutCounted(w, "m");
        if (row.shaderLength) {
            PutU32(w, row.shaderLength);
            PutText(w, "shad");
        } else {
            PutCounted(w, "shad");
            PutU32(w, row.count);
            PutParam(w, 4, row.dataSize, Colour(1, 2, 3, 4), "$p");
        }
        EndChunk(w, at);
        at = BeginBare(w, "STAT");  // the next chunk is found where it starts
        PutCounted(w, "second");
        PutCounted(w, "s");
        PutU32(w, 0);
        EndChunk(w, at);
        auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
        ASSERT_TRUE(model);
        ASSERT_EQ(model->materials.size(), 2u);
        const Material& m = *model->materials[0];
        EXPECT_EQ(m.shader.value, "shad");
        ASSERT_EQ(m.params.size(), row.shaderLength ? 0u : 1u);
        if (!row.shaderLength) { EXPECT_EQ(m.params[0].colour[1], 2.0f); }
        EXPECT_EQ(model->materials[1]->name.value, "second");
        EXPECT_EQ(model->materials[1]->index, 1);
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
    } rows[] = {
        {"DXT1", 256, 256, 32768, 2, 32768}, {"DXT1", 2, 2, 8, 2, 8},      {"DXT1", 1, 1, 8, 2, 8},
        {"DXT5", 256, 256, 65536, 2, 65536}, {"DXT5", 1, 1, 16, 2, 16},    {"8888", 2, 1, 8, 2, 8},
        {"dxt1", 8, 8, 32, 2, 32},           {"DXT1", 6, 6, 8, 2, 8},      {"DXT3", 12, 4, 48, 2, 48},
        {"8888", -3, 2, 8, 2, 8},            {"ABCD", 8, 8, 64, 2, 64},    {"Dxt1", 7, 9, 16, 2, 16},
        {"DXT1", 8, 8, 32, 1, 10},  // level cut short
        {"8888", 1, 1, 4, 0xFFFFFFFFu, 4},  // count far past the chunk
        {"8888", 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 1, 12},  // size past 32 bits
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
        auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
        ASSERT_TRUE(model);
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
