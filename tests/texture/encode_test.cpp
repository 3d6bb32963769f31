#include "texture/encode_pixels.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "import/dae_scene.h"
#include "import/gltf_import.h"
#include "scene/way_back.h"
#include "tests/support/test_util.h"
#include "texture/decode_pixels.h"
#include "texture/resize.h"

namespace {

// A smooth picture with soft noise, as painted textures are; alpha ramps
// across when asked.
PixelImage Painting(int width, int height, bool alpha) {
    PixelImage p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int noise = (x * 7 + y * 13) % 11;
            p.pixels.push_back(uint8_t(30 + x * 3 + noise));
            p.pixels.push_back(uint8_t(200 - y * 2 + noise));
            p.pixels.push_back(uint8_t((x * y) % 256));
            p.pixels.push_back(alpha ? uint8_t(255 - (x + y) * 2) : 255);
        }
    return p;
}

// A stored level as a game tool makes it: the painting fitted with libsquish.
MipLevel Stored(const PixelImage& picture, int flag) {
    MipLevel level;
    level.width = picture.width;
    level.height = picture.height;
    level.data.resize(size_t(squish::GetStorageRequirements(picture.width, picture.height, flag)));
    squish::CompressImage(picture.pixels.data(), picture.width, picture.height, level.data.data(),
                          flag | squish::kColourRangeFit);
    level.size = int32_t(level.data.size());
    return level;
}

int MaxDifference(const PixelImage& a, const PixelImage& b, size_t from = 0, size_t to = size_t(-1)) {
    int worst = 0;
    for (size_t i = from * 4; i < std::min(a.pixels.size(), to * 4) && i < b.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return worst;
}

TEST(EncodeLevel, DecodedLevelsComeBackAndRepaintedBlocksTakeTheBetterFit) {
    const struct { const char* format; int flag; bool alpha; } table[] = {
        {"DXT1", squish::kDxt1, false},
        {"DXT3", squish::kDxt3, true},
        {"DXT5", squish::kDxt5, true},
        {"dxt5", squish::kDxt5, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.format);
        const MipLevel stored = Stored(Painting(64, 32, row.alpha), row.flag);
        std::unique_ptr<PixelImage> decoded;
        ASSERT_EQ(DecodeLevel(stored, row.format, decoded), DecodeStatus::kOk);
        MipLevel again;
        FitCounts counts;
        ASSERT_TRUE(EncodeLevel(*decoded, row.format, again, BlockFit::kChoose, &counts));
        EXPECT_EQ(again.data, stored.data);
        EXPECT_EQ(again.size, int32_t(stored.data.size()));
        EXPECT_EQ(counts.range, 128u);
        EXPECT_EQ(counts.cluster, 0u);

        // Rows 4 to 7 repainted with colours off any one line: those 16
        // blocks take the cluster fit, which comes closer than the range fit.
        PixelImage painted = *decoded;
        for (size_t i = 64 * 4; i < 64 * 8; ++i)
            for (int k = 0; k < 3; ++k) painted.pixels[i * 4 + size_t(k)] = uint8_t((i * (37 + 50 * k)) % 251);
        MipLevel chosen, ranged;
        counts = FitCounts();
        ASSERT_TRUE(EncodeLevel(painted, row.format, chosen, BlockFit::kChoose, &counts));
        ASSERT_TRUE(EncodeLevel(painted, row.format, ranged, BlockFit::kRange));
        EXPECT_EQ(counts.cluster, 16u);
        std::unique_ptr<PixelImage> fromChosen, fromRanged;
        ASSERT_EQ(DecodeLevel(chosen, row.format, fromChosen), DecodeStatus::kOk);
        ASSERT_EQ(DecodeLevel(ranged, row.format, fromRanged), DecodeStatus::kOk);
        EXPECT_LT(MaxDifference(*fromChosen, painted, 256, 512), MaxDifference(*fromRanged, painted, 256, 512));
        EXPECT_EQ(MaxDifference(*fromChosen, painted, 0, 256), 0);  // untouched rows stay as they were
        EXPECT_EQ(std::equal(chosen.data.begin(), chosen.data.begin() + ptrdiff_t(chosen.data.size() / 8),
                             stored.data.begin()),
                  true);
    }
}

// DXT5 alpha halves that neither libsquish fit gives back (found among
// random blocks), in both forms. Their alphas come back exactly.
TEST(EncodeLevel, AlphaBlocksTheFitsMissComeBackExactly) {
    const unsigned char halves[][8] = {
        {0xF5, 0x43, 0x3B, 0xAF, 0x6D, 0x1B, 0x7A, 0x91},  // seven steps
        {0x19, 0x24, 0xDD, 0xFC, 0x0A, 0x87, 0xB4, 0xFD},  // five steps, 0 and 255
    };
    for (const auto& half : halves) {
        MipLevel stored;
        stored.width = stored.height = 4;
        stored.data.assign(half, half + 8);
        for (unsigned char colour : {0xE0, 0x07, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00}) stored.data.push_back(colour);
        stored.size = 16;
        std::unique_ptr<PixelImage> decoded, back;
        ASSERT_EQ(DecodeLevel(stored, "DXT5", decoded), DecodeStatus::kOk);
        MipLevel again;
        ASSERT_TRUE(EncodeLevel(*decoded, "DXT5", again));
        ASSERT_EQ(DecodeLevel(again, "DXT5", back), DecodeStatus::kOk);
        EXPECT_EQ(MaxDifference(*decoded, *back), 0) << int(half[0]);
    }
}

TEST(EncodeLevel, SizesAndMipChains) {
    // 8888 bytes as they are; a level off the block grid stores what the
    // reader reads (10 x 10: 2 x 2 blocks); unknown formats are refused.
    const PixelImage picture = Painting(10, 10, true);
    MipLevel level;
    ASSERT_TRUE(EncodeLevel(picture, "8888", level));
    EXPECT_EQ(level.data, picture.pixels);
    ASSERT_TRUE(EncodeLevel(picture, "DXT1", level));
    EXPECT_EQ(level.data.size(), 32u);
    EXPECT_FALSE(EncodeLevel(picture, "P8__", level));

    // The box filter: rounded means of 2 x 2, 2 x 1 or 1 x 2 pixels; an odd
    // last row or column left out.
    const struct { int w, h; std::vector<int> red; int halfW, halfH; std::vector<int> half; } table[] = {
        {2, 2, {0, 1, 2, 2}, 1, 1, {1}},
        {2, 1, {10, 13}, 1, 1, {12}},
        {1, 2, {10, 12}, 1, 1, {11}},
        {3, 3, {4, 8, 99, 0, 0, 99, 99, 99, 99}, 1, 1, {3}},
        {4, 2, {0, 4, 10, 10, 0, 4, 20, 21}, 2, 1, {2, 15}},
    };
    for (const auto& row : table) {
        PixelImage p;
        p.width = row.w, p.height = row.h;
        for (int red : row.red) p.pixels.insert(p.pixels.end(), {uint8_t(red), 0, 255, 255});
        const PixelImage half = HalvePicture(p);
        ASSERT_EQ(half.width, row.halfW);
        ASSERT_EQ(half.height, row.halfH);
        for (size_t i = 0; i < row.half.size(); ++i)
            EXPECT_EQ(half.pixels[i * 4], row.half[i]) << row.w << "x" << row.h;
    }

    std::vector<MipLevel> chain;
    ASSERT_TRUE(EncodeMipChain(Painting(16, 4, false), "DXT1", 0, chain));
    ASSERT_EQ(chain.size(), 5u);  // 16x4 8x2 4x1 2x1 1x1
    EXPECT_EQ(chain[2].width, 4);
    EXPECT_EQ(chain[2].height, 1);
    EXPECT_EQ(chain[4].data.size(), 8u);
    ASSERT_TRUE(EncodeMipChain(Painting(16, 4, false), "8888", 2, chain));
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[1].data.size(), 8u * 2 * 4);
}

