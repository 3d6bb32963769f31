// Test-only helpers of the texture tests: a private temporary folder, whole
// file reads, mip levels and hand-built DXT blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "model/model.h"

using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary folder, removed with its contents.
struct TempFolder {
    std::string path = std::filesystem::temp_directory_path().string() + "/vorda_tex_" +
                       std::to_string(std::random_device{}()) + "_" + std::to_string(std::random_device{}());
    TempFolder() { std::filesystem::create_directories(path); }
    ~TempFolder() { std::error_code ec; std::filesystem::remove_all(path, ec); }
    std::string File(const std::string& name) const { return path + "/" + name; }
};

inline Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline MipLevel Level(int32_t w, int32_t h, Bytes data) {
    MipLevel level;
    level.width = w;
    level.height = h;
    level.size = int32_t(data.size());
    level.data = std::move(data);
    return level;
}

// One DXT1 colour block: two RGB565 words, then 2-bit indices, pixel 0 of row 0
// in the lowest bits. With indices 0 all 16 pixels take colour 0.
inline void PutColourBlock(Bytes& out, uint16_t c0, uint16_t c1 = 0, uint32_t indices = 0) {
    const uint32_t words[2] = {uint32_t(c0) | uint32_t(c1) << 16, indices};
    for (uint32_t v : words)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
