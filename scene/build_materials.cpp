// Materials: for every material its shader map entry, its decoded textures
// composed into output maps (handed to the sink one at a time) and the
// colours and maps the scene material gets.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/output.h"
#include "scene/build.h"
#include "scene/names.h"
#include "texture/decode_pixels.h"
#include "texture/shader_map.h"
#include "texture/texture_names.h"

namespace {

// A texture parameter counts when its index names an image that has a level 0.
const TextureImage* ParamImage(const Model& model, const MaterialParam& param) {
    if (param.type != kParamTexture) return nullptr;
    if (param.imageIndex < 0 || size_t(param.imageIndex) >= model.images.size()) return nullptr;
    const TextureImage* image = model.images[size_t(param.imageIndex)].get();
    if (!image || image->levels.empty()) return nullptr;
    return image;
}

// Decodes the parameters that will end up in a slot, each image once: a
// parameter no slot takes, or one a later parameter of the same name
// replaces, is never decoded; an image two slots take is decoded once and
// copied. An image that failed to decode is reported once per conversion
// (`failed` holds those) and not decoded again for a later material.
void FillSources(const Model& model, const Material& material, ShaderMapInstance& instance,
                 std::set<const TextureImage*>& failed) {
    std::vector<int> winner(instance.slots.size(), -1);
    for (size_t p = 0; p < material.params.size(); ++p) {
        if (!ParamImage(model, material.params[p])) continue;
        const int slot = FindSourceSlot(instance, material.params[p].name);
        if (slot >= 0) winner[size_t(slot)] = int(p);
    }
    struct Decoded {
        const TextureImage* image;
        const PixelImage* picture;  // null: decoding failed (already reported)
    };
    std::vector<Decoded> decoded;
    for (size_t p = 0; p < material.params.size(); ++p) {
        const MaterialParam& param = material.params[p];
        const TextureImage* image = ParamImage(model, param);
        if (!image) continue;
        const int slot = FindSourceSlot(instance, param.name);
        if (slot < 0 || winner[size_t(slot)] != int(p)) continue;

        std::unique_ptr<PixelImage> picture;
        bool seen = false;
        for (const Decoded& d : decoded) {
            if (d.image != image) continue;
            seen = true;
            if (d.picture) picture = std::make_unique<PixelImage>(*d.picture);
        }
        if (!seen) {
            if (!failed.count(image)) {
                const DecodeStatus status = DecodeLevel(image->levels[0], image->format.CStr(), picture);
                ReportDecodeStatus(status, *image, std::string());
                if (status != DecodeStatus::kOk) failed.insert(image);
            }
            decoded.push_back({image, picture.get()});
        }
        if (picture) AssignSource(instance, param.name, picture, image);
    }
}

bool AnyAlpha(const PixelImage& picture) {
    for (size_t i = 3; i < picture.pixels.size(); i += 4)
        if (picture.pixels[i] != 255) return true;
    return false;
}

struct MaterialStep {
    SceneBuild& build;
    const SceneOptions& options;
    std::vector<int> useCount;  // per model image: how many material slots took it
    std::set<const TextureImage*> failed{};  // images that could not be decoded (reported)

    void One(const Material& material) {
        const Model& model = build.model;
        SceneMaterial result;
        result.name = MaterialName(material);
        int textureCount = 0;
        const MaterialParam* diffuse = nullptr;
        for (const MaterialParam& param : material.params) {
            if (!ParamImage(model, param)) continue;
            ++textureCount;
            if (EqualNoCase(param.name.CStr(), "$diffuse") || EqualNoCase(param.name.CStr(), "$diffuseOn"))
                diffuse = &param;
        }
        if (textureCount > 0 && !ComposeMaps(material, diffuse, result)) result.unmapped = true;
        build.scene.materials.push_back(std::move(result));
    }

