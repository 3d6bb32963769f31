#include "texture/decode_pixels.h"

#include <gtest/gtest.h>

#include <array>

#include "texture/tga_writer.h"
#include "texture_test_util.h"

namespace {

using Pixel = std::array<int, 4>;

MipLevel Level(int32_t w, int32_t h, std::vector<unsigned char> data) {
    MipLevel level;
    level.width = w;
    level.height = h;
    level.size = int32_t(data.size());
    level.data = std::move(data);
    return level;
}

Pixel At(const PixelImage& image, int x, int y) {
    const unsigned char* p = image.pixels.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// RGB565 words and their 8-bit expansions (top bits repeated into the low ones).
const uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;
const Pixel kRedPx = {255, 0, 0, 255}, kGreenPx = {0, 255, 0, 255}, kBluePx = {0, 0, 255, 255},
            kWhitePx = {255, 255, 255, 255}, kNone = {0, 0, 0, 0};

TEST(DecodeLevel, Dxt1ColourModesPickedByTheOrderOfTheTwoColours) {
    const uint8_t rows[4] = {0xE4, 0xE4, 0xE4, 0xE4};  // every row: indices 0, 1, 2, 3
    struct Row {
        const char* name;
        uint16_t c0, c1;
        Pixel expect[4];
    } table[] = {
        // c0 > c1: four colours, 2 = (2 c0 + c1) / 3, 3 = (c0 + 2 c1) / 3.
        {"four colours", kRed, kBlue, {kRedPx, kBluePx, {170, 0, 85, 255}, {85, 0, 170, 255}}},
        // c0 <= c1: three colours, 2 = (c0 + c1) / 2, 3 = transparent black.
        {"three colours", kBlue, kRed, {kBluePx, kRedPx, {127, 0, 127, 255}, kNone}},
        {"equal colours", kGreen, kGreen, {kGreenPx, kGreenPx, kGreenPx, kNone}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> data;
        PutColourBlock(data, row.c0, row.c1, rows);
        std::unique_ptr<PixelImage> image;
        ASSERT_EQ(DecodeLevel(Level(4, 4, data), "DXT1", image), DecodeStatus::kOk);
        ASSERT_EQ(image->pixels.size(), 64u);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*image, x, y), row.expect[x]) << x << "," << y;
    }
}

TEST(DecodeLevel, SmallLevelsAreClippedFromOneBlock) {
    // Row 0 indices 0, 1; row 1 indices 2, 3; rows 2 and 3 all 3 (must not show).
    const uint8_t rows[4] = {0x04, 0x0E, 0xFF, 0xFF};
    std::vector<unsigned char> data;
    PutColourBlock(data, kRed, kBlue, rows);
    struct Row {
        int w, h;
        std::vector<Pixel> expect;
    } table[] = {
        {1, 1, {kRedPx}},
        {2, 2, {kRedPx, kBluePx, {170, 0, 85, 255}, {85, 0, 170, 255}}},
        {2, 1, {kRedPx, kBluePx}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.w) + "x" + std::to_string(row.h));
        std::unique_ptr<PixelImage> image;
        ASSERT_EQ(DecodeLevel(Level(row.w, row.h, data), "dxt1", image), DecodeStatus::kOk);
        ASSERT_EQ(image->pixels.size(), size_t(row.w * row.h * 4));
        for (int i = 0; i < row.w * row.h; ++i) EXPECT_EQ(At(*image, i % row.w, i / row.w), row.expect[size_t(i)]) << i;
    }
}

TEST(DecodeLevel, Dxt3TakesExplicitAlphaAndAlwaysFourColours) {
    std::vector<unsigned char> data = {0xF0, 0x18, 0, 0, 0, 0, 0, 0};  // row 0 alpha nibbles 0, F, 8, 1
    const uint8_t rows[4] = {0xE4, 0, 0, 0};
    PutColourBlock(data, kBlue, kRed, rows);  // c0 <= c1, still four colours in DXT3
    std::unique_ptr<PixelImage> image;
    ASSERT_EQ(DecodeLevel(Level(4, 4, data), "DXT3", image), DecodeStatus::kOk);
    const Pixel expect[4] = {{0, 0, 255, 0}, {255, 0, 0, 255}, {85, 0, 170, 0x88}, {170, 0, 85, 0x11}};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*image, x, 0), expect[x]) << x;
    EXPECT_EQ(At(*image, 0, 3), (Pixel{0, 0, 255, 0}));
}