TEST(ResizePicture, PowerOfTwoSidesAndBoxFilterMeans) {
    // The nearest power of two, the larger one halfway, within the limit.
    const int sizes[][2] = {{0, 1},     {1, 1},       {3, 4},       {6, 8},         {30, 32},    {100, 128},
                            {5000, 4096}, {12287, 8192}, {12288, 16384}, {40000, 16384}, {16384, 16384}};
    for (const auto& s : sizes) EXPECT_EQ(NearestPowerOfTwo(s[0]), s[1]) << s[0];

    // Each new pixel the mean of the old ones it covers, weighted by their
    // part inside: 3 -> 2 takes two thirds and one third; 1 -> 3 repeats.
    const struct { int w; std::vector<int> red; int to; std::vector<int> want; } table[] = {
        {3, {0, 90, 255}, 2, {30, 200}},
        {5, {10, 20, 30, 40, 50}, 1, {30}},
        {1, {77}, 3, {77, 77, 77}},
        {4, {0, 1, 2, 2}, 2, {1, 2}},
        {2, {8, 40}, 4, {8, 8, 40, 40}},
    };
    for (const auto& row : table) {
        PixelImage p;
        p.width = row.w, p.height = 1;
        for (int red : row.red) p.pixels.insert(p.pixels.end(), {uint8_t(red), 0, 255, 255});
        const PixelImage q = ResizePicture(p, row.to, 1);
        ASSERT_EQ(q.pixels.size(), size_t(row.to) * 4);
        for (int i = 0; i < row.to; ++i) EXPECT_EQ(q.pixels[size_t(i) * 4], row.want[size_t(i)]) << row.w << " " << i;
    }

    // Exact on powers of two: halving is HalvePicture, the same size is the picture.
    const PixelImage painting = Painting(16, 8, true);
    EXPECT_EQ(ResizePicture(painting, 8, 4).pixels, HalvePicture(painting).pixels);
    EXPECT_EQ(ResizePicture(painting, 16, 8).pixels, painting.pixels);
}

