// Texture benchmark: the material step for one "ship" material with three
// 2048 x 2048 textures ("$diffuse" DXT1, "$glow" DXT5, "$normal" DXT1), which
// decodes them, composes six output maps and writes six TGA files. Compared
// with merely writing the same TGA bytes to the same files.
//
// Then the way back: a 1024 x 1024 painting stored as DXT1 and as DXT5 (by
// libsquish's range fit, as a game tool would), decoded and encoded again:
// the bytes that differ from the stored level (0 expected: every block takes
// the range fit and gives it back), and the time per megapixel of the range
// fit, the cluster fit and the per-block choice between them.
//
// Usage: bench_texture [scratch folder]
#include <squish.h>
#include <tinyxml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "collada/materials.h"
#include "core/output.h"
#include "core/platform.h"
#include "texture/decode_pixels.h"
#include "texture/encode_pixels.h"
#include "texture/shader_map.h"

namespace {

const int kSize = 2048;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Blocks of random bytes: every colour and alpha mode, as in real textures.
void AddImage(Model& model, const char* name, const char* format, size_t blockBytes, std::mt19937& random) {
    auto image = std::make_unique<TextureImage>();
    image->index = int32_t(model.images.size());
    image->name.Set(name);
    image->format.Set(format);
    MipLevel level;
    level.width = kSize;
    level.height = kSize;
    level.data.resize(size_t(kSize / 4) * size_t(kSize / 4) * blockBytes);
    for (unsigned char& b : level.data) b = uint8_t(random());
    level.size = int32_t(level.data.size());
    image->levels.push_back(std::move(level));
    model.images.push_back(std::move(image));
}

double RunMaterialStep(Model& model, const ShaderMapSet& maps, const std::string& folder) {
    (void)maps;  // the scene reads the built-in shader maps itself
    const auto start = Clock::now();
    const std::unique_ptr<Scene> scene = BuildScene(model, SceneOptions());
    if (scene) SaveTextureFiles(*scene, folder, nullptr, std::string());
    return Seconds(start, Clock::now());
}

// The floor: the same bytes, already in memory, written to the same files.
double RunPlainWrites(const std::string& folder, const std::vector<std::string>& names, size_t bytes) {
    std::vector<unsigned char> block(bytes, 0x5A);
    const auto start = Clock::now();
    for (const std::string& name : names) {
        FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
        if (!f) return -1;
        const bool ok = std::fwrite(block.data(), 1, block.size(), f) == block.size();
        if (std::fclose(f) != 0 || !ok) return -1;
    }
    return Seconds(start, Clock::now());
}

// The part of the step spent in the block decoder alone.
double RunDecodes(const Model& model) {
    const auto start = Clock::now();
    for (const auto& image : model.images) {
        std::unique_ptr<PixelImage> picture;
        if (DecodeLevel(image->levels[0], image->format.CStr(), picture) != DecodeStatus::kOk) return -1;
    }
    return Seconds(start, Clock::now());
}

// A smooth painting with soft noise and an alpha ramp.
PixelImage Painting(int size) {
    PixelImage p;
    p.width = p.height = size;
    p.pixels.resize(size_t(size) * size_t(size) * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            unsigned char* px = p.pixels.data() + (size_t(y) * size_t(size) + size_t(x)) * 4;
            const int noise = (x * 7 + y * 13) % 11;
            px[0] = uint8_t((x / 4 + noise) % 256);
            px[1] = uint8_t((200 - y / 8 + noise) % 256);
            px[2] = uint8_t((x ^ y) / 8 % 256);
            px[3] = uint8_t((x + y) / 8 % 256);
        }
    return p;
}

// Encodes a stored level back: differing bytes and seconds per megapixel
// for each fit; false when something failed.
bool RunEncodes(const char* format, int flag) {
    const int size = 1024;
    const PixelImage painting = Painting(size);
    MipLevel stored;
    stored.width = stored.height = size;
    stored.data.resize(size_t(squish::GetStorageRequirements(size, size, flag)));
    squish::CompressImage(painting.pixels.data(), size, size, stored.data.data(), flag | squish::kColourRangeFit);
    std::unique_ptr<PixelImage> decoded;
    if (DecodeLevel(stored, format, decoded) != DecodeStatus::kOk) return false;
    const double megapixels = double(size) * size / 1e6;
    const struct { const char* name; BlockFit fit; } fits[] = {
        {"range fit", BlockFit::kRange}, {"cluster fit", BlockFit::kCluster}, {"per block", BlockFit::kChoose}};
    for (const auto& f : fits) {
        MipLevel level;
        FitCounts counts;
        const auto start = Clock::now();
        if (!EncodeLevel(*decoded, format, level, f.fit, &counts)) return false;
        const double seconds = Seconds(start, Clock::now());
        size_t differ = 0;
        for (size_t i = 0; i < level.data.size() && i < stored.data.size(); ++i)
            differ += level.data[i] != stored.data[i];
        std::printf("%s %d x %d decoded and encoded again, %-11s: %.3f s per megapixel, %zu of %zu bytes differ "
                    "(%llu range, %llu cluster blocks)\n",
                    format, size, size, f.name, seconds / megapixels, differ, stored.data.size(),
                    (unsigned long long)counts.range, (unsigned long long)counts.cluster);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scratch = argc > 1 ? argv[1] : "/tmp";
    const std::string folder = scratch + "/vorda_bench_texture";
    if (!MakeFolderTree(folder)) {
        std::fprintf(stderr, "cannot make %s\n", folder.c_str());
        return 1;
    }

    Model model;
    std::mt19937 random(7);
    AddImage(model, "ships\\hull_diff.dds", "DXT1", 8, random);
    AddImage(model, "ships\\hull_glow.dds", "DXT5", 16, random);
    AddImage(model, "ships\\hull_norm.dds", "DXT1", 8, random);
    auto material = std::make_unique<Material>();
    material->index = 0;
    material->name.Set("Hull");
    material->shader.Set("ship");
    const char* params[3] = {"$diffuse", "$glow", "$normal"};
    for (int i = 0; i < 3; ++i) {
        MaterialParam p;
        p.name.Set(params[i]);
        p.type = kParamTexture;
        p.imageIndex = i;
        material->params.push_back(p);
    }
    model.materials.push_back(std::move(material));
    const auto maps = ParseShaderMaps();

    const std::vector<std::string> outputs = {"hull_DIFF.TGA", "hull_TEAM.TGA", "hull_GLOW.TGA",
                                              "hull_SPEC.TGA", "hull_STRP.TGA", "hull_NORM.TGA"};
    const size_t fileBytes = 18 + size_t(kSize) * size_t(kSize) * 4;
    double step = 1e30, plain = 1e30, decode = 1e30;
    const int rounds = 5;
    for (int round = 0; round < rounds; ++round) {
        step = std::min(step, RunMaterialStep(model, *maps, folder));
        const double p = RunPlainWrites(folder, outputs, fileBytes);
        if (p < 0) {
            std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
            return 1;
        }
        plain = std::min(plain, p);
        decode = std::min(decode, RunDecodes(model));
    }
    for (const std::string& name : outputs) std::remove((folder + "/" + name).c_str());
    std::remove(folder.c_str());

    const double megapixels = double(outputs.size()) * kSize * kSize / 1e6;
    const double ratio = step / plain;
    std::printf("material step, 3 x %d x %d sources -> %zu maps: %.1f ms (%.2f ms per output megapixel)\n", kSize,
                kSize, outputs.size(), step * 1e3, step * 1e3 / megapixels);
    std::printf("  of which decoding the three sources: %.1f ms\n", decode * 1e3);
    std::printf("writing the same %.1f MB of TGA files alone: %.1f ms\n", double(fileBytes * outputs.size()) / 1e6,
                plain * 1e3);
    std::printf("ratio %.2f (target at most 3): %s\n", ratio, ratio <= 3 ? "ok" : "ABOVE TARGET");
    if (!RunEncodes("DXT1", squish::kDxt1) || !RunEncodes("DXT5", squish::kDxt5)) {
        std::fprintf(stderr, "encoding failed\n");
        return 1;
    }
    return 0;
}