TEST(DecodeLevel, Dxt5InterpolatesAlphaInBothModes) {
    std::vector<unsigned char> data;
    // Block 0: alpha0 255 > alpha1 0, eight codes; row 0 indices 0, 1, 2, 7.
    const unsigned char a[8] = {255, 0, 0x88, 0x0E, 0, 0, 0, 0};
    data.insert(data.end(), a, a + 8);
    PutFlatBlock(data, kWhite);
    // Block 1: alpha0 40 <= alpha1 200, six codes plus 0 and 255; row 0 indices 2, 5, 6, 7.
    const unsigned char b[8] = {40, 200, 0xAA, 0x0F, 0, 0, 0, 0};
    data.insert(data.end(), b, b + 8);
    PutFlatBlock(data, kWhite);

    std::unique_ptr<PixelImage> image;
    ASSERT_EQ(DecodeLevel(Level(8, 4, data), "DXT5", image), DecodeStatus::kOk);
    // (6 * 255) / 7 = 218, (1 * 255) / 7 = 36; (4 * 40 + 200) / 5 = 72, (1 * 40 + 4 * 200) / 5 = 168.
    const int expect[8] = {255, 0, 218, 36, 72, 168, 0, 255};
    for (int x = 0; x < 8; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(At(*image, x, 0), (Pixel{255, 255, 255, expect[x]}));
    }
    EXPECT_EQ(At(*image, 0, 1)[3], 255);  // index 0 of block 0
    EXPECT_EQ(At(*image, 4, 1)[3], 40);   // index 0 of block 1
}

// A 10 x 10 level stores 2 x 2 blocks (the quarter rounds down) but the
// picture spans 3 x 3: the stored blocks fill their places row by row and the
// missing edge blocks stay transparent black, without reading past the data.
TEST(DecodeLevel, LevelsOffTheBlockGridDecodeOnlyStoredBlocks) {
    std::vector<unsigned char> data;
    PutFlatBlock(data, kRed);
    PutFlatBlock(data, kGreen);
    PutFlatBlock(data, kBlue);
    PutFlatBlock(data, kWhite);
    std::unique_ptr<PixelImage> image;
    ASSERT_EQ(DecodeLevel(Level(10, 10, data), "DXT1", image), DecodeStatus::kOk);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            Pixel want = kNone;
            if (y < 4) want = x < 4 ? kRedPx : x < 8 ? kGreenPx : kBluePx;
            else if (y < 8 && x < 4) want = kWhitePx;
            EXPECT_EQ(At(*image, x, y), want) << x << "," << y;
        }
    }

    // 6 x 6 from its single stored block.
    std::vector<unsigned char> one;
    PutFlatBlock(one, kGreen);
    ASSERT_EQ(DecodeLevel(Level(6, 6, one), "DXT1", image), DecodeStatus::kOk);
    EXPECT_EQ(At(*image, 3, 3), kGreenPx);
    EXPECT_EQ(At(*image, 4, 0), kNone);
    EXPECT_EQ(At(*image, 0, 5), kNone);
}

TEST(DecodeLevel, RefusesWhatTheStoredBytesCannotDescribe) {
    struct Row {
        const char* name;
        int32_t w, h;
        size_t bytes;
        const char* format;
        DecodeStatus want;
    } table[] = {
        {"huge DXT1 with one block", 1000000, 1000000, 8, "DXT1", DecodeStatus::kTooFewBytes},
        {"largest size, one block", 0x7FFFFFFF, 0x7FFFFFFF, 16, "DXT5", DecodeStatus::kTooFewBytes},
        {"huge 8888", 30000, 30000, 8, "8888", DecodeStatus::kTooFewBytes},
        {"cut DXT1", 8, 8, 24, "DXT1", DecodeStatus::kTooFewBytes},
        {"cut DXT3", 4, 4, 15, "DXT3", DecodeStatus::kTooFewBytes},
        {"cut 8888", 2, 1, 7, "8888", DecodeStatus::kTooFewBytes},
        {"empty level", 4, 4, 0, "DXT1", DecodeStatus::kTooFewBytes},
        {"zero width", 0, 4, 64, "8888", DecodeStatus::kNoPixels},
        {"negative height", 4, -4, 64, "DXT1", DecodeStatus::kNoPixels},
        {"unknown format", 4, 4, 64, "ABCD", DecodeStatus::kUnknownFormat},
        {"no format", 4, 4, 64, "", DecodeStatus::kUnknownFormat},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<PixelImage> image;
        EXPECT_EQ(DecodeLevel(Level(row.w, row.h, std::vector<unsigned char>(row.bytes, 0x5A)), row.format, image),
                  row.want);
        EXPECT_EQ(image, nullptr);
    }
}

