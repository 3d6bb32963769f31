// Foreign materials adopted as the game's materials: through the way back,
// the model writer and the reader, each comes back with its shader, its
// parameters and images (power-of-two sides, full mip chains, DXT1 or DXT5
// as its alpha needs) and pixels within the block compression's error, the
// right way up; and the scene built from that model shows the same maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/joints.h"
#include "scene/adopt_foreign.h"
#include "scene/check_scene.h"
#include "scene/model_from_scene.h"
#include "tests/support/test_util.h"
#include "texture/decode_pixels.h"
#include "texture/encode_pixels.h"
#include "texture/resize.h"

namespace {

// Red across, green up, blue from both (so a picture turned over or
// mirrored does not match); alpha falls up the picture when asked.
PixelImage Ramp(int w, int h, bool alpha) {
    PixelImage p;
    p.width = w, p.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int r = w > 1 ? 255 * x / (w - 1) : 128, g = h > 1 ? 255 * y / (h - 1) : 64;
            p.pixels.insert(p.pixels.end(), {uint8_t(r), uint8_t(g), uint8_t((r + 3 * g) / 4),
                                             uint8_t(alpha ? 255 - g / 2 : 255)});
        }
    return p;
}

PixelImage Map(PixelImage p, uint8_t (*pixel)(const unsigned char*, int)) {
    std::vector<unsigned char> in = p.pixels;
    for (size_t i = 0; i < in.size(); i += 4)
        for (int c = 0; c < 4; ++c) p.pixels[i + size_t(c)] = pixel(&in[i], c);
    return p;
}

PixelImage Filled(int r, int g, int b, int a) {
    PixelImage p;
    p.width = p.height = 4;
    for (int i = 0; i < 16; ++i) p.pixels.insert(p.pixels.end(), {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)});
    return p;
}

enum Source { kNone, kDiffuse, kGlow, kNormal };

struct Row {
    const char* name;  // in the file
    int width, height;  // the base colour picture (0: none)
    bool alpha;
    float diffuse[4];
    float emission[3];
    Source more;          // a second picture (a glow or normal texture)
    const char* shown;    // the adopted material's name
    int side[2];          // the "$diffuse" image's size
    const char* format;   // and format
    const char* params;   // the parameters in order
    const char* note;     // a note the adoption prints for it
};

const Row kRows[] = {
    {"Painted", 100, 30, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Painted]_SHD[ship]", {128, 32}, "DXT1",
     "$diffuse", "Picture Painted scaled from 100 x 30 to 128 x 32 pixels"},
    {"Plain", 0, 0, false, {1, 0, 0, 1}, {0, 0, 0}, kNone, "MAT[Plain]_SHD[ship]", {4, 4}, "DXT1", "$diffuse",
     "Material Plain has no texture - given a 4 x 4 texture of its colour (255 0 0)"},
    {"Grey", 0, 0, false, {0.5f, 0.5f, 0.5f, 1}, {0, 0, 0}, kNone, "MAT[Grey]_SHD[ship]", {4, 4}, "DXT1", "$diffuse",
     "(188 188 188)"},
    {"Tinted", 16, 16, true, {1, 0, 1, 0.5f}, {0, 0, 0}, kNone, "MAT[Tinted]_SHD[ship]", {16, 16}, "DXT5",
     "$diffuse", "Material Tinted has a base colour besides its texture - multiplied into the texture"},
    {"Masked", 1, 1, true, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Masked]_SHD[ship]", {1, 1}, "DXT5", "$diffuse",
     "the ship shader reads its alpha as the team colour mask"},
    {"Lights", 5000, 8, false, {1, 1, 1, 1}, {0, 0, 0}, kGlow, "MAT[Lights]_SHD[ship]", {4096, 8}, "DXT1",
     "$diffuse $glow", "to 4096 x 8 pixels"},
    {"Embers", 0, 0, false, {1, 1, 1, 1}, {0, 0.5f, 0.25f}, kNone, "MAT[Embers]_SHD[ship]", {4, 4}, "DXT1",
     "$diffuse $glow", "(255 255 255)"},
    {"Bumpy", 32, 32, false, {1, 1, 1, 1}, {0, 0, 0}, kNormal, "MAT[Bumpy]_SHD[ship]", {32, 32}, "DXT1",
     "$diffuse $normal", ""},
    {"bumpy", 0, 0, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[bumpy_2]_SHD[ship]", {4, 4}, "DXT1", "$diffuse",
     "Material bumpy named bumpy_2 - another material has its name"},
    {"Tab\tbed", 0, 0, false, {1, 1, 1, 1}, {0, 0, 0}, kNone, "MAT[Tab_bed]_SHD[ship]", {4, 4}, "DXT1", "$diffuse",
     "named Tab_bed - the game's format cannot hold its name"},
    {"MAT[Glass]_SHD[matte]", 8, 8, false, {1, 1, 1, 1}, {0, 0, 0}, kGlow, "MAT[Glass]_SHD[matte]", {8, 8}, "DXT1",
     "$diffuse", "Material Glass has a glow texture that shader matte takes none of - left out"},
};

// The picture each row's second texture is made of, and what its image holds.
PixelImage More(const Row& row) { return Ramp(row.more == kGlow ? 64 : 32, 32, row.more == kNormal); }
PixelImage MoreImage(const Row& row) {
    if (row.more == kNormal)
        return Map(More(row), [](const unsigned char* p, int c) { return c == 3 ? uint8_t(255) : p[c]; });
    return Map(More(row), [](const unsigned char* p, int c) {
        return c == 1 ? std::max(p[0], std::max(p[1], p[2])) : uint8_t(c == 3 ? 255 : 0);
    });
}

