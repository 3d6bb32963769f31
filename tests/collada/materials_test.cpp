// The material step end to end: an in-memory model, a TinyXML document with
// the three libraries, and the TGA files in a private folder.
#include "collada/materials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/output.h"
#include "tests/collada/xml_query.h"
#include "texture/shader_map.h"

namespace {

struct Folder {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("vorda_mat_" + std::to_string(std::random_device{}()) + "_" + std::to_string(Next())))
                           .string();
    static int Next() {
        static int counter = 0;
        return counter++;
    }
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::vector<std::string> List(const std::string& sub = "") const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path + sub))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The first four stored bytes of the TGA's pixels (blue, green, red, alpha),
// after checking the header says 8 alpha bits and the size fits 4 x 4.
std::vector<unsigned char> FirstPixel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (file.size() != 18u + 64u || file[17] != 0x08) return {};
    return std::vector<unsigned char>(file.begin() + 18, file.begin() + 22);
}

// A 4 x 4 DXT1 block of one RGB565 colour, or a DXT5 block with one alpha too.
std::vector<unsigned char> Dxt1Flat(uint16_t c) { return {uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0, 0, 0}; }
std::vector<unsigned char> Dxt5Flat(uint8_t alpha, uint16_t c) {
    std::vector<unsigned char> b = {alpha, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<unsigned char> colour = Dxt1Flat(c);
    b.insert(b.end(), colour.begin(), colour.end());
    return b;
}

void AddImage(Model& model, const char* name, const char* format, std::vector<unsigned char> level0, int size = 4) {
    model.images.push_back(std::make_unique<TextureImage>());
    TextureImage& image = *model.images.back();
    image.index = int32_t(model.images.size() - 1);
    image.name.Set(name);
    image.format.Set(format);
    if (level0.empty()) return;
    MipLevel level;
    level.width = level.height = size;
    level.size = int32_t(level0.size());
    level.data = std::move(level0);
    image.levels.push_back(std::move(level));
}

void AddParams(Material& m, std::vector<std::pair<const char*, int>> params) {
    for (const auto& p : params) {
        MaterialParam param;
        param.name.Set(p.first);
        param.type = p.second < 0 ? kParamColour : kParamTexture;
        param.imageIndex = std::max(p.second, 0);
        m.params.push_back(param);
    }
}

const uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;

// The ship example plus the cases around it:
// 0 Hull/ship: $diffuse, $glow, $normal and a colour -> six maps;
// 1 Rock/rock: unknown shader with "$diffuse" -> the first wildcard entry;
// 2 Glass/glassy: unknown shader with "$glow" only -> no material at all;
// 3 Plain/fx: colours and a texture whose index is out of range -> colours only;
// 4 Empty/unknownX: a texture whose image has no levels -> colours only.
Model ShipModel() {
    Model model;
    AddImage(model, "ships\\hull_diff.dds", "DXT1", Dxt1Flat(kRed));
    AddImage(model, "ships\\hull_glw.dds", "DXT5", Dxt5Flat(200, kGreen));
    AddImage(model, "ships\\hull_nm.dds", "DXT1", Dxt1Flat(kBlue));
    AddImage(model, "tex/rock.tga", "DXT5", Dxt5Flat(255, kRed));
    AddImage(model, "tex\\old_spec.dds", "DXT1", Dxt1Flat(kGreen));
    AddImage(model, "tex\\nothing.dds", "DXT1", {});
    AddParams(AddMaterial(model, "Hull", "ship"), {{"$diffuse", 0}, {"$glow", 1}, {"$normal", 2}, {"$team", -1}});
    AddParams(AddMaterial(model, "Rock", "rock"), {{"$diffuse", 3}});
    AddParams(AddMaterial(model, "Glass", "glassy"), {{"$glow", 1}, {"$tint", -1}});
    AddParams(AddMaterial(model, "Plain", "fx"), {{"$c1", -1}, {"$diffuse", 7}, {"$c2", -1}});
    AddParams(AddMaterial(model, "Empty", "unknownX"), {{"$diffuse", 5}});
    return model;
}

// Runs the material step into a fresh document; returns what it printed.
struct Doc {
    TiXmlDocument document;
    DaeState state;
    std::string printed;
    Doc(Model& model, const std::string& folder, bool verbose = false) {
        TiXmlElement* root = document.LinkEndChild(new TiXmlElement("COLLADA"))->ToElement();
        state.model = &model;
        state.outputFolder = folder;
        state.options.verboseTextures = verbose;
        state.libraryImages = root->LinkEndChild(new TiXmlElement("library_images"))->ToElement();
        state.libraryMaterials = root->LinkEndChild(new TiXmlElement("library_materials"))->ToElement();
        state.libraryEffects = root->LinkEndChild(new TiXmlElement("library_effects"))->ToElement();
        const auto maps = ParseShaderMaps();
        CapturedOutput captured;
        if (maps) WriteMaterials(state, *maps);
        printed = captured.Text();
    }
};

const TiXmlElement* Phong(const TiXmlElement* effect) {
    const TiXmlElement* technique = effect->FirstChildElement("profile_COMMON")->FirstChildElement("technique");
    EXPECT_EQ(Attr(technique, "sid"), "standard");
    return technique->FirstChildElement("phong");
}

// "emission" -> "texture:IMG[...]" or "color:<text>" or "float:<text>".
std::string PhongValue(const TiXmlElement* phong, const char* name) {
    const TiXmlElement* inner = phong->FirstChildElement(name) ? phong->FirstChildElement(name)->FirstChildElement() : nullptr;
    if (!inner) return "<missing>";
    if (inner->ValueStr() == "texture") return "texture:" + Attr(inner, "texture");
    EXPECT_EQ(Attr(inner, "sid"), name);
    return inner->ValueStr() + ":" + TextOf(inner);
}

const std::vector<std::string> kPhongOrder = {"emission", "ambient", "diffuse", "specular", "shininess",
                                              "reflective", "reflectivity", "transparent", "transparency"};
const std::string kBlack = "color:0.000000 0.000000 0.000000 1.000000";

}  // namespace

