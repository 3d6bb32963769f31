// Decoding checked against an independent S3TC implementation: ImageMagick
// decodes DDS files of random blocks and our decode of the same blocks, as
// written to a TGA file, must match up to the rounding S3TC decoders may
// differ by. Random bytes give every DXT1 colour mode, DXT3's explicit alpha
// and both DXT5 alpha modes (ImageMagick itself encodes no DXT3 and only the
// four-colour mode for opaque pictures).
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "model/write_model.h"
#include "texture/decode_pixels.h"
#include "tests/texture/texture_test_util.h"

namespace {

bool Succeeds(const std::string& command) { return RunShell(command).status == 0; }

// A DDS file around given blocks: the 128-byte header with a four-character code.
Bytes MakeDds(int w, int h, const char* fourcc, const Bytes& blocks) {
    Bytes f(128, 0);
    const uint32_t fields[][2] = {{4, 124}, {8, 0x81007}, {12, uint32_t(h)}, {16, uint32_t(w)},
                                  {20, uint32_t(blocks.size())}, {76, 32}, {80, 4}, {108, 0x1000}};
    for (const auto& field : fields)
        for (int i = 0; i < 4; ++i) f[field[0] + i] = uint8_t(field[1] >> (8 * i));
    std::copy(fourcc, fourcc + 4, f.begin() + 84);
    std::copy_n("DDS ", 4, f.begin());
    f.insert(f.end(), blocks.begin(), blocks.end());
    return f;
}

TEST(DdsInterop, ImageMagickDecodesTheSameBlocks) {
    if (!Succeeds("command -v convert >/dev/null 2>&1")) GTEST_SKIP() << "ImageMagick convert is not installed";
    TempFolder folder;
    const int w = 32, h = 16;
    std::mt19937 random(12345);
    for (const char* format : {"DXT1", "DXT3", "DXT5"}) {
        SCOPED_TRACE(format);
        Bytes blocks(size_t(w / 4 * h / 4 * (format[3] == '1' ? 8 : 16)));
        for (unsigned char& b : blocks) b = uint8_t(random());
        // DXT1: every other block in three-colour mode (c0 <= c1), the rest in four-colour mode.
        for (size_t i = 0; format[3] == '1' && i < blocks.size(); i += 8) {
            const bool three = (blocks[i] | blocks[i + 1] << 8) <= (blocks[i + 2] | blocks[i + 3] << 8);
            if (three != ((i / 8) % 2 == 0)) {
                std::swap(blocks[i], blocks[i + 2]);
                std::swap(blocks[i + 1], blocks[i + 3]);
            }
        }
        const std::string dds = folder.File(std::string(format) + ".dds"), tga = folder.File("decoded.TGA");
        std::ofstream(dds, std::ios::binary).write(reinterpret_cast<const char*>(MakeDds(w, h, format, blocks).data()),
                                                   std::streamsize(128 + blocks.size()));
        ASSERT_TRUE(Succeeds("convert '" + dds + "' -depth 8 rgba:'" + dds + ".rgba'"));
        ASSERT_EQ(DecodeAndWriteTga(tga, Level(w, h, blocks), format), DecodeStatus::kOk);
        const Bytes ours = ReadBytes(tga), theirs = ReadBytes(dds + ".rgba");
        ASSERT_EQ(ours.size(), 18 + size_t(w * h * 4));
        ASSERT_EQ(theirs.size(), size_t(w * h * 4));
        EXPECT_EQ(ours[17], 0x08);  // bottom-left: rows stay in decoded order
        for (size_t i = 0; i < size_t(w * h); ++i) {
            const unsigned char* o = ours.data() + 18 + i * 4;  // blue, green, red, alpha
            const unsigned char* t = theirs.data() + i * 4;     // red, green, blue, alpha
            ASSERT_LE(std::abs(o[3] - t[3]), 1) << "alpha of pixel " << i;
            if (t[3] == 0) continue;  // colour under full transparency is each decoder's own choice
            for (int c = 0; c < 3; ++c) ASSERT_LE(std::abs(o[2 - c] - t[c]), 2) << "pixel " << i << " channel " << c;
        }
    }
}

}  // namespace