PixelImage DiffuseImage(const Row& row) {
    if (std::string(row.name) == "Grey") return Filled(188, 188, 188, 255);
    if (std::string(row.name) == "Embers") return Filled(255, 255, 255, 255);
    if (!row.width) return Filled(int(row.diffuse[0] * 255), int(row.diffuse[1] * 255), int(row.diffuse[2] * 255), 255);
    PixelImage p = ResizePicture(Ramp(row.width, row.height, row.alpha), row.side[0], row.side[1]);
    if (row.diffuse[1] != 0) return p;
    // The factor 1 0 1 0.5: green gone, alpha halved.
    return Map(p, [](const unsigned char* q, int c) { return uint8_t(c == 1 ? 0 : c == 3 ? (q[3] + 1) / 2 : q[c]); });
}

PixelImage Decoded(const MipLevel& level, const std::string& format) {
    std::unique_ptr<PixelImage> p;
    EXPECT_EQ(DecodeLevel(level, format.c_str(), p), DecodeStatus::kOk);
    return p ? *p : PixelImage();
}

// Level 0 of the image: the expected picture as the block compression
// gives it back (within a step, for a factor's rounding).
void ExpectPixels(const TextureImage& image, const PixelImage& want, const std::string& what) {
    MipLevel compressed;
    ASSERT_TRUE(EncodeLevel(want, image.format.CStr(), compressed));
    const PixelImage got = Decoded(image.levels[0], image.format.value);
    const PixelImage near = Decoded(compressed, image.format.value);
    ASSERT_TRUE(got.width == near.width && got.height == near.height) << what;
    int worst = 0;
    for (size_t i = 0; i < near.pixels.size(); ++i) worst = std::max(worst, std::abs(got.pixels[i] - near.pixels[i]));
    EXPECT_LE(worst, 4) << what;
}

TEST(AdoptMaterials, EveryKindComesBackThroughTheModel) {
    Scene scene;
    scene.version = 512;
    SetFact(scene.facts, "type_name", kMultiMeshFileName);  // the node step's
    for (const Row& row : kRows) {
        SceneMaterial m;
        m.name = row.name;
        std::copy(row.diffuse, row.diffuse + 4, m.diffuse);
        std::copy(row.emission, row.emission + 3, m.emission);
        auto picture = [&](const char* output, PixelImage p) {
            SceneImage image;
            image.key = image.stem = row.name;
            image.format = "8888";
            image.picture = std::move(p);
            m.maps.push_back({output, int32_t(scene.images.size())});
            scene.images.push_back(std::move(image));
        };
        if (row.width) picture("DIFF", Ramp(row.width, row.height, row.alpha));
        if (row.more) picture(row.more == kGlow ? "GLOW" : "NORM", More(row));
        scene.materials.push_back(std::move(m));
    }
    SceneImage unused;
    unused.key = "Spare";
    unused.picture = Filled(1, 2, 3, 4);
    scene.images.push_back(unused);
    SceneMesh mesh;
    mesh.name = "Loose";
    mesh.triangles.resize(1);
    scene.meshes.push_back(mesh);

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
                             "Picture Spare is used by no material - left out"})
        EXPECT_NE(notes.find(note), std::string::npos) << note << "\n" << notes;

    WayBackReport report;
    std::unique_ptr<Model> built = ModelFromScene(scene, report);
    for (const std::string& kind : report.defaults) ADD_FAILURE() << "default taken: " << kind;
    std::vector<std::string> problems;
    std::unique_ptr<Model> model = ReadZemChecked(BuildZem(*built), &problems);
    ASSERT_TRUE(model && !model->damage && problems.empty());
    ResolveJoints(*model);
    const std::unique_ptr<Scene> again = BuildScene(*model, SceneOptions());
    ASSERT_TRUE(again);

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
            // A full chain, each level half the one above.
            const MipLevel& last = image.levels.back();
            EXPECT_TRUE(last.width == 1 && last.height == 1) << p.name.value;
            EXPECT_EQ(image.levels.size(),
                      size_t(std::log2(std::max(image.levels[0].width, image.levels[0].height))) + 1);
            if (p.name.value == "$diffuse") {
                EXPECT_EQ(image.levels[0].width, row.side[0]);
                EXPECT_EQ(image.levels[0].height, row.side[1]);
                EXPECT_EQ(image.format.value, row.format);
                ExpectPixels(image, DiffuseImage(row), "diffuse");
            } else if (row.more) {
                EXPECT_EQ(image.format.value, "DXT1");
                ExpectPixels(image, MoreImage(row), p.name.value);
            } else {
                ExpectPixels(image, Filled(0, 188, 0, 255), p.name.value);
            }
        }
        EXPECT_EQ(params, row.params);
        // The scene built from the model shows the maps the adoption made.
        const SceneMaterial& adopted = scene.materials[r];
        const SceneMaterial& shown = again->materials[r];
        EXPECT_EQ(shown.name, adopted.name);
        ASSERT_EQ(shown.maps.size(), adopted.maps.size());
        for (size_t m = 0; m < shown.maps.size(); ++m) {
            EXPECT_EQ(shown.maps[m].output, adopted.maps[m].output);
            EXPECT_EQ(scene.images[size_t(adopted.maps[m].image)].key, again->images[size_t(shown.maps[m].image)].key);
        }
    }
}

}  // namespace