// Sizes from 1 to 13 on and off the block grid, every format, stored lengths from
// one byte short of the minimum to the full block count (each whole block
// and one ragged byte more): the decoder either refuses or decodes from
// exactly the bytes there, each level in its own allocation so the sanitizer
// build sees any read past it.
TEST(DecodeLevel, NeverReadsPastTheStoredBytes) {
    for (const char* format : {"DXT1", "DXT3", "DXT5", "8888"}) {
        const bool raw = std::string(format) == "8888";
        const size_t unit = raw ? 4 : format[3] == '1' ? 8 : 16;
        for (int w : {1, 2, 3, 4, 5, 7, 8, 9, 13}) {
            for (int h : {1, 6, 13}) {
                const size_t full = raw ? size_t(w * h * 4) : size_t((w + 3) / 4) * size_t((h + 3) / 4) * unit;
                const size_t needed = size_t(RequiredLevelBytes(w, h, format));
                std::vector<size_t> lengths = {0, needed - 1};
                for (size_t n = needed; n <= full; n += raw ? full : unit) {
                    lengths.push_back(n);
                    lengths.push_back(n + 1);
                }
                for (size_t n : lengths) {
                    std::unique_ptr<PixelImage> image;
                    const DecodeStatus status = DecodeLevel(Level(w, h, std::vector<unsigned char>(n, 0xA7)), format, image);
                    ASSERT_EQ(status, n >= needed ? DecodeStatus::kOk : DecodeStatus::kTooFewBytes)
                        << format << " " << w << "x" << h << " " << n;
                    if (image) {
                        ASSERT_EQ(image->pixels.size(), size_t(w * h * 4));
                    }
                }
            }
        }
    }
}

TEST(DecodeLevel, RawLevelsAreCopied) {
    const std::vector<unsigned char> data = {1, 2, 3, 4, 5, 6, 7, 8, 99};  // one byte more than needed
    std::unique_ptr<PixelImage> image;
    ASSERT_EQ(DecodeLevel(Level(2, 1, data), "8888", image), DecodeStatus::kOk);
    EXPECT_EQ(image->pixels, std::vector<unsigned char>(data.begin(), data.begin() + 8));
}

TEST(DecodeAndWriteTga, RawWritesTopLeftDecodedWritesBottomLeftUnknownWritesNothing) {
    TempFolder folder;
    std::vector<unsigned char> block;
    PutFlatBlock(block, kRed);
    std::vector<unsigned char> dxt5(8, 0);
    dxt5[0] = 255;  // alpha0 255 for all indices 0
    dxt5.insert(dxt5.end(), block.begin(), block.end());
    struct Row {
        const char* format;
        MipLevel level;
        DecodeStatus want;
        int descriptor;
        std::vector<unsigned char> firstPixel;  // as stored in the file: blue, green, red, alpha
    } table[] = {
        {"8888", Level(1, 2, {10, 20, 30, 40, 50, 60, 70, 80}), DecodeStatus::kOk, 0x28, {30, 20, 10, 40}},
        {"dxt5", Level(4, 4, dxt5), DecodeStatus::kOk, 0x08, {0, 0, 255, 255}},
        {"ABCD", Level(4, 4, dxt5), DecodeStatus::kUnknownFormat, -1, {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.format);
        const std::string path = folder.File(std::string("sub/") + row.format + ".TGA");
        EXPECT_EQ(DecodeAndWriteTga(path, row.level, row.format), row.want);
        if (row.descriptor < 0) {
            EXPECT_FALSE(Exists(path));
            continue;
        }
        const std::vector<unsigned char> file = ReadAll(path);
        ASSERT_EQ(file.size(), 18 + size_t(row.level.width * row.level.height * 4));
        EXPECT_EQ(file[14], row.level.height);
        EXPECT_EQ(file[17], row.descriptor);
        EXPECT_EQ(std::vector<unsigned char>(file.begin() + 18, file.begin() + 22), row.firstPixel);
    }
}

}  // namespace
