// Decoding checked against an independent S3TC implementation: ImageMagick
// encodes a picture to DDS and decodes it again; our decode of the same
// blocks, as written to a TGA file, must match its decode up to the rounding
// S3TC decoders may differ by.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "texture/decode_pixels.h"
#include "texture_test_util.h"

namespace {

bool HaveConvert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The first level of a DDS file as an in-memory texture image.
bool LoadDds(const std::string& path, TextureImage& image) {
    const std::vector<unsigned char> file = ReadAll(path);
    if (file.size() < 128 || std::string(file.begin(), file.begin() + 4) != "DDS " || U32(file, 4) != 124) return false;
    const std::string fourcc(file.begin() + 84, file.begin() + 88);
    const size_t start = fourcc == "DX10" ? 148 : 128;
    if (file.size() < start) return false;
    image.name.Set(path.c_str());
    image.format.Set(fourcc.c_str());
    MipLevel level;
    level.height = int32_t(U32(file, 12));
    level.width = int32_t(U32(file, 16));
    level.data.assign(file.begin() + ptrdiff_t(start), file.end());
    level.size = int32_t(level.data.size());
    image.levels.push_back(std::move(level));
    return true;
}

// A picture with smooth and sharp colour changes and graded alpha.
std::vector<unsigned char> TestPicture(int w, int h) {
    std::vector<unsigned char> px(size_t(w * h * 4));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned char* p = px.data() + (y * w + x) * 4;
            p[0] = uint8_t(x * 255 / (w - 1));
            p[1] = uint8_t(y * 255 / (h - 1));
            p[2] = uint8_t(((x / 8 + y / 8) % 2) ? 200 : 30);
            p[3] = uint8_t((x * 4 + y * 2) % 256);
        }
    }
    return px;
}

void PutU32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A DDS file around given blocks: the 128-byte header with a four-character code.
std::vector<unsigned char> MakeDds(int w, int h, const char* fourcc, const std::vector<unsigned char>& blocks) {
    std::vector<unsigned char> f = {'D', 'D', 'S', ' '};
    PutU32(f, 124);
    PutU32(f, 0x1007 | 0x80000);  // caps, height, width, pixel format, linear size
    PutU32(f, uint32_t(h));
    PutU32(f, uint32_t(w));
    PutU32(f, uint32_t(blocks.size()));
    for (int i = 0; i < 13; ++i) PutU32(f, 0);  // depth, mip count, 11 reserved
    PutU32(f, 32);
    PutU32(f, 4);  // the pixel format is a four-character code
    f.insert(f.end(), fourcc, fourcc + 4);
    for (int i = 0; i < 5; ++i) PutU32(f, 0);
    PutU32(f, 0x1000);  // a texture
    for (int i = 0; i < 4; ++i) PutU32(f, 0);
    f.insert(f.end(), blocks.begin(), blocks.end());
    return f;
}

void Save(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

// Decodes dds with our decoder (through the TGA writer) and with ImageMagick,
// and compares the two pictures.
void CompareDecodes(const TempFolder& folder, const std::string& dds, const char* format, int w, int h) {
    const std::string ref = dds + ".rgba";
    ASSERT_TRUE(RunCommand("convert '" + dds + "' -depth 8 rgba:'" + ref + "'"));
    TextureImage image;
    ASSERT_TRUE(LoadDds(dds, image));
    ASSERT_EQ(image.format.value, format);
    ASSERT_EQ(image.levels[0].width, w);
    ASSERT_EQ(image.levels[0].height, h);
    const std::string tga = folder.File("decoded.TGA");
    ASSERT_EQ(DecodeAndWriteTga(tga, image.levels[0], image.format.CStr()), DecodeStatus::kOk);

    const std::vector<unsigned char> ours = ReadAll(tga);
    const std::vector<unsigned char> theirs = ReadAll(ref);
    ASSERT_EQ(ours.size(), 18 + size_t(w * h * 4));
    ASSERT_EQ(theirs.size(), size_t(w * h * 4));
    EXPECT_EQ(ours[17], 0x08);  // bottom-left: rows stay in decoded order
    for (size_t i = 0; i < size_t(w * h); ++i) {
        const unsigned char* o = ours.data() + 18 + i * 4;  // blue, green, red, alpha
        const unsigned char* t = theirs.data() + i * 4;     // red, green, blue, alpha
        ASSERT_LE(std::abs(o[3] - t[3]), 1) << "alpha of pixel " << i;
        if (t[3] == 0) continue;  // colour under full transparency is each decoder's own choice
        const int d[3] = {std::abs(o[2] - t[0]), std::abs(o[1] - t[1]), std::abs(o[0] - t[2])};
        for (int c = 0; c < 3; ++c) ASSERT_LE(d[c], 2) << "pixel " << i << " channel " << c;
    }
}

TEST(DdsInterop, ImageMagickEncodedTextures) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert is not installed";
    TempFolder folder;
    const int w = 64, h = 32;
    Save(folder.File("in.rgba"), TestPicture(w, h));
    for (const char* compression : {"dxt1", "dxt5"}) {
        SCOPED_TRACE(compression);
        const std::string dds = folder.File(std::string(compression) + ".dds");
        ASSERT_TRUE(RunCommand("convert -size 64x32 -depth 8 rgba:'" + folder.File("in.rgba") + "' -define dds:compression=" +
                        compression + " -define dds:mipmaps=0 '" + dds + "'"));
        CompareDecodes(folder, dds, compression[3] == '1' ? "DXT1" : "DXT5", w, h);
    }
}

// ImageMagick encodes no DXT3 and picks DXT1's four-colour mode for opaque
// pictures, so these blocks are random bytes: every colour mode, explicit
// alpha and both interpolated alpha modes occur, and ImageMagick decodes them
// independently.
TEST(DdsInterop, RandomBlocksOfEveryFormat) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert is not installed";
    TempFolder folder;
    const int w = 32, h = 16;
    std::mt19937 random(12345);
    struct Row {
        const char* format;
        size_t blockBytes;
    } table[] = {{"DXT1", 8}, {"DXT3", 16}, {"DXT5", 16}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.format);
        std::vector<unsigned char> blocks(size_t(w / 4) * size_t(h / 4) * row.blockBytes);
        for (unsigned char& b : blocks) b = uint8_t(random());
        if (row.blockBytes == 8) {
            // Half the blocks in three-colour mode, half in four-colour mode.
            for (size_t i = 0; i < blocks.size(); i += 8) {
                const bool three = (i / 8) % 2 == 0;
                const uint16_t c0 = uint16_t(blocks[i] | blocks[i + 1] << 8), c1 = uint16_t(blocks[i + 2] | blocks[i + 3] << 8);
                if ((c0 <= c1) != three) {
                    std::swap(blocks[i], blocks[i + 2]);
                    std::swap(blocks[i + 1], blocks[i + 3]);
                }
            }
        }
        const std::string dds = folder.File(std::string(row.format) + ".dds");
        Save(dds, MakeDds(w, h, row.format, blocks));
        CompareDecodes(folder, dds, row.format, w, h);
    }
}

}  // namespace
