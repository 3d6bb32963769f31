#include "collada/materials.h"

#include "collada/extras.h"
#include "collada/ids.h"
#include "collada/xml_blocks.h"
#include "core/output.h"
#include "core/paths.h"
#include "scene/conventions.h"
#include "texture/decode_pixels.h"
#include "texture/texture_names.h"
#include "texture/tga_writer.h"

namespace {

// The texture coordinate set a "texture" reads: the meshes carry one, set 0,
// in their "-UV0" source.
const char kTexcoordSymbol[] = "UV0";

// A "texture" names a sampler, and the sampler reads a surface made from the
// image: the effect declares both ahead of its profile. The sampler's sid is
// the image's id, so the "texture" attribute names the image as well as the
// sampler. They sit at the effect's scope, which the profile sees, and not in
// the profile: a reader that follows the profile's params from name to name
// until one is no param would go round in a circle (sampler sid = image id =
// the surface's init_from), while one that reads no effect-level params still
// finds the image by the attribute alone.
void AddSamplerParams(TiXmlElement* effect, const std::string& imageName) {
    TiXmlElement* surfaceParam = AddChildElement(effect, "newparam");
    SetAttr(surfaceParam, "sid", imageName + "-surface");
    TiXmlElement* surface = AddChildElement(surfaceParam, "surface");
    SetAttr(surface, "type", "2D");
    AddText(AddChildElement(surface, "init_from"), (imageName + "-image").c_str());

    TiXmlElement* samplerParam = AddChildElement(effect, "newparam");
    SetAttr(samplerParam, "sid", imageName + "-image");
    AddText(AddChildElement(AddChildElement(samplerParam, "sampler2D"), "source"), (imageName + "-surface").c_str());
}

std::string ColourText(const float* c) {
    std::string text;
    text.reserve(40);
    for (int i = 0; i < 4; ++i) {
        if (i) text += ' ';
        AppendF6(text, double(c[i]));
    }
    return text;
}

void AddColour(TiXmlElement* phong, const char* name, const float* c) {
    AddParamElement(phong, name, "color", ColourText(c).c_str());
}

void AddFloat(TiXmlElement* phong, const char* name, double v) {
    AddParamElement(phong, name, "float", FormatF6(v).c_str());
}

// The material's map for the output when it has one, else the colour.
void AddColourOrTexture(TiXmlElement* phong, const Scene& scene, const SceneMaterial& material, const char* name,
                        const char* output, const float* colour) {
    const SceneMapRef* map = material.Map(output);
    if (!map) {
        AddColour(phong, name, colour);
        return;
    }
    TiXmlElement* element = AddChildElement(phong, name);
    TiXmlElement* texture = AddChildElement(element, "texture");
    SetAttr(texture, "texture", ImageId(scene.images[size_t(map->image)].key));
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

void AddMaterial(TiXmlElement* materials, TiXmlElement* effects, const Scene& scene, const SceneMaterial& m) {
    TiXmlElement* material = AddChildElement(materials, "material");
    SetAttr(material, "id", m.name);
    SetAttr(material, "name", m.name);
    SetAttr(AddChildElement(material, "instance_effect"), "url", Uri(EffectId(m.name)));

    TiXmlElement* effect = AddChildElement(effects, "effect");
    SetAttr(effect, "id", EffectId(m.name));
    SetAttr(effect, "name", m.name);
    for (const char* output : {kMapGlow, kMapDiffuse, kMapSpecular})
        if (const SceneMapRef* map = m.Map(output))
            AddSamplerParams(effect, ImageSymbol(scene.images[size_t(map->image)].key));
    TiXmlElement* technique = AddChildElement(AddChildElement(effect, "profile_COMMON"), "technique");
    SetAttr(technique, "sid", "standard");
    TiXmlElement* phong = AddChildElement(technique, "phong");
    AddColourOrTexture(phong, scene, m, "emission", kMapGlow, m.emission);
    AddColour(phong, "ambient", m.ambient);
    AddColourOrTexture(phong, scene, m, "diffuse", kMapDiffuse, m.diffuse);
    AddColourOrTexture(phong, scene, m, "specular", kMapSpecular, m.specular);
    AddFloat(phong, "shininess", 1.071773);
    static const float kBlack[4] = {0, 0, 0, 1}, kWhite[4] = {1, 1, 1, 1};
    AddColour(phong, "reflective", kBlack);
    AddFloat(phong, "reflectivity", 1.0);
    SetAttr(AddParamElement(phong, "transparent", "color", ColourText(kWhite).c_str()), "opaque", "RGB_ZERO");
    AddFloat(phong, "transparency", m.transparency);
    AddEffectExtra(effect, m);
}

}  // namespace

std::string AsDocumentReadsIt(const std::string& text) {
    // Bytes that are not UTF-8 come back as their Windows-1252 characters and
    // characters XML cannot hold as "_" (XmlSafe), and XmlSafe's "&#x26;"
    // guard reads back as "&".
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

namespace {

void SaveMapFile(const std::string& path, const PixelImage& picture, WrittenTextures* written,
                 const std::string& model) {
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
        ReportFailedWrite("texture", path);
    else if (written)
        (*written)[path] = {checksum, model};
}

}  // namespace

std::string FileReference(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == '[' || c == ']' || c == '%') {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[c & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string TgaFileName(const SceneImage& image) {
    switch (image.kind) {
        case SceneImageKind::kSourceDump: return SourceDumpFileName(image.stem, image.format, image.output);
        case SceneImageKind::kUnusedDump: return UnusedDumpFileName(image.key, image.format);
        case SceneImageKind::kMap: break;
    }
    return OutputFileName(image.stem, image.output);
}

void SaveTextureFiles(const Scene& scene, const std::string& folder, WrittenTextures* written,
                      const std::string& model) {
    for (const SceneImage& image : scene.images) {
        const std::string path = JoinFolder(folder, AsDocumentReadsIt(TgaFileName(image)));
        if (image.kind != SceneImageKind::kUnusedDump) {
            SaveMapFile(path, image.picture, written, model);
            continue;
        }
        // An unused image is written as it is: no check against the run's
        // files; one that could not be decoded (reported) has no file.
        const PixelImage& picture = image.picture;
        if (picture.pixels.empty()) continue;
        if (!WriteTga(path, picture.width, image.topDown ? picture.height : -picture.height, picture.pixels.data(),
                      picture.pixels.size()))
            ReportFailedWrite("texture", path);
    }
}

void AddMaterials(TiXmlElement* images, TiXmlElement* materials, TiXmlElement* effects, const Scene& scene) {
    for (const SceneImage& image : scene.images) {
        if (image.kind == SceneImageKind::kSourceDump) continue;  // a file only
        TiXmlElement* element = AddChildElement(images, "image");
        SetAttr(element, "id", ImageId(image.key));
        SetAttr(element, "name", ImageName(image.key, image.format));
        AddText(AddChildElement(element, "init_from"), FileReference(AsDocumentReadsIt(TgaFileName(image))).c_str());
        AddImageExtra(element, image);
    }
    AddImagesExtra(images, scene);
    for (const SceneMaterial& material : scene.materials) AddMaterial(materials, effects, scene, material);
}