TEST(WriteMaterials, ShipExampleEndToEnd) {
    Folder folder;
    const std::string out = folder.path + "/out/ships";  // made on the way
    Model model = ShipModel();
    Doc doc(model, out);
    EXPECT_EQ(doc.printed,
              "ALERT: Mapping STAT shader [rock] to shader map [] - not exact!!!\n"
              "ALERT: Unable to find map for shader [glassy]\n");
    EXPECT_EQ(doc.state.colourParamCount, 4);

    // The six maps of Hull in slot and line order, all named after the first
    // slot's image, then Rock's; pixel 0 as stored (B, G, R, A).
    struct Img {
        const char* stem;
        const char* format;
        std::vector<unsigned char> bgra;
    } images[] = {
        {"hull_DIFF", "DXT1", {0, 0, 255, 255}},      // R G B 1 of red
        {"hull_TEAM", "DXT1", {255, 255, 255, 0}},    // 1 1 1 a of opaque
        {"hull_GLOW", "DXT5", {255, 255, 255, 255}},  // G G G G of green
        {"hull_SPEC", "DXT5", {0, 0, 0, 0}},          // B B B B of green
        {"hull_STRP", "DXT5", {255, 255, 255, 55}},   // 1 1 1 a of alpha 200
        {"hull_NORM", "DXT1", {255, 0, 0, 255}},      // R G B 1 of blue
        {"rock_DIFF", "DXT5", {0, 0, 255, 255}},      // R G B A of opaque red
    };
    const auto imageElements = Kids(doc.state.libraryImages, "image");
    ASSERT_EQ(imageElements.size(), std::size(images));
    for (size_t i = 0; i < std::size(images); ++i) {
        const std::string stem = images[i].stem;
        SCOPED_TRACE(stem);
        EXPECT_EQ(PrintXml(imageElements[i]), "<image id=\"IMG[" + stem + "]-image\" name=\"IMG[" + stem + "]_FMT[" +
                                                  images[i].format + "]\"><init_from>" + stem +
                                                  ".TGA</init_from></image>");
        EXPECT_EQ(FirstPixel(out + "/" + stem + ".TGA"), images[i].bgra);
    }
    EXPECT_EQ(folder.List("/out/ships").size(), std::size(images));

    // Materials and effects: none for Glass; every effect with the defaults.
    const std::vector<std::string> names = {"MAT[Hull]_SHD[ship]", "MAT[Rock]_SHD[rock]", "MAT[Plain]_SHD[fx]",
                                            "MAT[Empty]_SHD[unknownX]"};
    const auto materials = Kids(doc.state.libraryMaterials);
    const auto effects = Kids(doc.state.libraryEffects);
    ASSERT_EQ(materials.size(), names.size());
    ASSERT_EQ(effects.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(PrintXml(materials[i]), "<material id=\"" + names[i] + "\" name=\"" + names[i] +
                                              "\"><instance_effect url=\"#" + names[i] + "-fx\" /></material>");
        EXPECT_EQ(Attr(effects[i], "id") + " " + Attr(effects[i], "name"), names[i] + "-fx " + names[i]);
        const TiXmlElement* phong = Phong(effects[i]);
        EXPECT_EQ(KidNames(phong), kPhongOrder);
        EXPECT_EQ(PhongValue(phong, "ambient"), "color:1.000000 1.000000 1.000000 1.000000");
        EXPECT_EQ(PhongValue(phong, "shininess"), "float:1.071773");
        EXPECT_EQ(PhongValue(phong, "reflective"), kBlack);
        EXPECT_EQ(PhongValue(phong, "reflectivity"), "float:1.000000");
        EXPECT_EQ(PhongValue(phong, "transparent"), "color:1.000000 1.000000 1.000000 1.000000");
        EXPECT_EQ(Attr(phong->FirstChildElement("transparent"), "opaque"), "RGB_ZERO");
        EXPECT_EQ(PhongValue(phong, "transparency"), "float:0.000000");
        const bool textured = i < 2;
        EXPECT_EQ(PhongValue(phong, "emission"), i == 0 ? "texture:IMG[hull_GLOW]-image" : kBlack);
        if (!textured) {
            EXPECT_EQ(PhongValue(phong, "diffuse"), "color:0.500000 0.500000 0.500000 1.000000");
            EXPECT_EQ(PhongValue(phong, "specular"), kBlack);
        }
    }
    const TiXmlElement* hull = Phong(effects[0]);
    EXPECT_EQ(PhongValue(hull, "diffuse"), "texture:IMG[hull_DIFF]-image");
    EXPECT_EQ(PhongValue(hull, "specular"), "texture:IMG[hull_SPEC]-image");
    EXPECT_EQ(PrintXml(hull->FirstChildElement("diffuse")->FirstChildElement("texture")->FirstChildElement("extra")),
              "<extra><technique profile=\"MAYA\"><wrapU sid=\"wrapU0\">TRUE</wrapU>"
              "<wrapV sid=\"wrapV0\">TRUE</wrapV><blend_mode>ADD</blend_mode></technique></extra>");
    EXPECT_EQ(PhongValue(Phong(effects[1]), "diffuse"), "texture:IMG[rock_DIFF]-image");
    EXPECT_EQ(model.images[1]->useCount, 1);
    EXPECT_EQ(model.images[4]->useCount, 0);
}

