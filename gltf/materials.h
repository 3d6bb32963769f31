// The materials and images of a glTF document: the composed maps as PNG
// images (in the GLB's buffer, or PNG files beside a .gltf file), one
// texture per image, and one metallic-roughness material per scene material
// with its maps and the DAE's colours in "extras".
#pragma once

#include <string>
#include <vector>

#include "gltf/buffer.h"
#include "scene/scene.h"

namespace gltf {

// Every map and every picture of an image no map carries as PNG bytes, in
// the order the scene lists its images (a decoded source, or a picture that
// failed to encode, holds none).
class PngSink {
public:
    std::vector<std::vector<unsigned char>> pngs;
    explicit PngSink(const Scene& scene);
    // The PNG file name of a map, "<stem>_<output>.png", or of an image no
    // map carries, "<stem>_FMT[<format>]_UNUSED_LMIP.png".
    static std::string PngName(const SceneImage& image);
};

// The images the document holds: each scene image with PNG bytes, in order.
struct Images {
    std::vector<int> imageOf;         // per scene image: its glTF image, -1 none
    std::vector<size_t> imageSource;  // per glTF image: its scene image
    std::vector<int> imageViews;      // per glTF image in a GLB: its buffer view
};

// Lists the maps (unused false) or the pictures of images no map carries
// (unused true; listed after everything else, so they add to a document
// without moving what it held); in a GLB (binary) their PNG bytes go into the
// buffer.
void AddImages(Buffer& buffer, const Scene& scene, const PngSink& sink, bool binary, bool unused, Images& images);

// "materials", nothing when the scene has none.
void WriteMaterialsJson(Json& json, const Scene& scene, const std::vector<int>& imageOf);

// "images", "samplers" and "textures" (one per image): in a GLB each image
// names its buffer view, else its PNG file. Nothing without images.
void WriteImagesJson(Json& json, const Scene& scene, const Images& images, bool binary);

// Saves each image's PNG file into folder; a failed save is reported and
// the others still go.
void SavePngFiles(const Scene& scene, const PngSink& sink, const Images& images, const std::string& folder);

}  // namespace gltf
