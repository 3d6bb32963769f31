// Foreign materials adopted as the game's materials: through the way back,
// the model writer and the reader, each comes back with its shader, its
// parameters and images (power-of-two sides, full mip chains, DXT1 or DXT5
// as its alpha needs) and pixels within the block compression's error, the
// right way up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/adopt_foreign.h"
#include "scene/check_scene.h"
#include "scene/model_from_scene.h"
#include "tests/support/test_util.h"
#include "texture/decode_pixels.h"
#include "texture/encode_pixels.h"
#include "texture/resize.h"

namespace {

// Red across, green up (so a picture turned over does not match); alpha
// falls up the picture when asked. fill: one colour, 4 x 4.
PixelImage Ramp(int w, int h, bool alpha, const int* fill = nullptr) {
    PixelImage p;
    p.width = w, p.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int r = w > 1 ? 255 * x / (w - 1) : 128, g = h > 1 ? 255 * y / (h - 1) : 64;
            const int rgba[4] = {r, g, (r + 3 * g) / 4, alpha ? 255 - g / 2 : 255};
            for (int c = 0; c < 4; ++c) p.pixels.push_back(uint8_t(fill ? fill[c] : rgba[c]));
        }
    return p;
}

enum More { kNone, kGlow, kNormal };

struct Row {
    const char* name;  // in the file
    int width, height;  // the base colour picture (0: none)
    bool alpha;
    float diffuse[4], emission[3];
    More more;           // a second picture, 64 x 32
    const char* shown;   // the adopted material's name
    int side[2];         // the "$diffuse" image's size, format and
    const char* format;
    int fill[4];         // colour (a colour alone; 0 0 0 0 for a picture)
    const char* params;  // the parameters in order
    const char* note;    // a note the adoption prints for it
};

const Row kRows[] = {
    {"Painted", 100, 30, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Painted]_SHD[ship]", {128, 32}, "DXT1", {},
     "$diffuse", "Picture Painted scaled from 100 x 30 to 128 x 32 pixels"},
    {"Plain", 0, 0, false, {1, 0, 0, 1}, {0, 0, 0}, kNone, "MAT[Plain]_SHD[ship]", {4, 4}, "DXT1", {255, 0, 0, 255},
     "$diffuse", "Material Plain has no texture - given a 4 x 4 texture of its colour (255 0 0)"},
    {"Grey", 0, 0, false, {0.5f, 0.5f, 0.5f, 1}, {0, 0, 0}, kNone, "MAT[Grey]_SHD[ship]", {4, 4}, "DXT1",
     {188, 188, 188, 255}, "$diffuse", "(188 188 188)"},
    {"Tinted", 16, 16, true, {1, 0, 1, 0.5f}, {0, 0, 0}, kNone, "MAT[Tinted]_SHD[ship]", {16, 16}, "DXT5", {},
     "$diffuse", "Material Tinted has a base colour besides its texture - multiplied into the texture"},
    {"Masked", 1, 1, true, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Masked]_SHD[ship]", {1, 1}, "DXT5", {}, "$diffuse",
     "Material Masked has transparency - the ship shader reads the alpha of its texture as the team colour mask"},
    {"Lights", 5000, 8, false, {1, 1, 1, 1}, {0, 0, 0}, kGlow, "MAT[Lights]_SHD[ship]", {4096, 8}, "DXT1", {},
     "$diffuse $glow", "to 4096 x 8 pixels"},
    {"Embers", 0, 0, false, {1, 1, 1, 1}, {0, 0.5f, 0.25f}, kNone, "MAT[Embers]_SHD[ship]", {4, 4}, "DXT1",
     {255, 255, 255, 255}, "$diffuse $glow", "(255 255 255)"},
    {"Bumpy", 32, 32, false, {1, 1, 1, 1}, {0, 0, 0}, kNormal, "MAT[Bumpy]_SHD[ship]", {32, 32}, "DXT1", {},
     "$diffuse $normal", ""},
    {"bumpy", 0, 0, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[bumpy_2]_SHD[ship]", {4, 4}, "DXT1",
     {255, 255, 255, 255}, "$diffuse", "Material bumpy named bumpy_2 - another material has its name"},
    {"Tab\tbed", 0, 0, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Tab_bed]_SHD[ship]", {4, 4}, "DXT1",
     {255, 255, 255, 255}, "$diffuse", "named Tab_bed - the game's format cannot hold its name"},
    {"MAT[Glass]_SHD[matte]", 8, 8, false, {1, 1, 1, 1}, {0, 0, 0}, kGlow, "MAT[Glass]_SHD[matte]", {8, 8}, "DXT1",
     {}, "$diffuse", "Material Glass has a glow texture that shader matte takes none of - left out"},
};

