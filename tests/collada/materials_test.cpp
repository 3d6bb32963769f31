// The material step end to end: an in-memory model, a TinyXML document with
// the three libraries, and the TGA files in a private folder.
#include "collada/materials.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/output.h"
#include "texture/shader_map.h"

namespace {

class Folder {
public:
    Folder() {
        path_ = (std::filesystem::temp_directory_path() /
                 ("vorda_mat_" + std::to_string(std::random_device{}()) + "_" + std::to_string(counter_++)))
                    .string();
        std::filesystem::create_directories(path_);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // File names in the folder, sorted.
    std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static inline int counter_ = 0;
    std::string path_;
};

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 4 x 4 DXT1 block of one RGB565 colour.
std::vector<unsigned char> Dxt1Flat(uint16_t c) { return {uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0, 0, 0}; }

// A 4 x 4 DXT5 block of one alpha and one colour.
std::vector<unsigned char> Dxt5Flat(uint8_t alpha, uint16_t c) {
    std::vector<unsigned char> b = {alpha, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<unsigned char> colour = Dxt1Flat(c);
    b.insert(b.end(), colour.begin(), colour.end());
    return b;
}

void AddImage(Model& model, const char* name, const char* format, std::vector<unsigned char> level0, int size = 4) {
    auto image = std::make_unique<TextureImage>();
    image->index = int32_t(model.images.size());
    image->name.Set(name);
    image->format.Set(format);
    if (!level0.empty()) {
        MipLevel level;
        level.width = size;
        level.height = size;
        level.size = int32_t(level0.size());
        level.data = std::move(level0);
        image->levels.push_back(std::move(level));
    }
    model.images.push_back(std::move(image));
}

struct Param {
    const char* name;
    int type;
    int imageIndex;
};

void AddMaterial(Model& model, const char* name, const char* shader, std::vector<Param> params) {
    auto m = std::make_unique<Material>();
    m->index = int32_t(model.materials.size());
    m->name.Set(name);
    m->shader.Set(shader);
    for (const Param& p : params) {
        MaterialParam param;
        param.name.Set(p.name);
        param.type = p.type;
        param.imageIndex = p.imageIndex;
        m->params.push_back(param);
    }
    model.materials.push_back(std::move(m));
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
    AddMaterial(model, "Hull", "ship",
                {{"$diffuse", 5, 0}, {"$glow", 5, 1}, {"$normal", 5, 2}, {"$team", 4, 0}});
    AddMaterial(model, "Rock", "rock", {{"$diffuse", 5, 3}});
    AddMaterial(model, "Glass", "glassy", {{"$glow", 5, 1}, {"$tint", 4, 0}});
    AddMaterial(model, "Plain", "fx", {{"$c1", 4, 0}, {"$diffuse", 5, 7}, {"$c2", 4, 0}});
    AddMaterial(model, "Empty", "unknownX", {{"$diffuse", 5, 5}});
    return model;
}

// The document skeleton the writer hands over: the three libraries.
struct Doc {
    TiXmlDocument document;
    TiXmlElement* root = nullptr;
    DaeState state;

    Doc(Model& model, const std::string& folder, bool verbose) {
        root = new TiXmlElement("COLLADA");
        document.LinkEndChild(root);
        state.model = &model;
        state.outputFolder = folder;
        state.options.verboseTextures = verbose;
        state.libraryImages = root->LinkEndChild(new TiXmlElement("library_images"))->ToElement();
        state.libraryMaterials = root->LinkEndChild(new TiXmlElement("library_materials"))->ToElement();
        state.libraryEffects = root->LinkEndChild(new TiXmlElement("library_effects"))->ToElement();
    }
};

std::vector<const TiXmlElement*> Children(const TiXmlElement* e) {
    std::vector<const TiXmlElement*> out;
    for (const TiXmlElement* c = e ? e->FirstChildElement() : nullptr; c; c = c->NextSiblingElement()) out.push_back(c);
    return out;
}

std::string Attr(const TiXmlElement* e, const char* name) {
    const char* v = e ? e->Attribute(name) : nullptr;
    return v ? v : "<none>";
}

std::string Text(const TiXmlElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "<none>";
}

// "emission" -> "texture:IMG[...]" or "color:<text>" or "float:<text>".
std::string PhongValue(const TiXmlElement* phong, const char* name) {
    const TiXmlElement* e = phong->FirstChildElement(name);
    if (!e) return "<missing>";
    const TiXmlElement* inner = e->FirstChildElement();
    if (!inner) return "<empty>";
    if (std::string(inner->Value()) == "texture") return "texture:" + Attr(inner, "texture");
    EXPECT_EQ(Attr(inner, "sid"), name);
    return std::string(inner->Value()) + ":" + Text(inner);
}

const TiXmlElement* Phong(const TiXmlElement* effect) {
    const TiXmlElement* technique = effect->FirstChildElement("profile_COMMON")->FirstChildElement("technique");
    EXPECT_EQ(Attr(technique, "sid"), "standard");
    return technique->FirstChildElement("phong");
}

const char* const kPhongOrder[] = {"emission", "ambient",      "diffuse",     "specular",    "shininess",
                                   "reflective", "reflectivity", "transparent", "transparency"};

TEST(WriteMaterials, ShipExampleEndToEnd) {
    Folder folder;
    const std::string out = folder.File("out/ships");  // made on the way
    Model model = ShipModel();
    Doc doc(model, out, false);
    const auto maps = ParseShaderMaps();
    ASSERT_NE(maps, nullptr);
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    EXPECT_EQ(captured.Text(),
              "ALERT: Mapping STAT shader [rock] to shader map [] - not exact!!!\n"
              "ALERT: Unable to find map for shader [glassy]\n");
    EXPECT_EQ(doc.state.colourParamCount, 4);

    // Images: the six maps of Hull in slot and line order, all named after
    // the first slot's image, then Rock's.
    struct Img {
        const char* id;
        const char* name;
        const char* file;
    } images[] = {
        {"IMG[hull_DIFF]-image", "IMG[hull_DIFF]_FMT[DXT1]", "hull_DIFF.TGA"},
        {"IMG[hull_TEAM]-image", "IMG[hull_TEAM]_FMT[DXT1]", "hull_TEAM.TGA"},
        {"IMG[hull_GLOW]-image", "IMG[hull_GLOW]_FMT[DXT5]", "hull_GLOW.TGA"},
        {"IMG[hull_SPEC]-image", "IMG[hull_SPEC]_FMT[DXT5]", "hull_SPEC.TGA"},
        {"IMG[hull_STRP]-image", "IMG[hull_STRP]_FMT[DXT5]", "hull_STRP.TGA"},
        {"IMG[hull_NORM]-image", "IMG[hull_NORM]_FMT[DXT1]", "hull_NORM.TGA"},
        {"IMG[rock_DIFF]-image", "IMG[rock_DIFF]_FMT[DXT5]", "rock_DIFF.TGA"},
    };
    const auto imageElements = Children(doc.state.libraryImages);
    ASSERT_EQ(imageElements.size(), std::size(images));
    for (size_t i = 0; i < std::size(images); ++i) {
        SCOPED_TRACE(images[i].id);
        EXPECT_EQ(std::string(imageElements[i]->Value()), "image");
        EXPECT_EQ(Attr(imageElements[i], "id"), images[i].id);
        EXPECT_EQ(Attr(imageElements[i], "name"), images[i].name);
        EXPECT_EQ(Text(imageElements[i]->FirstChildElement("init_from")), images[i].file);
    }
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(out)) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"hull_DIFF.TGA", "hull_GLOW.TGA", "hull_NORM.TGA", "hull_SPEC.TGA",
                                               "hull_STRP.TGA", "hull_TEAM.TGA", "rock_DIFF.TGA"}));

    // Pixel 0 of every map, as stored (blue, green, red, alpha), bottom-left origin.
    struct Px {
        const char* file;
        std::vector<unsigned char> bgra;
    } pixels[] = {
        {"hull_DIFF.TGA", {0, 0, 255, 255}},      // R G B 1 of red
        {"hull_TEAM.TGA", {255, 255, 255, 0}},    // 1 1 1 a of opaque
        {"hull_GLOW.TGA", {255, 255, 255, 255}},  // G G G G of green
        {"hull_SPEC.TGA", {0, 0, 0, 0}},          // B B B B of green
        {"hull_STRP.TGA", {255, 255, 255, 55}},   // 1 1 1 a of alpha 200
        {"hull_NORM.TGA", {255, 0, 0, 255}},      // R G B 1 of blue
        {"rock_DIFF.TGA", {0, 0, 255, 255}},      // R G B A of opaque red
    };
    for (const Px& p : pixels) {
        SCOPED_TRACE(p.file);
        const std::vector<unsigned char> file = ReadAll(out + "/" + p.file);
        ASSERT_EQ(file.size(), 18u + 64u);
        EXPECT_EQ(file[17], 0x08);
        EXPECT_EQ(std::vector<unsigned char>(file.begin() + 18, file.begin() + 22), p.bgra);
    }

    // Materials: none for Glass.
    const auto materials = Children(doc.state.libraryMaterials);
    const char* const materialNames[] = {"MAT[Hull]_SHD[ship]", "MAT[Rock]_SHD[rock]", "MAT[Plain]_SHD[fx]",
                                         "MAT[Empty]_SHD[unknownX]"};
    ASSERT_EQ(materials.size(), std::size(materialNames));
    const auto effects = Children(doc.state.libraryEffects);
    ASSERT_EQ(effects.size(), std::size(materialNames));
    for (size_t i = 0; i < std::size(materialNames); ++i) {
        const std::string name = materialNames[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(Attr(materials[i], "id"), name);
        EXPECT_EQ(Attr(materials[i], "name"), name);
        EXPECT_EQ(Attr(materials[i]->FirstChildElement("instance_effect"), "url"), "#" + name + "-fx");
        EXPECT_EQ(Attr(effects[i], "id"), name + "-fx");
        EXPECT_EQ(Attr(effects[i], "name"), name);
        const auto phongChildren = Children(Phong(effects[i]));
        ASSERT_EQ(phongChildren.size(), std::size(kPhongOrder));
        for (size_t k = 0; k < std::size(kPhongOrder); ++k) EXPECT_EQ(std::string(phongChildren[k]->Value()), kPhongOrder[k]);
        const TiXmlElement* phong = Phong(effects[i]);
        EXPECT_EQ(PhongValue(phong, "ambient"), "color:1.000000 1.000000 1.000000 1.000000");
        EXPECT_EQ(PhongValue(phong, "shininess"), "float:1.071773");
        EXPECT_EQ(PhongValue(phong, "reflective"), "color:0.000000 0.000000 0.000000 1.000000");
        EXPECT_EQ(PhongValue(phong, "reflectivity"), "float:1.000000");
        EXPECT_EQ(PhongValue(phong, "transparent"), "color:1.000000 1.000000 1.000000 1.000000");
        EXPECT_EQ(Attr(phong->FirstChildElement("transparent"), "opaque"), "RGB_ZERO");
        EXPECT_EQ(PhongValue(phong, "transparency"), "float:0.000000");
    }
    const TiXmlElement* hull = Phong(effects[0]);
    EXPECT_EQ(PhongValue(hull, "emission"), "texture:IMG[hull_GLOW]-image");
    EXPECT_EQ(PhongValue(hull, "diffuse"), "texture:IMG[hull_DIFF]-image");
    EXPECT_EQ(PhongValue(hull, "specular"), "texture:IMG[hull_SPEC]-image");
    const TiXmlElement* texture = hull->FirstChildElement("diffuse")->FirstChildElement("texture");
    const TiXmlElement* maya = texture->FirstChildElement("extra")->FirstChildElement("technique");
    EXPECT_EQ(Attr(maya, "profile"), "MAYA");
    const auto mayaChildren = Children(maya);
    ASSERT_EQ(mayaChildren.size(), 3u);
    EXPECT_EQ(std::string(mayaChildren[0]->Value()) + Attr(mayaChildren[0], "sid") + Text(mayaChildren[0]), "wrapUwrapU0TRUE");
    EXPECT_EQ(std::string(mayaChildren[1]->Value()) + Attr(mayaChildren[1], "sid") + Text(mayaChildren[1]), "wrapVwrapV0TRUE");
    EXPECT_EQ(std::string(mayaChildren[2]->Value()) + Text(mayaChildren[2]), "blend_modeADD");

    const TiXmlElement* rock = Phong(effects[1]);
    EXPECT_EQ(PhongValue(rock, "diffuse"), "texture:IMG[rock_DIFF]-image");
    EXPECT_EQ(PhongValue(rock, "emission"), "color:0.000000 0.000000 0.000000 1.000000");
    for (size_t i : {size_t(2), size_t(3)}) {
        const TiXmlElement* phong = Phong(effects[i]);
        EXPECT_EQ(PhongValue(phong, "emission"), "color:0.000000 0.000000 0.000000 1.000000");
        EXPECT_EQ(PhongValue(phong, "diffuse"), "color:0.500000 0.500000 0.500000 1.000000");
        EXPECT_EQ(PhongValue(phong, "specular"), "color:0.000000 0.000000 0.000000 1.000000");
    }

    // Working fields of the images.
    EXPECT_EQ(model.images[1]->outputStem.value, "hull");
    EXPECT_EQ(model.images[1]->useCount, 1);
    EXPECT_EQ(model.images[3]->outputStem.value, "rock");
    EXPECT_EQ(model.images[4]->useCount, 0);
}

