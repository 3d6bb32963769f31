// The materials of a foreign scene become materials of the game's ship
// shader, and its pictures the images those materials take, as the scene
// build would show a model holding them: each material's source pictures
// composed into the shader's maps (texture/shader_map.h), and the facts the
// way back reads for what the maps do not show (the "materials" and
// "images" facts of scene/object_facts.h).
//
// Per material (named as in the file, MAT[<name>]_SHD[ship]):
// - "$diffuse": the base colour texture, its colour factor multiplied in, or
//   a 4 x 4 texture of the colour alone. The ship shader shows its red,
//   green and blue as the diffuse map (DIFF) and reads its alpha as the
//   team-colour mask (TEAM = 1 1 1 a), so a picture's transparency becomes
//   that mask; an opaque picture gives a white mask, as the game's own
//   DXT1 diffuse textures do.
// - "$glow": the emissive texture (or colour): its brightest channel is the
//   glow (GLOW = its green channel); specular (blue, SPEC) and the stripe
//   mask (alpha, STRP) are left neutral.
// - "$normal": the normal texture as it is (NORM); its alpha carries nothing.
// A name already in the grammar (MAT[Hull]_SHD[matte]) keeps its shader when
// the shader maps know it. Every picture gets power-of-two sides within
// kMaxTextureSide and a full mip chain; the image is DXT1 when every pixel
// of it is opaque, DXT5 otherwise. Pictures keep their rows (the scene's
// pictures are bottom row first, as its maps are), so a painted texture
// comes back the right way up.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/str.h"
#include "model/read_model.h"  // LevelByteCount
#include "scene/adopt_foreign.h"
#include "scene/conventions.h"
#include "scene/names.h"
#include "scene/object_facts.h"
#include "texture/resize.h"
#include "texture/shader_map.h"
#include "texture/texture_names.h"

namespace {

constexpr char kShipShader[] = "ship";
constexpr uint32_t kMaterialVersion = 2;
constexpr int32_t kColourSide = 4;  // the texture a colour alone is given
constexpr uint64_t kMaxImageBytes = UINT32_MAX;

std::string Number(int64_t v) {
    std::string text;
    AppendInt(text, v);
    return text;
}

// A file's colours are linear (glTF says so; Blender writes its COLLADA
// colours alike) and its texture bytes sRGB: a factor is applied to the
// decoded texture and the result encoded again, so the texture shows what
// the file's material showed.
float Decoded(uint8_t byte) {
    const float v = float(byte) / 255.0f;
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

uint8_t Encoded(float linear) {
    const float v = !(linear > 0) ? 0 : linear >= 1 ? 1 : linear;
    const float e = v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
    return uint8_t(std::lround(std::min(1.0f, std::max(0.0f, e)) * 255));
}

uint8_t Fraction(float v) { return uint8_t(std::lround(std::min(1.0f, std::max(0.0f, v)) * 255)); }

PixelImage Filled(const uint8_t rgba[4]) {
    PixelImage p;
    p.width = p.height = kColourSide;
    for (int i = 0; i < kColourSide * kColourSide; ++i) p.pixels.insert(p.pixels.end(), rgba, rgba + 4);
    return p;
}

// A name part of a file name: no separators, brackets or control bytes.
std::string FileSafe(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|[]", c)) c = '_';
    return out;
}

// A picture's file name without its extension ("paint.png": "paint").
std::string WithoutExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > 5) return name;
    for (size_t i = dot + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return name;
    return name.substr(0, dot);
}

// One source of a material: which picture (or colour) in which role.
enum class Role { kDiffuse, kGlow, kNormal };
const char* const kParamNames[] = {"$diffuse", "$glow", "$normal"};
const char* const kNameSuffixes[] = {"_diff", "_glow", "_norm"};

struct ModelImage {
    std::string name, format;
    int32_t width = 0, height = 0;
};

struct Source {
    Role role;
    int32_t image = -1;  // model image
};

struct MaterialsStep {
    Adoption& adoption;
    Scene& scene;
    std::vector<SceneImage> pictures;  // the file's, as read
    std::vector<bool> pictureUsed;
    std::vector<PixelImage> scaled;  // per picture, once scaled (empty before)
    std::vector<ModelImage> images;
    std::set<std::string> imageNames, fileStems;  // lower case
    std::map<std::string, int32_t> madeImages;   // what an image was made from -> model image
    std::set<std::string> materialNames;          // lower case
    std::string materialsFact;
    uint64_t imageBytes = 0;  // of the images' levels so far
    std::unique_ptr<ShaderMapSet> shaderMaps = ParseShaderMaps();