TEST(WriteMaterials, VerboseDumpsSourcesAndUnusedImages) {
    Folder folder;
    Model model = ShipModel();
    Doc doc(model, folder.path, true);
    const std::vector<std::string> files = folder.List();
    for (const char* name : {"hull_FMT[DXT1]_diffuse_LMIP.TGA", "hull_FMT[DXT5]_glow_LMIP.TGA",
                             "hull_FMT[DXT1]_normal_LMIP.TGA", "rock_FMT[DXT5]_diffuse_LMIP.TGA",
                             "old_FMT[DXT1]_UNUSED_LMIP.TGA"})
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
    EXPECT_EQ(files.size(), 7u + 5u);  // no dump of the image without levels
    const auto images = Kids(doc.state.libraryImages);
    ASSERT_EQ(images.size(), 8u);
    EXPECT_EQ(PrintXml(images[7]), "<image id=\"IMG[old]-image\" name=\"IMG[old]_FMT[DXT1]\"><init_from>"
                                   "old_FMT[DXT1]_UNUSED_LMIP.TGA</init_from></image>");
    // The unused image is decoded too (opaque green).
    EXPECT_EQ(FirstPixel(folder.path + "/old_FMT[DXT1]_UNUSED_LMIP.TGA"), (std::vector<unsigned char>{0, 255, 0, 255}));
}

