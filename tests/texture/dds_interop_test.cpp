// Decoding checked against an independent S3TC implementation: ImageMagick
// decodes DDS files of random blocks and our decode of the same blocks, as
// written to a TGA file, must match up to the rounding S3TC decoders may
// differ by. Random bytes give every DXT1 colour mode, DXT3's explicit alpha
// and both DXT5 alpha modes (ImageMagick itself encodes no DXT3 and only the
// four-colour mode for opaque pictures).
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/fixture_writer.h"
#include "texture/decode_pixels.h"
#include "texture_test_util.h"

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

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
    if (!Shell("command -v convert >/dev/null 2>&1")) GTEST_SKIP() << "ImageMagick convert is not installed";
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
        ASSERT_TRUE(Shell("convert '" + dds + "' -depth 8 rgba:'" + dds + ".rgba'"));
        ASSERT_EQ(DecodeAndWriteTga(tga, Level(w, h, blocks), format), DecodeStatus::kOk);
        const Bytes ours = ReadAll(tga), theirs = ReadAll(dds + ".rgba");
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

uint32_t U32At(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The whole road with an independent encoder: nvcompress writes DXT1, DXT3 and
// DXT5 files of a picture with smooth colour and graded alpha; their blocks go
// into a model file as an "fx" material's "$diffuse" (its DIFF map is the
// decoded picture unchanged), the tool converts it, and the written TGA must
// match ImageMagick's own decode of the same DDS file.
TEST(DdsInterop, EncodedTexturesConvertAsImageMagickDecodesThem) {
    if (!Shell("command -v convert >/dev/null 2>&1 && command -v nvcompress >/dev/null 2>&1"))
        GTEST_SKIP() << "ImageMagick convert or nvcompress is not installed";
    TempFolder folder;
    ASSERT_TRUE(Shell("convert -size 64x32 gradient:'#ff2000'-'#0040ff' \\( -size 64x32 gradient:white-black "
                      "-rotate 90 -resize 64x32! \\) -alpha off -compose CopyOpacity -composite '" +
                      folder.File("in.png") + "'"));
    const struct { const char* flag; const char* format; } rows[] = {{"-bc1", "DXT1"}, {"-bc2", "DXT3"}, {"-bc3", "DXT5"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.format);
        const std::string dds = folder.File(std::string(row.format) + ".dds");
        ASSERT_TRUE(Shell(std::string("nvcompress -nomips ") + row.flag + " '" + folder.File("in.png") + "' '" + dds +
                          "' >/dev/null 2>&1"));
        const Bytes file = ReadAll(dds);
        ASSERT_GE(file.size(), 128u);
        ASSERT_EQ(std::string(file.begin() + 84, file.begin() + 88), row.format);
        const int32_t h = int32_t(U32At(file, 12)), w = int32_t(U32At(file, 16));
        ASSERT_EQ(w, 64);
        ASSERT_EQ(h, 32);

        Model model;
        model.version = 512;
        auto material = std::make_unique<Material>();
        material->name.Set("Rock");
        material->shader.Set("fx");
        MaterialParam param;
        param.name.Set("$diffuse");
        param.type = kParamTexture;
        param.imageIndex = 0;
        material->params.push_back(param);
        model.materials.push_back(std::move(material));
        auto image = std::make_unique<TextureImage>();
        image->name.Set("tex\\rock_diff.dds");
        image->format.Set(row.format);
        image->levels.push_back(Level(w, h, Bytes(file.begin() + 128, file.end())));
        model.images.push_back(std::move(image));
        const std::string zem = folder.File("rock.zem");
        ASSERT_TRUE(SaveBytes(zem, BuildZem(model)));
        const std::string out = folder.File(std::string("out_") + row.format);
        ASSERT_TRUE(Shell(std::string("'") + VORDA_BINARY + "' '$CONVERT_IN=" + zem + "' '$CONVERT_OUT=" + out +
                          "/rock.dae' do=convert >/dev/null"));
        ASSERT_TRUE(Shell("convert '" + dds + "' -depth 8 rgba:'" + dds + ".rgba'"));
        const Bytes ours = ReadAll(out + "/rock_DIFF.TGA"), theirs = ReadAll(dds + ".rgba");
        ASSERT_EQ(ours.size(), 18 + size_t(w * h * 4));
        ASSERT_EQ(theirs.size(), size_t(w * h * 4));
        for (size_t i = 0; i < size_t(w * h); ++i) {
            const unsigned char* o = ours.data() + 18 + i * 4;  // blue, green, red, alpha
            const unsigned char* t = theirs.data() + i * 4;     // red, green, blue, alpha
            ASSERT_LE(std::abs(o[3] - t[3]), 1) << "alpha of pixel " << i;
            if (t[3] == 0) continue;
            for (int c = 0; c < 3; ++c) ASSERT_LE(std::abs(o[2 - c] - t[c]), 2) << "pixel " << i << " channel " << c;
        }
    }
}

}  // namespace
