// The material step of the document writer: for every material its shader
// map entry, its decoded and composed textures (written as TGA files beside
// the document), its "image" elements, its "material" and its phong "effect".
#include "collada/materials.h"

#include <cinttypes>
#include <string>
#include <vector>

#include "collada/xml_blocks.h"
#include "core/output.h"
#include "core/platform.h"
#include "texture/decode_pixels.h"
#include "texture/shader_map.h"
#include "texture/texture_names.h"
#include "texture/tga_writer.h"

namespace {

const char kGlowMaterial[] = "MATGLOW[TALVE_Glow]";

// The texture coordinate set a "texture" reads: the meshes carry one, set 0,
// in their "-UV0" source.
const char kTexcoordSymbol[] = "UV0";

struct Colour {
    float r, g, b, a;
};

std::string ColourText(const Colour& c) {
    std::string text;
    text.reserve(40);
    AppendF6(text, c.r);
    text += ' ';
    AppendF6(text, c.g);
    text += ' ';
    AppendF6(text, c.b);
    text += ' ';
    AppendF6(text, c.a);
    return text;
}

void AddColour(TiXmlElement* phong, const char* name, const Colour& c) {
    AddParamElement(phong, name, "color", ColourText(c).c_str());
}

void AddFloat(TiXmlElement* phong, const char* name, double v) {
    AddParamElement(phong, name, "float", FormatF6(v).c_str());
}

// A "texture" names a sampler, and the sampler reads a surface made from the
// image: the effect declares both ahead of its profile. The sampler's sid is
// the image's id, so the "texture" attribute names the image as well as the
// sampler. They sit at the effect's scope, which the profile sees, and not in
// the profile: a reader that follows the profile's params from name to name
// until one is no param would go round in a circle (sampler sid = image id =
// the surface's init_from), while one that reads no effect-level params still
// finds the image by the attribute alone.
void AddSamplerParams(TiXmlElement* phong, const std::string& imageName) {
    TiXmlNode* technique = phong->Parent();
    TiXmlNode* profile = technique ? technique->Parent() : nullptr;
    TiXmlNode* effect = profile ? profile->Parent() : nullptr;
    if (!effect) return;
    TiXmlElement surfaceParam("newparam");
    SetAttr(&surfaceParam, "sid", imageName + "-surface");
    TiXmlElement* surface = AddChildElement(&surfaceParam, "surface");
    SetAttr(surface, "type", "2D");
    AddText(AddChildElement(surface, "init_from"), (imageName + "-image").c_str());
    effect->InsertBeforeChild(profile, surfaceParam);

    TiXmlElement samplerParam("newparam");
    SetAttr(&samplerParam, "sid", imageName + "-image");
    AddText(AddChildElement(AddChildElement(&samplerParam, "sampler2D"), "source"), (imageName + "-surface").c_str());
    effect->InsertBeforeChild(profile, samplerParam);
}

// The composed output's texture when the material has one, else the colour.
// Outputs are composed one at a time while the files are written, so the
// output exists exactly when its line's slot has a source.
void AddColourOrTexture(TiXmlElement* phong, const ShaderMapInstance* instance, const char* name,
                        const char* outputName, const Colour& c) {
    const SourceSlot* slot = instance ? FindOutputSlot(*instance, outputName) : nullptr;
    if (!slot || !slot->image) {
        AddColour(phong, name, c);
        return;
    }
    const std::string imageName = "IMG[" + slot->image->outputStem.value + "_" + outputName + "]";
    AddSamplerParams(phong, imageName);
    TiXmlElement* element = AddChildElement(phong, name);
    TiXmlElement* texture = AddChildElement(element, "texture");
    SetAttr(texture, "texture", imageName + "-image");
    SetAttr(texture, "texcoord", kTexcoordSymbol);
    TiXmlElement* technique = AddChildElement(AddChildElement(texture, "extra"), "technique");
    SetAttr(technique, "profile", "MAYA");
    TiXmlElement* wrapU = AddChildElement(technique, "wrapU");
    SetAttr(wrapU, "sid", "wrapU0");
    AddText(wrapU, "TRUE");
    TiXmlElement* wrapV = AddChildElement(technique, "wrapV");
    SetAttr(wrapV, "sid", "wrapV0");
    AddText(wrapV, "TRUE");
    AddText(AddChildElement(technique, "blend_mode"), "ADD");
}

// "material" with its "instance_effect", and the "effect" shell up to "phong".
TiXmlElement* AddMaterialAndEffect(DaeState& state, const std::string& name) {
    TiXmlElement* material = AddChildElement(state.libraryMaterials, "material");
    SetAttr(material, "id", name);
    SetAttr(material, "name", name);
    SetAttr(AddChildElement(material, "instance_effect"), "url", "#" + name + "-fx");

    TiXmlElement* effect = AddChildElement(state.libraryEffects, "effect");
    SetAttr(effect, "id", name + "-fx");
    SetAttr(effect, "name", name);
    TiXmlElement* technique = AddChildElement(AddChildElement(effect, "profile_COMMON"), "technique");
    SetAttr(technique, "sid", "standard");
    return AddChildElement(technique, "phong");
}

// The phong children after "specular", shared by material and glow effects.
void AddPhongTail(TiXmlElement* phong, double transparency) {
    AddFloat(phong, "shininess", 1.071773);
    AddColour(phong, "reflective", {0, 0, 0, 1});
    AddFloat(phong, "reflectivity", 1.0);
    SetAttr(AddParamElement(phong, "transparent", "color", ColourText({1, 1, 1, 1}).c_str()), "opaque", "RGB_ZERO");
    AddFloat(phong, "transparency", transparency);
}

void AddImage(DaeState& state, const std::string& id, const std::string& name, const std::string& file) {
    TiXmlElement* image = AddChildElement(state.libraryImages, "image");
    SetAttr(image, "id", id);
    SetAttr(image, "name", name);
    AddText(AddChildElement(image, "init_from"), file.c_str());
}

// The old alert, then the same failure with the system's reason.
void ReportWriteFailure(const std::string& path) {
    const std::string reason = LastErrorText();
    OutProblem(Problem::kFailure, "ALERT: Unable to write texture file [%s]\n", path.c_str());
    Out("Error - Cannot write texture file %s - %s\n", path.c_str(), reason.c_str());
}

void ReportDecodeFailure(DecodeStatus status, const TextureImage& image, const MipLevel& level,
                         const std::string& path) {
    switch (status) {
        case DecodeStatus::kOk:
            break;
        case DecodeStatus::kUnknownFormat:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] has unknown format [%s] - not decoded\n",
                       image.name.CStr(), image.format.CStr());
            break;
        case DecodeStatus::kNoPixels:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] has no pixels (%d x %d) - not decoded\n",
                       image.name.CStr(), level.width, level.height);
            break;
        case DecodeStatus::kTooFewBytes:
            OutProblem(Problem::kDamage,
                       "ALERT: Texture [%s] of %d x %d pixels holds %zu of the %" PRIu64 " bytes it needs - not decoded\n",
                       image.name.CStr(), level.width, level.height, level.data.size(),
                       RequiredLevelBytes(level.width, level.height, image.format.CStr()));
            break;
        case DecodeStatus::kTooLarge:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] of %d x %d pixels is too large - not decoded\n",
                       image.name.CStr(), level.width, level.height);
            break;
        case DecodeStatus::kWriteFailed:
            ReportWriteFailure(path);
            break;
    }
}

