#include "texture/decode_pixels.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/texture/texture_test_util.h"

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

}  // namespace
