// Every image's levels from the scene's pictures. An image a material's
// shader map composed into maps is rebuilt from those maps: each of its
// channels from the first map channel that carries it (FindChannelCarriers),
// a channel no map carries from NeutralChannel. An image used by two
// materials (or two slots) comes from the first use, materials in model
// order; the later uses are composed from it again. An image no map carries
// (used by no material, by a material no shader map entry fits, or by a
// parameter no slot takes) comes from its picture as stored, the scene's
// unused pictures matched to those images in order by name stem. Every
// image is encoded in its own format with a regenerated mip chain
// (texture/encode_pixels.h). An image the scene holds no pixels for keeps
// the level it has.
#include <memory>
#include <string>
#include <vector>

#include "scene/names.h"
#include "scene/way_back.h"
#include "texture/compose.h"
#include "texture/encode_pixels.h"
#include "texture/shader_map.h"
#include "texture/texture_names.h"

namespace {

struct ImageStep {
    WayBack& back;
    std::vector<bool> rebuilt;  // per model image

    const PixelImage* Picture(int32_t index) const {
        if (index < 0 || size_t(index) >= back.scene.images.size()) return nullptr;
        const PixelImage& p = back.scene.images[size_t(index)].picture;
        if (p.width <= 0 || p.height <= 0 || p.pixels.size() != size_t(p.width) * size_t(p.height) * 4)
            return nullptr;
        return &p;
    }

    // As the scene build counts a texture parameter: its index names an image
    // that has a level.
    const TextureImage* ParamImage(const MaterialParam& param) const {
        if (param.type != kParamTexture || param.imageIndex < 0 || size_t(param.imageIndex) >= back.model.images.size())
            return nullptr;
        const TextureImage* image = back.model.images[size_t(param.imageIndex)].get();
        return image && !image->levels.empty() ? image : nullptr;
    }

    void Encode(size_t index, const PixelImage& picture) {
        TextureImage& image = *back.model.images[index];
        // As many levels as were stored (the placeholder lists them), or
        // every level down to 1 x 1 for an image that lists none.
        if (EncodeMipChain(picture, image.format.CStr(), image.levels.size(), image.levels)) rebuilt[index] = true;
    }

    void FromMaps(const Material& material, const SceneMaterial& scene, const ShaderMapSet& set) {
        // The shader map entry and the slot each parameter fills, as the
        // scene build chose them (scene/build_materials.cpp).
        const MaterialParam* diffuse = nullptr;
        for (const MaterialParam& param : material.params)
            if (ParamImage(param) &&
                (EqualNoCase(param.name.CStr(), "$diffuse") || EqualNoCase(param.name.CStr(), "$diffuseOn")))
                diffuse = &param;
        bool notExact = false;
        const ShaderMap* entry = FindShaderMap(set, material.shader, diffuse, notExact);
        if (!entry) return;
        const std::unique_ptr<ShaderMapInstance> instance = BindShaderMap(*entry);
        std::vector<int32_t> imageOf(instance->slots.size(), -1);
        for (const MaterialParam& param : material.params) {
            if (!ParamImage(param)) continue;
            const int slot = FindSourceSlot(*instance, param.name);
            if (slot >= 0) imageOf[size_t(slot)] = param.imageIndex;  // a later parameter replaces
        }
        // The composed maps, slots and lines in order: each line takes the
        // first map of its output name not yet taken.
        std::vector<std::vector<const PixelImage*>> maps(instance->slots.size());
        std::vector<bool> taken(scene.maps.size(), false);
        for (size_t s = 0; s < instance->slots.size(); ++s) {
            if (imageOf[s] < 0) continue;
            for (const OutputSlot& out : instance->slots[s].outputs) {
                maps[s].push_back(nullptr);
                for (size_t m = 0; m < scene.maps.size(); ++m) {
                    if (taken[m] || scene.maps[m].output != out.line->name.value) continue;
                    taken[m] = true;
                    maps[s].back() = Picture(scene.maps[m].image);
                    break;
                }
            }
        }
        for (size_t s = 0; s < instance->slots.size(); ++s) {
            if (imageOf[s] < 0 || rebuilt[size_t(imageOf[s])]) continue;
            // The picture's size is the first map's (an edited map may have a
            // new size); no map: the texture could not be decoded, or the
            // document lost the maps.
            const PixelImage* first = nullptr;
            for (const PixelImage* map : maps[s])
                if (map && !first) first = map;
            if (!first) {
                back.report.Default("texture maps");
                continue;
            }
            PixelImage picture;
            picture.width = first->width;
            picture.height = first->height;
            picture.pixels.assign(first->pixels.size(), 0);
            for (int c = 0; c < 4; ++c) {
                bool found = false;
                for (const ChannelCarrier& carrier : FindChannelCarriers(*entry, int32_t(s), c)) {
                    const std::vector<const PixelImage*>& lines = maps[size_t(carrier.slot)];
                    const PixelImage* map = size_t(carrier.line) < lines.size() ? lines[size_t(carrier.line)] : nullptr;
                    // Another slot's map has that slot's size: only one of
                    // this size holds this image's pixels in place.
                    if (!map || map->width != picture.width || map->height != picture.height) continue;
                    CopyChannel(*map, carrier.channel, carrier.invert, picture, c);
                    found = true;
                    break;
                }
                if (!found) FillChannel(picture, c, NeutralChannel(entry->maps[s], c));
            }
            Encode(size_t(imageOf[s]), picture);
        }
    }

