// Decoding checked against an independent S3TC implementation: ImageMagick
// decodes DDS files (ones it encoded and ones of random blocks) and our decode
// of the same blocks, as written to a TGA file, must match up to the rounding
// S3TC decoders may differ by.
#include <gtest/gtest.h>

#include <cstdlib>

#include "texture/decode_pixels.h"
#include "texture_test_util.h"

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

void Save(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A DDS file around given blocks: the 128-byte header with a four-character code.
std::vector<unsigned char> MakeDds(int w, int h, const char* fourcc, const std::vector<unsigned char>& blocks) {
    std::vector<unsigned char> f(128, 0);
    const uint32_t fields[][2] = {{4, 124}, {8, 0x81007}, {12, uint32_t(h)}, {16, uint32_t(w)},
                                  {20, uint32_t(blocks.size())}, {76, 32}, {80, 4}, {108, 0x1000}};
    for (const auto& field : fields)
        for (int i = 0; i < 4; ++i) f[field[0] + i] = uint8_t(field[1] >> (8 * i));
    std::copy(fourcc, fourcc + 4, f.begin() + 84);
    std::copy("DDS ", "DDS " + 4, f.begin());
    f.insert(f.end(), blocks.begin(), blocks.end());
    return f;
}

// Decodes the first level of dds with our decoder (through the TGA writer)
// and with ImageMagick, and compares the two pictures.
void CompareDecodes(const TempFolder& folder, const std::string& dds, const std::string& format, int w, int h) {
    ASSERT_TRUE(Shell("convert '" + dds + "' -depth 8 rgba:'" + dds + ".rgba'"));
    const std::vector<unsigned char> file = ReadAll(dds), theirs = ReadAll(dds + ".rgba");
    ASSERT_GE(file.size(), 128u);
    ASSERT_EQ(std::string(file.begin() + 84, file.begin() + 88), format);
    ASSERT_EQ(U32(file, 12), uint32_t(h));
    ASSERT_EQ(U32(file, 16), uint32_t(w));
    const std::string tga = folder.File("decoded.TGA");
    ASSERT_EQ(DecodeAndWriteTga(tga, Level(w, h, {file.begin() + 128, file.end()}), format.c_str()), DecodeStatus::kOk);
    const std::vector<unsigned char> ours = ReadAll(tga);
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

TEST(DdsInterop, ImageMagickDecodesTheSameBlocks) {
    if (!Shell("command -v convert >/dev/null 2>&1")) GTEST_SKIP() << "ImageMagick convert is not installed";
    TempFolder folder;
    // ImageMagick's own encoding of a picture with smooth and sharp colour changes and graded alpha.
    std::vector<unsigned char> picture;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.insert(picture.end(), {uint8_t(x * 255 / 63), uint8_t(y * 255 / 31),
                                           uint8_t((x / 8 + y / 8) % 2 ? 200 : 30), uint8_t((x * 4 + y * 2) % 256)});
    Save(folder.File("in.rgba"), picture);
    for (const char* compression : {"dxt1", "dxt5"}) {
        SCOPED_TRACE(compression);
        const std::string dds = folder.File(std::string(compression) + ".dds");
        ASSERT_TRUE(Shell("convert -size 64x32 -depth 8 rgba:'" + folder.File("in.rgba") + "' -define dds:compression=" +
                        compression + " -define dds:mipmaps=0 '" + dds + "'"));
        CompareDecodes(folder, dds, compression[3] == '1' ? "DXT1" : "DXT5", 64, 32);
    }
    // ImageMagick encodes no DXT3 and picks DXT1's four-colour mode for opaque
    // pictures, so these blocks are random bytes: every colour mode, explicit
    // alpha and both interpolated alpha modes occur.
    std::mt19937 random(12345);
    for (const char* format : {"DXT1", "DXT3", "DXT5"}) {
        SCOPED_TRACE(format);
        std::vector<unsigned char> blocks(8 * 4 * (format[3] == '1' ? 8 : 16));
        for (unsigned char& b : blocks) b = uint8_t(random());
        // DXT1: every other block in three-colour mode (c0 <= c1), the rest in four-colour mode.
        for (size_t i = 0; format[3] == '1' && i < blocks.size(); i += 8) {
            if (((U32(blocks, i) & 0xFFFF) <= (U32(blocks, i) >> 16)) != ((i / 8) % 2 == 0)) {
                std::swap(blocks[i], blocks[i + 2]);
                std::swap(blocks[i + 1], blocks[i + 3]);
            }
        }
        const std::string dds = folder.File(std::string(format) + ".dds");
        Save(dds, MakeDds(32, 16, format, blocks));
        CompareDecodes(folder, dds, format, 32, 16);
    }
}

}  // namespace