TEST(WriteMaterials, VerboseDumpsSourcesAndUnusedImages) {
    Folder folder;
    Model model = ShipModel();
    Doc doc(model, folder.Path(), true);
    const auto maps = ParseShaderMaps();
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    const std::vector<std::string> files = folder.List();
    for (const char* name : {"hull_FMT[DXT1]_diffuse_LMIP.TGA", "hull_FMT[DXT5]_glow_LMIP.TGA",
                             "hull_FMT[DXT1]_normal_LMIP.TGA", "rock_FMT[DXT5]_diffuse_LMIP.TGA",
                             "old_FMT[DXT1]_UNUSED_LMIP.TGA"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end());
    }
    EXPECT_EQ(files.size(), 7u + 5u);  // no dump of the image without levels
    const auto images = Children(doc.state.libraryImages);
    ASSERT_EQ(images.size(), 8u);
    EXPECT_EQ(Attr(images[7], "id"), "IMG[old]-image");
    EXPECT_EQ(Attr(images[7], "name"), "IMG[old]_FMT[DXT1]");
    EXPECT_EQ(Text(images[7]->FirstChildElement("init_from")), "old_FMT[DXT1]_UNUSED_LMIP.TGA");
    EXPECT_EQ(model.images[4]->outputStem.value, "old");
    // The unused image is decoded (opaque green), written bottom-left.
    const std::vector<unsigned char> unused = ReadAll(folder.File("old_FMT[DXT1]_UNUSED_LMIP.TGA"));
    ASSERT_EQ(unused.size(), 18u + 64u);
    EXPECT_EQ(unused[17], 0x08);
    EXPECT_EQ(std::vector<unsigned char>(unused.begin() + 18, unused.begin() + 22),
              (std::vector<unsigned char>{0, 255, 0, 255}));
}