    // The pictures of images no map carries, in model order by stem.
    void FromPictures() {
        std::vector<bool> claimed = rebuilt;
        for (const SceneImage& image : back.scene.images) {
            if (image.kind != SceneImageKind::kUnusedDump) continue;
            for (size_t i = 0; i < back.model.images.size(); ++i) {
                const TextureImage* model = back.model.images[i].get();
                if (claimed[i] || !model || TextureStem(model->name.value) != image.stem) continue;
                claimed[i] = true;
                if (!image.picture.pixels.empty() &&
                    image.picture.pixels.size() == size_t(image.picture.width) * size_t(image.picture.height) * 4)
                    Encode(i, image.picture);
                break;
            }
        }
    }
};

}  // namespace

void ImagesFromScene(WayBack& back) {
    ImageStep step{back, std::vector<bool>(back.model.images.size(), false)};
    if (const std::unique_ptr<ShaderMapSet> set = ParseShaderMaps()) {
        for (const auto& material : back.model.materials) {
            if (!material) continue;
            const std::string name = MaterialName(*material);
            for (const SceneMaterial& scene : back.scene.materials) {
                if (scene.name != name) continue;
                if (!scene.unmapped) step.FromMaps(*material, scene, *set);
                break;
            }
        }
    }
    step.FromPictures();
    // An image nothing gave pixels: one stored without its bytes stays so
    // (its reading names it as the original's did); one a document lost (a
    // package that drops the pictures no material slot shows) is written
    // with zero bytes, the neutral pixels, so the model reads whole. Those
    // bytes stay within what the scene's pictures hold (and a floor for a
    // scene of small ones): a document does not choose what is allocated.
    uint64_t budget = uint64_t(1) << 26;
    for (const SceneImage& picture : back.scene.images) budget += 2 * uint64_t(picture.picture.pixels.size());
    for (size_t i = 0; i < back.model.images.size(); ++i) {
        if (!back.model.images[i] || step.rebuilt[i]) continue;
        back.report.Default("image pixels");
        if (i < back.imagesCut.size() && back.imagesCut[i]) continue;
        for (MipLevel& level : back.model.images[i]->levels) {
            if (level.size <= 0 || uint64_t(level.size) > budget) continue;
            budget -= uint64_t(level.size);
            level.data.assign(size_t(level.size), 0);
        }
    }
}
