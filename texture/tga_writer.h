// Uncompressed 32-bit TGA output (image type 2) and the folders it goes into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

enum : size_t { kTgaHeaderSize = 18 };

// Creates every missing folder of the folder part of a file path (the text
// before its last "/" or "\"); a path without a folder part is in the current
// folder and needs nothing. Prints nothing; false when a folder could not be
// made.
bool EnsureFolder(const std::string& path);

// Writes pixels (red, green, blue, alpha per pixel; width * |height| pixels,
// at least that many bytes in byteCount) as a TGA file: the 18-byte header,
// then every pixel as blue, green, red, alpha in buffer order. A negative
// height marks the file bottom-left origin (descriptor 0x08), any other
// top-left (0x28); the data is the same either way. Width and height are
// truncated to 16 bits in the header. True only when every byte was written
// and the file closed cleanly; a failed write leaves no file behind.
[[nodiscard]] bool WriteTga(const std::string& path, int32_t width, int32_t height, const unsigned char* pixels,
                            size_t byteCount);

// Keeps an existing file whose header declares a picture larger than the
// requested one in both width and |height| (a larger picture of the same
// texture is already there) and returns true; otherwise WriteTga. A file whose
// header cannot be read in full counts as absent.
[[nodiscard]] bool WriteTgaUnlessLarger(const std::string& path, int32_t width, int32_t height,
                                        const unsigned char* pixels, size_t byteCount);

// The texture files one run wrote, by path: a checksum of the picture and the
// model it came from. Two models whose textures share a name, converted into
// one folder, would otherwise replace each other's files without a word.
struct WrittenTexture {
    uint64_t checksum = 0;
    std::string model;
};
using WrittenTextures = std::map<std::string, WrittenTexture>;

// FNV-1a over the width, height and pixel bytes: equal pictures, equal sums.
[[nodiscard]] uint64_t PictureChecksum(int32_t width, int32_t height, const unsigned char* pixels, size_t byteCount);