// The text a reader of the saved document gets back for a file name: bytes
// that are not UTF-8 come back as their Windows-1252 characters and
// characters XML cannot hold as "_" (XmlSafe), and XmlSafe's "&#x26;" guard
// reads back as "&". Texture files are named so, so that the names the
// document carries find them.
std::string AsDocumentReadsIt(const std::string& text) {
    const std::string safe = XmlSafe(text);
    std::string out;
    out.reserve(safe.size());
    for (size_t i = 0; i < safe.size();) {
        if (safe.compare(i, 6, "&#x26;") == 0) {
            out += '&';
            i += 6;
        } else {
            out += safe[i++];
        }
    }
    return out;
}

void WriteTextureFile(const DaeState& state, const std::string& path, const PixelImage& picture) {
    WrittenTextures* written = state.options.writtenTextures;
    const std::string model = state.model ? state.model->path.value : std::string();
    const uint64_t checksum =
        written ? PictureChecksum(picture.width, picture.height, picture.pixels.data(), picture.pixels.size()) : 0;
    if (written) {
        // Another model of this run wrote a different picture under this
        // name: its document names the file too, and now shows this picture.
        const auto earlier = written->find(path);
        if (earlier != written->end() && earlier->second.model != model && earlier->second.checksum != checksum)
            OutProblem(Problem::kFailure,
                       "Error - Texture file %s of %s replaced with other pixels of %s - convert them into separate "
                       "folders\n",
                       path.c_str(), earlier->second.model.c_str(), model.c_str());
    }
    // Bottom-left origin: viewers show the first decoded row at the bottom.
    if (!WriteTgaUnlessLarger(path, picture.width, -picture.height, picture.pixels.data(), picture.pixels.size()))
        ReportWriteFailure(path);
    else if (written)
        (*written)[path] = {checksum, model};
}

// A texture parameter counts when its index names an image that has a level 0.
TextureImage* ParamImage(const Model& model, const MaterialParam& param) {
    if (param.type != kParamTexture) return nullptr;
    if (param.imageIndex < 0 || size_t(param.imageIndex) >= model.images.size()) return nullptr;
    TextureImage* image = model.images[size_t(param.imageIndex)].get();
    if (!image || image->levels.empty()) return nullptr;
    return image;
}