// What a parameter's image holds: the diffuse picture scaled (the factor
// 1 0 1 0.5 takes green away and halves alpha) or its colour; the glow the
// brightest channel in green; the normal map opaque.
PixelImage Expected(const Row& row, const std::string& param) {
    if (param == "$glow" && !row.more) {
        const int glow[4] = {0, 188, 0, 255};
        return Ramp(4, 4, false, glow);
    }
    PixelImage p = param == "$diffuse" ? row.width ? ResizePicture(Ramp(row.width, row.height, row.alpha),
                                                                   row.side[0], row.side[1])
                                                   : Ramp(4, 4, false, row.fill)
                                       : Ramp(64, 32, row.more == kNormal);
    for (size_t i = 0; i < p.pixels.size(); i += 4) {
        unsigned char* q = &p.pixels[i];
        if (param == "$glow") q[1] = std::max({q[0], q[1], q[2]}), q[0] = q[2] = 0;
        if (param != "$diffuse") q[3] = 255;
        if (row.diffuse[1] == 0 && row.width) q[1] = 0, q[3] = uint8_t((q[3] + 1) / 2);
    }
    return p;
}

// Level 0 of the image: the expected picture as the block compression
// gives it back (within a step, for a factor's rounding).
void ExpectPixels(const TextureImage& image, const PixelImage& want, const std::string& what) {
    MipLevel compressed;
    ASSERT_TRUE(EncodeLevel(want, image.format.CStr(), compressed));
    std::unique_ptr<PixelImage> got, near;
    ASSERT_EQ(DecodeLevel(image.levels[0], image.format.CStr(), got), DecodeStatus::kOk);
    ASSERT_EQ(DecodeLevel(compressed, image.format.CStr(), near), DecodeStatus::kOk);
    ASSERT_TRUE(got->width == near->width && got->height == near->height) << what;
    for (size_t i = 0; i < near->pixels.size(); ++i)
        ASSERT_LE(std::abs(got->pixels[i] - near->pixels[i]), 4) << what << " byte " << i;
}

TEST(AdoptMaterials, EveryKindComesBackThroughTheModel) {
    Scene scene;
    scene.version = 512;
    SetFact(scene.facts, "type_name", kMultiMeshFileName);  // the node step's
    auto picture = [&](SceneMaterial& m, const char* name, const char* output, PixelImage p) {
        SceneImage image;
        image.key = name;
        image.picture = std::move(p);
        if (output) m.maps.push_back({output, int32_t(scene.images.size())});
        scene.images.push_back(std::move(image));
    };
    for (const Row& row : kRows) {
        SceneMaterial m;
        m.name = row.name;
        std::copy(row.diffuse, row.diffuse + 4, m.diffuse);
        std::copy(row.emission, row.emission + 3, m.emission);
        if (row.width) picture(m, row.name, "DIFF", Ramp(row.width, row.height, row.alpha));
        if (row.more) picture(m, row.name, row.more == kGlow ? "GLOW" : "NORM", Ramp(64, 32, row.more == kNormal));
        scene.materials.push_back(std::move(m));
    }
    SceneMaterial none;
    picture(none, "Spare.png", nullptr, Ramp(2, 2, false));
    scene.meshes.resize(1);
    scene.meshes[0].name = "Loose";
    scene.meshes[0].triangles.resize(1);

    Adoption adoption(scene);
    AdoptMaterials(adoption);
    const size_t count = sizeof kRows / sizeof kRows[0];
    ASSERT_EQ(scene.materials.size(), count + 1);
    EXPECT_EQ(scene.materials[count].name, "MAT[Default]_SHD[ship]");
    EXPECT_EQ(scene.meshes[0].triangles[0].material, int32_t(count));
    for (const std::string& problem : CheckScene(scene)) ADD_FAILURE() << problem;
    std::string notes;
    for (const std::string& note : scene.notes) notes += note + "\n";
    for (const char* note : {"Mesh Loose has triangles without a material - given a white one",
                             "Picture Spare.png is used by no material - left out"})
        EXPECT_NE(notes.find(note), std::string::npos) << note << "\n" << notes;

    WayBackReport report;
    std::unique_ptr<Model> built = ModelFromScene(scene, report);
    for (const std::string& kind : report.defaults) ADD_FAILURE() << "default taken: " << kind;
    std::vector<std::string> problems;
    std::unique_ptr<Model> model = ReadZemChecked(BuildZem(*built), &problems);
    ASSERT_TRUE(model && !model->damage && problems.empty());

    for (size_t r = 0; r < count; ++r) {
        const Row& row = kRows[r];
        SCOPED_TRACE(row.name);
        EXPECT_NE(notes.find(row.note), std::string::npos) << row.note << "\n" << notes;
        const Material& material = *model->materials[r];
        EXPECT_EQ("MAT[" + material.name.value + "]_SHD[" + material.shader.value + "]", row.shown);
        std::string params;
        for (const MaterialParam& p : material.params) {
            params += (params.empty() ? "" : " ") + p.name.value;
            EXPECT_EQ(p.type, kParamTexture);
            const TextureImage& image = *model->images[size_t(p.imageIndex)];
            const int32_t w = image.levels[0].width, h = image.levels[0].height;
            // A full chain down to 1 x 1.
            EXPECT_EQ(image.levels.size(), size_t(std::log2(std::max(w, h))) + 1);
            EXPECT_TRUE(image.levels.back().width == 1 && image.levels.back().height == 1);
            if (p.name.value == "$diffuse")
                EXPECT_TRUE(w == row.side[0] && h == row.side[1] && image.format.value == row.format) << w << "x" << h;
            else
                EXPECT_EQ(image.format.value, "DXT1");
            ExpectPixels(image, Expected(row, p.name.value), p.name.value);
        }
        EXPECT_EQ(params, row.params);
    }
}

}  // namespace
