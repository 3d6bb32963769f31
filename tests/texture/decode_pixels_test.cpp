#include "texture/decode_pixels.h"

#include <gtest/gtest.h>

#include <array>

#include "texture_test_util.h"

namespace {

using Pixel = std::array<int, 4>;

Pixel At(const PixelImage& image, int x, int y) {
    const unsigned char* p = image.pixels.data() + (size_t(y) * size_t(image.width) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// RGB565 words and their 8-bit expansions (top bits repeated into the low ones).
const uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;
const Pixel kRedPx = {255, 0, 0, 255}, kGreenPx = {0, 255, 0, 255}, kBluePx = {0, 0, 255, 255},
            kWhitePx = {255, 255, 255, 255}, kNone = {0, 0, 0, 0};

// Decodes one level and compares the pixels of its first rows against
// expect, given row by row, width pixels each.
void ExpectPixels(const MipLevel& level, const char* format, const std::vector<Pixel>& expect) {
    std::unique_ptr<PixelImage> image;
    ASSERT_EQ(DecodeLevel(level, format, image), DecodeStatus::kOk);
    ASSERT_EQ(image->pixels.size(), size_t(level.width * level.height * 4));
    for (size_t i = 0; i < expect.size(); ++i)
        EXPECT_EQ(At(*image, int(i) % level.width, int(i) / level.width), expect[i]) << "pixel " << i;
}

TEST(DecodeLevel, HandBuiltBlocks) {
    Bytes four, three, equal, clipped, dxt3 = {0xF0, 0x18, 0, 0, 0, 0, 0, 0}, dxt5;
    PutColourBlock(four, kRed, kBlue, 0xE4E4E4E4);  // every row: indices 0, 1, 2, 3
    PutColourBlock(three, kBlue, kRed, 0xE4E4E4E4);
    PutColourBlock(equal, kGreen, kGreen, 0xE4E4E4E4);
    // Row 0 indices 0, 1; row 1 indices 2, 3; rows 2 and 3 all 3 (must not show).
    PutColourBlock(clipped, kRed, kBlue, 0xFFFF0E04);
    // Row 0 alpha nibbles 0, F, 8, 1; c0 <= c1 still gives four colours in DXT3.
    PutColourBlock(dxt3, kBlue, kRed, 0xE4);
    // DXT5 block 0: alpha0 255 > alpha1 0, eight codes, row 0 indices 0, 1, 2, 7.
    // Block 1: alpha0 40 <= alpha1 200, six codes plus 0 and 255, row 0 indices 2, 5, 6, 7.
    for (const Bytes& alpha : {Bytes{255, 0, 0x88, 0x0E, 0, 0, 0, 0}, Bytes{40, 200, 0xAA, 0x0F, 0, 0, 0, 0}}) {
        dxt5.insert(dxt5.end(), alpha.begin(), alpha.end());
        PutColourBlock(dxt5, kWhite);
    }
    const Pixel third = {170, 0, 85, 255}, twoThirds = {85, 0, 170, 255};
    auto white = [](int alpha) { return Pixel{255, 255, 255, alpha}; };
    struct Row { const char* name; MipLevel level; const char* format; std::vector<Pixel> expect; } table[] = {
        // c0 > c1: 2 = (2 c0 + c1) / 3, 3 = (c0 + 2 c1) / 3.
        {"DXT1 four colours", Level(4, 4, four), "DXT1", {kRedPx, kBluePx, third, twoThirds}},
        // c0 <= c1: 2 = (c0 + c1) / 2, 3 = transparent black.
        {"DXT1 three colours", Level(4, 4, three), "DXT1", {kBluePx, kRedPx, {127, 0, 127, 255}, kNone}},
        {"DXT1 equal colours", Level(4, 4, equal), "DXT1", {kGreenPx, kGreenPx, kGreenPx, kNone}},
        {"1x1", Level(1, 1, clipped), "dxt1", {kRedPx}},
        {"2x2", Level(2, 2, clipped), "dxt1", {kRedPx, kBluePx, third, twoThirds}},
        {"DXT3", Level(4, 4, dxt3), "DXT3",
         {{0, 0, 255, 0}, {255, 0, 0, 255}, {85, 0, 170, 0x88}, {170, 0, 85, 0x11}, {0, 0, 255, 0}}},
        // (6 * 255) / 7 = 218, (1 * 255) / 7 = 36; (4 * 40 + 200) / 5 = 72, (40 + 4 * 200) / 5 = 168.
        {"DXT5", Level(8, 4, dxt5), "DXT5",
         {white(255), white(0), white(218), white(36), white(72), white(168), white(0), white(255),  // row 0
          white(255), white(255), white(255), white(255), white(40)}},                              // row 1
        {"8888, extra byte ignored", Level(2, 1, {1, 2, 3, 4, 5, 6, 7, 8, 99}), "8888", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        ExpectPixels(row.level, row.format, row.expect);
    }
}

// A 10 x 10 level stores 2 x 2 blocks (the quarter rounds down) but the
// picture spans 3 x 3: the stored blocks fill their places row by row and the
// missing edge blocks stay transparent black, without reading past the data.
TEST(DecodeLevel, LevelsOffTheBlockGridDecodeOnlyStoredBlocks) {
    Bytes data;
    for (uint16_t c : {kRed, kGreen, kBlue, kWhite}) PutColourBlock(data, c);
    std::vector<Pixel> expect;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            expect.push_back(y < 4 ? (x < 4 ? kRedPx : x < 8 ? kGreenPx : kBluePx) : y < 8 && x < 4 ? kWhitePx : kNone);
    ExpectPixels(Level(10, 10, data), "DXT1", expect);
}

TEST(DecodeLevel, RefusesWhatTheStoredBytesCannotDescribe) {
    struct Row { const char* name; int32_t w, h; size_t bytes; const char* format; DecodeStatus want; } table[] = {
        {"huge DXT1 with one block", 1000000, 1000000, 8, "DXT1", DecodeStatus::kTooFewBytes},
        {"largest size, one block", 0x7FFFFFFF, 0x7FFFFFFF, 16, "DXT5", DecodeStatus::kTooFewBytes},
        {"huge 8888", 30000, 30000, 8, "8888", DecodeStatus::kTooFewBytes},
        {"cut DXT1", 8, 8, 31, "DXT1", DecodeStatus::kTooFewBytes},
        {"cut DXT3", 4, 4, 15, "DXT3", DecodeStatus::kTooFewBytes},
        {"empty level", 4, 4, 0, "DXT1", DecodeStatus::kTooFewBytes},
        {"off-grid, one block short", 10, 10, 31, "DXT1", DecodeStatus::kTooFewBytes},
        {"off-grid, stored blocks only", 10, 10, 32, "DXT1", DecodeStatus::kOk},
        {"zero width", 0, 4, 64, "8888", DecodeStatus::kNoPixels},
        {"negative height", 4, -4, 64, "DXT1", DecodeStatus::kNoPixels},
        {"unknown format", 4, 4, 64, "ABCD", DecodeStatus::kUnknownFormat},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<PixelImage> image;
        EXPECT_EQ(DecodeLevel(Level(row.w, row.h, Bytes(row.bytes, 0x5A)), row.format, image), row.want);
        EXPECT_EQ(image != nullptr, row.want == DecodeStatus::kOk);
    }
}

TEST(DecodeAndWriteTga, RawWritesTopLeftDecodedWritesBottomLeftUnknownWritesNothing) {
    TempFolder folder;
    Bytes dxt5 = {255, 0, 0, 0, 0, 0, 0, 0};  // alpha0 255 for all indices 0
    PutColourBlock(dxt5, kRed);
    EXPECT_EQ(DecodeAndWriteTga(folder.File("sub/a.TGA"), Level(1, 2, {10, 20, 30, 40, 5, 6, 7, 8}), "8888"),
              DecodeStatus::kOk);
    EXPECT_EQ(DecodeAndWriteTga(folder.File("sub/b.TGA"), Level(4, 4, dxt5), "dxt5"), DecodeStatus::kOk);
    EXPECT_EQ(DecodeAndWriteTga(folder.File("sub/c.TGA"), Level(4, 4, dxt5), "ABCD"), DecodeStatus::kUnknownFormat);
    // Height, descriptor and the first pixel (blue, green, red, alpha) of each file.
    const Bytes a = ReadAll(folder.File("sub/a.TGA")), b = ReadAll(folder.File("sub/b.TGA"));
    ASSERT_EQ(a.size(), 18u + 8);
    ASSERT_EQ(b.size(), 18u + 64);
    EXPECT_EQ((Bytes{a[14], a[17], a[18], a[19], a[20], a[21]}), (Bytes{2, 0x28, 30, 20, 10, 40}));
    EXPECT_EQ((Bytes{b[14], b[17], b[18], b[19], b[20], b[21]}), (Bytes{4, 0x08, 0, 0, 255, 255}));
    EXPECT_FALSE(std::filesystem::exists(folder.File("sub/c.TGA")));
}

}  // namespace
