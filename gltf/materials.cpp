#include "gltf/materials.h"

#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "core/str.h"
#include "gltf/png.h"
#include "scene/conventions.h"
#include "texture/texture_names.h"

namespace gltf {

PngSink::PngSink(const Scene& scene) {
    for (const SceneImage& image : scene.images) {
        pngs.emplace_back();
        if (image.kind == SceneImageKind::kSourceDump) continue;
        // An image no map carries that could not be decoded has no picture.
        if (image.kind == SceneImageKind::kUnusedDump && image.picture.pixels.empty()) continue;
        if (!EncodePng(image.picture, image.hasAlpha, pngs.back()))
            OutProblem(Problem::kFailure, "ALERT: Unable to write texture file [%s]\n", PngName(image).c_str());
    }
}

std::string PngSink::PngName(const SceneImage& image) {
    std::string name = ToUtf8(image.kind == SceneImageKind::kUnusedDump ? UnusedDumpFileName(image.key, image.format)
                                                                        : OutputFileName(image.stem, image.output));
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name + ".png";
}

void AddImages(Buffer& buffer, const Scene& scene, const PngSink& sink, bool binary, bool unused, Images& images) {
    images.imageOf.resize(scene.images.size(), -1);
    for (size_t i = 0; i < scene.images.size() && i < sink.pngs.size(); ++i) {
        if (sink.pngs[i].empty() || (scene.images[i].kind == SceneImageKind::kUnusedDump) != unused) continue;
        images.imageOf[i] = int(images.imageSource.size());
        images.imageSource.push_back(i);
        if (binary) images.imageViews.push_back(buffer.AddView(sink.pngs[i].data(), sink.pngs[i].size(), 0));
    }
}

void WriteMaterialsJson(Json& json, const Scene& scene, const std::vector<int>& imageOf) {
    if (scene.materials.empty()) return;
    Key(json, "materials");
    json.StartArray();
    for (const SceneMaterial& material : scene.materials) {
        auto texture = [&](const char* output) {
            const SceneMapRef* map = material.Map(output);
            return map ? imageOf[size_t(map->image)] : -1;
        };
        json.StartObject();
        Key(json, "name");
        String(json, material.name);
        Key(json, "pbrMetallicRoughness");
        json.StartObject();
        if (texture(kMapDiffuse) >= 0) {
            TextureRef(json, "baseColorTexture", texture(kMapDiffuse));
        } else {
            Key(json, "baseColorFactor");
            WriteColour(json, material.diffuse, 4);
        }
        Key(json, "metallicFactor");
        json.Double(0.0);
        Key(json, "roughnessFactor");
        json.Double(1.0);
        json.EndObject();
        if (texture(kMapGlow) >= 0) {
            TextureRef(json, "emissiveTexture", texture(kMapGlow));
            const float white[3] = {1, 1, 1};
            Key(json, "emissiveFactor");
            WriteColour(json, white, 3);
        } else if (material.emission[0] != 0 || material.emission[1] != 0 || material.emission[2] != 0) {
            Key(json, "emissiveFactor");
            WriteColour(json, material.emission, 3);
        }
        if (texture(kMapNormal) >= 0) {
            TextureRef(json, "normalTexture", texture(kMapNormal));
        }
        // Every composed map by its output name (the image of each), and
        // the colours of the DAE's phong effect.
        // Its number in the scene first: a package that re-exports the
        // document may order the materials anew (Blender 3.4 does).
        Key(json, "extras");
        json.StartObject();
        Key(json, "index");
        json.Int(int(&material - scene.materials.data()));
        Key(json, "maps");
        json.StartObject();
        for (const SceneMapRef& map : material.maps) {
            if (imageOf[size_t(map.image)] < 0) continue;
            Key(json, map.output.c_str());
            json.Int(imageOf[size_t(map.image)]);
        }
        json.EndObject();
        Key(json, "ambient");
        WriteColour(json, material.ambient, 4);
        Key(json, "specular");
        WriteColour(json, material.specular, 4);
        Key(json, "transparency");
        json.Double(material.transparency);
        if (material.unmapped) {
            Key(json, "unmapped");
            json.Bool(true);
        }
        Key(json, "diffuse");
        WriteColour(json, material.diffuse, 4);
        Key(json, "emission");
        WriteColour(json, material.emission, 4);
        if (material.glow) {
            Key(json, "glow");
            json.Bool(true);
        }
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
}

void WriteImagesJson(Json& json, const Scene& scene, const Images& images, bool binary) {
    const std::vector<size_t>& imageSource = images.imageSource;
    if (imageSource.empty()) return;
    Key(json, "images");
    json.StartArray();
    for (size_t i = 0; i < imageSource.size(); ++i) {
        const SceneImage& image = scene.images[imageSource[i]];
        json.StartObject();
        Key(json, "name");
        String(json, image.key);
        if (binary) {
            Key(json, "bufferView");
            json.Int(images.imageViews[i]);
            Key(json, "mimeType");
            json.String("image/png");
        } else {
            Key(json, "uri");
            json.String(PercentEncoded(PngSink::PngName(image)).c_str());
        }
        // Where the picture came from: its kind, stem, output and the
        // stored format of its source (DXT1, DXT5, 8888, ...).
        Key(json, "extras");
        json.StartObject();
        Key(json, "kind");
        json.String(image.kind == SceneImageKind::kMap ? "map"
                    : image.kind == SceneImageKind::kSourceDump ? "source" : "unused");
        Key(json, "stem");
        String(json, image.stem);
        Key(json, "output");
        String(json, image.output);
        Key(json, "format");
        String(json, image.format);
        // The TGA file name the DAE gives a map or an unused image.
        Key(json, "file");
        String(json, image.kind == SceneImageKind::kMap          ? OutputFileName(image.stem, image.output)
                     : image.kind == SceneImageKind::kUnusedDump ? UnusedDumpFileName(image.key, image.format)
                                                                 : std::string());
        Key(json, "hasAlpha");
        json.Bool(image.hasAlpha);
        if (image.topDown) {
            Key(json, "topDown");
            json.Bool(true);
        }
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
    Key(json, "samplers");
    json.StartArray();
    json.StartObject();
    Key(json, "wrapS");
    json.Int(10497);
    Key(json, "wrapT");
    json.Int(10497);
    json.EndObject();
    json.EndArray();
    Key(json, "textures");
    json.StartArray();
    for (size_t i = 0; i < imageSource.size(); ++i) {
        json.StartObject();
        Key(json, "sampler");
        json.Int(0);
        Key(json, "source");
        json.Int(int(i));
        json.EndObject();
    }
    json.EndArray();
}

void SavePngFiles(const Scene& scene, const PngSink& sink, const Images& images, const std::string& folder) {
    for (size_t i = 0; i < images.imageSource.size(); ++i) {
        const size_t source = images.imageSource[i];
        const std::vector<unsigned char>& png = sink.pngs[source];
        const std::string path = JoinFolder(folder, PngSink::PngName(scene.images[source]));
        if (!SaveFileReplacing(path, [&](FILE* file) {
                return png.empty() || std::fwrite(png.data(), 1, png.size(), file) == png.size();
            }))
            ReportFailedWrite("texture", path);
    }
}

}  // namespace gltf