TEST(WriteMaterials, UnwritableFilesAreReportedAndTheDocumentGoesOn) {
    Folder folder;
    std::ofstream(folder.File("blocker")) << "a file, not a folder";
    const std::string out = folder.File("blocker/tex");
    Model model;
    AddImage(model, "a\\rock_diff.dds", "DXT1", Dxt1Flat(kRed));
    AddMaterial(model, "Rock", "fx", {{"$diffuse", 5, 0}});
    Doc doc(model, out, false);
    const auto maps = ParseShaderMaps();
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    EXPECT_EQ(captured.Text(), "ALERT: Unable to write texture file [" + out + "/rock_DIFF.TGA]\n");
    ASSERT_EQ(Children(doc.state.libraryImages).size(), 1u);
    EXPECT_EQ(PhongValue(Phong(Children(doc.state.libraryEffects)[0]), "diffuse"), "texture:IMG[rock_DIFF]-image");
}

TEST(WriteMaterials, TexturesThatCannotBeDecodedAreReported) {
    Folder folder;
    Model model;
    AddImage(model, "odd.dds", "ABCD", std::vector<unsigned char>(16, 1));
    AddImage(model, "cut.dds", "DXT1", std::vector<unsigned char>(8, 1), 8);  // needs 4 blocks
    AddMaterial(model, "A", "fx", {{"$diffuse", 5, 0}});
    AddMaterial(model, "B", "fx", {{"$diffuse", 5, 1}});
    Doc doc(model, folder.Path(), false);
    const auto maps = ParseShaderMaps();
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    EXPECT_EQ(captured.Text(),
              "ALERT: Texture [odd.dds] has unknown format [ABCD] - not decoded\n"
              "ALERT: Texture [cut.dds] of 8 x 8 pixels holds 8 of the 32 bytes it needs - not decoded\n");
    EXPECT_TRUE(folder.List().empty());
    EXPECT_TRUE(Children(doc.state.libraryImages).empty());
    const auto effects = Children(doc.state.libraryEffects);
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(PhongValue(Phong(effects[1]), "diffuse"), "color:0.500000 0.500000 0.500000 1.000000");
}