TEST(WriteMaterials, ProblemTexturesAreReportedAndTheDocumentGoesOn) {
    {
        SCOPED_TRACE("an output folder that cannot be made");
        Folder folder;
        std::ofstream(folder.path + "/blocker") << "a file, not a folder";
        const std::string out = folder.path + "/blocker/tex";
        Model model;
        AddImage(model, "a\\rock_diff.dds", "DXT1", Dxt1Flat(kRed));
        AddParams(AddMaterial(model, "Rock", "fx"), {{"$diffuse", 0}});
        Doc doc(model, out);
        EXPECT_EQ(doc.printed, "ALERT: Unable to write texture file [" + out + "/rock_DIFF.TGA]\n");
        EXPECT_EQ(PhongValue(Phong(Kids(doc.state.libraryEffects)[0]), "diffuse"), "texture:IMG[rock_DIFF]-image");
    }
    {
        SCOPED_TRACE("undecodable textures; a Windows-1252 name carried as UTF-8 in file and document alike");
        Folder folder;
        Model model;
        AddImage(model, "odd.dds", "ABCD", std::vector<unsigned char>(16, 1));
        AddImage(model, "cut.dds", "DXT1", std::vector<unsigned char>(8, 1), 8);  // needs 4 blocks
        AddImage(model, "tex\\Sch\xE4" "del & co_diff.dds", "DXT1", Dxt1Flat(kRed));
        for (int i = 0; i < 3; ++i) AddParams(AddMaterial(model, "M", "fx"), {{"$diffuse", i}});
        Doc doc(model, folder.path);
        EXPECT_EQ(doc.printed,
                  "ALERT: Texture [odd.dds] has unknown format [ABCD] - not decoded\n"
                  "ALERT: Texture [cut.dds] of 8 x 8 pixels holds 8 of the 32 bytes it needs - not decoded\n");
        const std::string utf8 = "Sch\xC3\xA4" "del & co_DIFF.TGA";
        EXPECT_EQ(folder.List(), std::vector<std::string>{utf8});
        EXPECT_EQ(ChildNames(doc.state.libraryImages, "image", "id").size(), 1u);
        EXPECT_EQ(TextOf(Find(doc.state.libraryImages, "id", "IMG[Sch\xC3\xA4" "del & co_DIFF]-image")
                             ->FirstChildElement("init_from")),
                  utf8);
        EXPECT_EQ(PhongValue(Phong(Kids(doc.state.libraryEffects)[1]), "diffuse"),
                  "color:0.500000 0.500000 0.500000 1.000000");
    }
}

TEST(WriteGlowMaterial, OneConstantMaterial) {
    Model model;
    Doc doc(model, "");
    WriteGlowMaterial(doc.state);
    EXPECT_EQ(doc.state.glowTarget, "#MATGLOW[TALVE_Glow]");
    const auto materials = Kids(doc.state.libraryMaterials);
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(PrintXml(materials[0]), "<material id=\"MATGLOW[TALVE_Glow]\" name=\"MATGLOW[TALVE_Glow]\">"
                                      "<instance_effect url=\"#MATGLOW[TALVE_Glow]-fx\" /></material>");
    const auto effects = Kids(doc.state.libraryEffects);
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(Attr(effects[0], "id"), "MATGLOW[TALVE_Glow]-fx");
    const TiXmlElement* phong = Phong(effects[0]);
    EXPECT_EQ(KidNames(phong), kPhongOrder);
    EXPECT_EQ(PhongValue(phong, "emission"), "color:0.000000 0.750000 1.000000 1.000000");
    EXPECT_EQ(PhongValue(phong, "diffuse"), kBlack);
    EXPECT_EQ(PhongValue(phong, "transparency"), "float:0.800000");
}