// The picture with its first pixels painted over.
PixelImage PaintedCopy(PixelImage picture, const unsigned char paint[4], size_t pixels) {
    for (size_t i = 0; i < pixels * 4; ++i) picture.pixels[i] = paint[i % 4];
    return picture;
}

// The model's materials and images; without pixels, every image's levels
// replaced by one zero-filled level 0, as the way back's object step leaves
// them.
std::unique_ptr<Model> Pictures(const Model& original, bool pixels) {
    auto model = std::make_unique<Model>();
    model->version = original.version;
    for (const auto& material : original.materials) model->materials.emplace_back(new Material(*material));
    for (const auto& image : original.images) {
        auto copy = std::make_unique<TextureImage>(*image);
        // As the way back lists an image before its pixels: every stored
        // level's size, no bytes.
        if (!pixels)
            for (MipLevel& level : copy->levels) level.data.clear();
        model->images.push_back(std::move(copy));
    }
    return model;
}

// Rebuilt from the maps (and the pictures of the images no map carries) of
// the scene, or of the scene read back from the tool's DAE or GLB, the
// images compose the same maps again, exactly where the image did not
// change; a repainted map comes back close to the paint.
TEST(ImagesFromScene, EveryMapComesBack) {
    const unsigned char paint[4] = {200, 40, 90, 255};
    TempFolder t;
    ASSERT_TRUE(WriteSampleModel(t.File("sample.zem")));
    ASSERT_TRUE(WriteModelFiles(t.File("rich.zem"), *RichModel(), nullptr));
    for (const char* file : {"sample.dae", "sample.glb", "rich.dae", "rich.glb"})
        RunTool({std::string(file).substr(0, std::string(file).find('.')) + ".zem", file}, t.Path());
    const struct { const char* name; const char* document; bool rich, repainted; } cases[] = {
        {"sample", nullptr, false, false}, {"rich", nullptr, true, false}, {"repainted", nullptr, false, true},
        {"sample DAE", "sample.dae", false, false}, {"sample GLB", "sample.glb", false, false},
        {"rich DAE", "rich.dae", true, false}, {"rich GLB", "rich.glb", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<Model> original = Pictures(*(c.rich ? RichModel() : BuildSampleModel()), true);
        const std::unique_ptr<Scene> built = BuildScene(*original, SceneOptions());
        ASSERT_TRUE(built);
        std::unique_ptr<Scene> scene = std::make_unique<Scene>(*built);
        ReadFailure failure;
        std::string error;
        if (c.document && std::string(c.document).find(".dae") != std::string::npos)
            scene = ImportDae(t.File(c.document), failure);
        else if (c.document)
            scene = ImportGltf(t.File(c.document).c_str(), &error);
        ASSERT_TRUE(scene) << failure.Text() << error;
        // The top four rows of the hull's colour map painted over.
        const size_t paintedPixels = c.repainted ? 4 * 32 : 0;
        for (SceneImage& image : scene->images)
            if (image.key == "hull_DIFF") image.picture = PaintedCopy(image.picture, paint, paintedPixels);
        std::unique_ptr<Model> model = Pictures(*original, false);
        WayBackReport report;
        WayBack back(*scene, *model, report);
        ImagesFromScene(back);
        EXPECT_EQ(report.defaults.empty(), !c.rich);  // the rich model's image without pixels
        const std::unique_ptr<Scene> again = BuildScene(*model, SceneOptions());
        ASSERT_TRUE(again);
        ASSERT_EQ(again->images.size(), built->images.size());
        for (size_t i = 0; i < built->images.size(); ++i) {
            const SceneImage& a = built->images[i];
            const SceneImage& b = again->images[i];
            SCOPED_TRACE(a.key);
            EXPECT_EQ(b.key, a.key);
            ASSERT_EQ(b.picture.width, a.picture.width);
            ASSERT_EQ(b.picture.height, a.picture.height);
            const size_t painted = a.key == "hull_DIFF" ? paintedPixels : 0;
            if (painted) {
                EXPECT_LE(MaxDifference(b.picture, PaintedCopy(a.picture, paint, painted), 0, painted), 4);
                EXPECT_EQ(Bytes(b.picture.pixels.begin(), b.picture.pixels.begin() + 4), Bytes(paint, paint + 4));
            }
            EXPECT_EQ(MaxDifference(a.picture, b.picture, painted), 0);
        }
        // Every image has its chain again, as long as the original's.
        for (size_t i = 0; i < model->images.size(); ++i) {
            const std::vector<MipLevel>& levels = model->images[i]->levels;
            EXPECT_EQ(levels.size(), original->images[i]->levels.size()) << i;
        }
    }
}

}  // namespace