    // False when no shader map entry fits (the material is left out).
    bool ComposeMaps(const Material& material, const MaterialParam* diffuse, SceneMaterial& result) {
        bool notExact = false;
        const ShaderMap* entry = FindShaderMap(*shaderMaps, material.shader, diffuse, notExact);
        if (!entry) {
            Out("ALERT: Unable to find map for shader [%s]\n", material.shader.CStr());
            return false;
        }
        if (notExact)
            Out("ALERT: Mapping STAT shader [%s] to shader map [%s] - not exact!!!\n", material.shader.CStr(),
                entry->name.CStr());
        std::unique_ptr<ShaderMapInstance> instance = BindShaderMap(*entry);
        FillSources(build.model, material, *instance, failed);

        // Every slot's files are named after the first used slot's image.
        std::string baseName;
        PixelImage picture;
        for (SourceSlot& slot : instance->slots) {
            if (!slot.source) continue;
            std::string fileName = FileNamePart(slot.image->name.value);
            if (baseName.empty()) baseName = fileName;
            else fileName = baseName;
            const std::string stem = StripTextureSuffixes(fileName);
            const std::string& format = slot.image->format.value;

            if (options.verboseTextures) {
                SceneImage dump;
                dump.kind = SceneImageKind::kSourceDump;
                dump.stem = stem;
                dump.output = slot.map->name.value;
                dump.format = format;
                dump.picture = *slot.source;
                build.scene.images.push_back(std::move(dump));
            }
            ++useCount[ImagePosition(slot.image)];

            for (OutputSlot& out : slot.outputs) {
                const std::string& outputName = out.line->name.value;
                ComposeOutput(*instance, slot, *out.line, picture);
                SceneImage image;
                image.stem = stem;
                image.output = outputName;
                image.key = stem + "_" + outputName;
                image.format = format;
                image.hasAlpha = AnyAlpha(picture);
                image.picture = picture;
                build.scene.images.push_back(std::move(image));
                result.maps.push_back({outputName, int32_t(build.scene.images.size() - 1)});
            }
        }
        return true;
    }

    size_t ImagePosition(const TextureImage* image) const {
        const auto& images = build.model.images;
        for (size_t i = 0; i < images.size(); ++i)
            if (images[i].get() == image) return i;
        return 0;
    }

    const ShaderMapSet* shaderMaps = nullptr;
};

}  // namespace

const SceneMapRef* SceneMaterial::Map(const char* output) const {
    for (const SceneMapRef& map : maps)
        if (map.output == output) return &map;
    return nullptr;
}

void BuildMaterials(SceneBuild& build, const SceneOptions& options, const ShaderMapSet& maps) {
    const Model& model = build.model;
    MaterialStep step{build, options, std::vector<int>(model.images.size(), 0)};
    step.shaderMaps = &maps;
    build.materialOf.assign(model.materials.size(), -1);
    std::map<std::string, int32_t> byName;
    for (size_t m = 0; m < model.materials.size(); ++m) {
        if (!model.materials[m]) continue;
        // A material named as an earlier one (name and shader alike) is that
        // one: the documents bind meshes by the name, which must be unique.
        const auto named = byName.emplace(MaterialName(*model.materials[m]), int32_t(build.scene.materials.size()));
        build.materialOf[m] = named.first->second;
        if (named.second) step.One(*model.materials[m]);
    }
    // Every image no map carries (used by no material, by a material no
    // shader map entry fits, or by a parameter no slot takes), decoded as it
    // is: listed last, after every map, so the documents add its picture
    // after theirs, and the way back to the model has its pixels.
    for (size_t i = 0; i < model.images.size(); ++i) {
        const TextureImage* image = model.images[i].get();
        if (!image || step.useCount[i] != 0 || image->levels.empty() || step.failed.count(image)) continue;
        // One that cannot be decoded is reported.
        std::unique_ptr<PixelImage> picture;
        const DecodeStatus status = DecodeLevel(image->levels[0], image->format.CStr(), picture);
        ReportDecodeStatus(status, *image, std::string());
        // Without pixels it carries nothing back: listed (without a file)
        // for the verbose option only, as it always was.
        if (!picture && !options.verboseTextures) continue;
        SceneImage unused;
        unused.kind = SceneImageKind::kUnusedDump;
        unused.stem = TextureStem(image->name.value);
        unused.key = unused.stem;
        unused.format = image->format.value;
        // A raw image keeps its stored rows; a block image is decoded like a map.
        unused.topDown = FormatFlag(image->format.CStr()) == 0;
        if (picture) unused.picture = std::move(*picture);
        build.scene.images.push_back(std::move(unused));
    }
}
