// The material step end to end: an in-memory model, a TinyXML document with
// the three libraries, and the TGA files in a private folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/output.h"
#include "tests/collada/xml_query.h"

namespace {

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != "m.dae") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The first stored pixel (B, G, R, A) of a 4 x 4 TGA with 8 alpha bits.
std::vector<unsigned char> FirstPixel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (file.size() != 18u + 64u || file[17] != 0x08) return {};
    return std::vector<unsigned char>(file.begin() + 18, file.begin() + 22);
}

// A 4 x 4 DXT1 block of one RGB565 colour; with an alpha, a DXT5 block.
std::vector<unsigned char> Flat(uint16_t c, int alpha = -1) {
    std::vector<unsigned char> b = {uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0, 0, 0};
    if (alpha >= 0) b.insert(b.begin(), {uint8_t(alpha), 0, 0, 0, 0, 0, 0, 0});
    return b;
}

void AddImage(Model& model, const char* name, const char* format, std::vector<unsigned char> level0, int size = 4) {
    model.images.push_back(std::make_unique<TextureImage>());
    TextureImage& image = *model.images.back();
    image.index = int32_t(model.images.size() - 1);
    image.name.Set(name);
    image.format.Set(format);
    if (level0.empty()) return;
    image.levels.emplace_back();
    image.levels[0].width = image.levels[0].height = size;
    image.levels[0].size = int32_t(level0.size());
    image.levels[0].data = std::move(level0);
}

// Parameters by name and image index; a negative index makes a colour.
void AddParams(Material& m, std::vector<std::pair<const char*, int>> params) {
    for (const auto& p : params) {
        m.params.emplace_back();
        m.params.back().name.Set(p.first);
        m.params.back().type = p.second < 0 ? kParamColour : kParamTexture;
        m.params.back().imageIndex = std::max(p.second, 0);
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
    AddImage(model, "ships\\hull_diff.dds", "DXT1", Flat(kRed));
    AddImage(model, "ships\\hull_glw.dds", "DXT5", Flat(kGreen, 200));
    AddImage(model, "ships\\hull_nm.dds", "DXT1", Flat(kBlue));
    AddImage(model, "tex/rock.tga", "DXT5", Flat(kRed, 255));
    AddImage(model, "tex\\old_spec.dds", "DXT1", Flat(kGreen));
    AddImage(model, "tex\\nothing.dds", "DXT1", {});
    AddParams(AddMaterial(model, "Hull", "ship"), {{"$diffuse", 0}, {"$glow", 1}, {"$normal", 2}, {"$team", -1}});
    AddParams(AddMaterial(model, "Rock", "rock"), {{"$diffuse", 3}});
    AddParams(AddMaterial(model, "Glass", "glassy"), {{"$glow", 1}, {"$tint", -1}});
    AddParams(AddMaterial(model, "Plain", "fx"), {{"$c1", -1}, {"$diffuse", 7}, {"$c2", -1}});
    AddParams(AddMaterial(model, "Empty", "unknownX"), {{"$diffuse", 5}});
    return model;
}

// Writes the model as "m.dae" into folder and reads it back, keeping what the
// write printed besides the lines about the document itself.
struct Doc {
    TiXmlDocument file;
    std::string printed;
    const TiXmlElement* libraryImages = nullptr;
    const TiXmlElement* libraryMaterials = nullptr;
    const TiXmlElement* libraryEffects = nullptr;
    Doc(Model& model, const std::string& folder, bool verbose = false) {
        ResolveJoints(model);
        TiXmlBase::SetCondenseWhiteSpace(false);
        DaeOptions options;
        options.verboseTextures = verbose;
        CapturedOutput captured;
        const std::string path = folder + "/m.dae";
        WriteDocument(model, path.c_str(), options);
        std::istringstream lines(captured.Text());
        for (std::string line; std::getline(lines, line);)
            if (line.find("/m.dae") == std::string::npos) printed += line + "\n";
        if (!file.LoadFile(path.c_str())) return;
        libraryImages = file.RootElement()->FirstChildElement("library_images");
        libraryMaterials = file.RootElement()->FirstChildElement("library_materials");
        libraryEffects = file.RootElement()->FirstChildElement("library_effects");
    }
    // The phong values of effect i, each as "texture:IMG[...]", "color:..." or "float:...".
    std::vector<std::string> Phong(size_t i) const {
        const TiXmlElement* technique = Kids(libraryEffects).at(i)->FirstChildElement("profile_COMMON")->FirstChildElement("technique");
        EXPECT_EQ(Attr(technique, "sid"), "standard");
        std::vector<std::string> out;
        for (const TiXmlElement* e : Kids(technique->FirstChildElement("phong"))) {
            const TiXmlElement* inner = e->FirstChildElement();
            const bool texture = inner->ValueStr() == "texture";
            EXPECT_EQ(Attr(inner, "sid"), texture ? "<none>" : e->Value());
            if (texture) {
                EXPECT_EQ(Attr(inner, "texcoord"), "UV0");
            }
            out.push_back(texture ? "texture:" + Attr(inner, "texture") : inner->ValueStr() + ":" + TextOf(inner));
        }
        return out;
    }
};

const std::string kBlack = "color:0.000000 0.000000 0.000000 1.000000";
const std::string kWhite = "color:1.000000 1.000000 1.000000 1.000000";
const std::string kGrey = "color:0.500000 0.500000 0.500000 1.000000";

}  // namespace

