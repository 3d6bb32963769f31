// Test-only helpers of the texture tests: a private temporary folder, whole
// file reads, and hand-built DXT blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        const std::string name = "vorda_tex_" + std::to_string(reinterpret_cast<uintptr_t>(&counter) % 100000) + "_" + std::to_string(std::random_device{}()) + "_" + std::to_string(counter++);
        path_ = (std::filesystem::temp_directory_path() / name).string();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// One DXT1 colour block: two RGB565 words, then one byte of 2-bit indices
// per row (pixel 0 in the low bits).
inline void PutColourBlock(std::vector<unsigned char>& out, uint16_t c0, uint16_t c1, const uint8_t rows[4]) {
    out.push_back(uint8_t(c0));
    out.push_back(uint8_t(c0 >> 8));
    out.push_back(uint8_t(c1));
    out.push_back(uint8_t(c1 >> 8));
    for (int i = 0; i < 4; ++i) out.push_back(rows[i]);
}

// A block whose 16 pixels all take colour 0 (indices 0).
inline void PutFlatBlock(std::vector<unsigned char>& out, uint16_t c0) {
    const uint8_t zero[4] = {0, 0, 0, 0};
    PutColourBlock(out, c0, 0, zero);
}