TEST(WriteMaterials, SharedImageDecodedOnceServesEverySlot) {
    Folder folder;
    Model model;
    AddImage(model, "x\\both.dds", "DXT5", Dxt5Flat(100, kGreen));
    // The same image as diffuse and glow; a first "$glow" is replaced by the later one.
    AddMaterial(model, "M", "ship", {{"$glow", 5, 0}, {"$diffuse", 5, 0}, {"$glow", 5, 0}});
    Doc doc(model, folder.Path(), false);
    const auto maps = ParseShaderMaps();
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    EXPECT_EQ(captured.Text(), "");
    EXPECT_EQ(model.images[0]->useCount, 2);
    const auto images = Children(doc.state.libraryImages);
    ASSERT_EQ(images.size(), 5u);  // DIFF, TEAM, GLOW, SPEC, STRP
    const std::vector<unsigned char> glow = ReadAll(folder.File("both_GLOW.TGA"));
    ASSERT_EQ(glow.size(), 82u);
    EXPECT_EQ(glow[18], 255);
    const std::vector<unsigned char> team = ReadAll(folder.File("both_TEAM.TGA"));
    ASSERT_EQ(team.size(), 82u);
    EXPECT_EQ(team[21], 155);  // 255 - alpha 100
}

// A name in Windows-1252 (0xE4 is "a" with umlaut): the document carries it
// as UTF-8, and the file on disk is named the same way so the link holds.
TEST(WriteMaterials, FileNamesMatchTheNamesTheDocumentCarries) {
    Folder folder;
    Model model;
    AddImage(model, "tex\\Sch\xE4" "del & co_diff.dds", "DXT1", Dxt1Flat(kRed));
    AddMaterial(model, "M", "fx", {{"$diffuse", 5, 0}});
    Doc doc(model, folder.Path(), false);
    const auto maps = ParseShaderMaps();
    CapturedOutput captured;
    WriteMaterials(doc.state, *maps);
    const auto images = Children(doc.state.libraryImages);
    ASSERT_EQ(images.size(), 1u);
    const std::string utf8 = "Sch\xC3\xA4" "del & co_DIFF.TGA";
    EXPECT_EQ(Text(images[0]->FirstChildElement("init_from")), utf8);
    EXPECT_EQ(folder.List(), std::vector<std::string>{utf8});
}