TEST(WriteMaterials, ShipExampleEndToEnd) {
    TempDir folder;
    const std::string out = folder / "out/ships";  // made on the way
    Model model = ShipModel();
    Doc doc(model, out);
    EXPECT_EQ(doc.printed,
              "ALERT: Mapping STAT shader [rock] to shader map [] - not exact!!!\n"
              "ALERT: Unable to find map for shader [glassy]\n");

    // The six maps of Hull in slot and line order, all named after the first
    // slot's image, then Rock's; pixel 0 as stored (B, G, R, A).
    const std::tuple<std::string, const char*, std::vector<unsigned char>> images[] = {
        {"hull_DIFF", "DXT1", {0, 0, 255, 255}},      // R G B 1 of red
        {"hull_TEAM", "DXT1", {255, 255, 255, 0}},    // 1 1 1 a of opaque
        {"hull_GLOW", "DXT5", {255, 255, 255, 255}},  // G G G G of green
        {"hull_SPEC", "DXT5", {0, 0, 0, 0}},          // B B B B of green
        {"hull_STRP", "DXT5", {255, 255, 255, 55}},   // 1 1 1 a of alpha 200
        {"hull_NORM", "DXT1", {255, 0, 0, 255}},      // R G B 1 of blue
        {"rock_DIFF", "DXT5", {0, 0, 255, 255}},      // R G B A of opaque red
    };
    const auto imageElements = Kids(doc.libraryImages, "image");
    ASSERT_EQ(imageElements.size(), std::size(images));
    for (size_t i = 0; i < std::size(images); ++i) {
        const auto& [stem, format, bgra] = images[i];
        EXPECT_EQ(PrintXml(imageElements[i]), "<image id=\"IMG[" + stem + "]-image\" name=\"IMG[" + stem + "]_FMT[" +
                                                  format + "]\"><init_from>" + stem + ".TGA</init_from></image>");
        EXPECT_EQ(FirstPixel(out + "/" + stem + ".TGA"), bgra) << stem;
    }
    EXPECT_EQ(List(out).size(), std::size(images));

    // Materials and effects (none for Glass): emission, ambient, diffuse,
    // specular, shininess, reflective, reflectivity, transparent, transparency.
    const std::pair<std::string, std::array<std::string, 3>> effects[] = {
        {"MAT[Hull]_SHD[ship]", {"texture:IMG[hull_GLOW]-image", "texture:IMG[hull_DIFF]-image", "texture:IMG[hull_SPEC]-image"}},
        {"MAT[Rock]_SHD[rock]", {kBlack, "texture:IMG[rock_DIFF]-image", kBlack}},
        {"MAT[Plain]_SHD[fx]", {kBlack, kGrey, kBlack}},
        {"MAT[Empty]_SHD[unknownX]", {kBlack, kGrey, kBlack}},
    };
    const auto materials = Kids(doc.libraryMaterials);
    ASSERT_EQ(materials.size(), std::size(effects));
    ASSERT_EQ(Kids(doc.libraryEffects).size(), std::size(effects));
    for (size_t i = 0; i < std::size(effects); ++i) {
        const auto& [name, v] = effects[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(PrintXml(materials[i]),
                  "<material id=\"" + name + "\" name=\"" + name + "\"><instance_effect url=\"#" + name + "-fx\" /></material>");
        const TiXmlElement* effect = Kids(doc.libraryEffects)[i];
        EXPECT_EQ(Attr(effect, "id") + " " + Attr(effect, "name"), name + "-fx " + name);
        EXPECT_EQ(Attr(Find(effect, "opaque", "RGB_ZERO"), "opaque"), "RGB_ZERO");
        EXPECT_EQ(doc.Phong(i), (std::vector<std::string>{v[0], kWhite, v[1], v[2], "float:1.071773", kBlack,
                                                          "float:1.000000", kWhite, "float:0.000000"}));
        // Per texture a surface of the image and a sampler of the surface
        // whose sid is the "texture" attribute, ahead of the profile.
        std::vector<std::string> params, textures;
        for (const std::string& t : v)
            if (t.rfind("texture:", 0) == 0) {
                const std::string image = t.substr(8, t.size() - 8 - 6);  // "IMG[...]" without "-image"
                params.insert(params.end(), {image + "-surface", image + "-image"});
                textures.push_back("newparam");
                textures.push_back("newparam");
            }
        textures.push_back("profile_COMMON");
        EXPECT_EQ(ChildNames(effect, "newparam", "sid"), params);
        EXPECT_EQ(KidNames(effect), textures);
    }
    const TiXmlElement* hull = Kids(doc.libraryEffects)[0];
    EXPECT_EQ(PrintXml(Kids(hull)[2]) + PrintXml(Kids(hull)[3]),
              "<newparam sid=\"IMG[hull_DIFF]-surface\"><surface type=\"2D\"><init_from>IMG[hull_DIFF]-image</init_from>"
              "</surface></newparam><newparam sid=\"IMG[hull_DIFF]-image\"><sampler2D><source>IMG[hull_DIFF]-surface"
              "</source></sampler2D></newparam>");
    EXPECT_EQ(PrintXml(Find(doc.libraryEffects, "texture", "IMG[hull_DIFF]-image")->FirstChildElement("extra")),
              "<extra><technique profile=\"MAYA\"><wrapU sid=\"wrapU0\">TRUE</wrapU>"
              "<wrapV sid=\"wrapV0\">TRUE</wrapV><blend_mode>ADD</blend_mode></technique></extra>");
}

TEST(WriteMaterials, VerboseDumpsSourcesAndUnusedImages) {
    TempDir folder;
    Model model = ShipModel();
    Doc doc(model, folder.path, true);
    const std::vector<std::string> files = List(folder.path);
    for (const char* name : {"hull_FMT[DXT1]_diffuse_LMIP.TGA", "hull_FMT[DXT5]_glow_LMIP.TGA",
                             "hull_FMT[DXT1]_normal_LMIP.TGA", "rock_FMT[DXT5]_diffuse_LMIP.TGA"})
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
    EXPECT_EQ(files.size(), 7u + 5u);  // no dump of the image without levels
    const auto images = Kids(doc.libraryImages);
    ASSERT_EQ(images.size(), 8u);
    EXPECT_EQ(PrintXml(images[7]), "<image id=\"IMG[old]-image\" name=\"IMG[old]_FMT[DXT1]\"><init_from>"
                                   "old_FMT[DXT1]_UNUSED_LMIP.TGA</init_from></image>");
    // The unused image is decoded too (opaque green).
    EXPECT_EQ(FirstPixel(folder / "old_FMT[DXT1]_UNUSED_LMIP.TGA"), (std::vector<unsigned char>{0, 255, 0, 255}));
}

TEST(WriteMaterials, ProblemTexturesAreReportedAndTheDocumentGoesOn) {
    TempDir folder;
    {
        SCOPED_TRACE("an output folder that cannot be made");
        std::ofstream(folder / "blocker") << "a file, not a folder";
        Model model;
        AddImage(model, "a\\rock_diff.dds", "DXT1", Flat(kRed));
        AddParams(AddMaterial(model, "Rock", "fx"), {{"$diffuse", 0}});
        Doc doc(model, folder / "blocker/tex");
        EXPECT_EQ(doc.printed, "ALERT: Unable to write texture file [" + folder / "blocker/tex/rock_DIFF.TGA]\n" +
                                   "Error - Cannot write texture file " + folder / "blocker/tex/rock_DIFF.TGA" +
                                   " - Not a directory\n");
    }
    {
        SCOPED_TRACE("undecodable textures; a Windows-1252 name carried as UTF-8 in file and document alike");
        Model model;
        AddImage(model, "odd.dds", "ABCD", std::vector<unsigned char>(16, 1));
        AddImage(model, "cut.dds", "DXT1", std::vector<unsigned char>(8, 1), 8);  // needs 4 blocks
        AddImage(model, "tex\\Sch\xE4" "del & co_diff.dds", "DXT1", Flat(kRed));
        for (int i = 0; i < 3; ++i) AddParams(AddMaterial(model, "M", "fx"), {{"$diffuse", i}});
        Doc doc(model, folder / "ok");
        EXPECT_EQ(doc.printed,
                  "ALERT: Texture [odd.dds] has unknown format [ABCD] - not decoded\n"
                  "ALERT: Texture [cut.dds] of 8 x 8 pixels holds 8 of the 32 bytes it needs - not decoded\n");
        const std::string utf8 = "Sch\xC3\xA4" "del & co_DIFF";
        EXPECT_EQ(List(folder / "ok"), std::vector<std::string>{utf8 + ".TGA"});
        ASSERT_EQ(Kids(doc.libraryImages).size(), 1u);
        EXPECT_EQ(TextOf(Find(doc.libraryImages, "id", "IMG[" + utf8 + "]-image")->FirstChildElement("init_from")),
                  utf8 + ".TGA");
        EXPECT_EQ(doc.Phong(1)[2], kGrey);
    }
}

TEST(WriteGlowMaterial, OneConstantMaterial) {
    TempDir folder;
    Model model;
    Push(model.glows, "g", "");
    Doc doc(model, folder.path);
    EXPECT_EQ(PrintXml(doc.libraryMaterials), "<library_materials><material id=\"MATGLOW[TALVE_Glow]\" "
                                                    "name=\"MATGLOW[TALVE_Glow]\"><instance_effect "
                                                    "url=\"#MATGLOW[TALVE_Glow]-fx\" /></material></library_materials>");
    ASSERT_EQ(Kids(doc.libraryEffects).size(), 1u);
    EXPECT_EQ(Attr(Kids(doc.libraryEffects)[0], "id"), "MATGLOW[TALVE_Glow]-fx");
    EXPECT_EQ(doc.Phong(0), (std::vector<std::string>{"color:0.000000 0.750000 1.000000 1.000000", kBlack, kBlack,
                                                      kBlack, "float:1.071773", kBlack, "float:1.000000", kWhite,
                                                      "float:0.800000"}));
}