// Decodes the parameters that will end up in a slot, each image once: a
// parameter no slot takes, or one a later parameter of the same name
// replaces, is never decoded; an image two slots take is decoded once and
// copied.
void FillSources(const Model& model, const Material& material, ShaderMapInstance& instance) {
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
        TextureImage* image = ParamImage(model, param);
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
            const MipLevel& level = image->levels[0];
            const DecodeStatus status = DecodeLevel(level, image->format.CStr(), picture);
            ReportDecodeFailure(status, *image, level, std::string());
            decoded.push_back({image, picture.get()});
        }
        if (picture) AssignSource(instance, param.name, picture, image);
    }
}

void WriteOneMaterial(DaeState& state, const ShaderMapSet& shaderMaps, Material& material) {
    const Model& model = *state.model;
    int textureCount = 0;
    const MaterialParam* diffuse = nullptr;
    for (const MaterialParam& param : material.params) {
        if (param.type == kParamColour) ++state.colourParamCount;
        if (!ParamImage(model, param)) continue;
        ++textureCount;
        if (EqualNoCase(param.name.CStr(), "$diffuse") || EqualNoCase(param.name.CStr(), "$diffuseOn"))
            diffuse = &param;
    }

    std::unique_ptr<ShaderMapInstance> instance;
    if (textureCount > 0) {
        bool notExact = false;
        const ShaderMap* entry = FindShaderMap(shaderMaps, material.shader, diffuse, notExact);
        if (!entry) {
            Out("ALERT: Unable to find map for shader [%s]\n", material.shader.CStr());
            return;
        }
        if (notExact)
            Out("ALERT: Mapping STAT shader [%s] to shader map [%s] - not exact!!!\n", material.shader.CStr(),
                entry->name.CStr());
        instance = BindShaderMap(*entry);
        FillSources(model, material, *instance);

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

            if (state.options.verboseTextures)
                WriteTextureFile(state, JoinFolder(state.outputFolder,
                                            AsDocumentReadsIt(SourceDumpFileName(stem, format, slot.map->name.value))),
                                 *slot.source);
            ++slot.image->useCount;
            slot.image->outputStem.Set(stem.c_str());

            // Each output is composed into the same picture just before its
            // file is written: one output's pixels in memory at a time.
            for (OutputSlot& out : slot.outputs) {
                const std::string& outputName = out.line->name.value;
                ComposeOutput(*instance, slot, *out.line, picture);
                const std::string file = AsDocumentReadsIt(OutputFileName(stem, outputName));
                WriteTextureFile(state, JoinFolder(state.outputFolder, file), picture);
                AddImage(state, "IMG[" + stem + "_" + outputName + "]-image",
                         "IMG[" + stem + "_" + outputName + "]_FMT[" + format + "]", file);
            }
        }
    }

    const std::string name = "MAT[" + material.name.value + "]_SHD[" + material.shader.value + "]";
    TiXmlElement* phong = AddMaterialAndEffect(state, name);
    AddColourOrTexture(phong, instance.get(), "emission", "GLOW", {0, 0, 0, 1});
    AddColour(phong, "ambient", {1, 1, 1, 1});
    AddColourOrTexture(phong, instance.get(), "diffuse", "DIFF", {0.5f, 0.5f, 0.5f, 1});
    AddColourOrTexture(phong, instance.get(), "specular", "SPEC", {0, 0, 0, 1});
    AddPhongTail(phong, 0.0);
}

// With VerboseTextures: every image no material used, decoded as it is.
void WriteUnusedImages(DaeState& state) {
    for (const auto& image : state.model->images) {
        if (!image || image->useCount != 0 || image->levels.empty()) continue;
        const std::string stem = TextureStem(image->name.value);
        const std::string file = AsDocumentReadsIt(UnusedDumpFileName(stem, image->format.value));
        const std::string path = JoinFolder(state.outputFolder, file);
        ReportDecodeFailure(DecodeAndWriteTga(path, image->levels[0], image->format.CStr()), *image,
                            image->levels[0], path);
        AddImage(state, "IMG[" + stem + "]-image", "IMG[" + stem + "]_FMT[" + image->format.value + "]", file);
        image->outputStem.Set(stem.c_str());
    }
}

}  // namespace

void WriteMaterials(DaeState& state, const ShaderMapSet& shaderMaps) {
    state.colourParamCount = 0;
    if (!state.model) return;
    for (const auto& image : state.model->images) {
        if (!image) continue;
        image->outputStem.Set("");
        image->useCount = 0;
    }
    for (const auto& material : state.model->materials)
        if (material) WriteOneMaterial(state, shaderMaps, *material);
    if (state.options.verboseTextures) WriteUnusedImages(state);
}

void WriteGlowMaterial(DaeState& state) {
    TiXmlElement* phong = AddMaterialAndEffect(state, kGlowMaterial);
    AddColour(phong, "emission", {0, 0.75f, 1, 1});
    AddColour(phong, "ambient", {0, 0, 0, 1});
    AddColour(phong, "diffuse", {0, 0, 0, 1});
    AddColour(phong, "specular", {0, 0, 0, 1});
    AddPhongTail(phong, 0.8);
    state.glowTarget = std::string("#") + kGlowMaterial;
}