    explicit MaterialsStep(Adoption& a) : adoption(a), scene(a.scene) {}

    const std::string& PictureName(int32_t p) const {
        const SceneImage& image = pictures[size_t(p)];
        return image.key.empty() ? image.stem : image.key;
    }

    // The picture of a map of the file, scaled to power-of-two sides (noted
    // once per picture); null when the map names none or it holds no pixels.
    const PixelImage* Picture(const SceneMaterial& material, const char* output) {
        const SceneMapRef* map = material.Map(output);
        if (!map || map->image < 0 || size_t(map->image) >= pictures.size()) return nullptr;
        const size_t p = size_t(map->image);
        pictureUsed[p] = true;
        if (!scaled[p].pixels.empty()) return &scaled[p];
        PixelImage& picture = pictures[p].picture;
        if (picture.width <= 0 || picture.height <= 0 ||
            picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
            return nullptr;
        const int32_t width = NearestPowerOfTwo(picture.width), height = NearestPowerOfTwo(picture.height);
        if (width != picture.width || height != picture.height)
            adoption.Note("Picture " + PictureName(int32_t(p)) + " scaled from " + Number(picture.width) + " x " +
                          Number(picture.height) + " to " + Number(width) + " x " + Number(height) +
                          " pixels - the game's textures have sides of a power of two, at most " +
                          Number(kMaxTextureSide));
        // The file's picture is needed no more (a large one is large).
        scaled[p] = width == picture.width && height == picture.height ? std::move(picture)
                                                                       : ResizePicture(picture, width, height);
        picture = PixelImage();
        return &scaled[p];
    }

    // The name and shader a material takes, valid and unique.
    void Name(const SceneMaterial& material, std::string& name, std::string& shader) {
        name = material.name;
        shader = kShipShader;
        std::string named, namedShader;
        bool notExact = false;
        if (ParseMaterialName(material.name, named, namedShader)) {
            MaterialParam diffuse;
            diffuse.name.Set(kParamNames[0]);
            if (shaderMaps && FindShaderMap(*shaderMaps, Core_QStr(namedShader.c_str()), &diffuse, notExact) &&
                !notExact) {
                name = named;
                shader = namedShader;
            } else {
                adoption.Note("Material " + material.name + " names shader " + namedShader +
                              ", which the shader maps do not know - given the ship shader");
            }
        }
        // The model stores a name up to its first zero byte, no document
        // carries a control byte, and the game tells materials apart without
        // regard to letter case.
        std::string valid = name.substr(0, name.find('\0'));
        for (char& c : valid)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
        if (valid.empty()) valid = "Material";
        std::string unique = valid;
        for (int n = 2; materialNames.count(LowerAscii(unique)); ++n) unique = valid + "_" + Number(n);
        materialNames.insert(LowerAscii(unique));
        if (unique != name)
            adoption.Note("Material " + material.name + " named " + unique +
                          (valid == name ? " - another material has its name"
                                         : " - the game's format cannot hold its name"));
        name = unique;
    }

    // A model image of picture (made from `from`: the same origin gives the
    // same image), named after base and its role, unique; the first image
    // of a material names its maps' files, so its stem is unique too.
    int32_t Image(const std::string& from, const std::string& base, Role role, bool first, const PixelImage& picture) {
        const auto made = madeImages.find(from);
        if (made != madeImages.end()) return made->second;
        std::string stem = FileSafe(TextureStem(WithoutExtension(FileNamePart(base))));
        if (stem.empty()) stem = "texture";
        std::string name;
        for (int n = 1;; ++n) {
            name = stem + (n > 1 ? "_" + Number(n) : std::string()) + kNameSuffixes[int(role)];
            if (!imageNames.count(LowerAscii(name)) && (!first || !fileStems.count(LowerAscii(TextureStem(name))))) break;
        }
        imageNames.insert(LowerAscii(name));
        if (first) fileStems.insert(LowerAscii(TextureStem(name)));
        ModelImage image;
        image.name = name;
        image.format = picture.Opaque() ? "DXT1" : "DXT5";
        // The model's materials and images are one form, whose length is a
        // 32-bit count: textures beyond it cannot be written.
        for (int32_t w = picture.width, h = picture.height;; w = std::max(w / 2, 1), h = std::max(h / 2, 1)) {
            imageBytes += LevelByteCount(Core_QStr(image.format.c_str()), w, h);
            if (w == 1 && h == 1) break;
        }
        if (imageBytes > kMaxImageBytes && adoption.error.empty())
            adoption.error = "its textures take more than the 4 GiB a model file can hold";
        image.width = picture.width;
        image.height = picture.height;
        images.push_back(image);
        madeImages.emplace(from, int32_t(images.size() - 1));
        return int32_t(images.size() - 1);
    }

    // The colour factor a texture is multiplied by: none when the material
    // holds the scene's default, which is what a reader leaves when the
    // document gives that colour as a texture alone (COLLADA does).
    static bool Factor(const float* colour, const float* none, int count) {
        for (int i = 0; i < count; ++i)
            if (colour[i] != none[i]) return true;
        return false;
    }

    static std::string FactorKey(const float* colour, int count) {
        std::string key;
        for (int i = 0; i < count; ++i) key += " " + FormatG(double(colour[i]));
        return key;
    }

    void One(size_t m) {
        SceneMaterial& material = scene.materials[m];
        const SceneMaterial none;
        std::string name, shader;
        Name(material, name, shader);
        std::unique_ptr<ShaderMapInstance> instance;
        if (shaderMaps) {
            bool notExact = false;
            MaterialParam diffuse;
            diffuse.name.Set(kParamNames[0]);
            if (const ShaderMap* entry = FindShaderMap(*shaderMaps, Core_QStr(shader.c_str()), &diffuse, notExact))
                instance = BindShaderMap(*entry);
        }
        std::vector<Source> sources;
        auto give = [&](Role role, const std::string& from, const std::string& base, PixelImage picture) {
            if (!instance || FindSourceSlot(*instance, Core_QStr(kParamNames[int(role)])) < 0) {
                adoption.Note("Material " + name + " has a " + std::string(kParamNames[int(role)] + 1) +
                              " texture that shader " + shader + " takes none of - left out");
                return;
            }
            sources.push_back({role, Image(from, base, role, sources.empty(), picture)});
            std::unique_ptr<PixelImage> owned = std::make_unique<PixelImage>(std::move(picture));
            AssignSource(*instance, Core_QStr(kParamNames[int(role)]), owned, nullptr);
        };

        // The base colour.
        const bool tinted = Factor(material.diffuse, none.diffuse, 4);
        const float* tint = tinted ? material.diffuse : nullptr;
        if (const PixelImage* texture = Picture(material, kMapDiffuse)) {
            PixelImage picture = *texture;
            if (tint && (tint[0] != 1 || tint[1] != 1 || tint[2] != 1 || tint[3] != 1)) {
                float table[3][256];
                for (int c = 0; c < 3; ++c)
                    for (int v = 0; v < 256; ++v) table[c][v] = Decoded(uint8_t(v)) * tint[c];
                for (size_t i = 0; i < picture.pixels.size(); i += 4) {
                    unsigned char* p = &picture.pixels[i];
                    for (int c = 0; c < 3; ++c) p[c] = Encoded(table[c][p[c]]);
                    p[3] = Fraction(float(p[3]) / 255 * tint[3]);
                }
                adoption.Note("Material " + name +
                              " has a base colour besides its texture - multiplied into the texture");
            } else {
                tint = nullptr;
            }
            const int32_t source = material.Map(kMapDiffuse)->image;
            give(Role::kDiffuse, "diffuse " + Number(source) + (tint ? FactorKey(tint, 4) : std::string()),
                 PictureName(source), std::move(picture));
        } else {
            const float* colour = material.diffuse;
            const uint8_t rgba[4] = {Encoded(colour[0]), Encoded(colour[1]), Encoded(colour[2]), Fraction(colour[3])};
            adoption.Note("Material " + name + " has no texture - given a " + Number(kColourSide) + " x " +
                          Number(kColourSide) + " texture of its colour (" + Number(rgba[0]) + " " + Number(rgba[1]) +
                          " " + Number(rgba[2]) + (rgba[3] != 255 ? " " + Number(rgba[3]) : std::string()) + ")");
            give(Role::kDiffuse, "colour" + FactorKey(colour, 4), name, Filled(rgba));
        }
        const int first = instance ? FindSourceSlot(*instance, Core_QStr(kParamNames[0])) : -1;
        const PixelImage* diffuse = first >= 0 ? instance->slots[size_t(first)].source.get() : nullptr;
        if (diffuse && !diffuse->Opaque() && shader == kShipShader)
            adoption.Note("Material " + name + " has transparency - the ship shader reads the alpha of its texture" +
                          " as the team colour mask");

        // The glow: the brightest channel of the emission.
        const bool glowing = Factor(material.emission, none.emission, 3);
        if (const PixelImage* texture = Picture(material, kMapGlow)) {
            const float white[3] = {1, 1, 1};
            const float* factor = glowing ? material.emission : white;
            float table[3][256];
            for (int c = 0; c < 3; ++c)
                for (int v = 0; v < 256; ++v) table[c][v] = Decoded(uint8_t(v)) * factor[c];
            PixelImage picture = *texture;
            for (size_t i = 0; i < picture.pixels.size(); i += 4) {
                const unsigned char* p = &picture.pixels[i];
                const float brightest = std::max(table[0][p[0]], std::max(table[1][p[1]], table[2][p[2]]));
                const uint8_t glow[4] = {0, Encoded(brightest), 0, 255};
                std::copy(glow, glow + 4, picture.pixels.begin() + std::ptrdiff_t(i));
            }
            give(Role::kGlow, "glow " + Number(material.Map(kMapGlow)->image) + FactorKey(factor, 3),
                 PictureName(material.Map(kMapGlow)->image), std::move(picture));
        } else if (glowing) {
            const float* e = material.emission;
            const uint8_t glow[4] = {0, Encoded(std::max(e[0], std::max(e[1], e[2]))), 0, 255};
            if (glow[1] != 0) give(Role::kGlow, "glow colour " + Number(glow[1]), name, Filled(glow));
        }

        if (const PixelImage* texture = Picture(material, kMapNormal)) {
            PixelImage picture = *texture;
            for (size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
            give(Role::kNormal, "normal " + Number(material.Map(kMapNormal)->image),
                 PictureName(material.Map(kMapNormal)->image), std::move(picture));
        }
        if (material.Map(kMapSpecular))
            adoption.Note("Material " + name +
                          " has a specular texture - left out, the ship shader's specular is neutral");

        // The maps, as the scene build composes them: every file named after
        // the first image's stem.
        SceneMaterial adopted;
        adopted.name = "MAT[" + name + "]_SHD[" + shader + "]";
        if (instance) {
            // The model image each slot's source became.
            auto imageOf = [&](const SourceSlot& slot) -> const ModelImage& {
                for (const Source& s : sources)
                    if (slot.map->name.value == kParamNames[int(s.role)]) return images[size_t(s.image)];
                return images[size_t(sources[0].image)];
            };
            std::string stem;
            PixelImage composed;
            for (SourceSlot& slot : instance->slots) {
                if (!slot.source) continue;
                if (stem.empty()) stem = TextureStem(imageOf(slot).name);
                for (OutputSlot& out : slot.outputs) {
                    ComposeOutput(*instance, slot, *out.line, composed);
                    SceneImage map;
                    map.stem = stem;
                    map.output = out.line->name.value;
                    map.key = stem + "_" + map.output;
                    map.format = imageOf(slot).format;
                    map.hasAlpha = !composed.Opaque();
                    map.picture = composed;
                    adopted.maps.push_back({map.output, int32_t(scene.images.size())});
                    scene.images.push_back(std::move(map));
                }
            }
        }
        material = std::move(adopted);

        // Its line of the "materials" fact: the parameters in the order the
        // shader lists them.
        if (!materialsFact.empty()) materialsFact += '\n';
        materialsFact += Number(int64_t(m)) + '\t' + Number(kMaterialVersion) + '\t' + FactField(name) + '\t' +
                         FactField(shader);
        const float colour[4] = {0, 0, 0, 1};
        for (const Source& s : sources)
            materialsFact += '\t' + std::string(kParamNames[int(s.role)]) + '\t' + Number(kParamTexture) + '\t' +
                             Number(s.image) + '\t' + ExactFloats(colour, 4);
    }

    // Triangles bound to no material take one of their own, white.
    void BindUnbound() {
        int32_t fallback = -1;
        for (size_t i = 0; i < scene.meshes.size(); ++i) {
            bool unbound = false;
            for (SceneTriangles& list : scene.meshes[i].triangles)
                if (list.material < 0 || size_t(list.material) >= scene.materials.size()) {
                    if (fallback < 0) {
                        SceneMaterial white;
                        white.name = "Default";
                        for (float& c : white.diffuse) c = 1;
                        fallback = int32_t(scene.materials.size());
                        scene.materials.push_back(std::move(white));
                    }
                    list.material = fallback;
                    unbound = true;
                }
            if (!unbound) continue;
            adoption.Note("Mesh " + scene.meshes[i].name + " has triangles without a material - given a white one");
            for (SceneNode& node : scene.nodes)
                if (node.mesh == int32_t(i) &&
                    std::find(node.materials.begin(), node.materials.end(), fallback) == node.materials.end())
                    node.materials.push_back(fallback);
        }
    }

    void Run() {
        pictures = std::move(scene.images);
        scene.images.clear();
        pictureUsed.assign(pictures.size(), false);
        scaled.resize(pictures.size());
        BindUnbound();
        for (size_t m = 0; m < scene.materials.size() && adoption.error.empty(); ++m) One(m);
        if (!adoption.error.empty()) return;
        for (size_t p = 0; p < pictures.size(); ++p)
            if (!pictureUsed[p])
                adoption.Note("Picture " + PictureName(int32_t(p)) + " is used by no material - left out");
        std::string imagesFact;
        for (const ModelImage& image : images) {
            int32_t levels = 1;
            while ((std::max(image.width, image.height) >> (levels - 1)) > 1) ++levels;
            if (!imagesFact.empty()) imagesFact += '\n';
            imagesFact += FactField(image.name) + '\t' + image.format + '\t' + Number(image.width) + '\t' +
                          Number(image.height) + '\t' + Number(levels);
        }
        if (!materialsFact.empty()) SetFact(scene.facts, "materials", materialsFact);
        if (!imagesFact.empty()) SetFact(scene.facts, "images", imagesFact);
    }
};

}  // namespace

void AdoptMaterials(Adoption& adoption) { MaterialsStep(adoption).Run(); }