TEST(WriteGlowMaterial, OneConstantMaterial) {
    Model model;
    Doc doc(model, "", false);
    WriteGlowMaterial(doc.state);
    EXPECT_EQ(doc.state.glowTarget, "#MATGLOW[TALVE_Glow]");
    const auto materials = Children(doc.state.libraryMaterials);
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(Attr(materials[0], "id"), "MATGLOW[TALVE_Glow]");
    EXPECT_EQ(Attr(materials[0], "name"), "MATGLOW[TALVE_Glow]");
    EXPECT_EQ(Attr(materials[0]->FirstChildElement("instance_effect"), "url"), "#MATGLOW[TALVE_Glow]-fx");
    const auto effects = Children(doc.state.libraryEffects);
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(Attr(effects[0], "id"), "MATGLOW[TALVE_Glow]-fx");
    EXPECT_EQ(Attr(effects[0], "name"), "MATGLOW[TALVE_Glow]");
    const TiXmlElement* phong = Phong(effects[0]);
    const auto children = Children(phong);
    ASSERT_EQ(children.size(), std::size(kPhongOrder));
    for (size_t k = 0; k < std::size(kPhongOrder); ++k) EXPECT_EQ(std::string(children[k]->Value()), kPhongOrder[k]);
    EXPECT_EQ(PhongValue(phong, "emission"), "color:0.000000 0.750000 1.000000 1.000000");
    EXPECT_EQ(PhongValue(phong, "ambient"), "color:0.000000 0.000000 0.000000 1.000000");
    EXPECT_EQ(PhongValue(phong, "diffuse"), "color:0.000000 0.000000 0.000000 1.000000");
    EXPECT_EQ(PhongValue(phong, "transparency"), "float:0.800000");
    EXPECT_EQ(Attr(phong->FirstChildElement("transparent"), "opaque"), "RGB_ZERO");
}

}  // namespace
