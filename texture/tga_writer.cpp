#include "texture/tga_writer.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include "core/paths.h"
#include "core/platform.h"

namespace {

const uint64_t kChunkPixels = 65536;

// Header fields are put byte by byte so the file is little-endian on any host.
void PutHeader(unsigned char* h, int32_t width, int32_t height) {
    const uint32_t w = uint32_t(width);
    const uint32_t absHeight = height < 0 ? uint32_t(-int64_t(height)) : uint32_t(height);
    for (size_t i = 0; i < kTgaHeaderSize; ++i) h[i] = 0;
    h[2] = 2;  // uncompressed true-colour
    h[12] = uint8_t(w);
    h[13] = uint8_t(w >> 8);
    h[14] = uint8_t(absHeight);
    h[15] = uint8_t(absHeight >> 8);
    h[16] = 32;
    h[17] = height < 0 ? 0x08 : 0x28;  // 8 alpha bits; bit 5 = top-left origin
}

// The 18-byte header, then the pixels as blue, green, red, alpha. Red and
// blue are swapped through a buffer that stays in the cache and handed to the
// C library a quarter megabyte at a time: no copy of the whole picture, no
// write call per pixel.
bool WritePixels(FILE* f, int32_t width, int32_t height, const unsigned char* pixels, uint64_t count) {
    unsigned char header[kTgaHeaderSize];
    PutHeader(header, width, height);
    bool wrote = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<unsigned char> buffer(std::min<uint64_t>(count, kChunkPixels) * 4);
    for (uint64_t done = 0; wrote && done < count;) {
        const size_t n = size_t(std::min<uint64_t>(count - done, kChunkPixels));
        const unsigned char* in = pixels + done * 4;
        for (size_t i = 0; i < n * 4; i += 4) {
            buffer[i] = in[i + 2];
            buffer[i + 1] = in[i + 1];
            buffer[i + 2] = in[i];
            buffer[i + 3] = in[i + 3];
        }
        wrote = std::fwrite(buffer.data(), 1, n * 4, f) == n * 4;
        done += n;
    }
    return wrote;
}

}  // namespace

bool EnsureFolder(const std::string& path) { return MakeFolderTree(FolderPart(path)); }

bool WriteTga(const std::string& path, int32_t width, int32_t height, const unsigned char* pixels,
              size_t byteCount) {
    if (width < 0) return false;
    const uint64_t absHeight = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t count = uint64_t(width) * absHeight;  // both below 2^31: no wrap
    if (count > byteCount / 4 || (count > 0 && !pixels)) return false;
    if (count > (SIZE_MAX - kTgaHeaderSize) / 4) return false;
    EnsureFolder(path);

    // Written beside the target and renamed over it only when whole, so a
    // failed write (a full disk) never truncates or removes a good file that
    // an earlier run left there.
    return SaveFileReplacing(path, [&](FILE* f) { return WritePixels(f, width, height, pixels, count); });
}

bool WriteTgaUnlessLarger(const std::string& path, int32_t width, int32_t height, const unsigned char* pixels,
                          size_t byteCount) {
    if (FILE* f = OpenFile(path.c_str(), "rb")) {
        unsigned char h[kTgaHeaderSize];
        const bool whole = std::fread(h, 1, sizeof h, f) == sizeof h;
        std::fclose(f);
        if (whole) {
            const int64_t storedWidth = int64_t(h[12]) | int64_t(h[13]) << 8;
            const int64_t storedHeight = int64_t(h[14]) | int64_t(h[15]) << 8;
            const int64_t absHeight = height < 0 ? -int64_t(height) : int64_t(height);
            if (storedWidth > int64_t(width) && storedHeight > absHeight) return true;
        }
    }
    return WriteTga(path, width, height, pixels, byteCount);
}

uint64_t PictureChecksum(int32_t width, int32_t height, const unsigned char* pixels, size_t byteCount) {
    uint64_t sum = 14695981039346656037ull;
    auto add = [&sum](unsigned char byte) {
        sum ^= byte;
        sum *= 1099511628211ull;
    };
    for (int shift = 0; shift < 32; shift += 8) add(uint8_t(uint32_t(width) >> shift));
    for (int shift = 0; shift < 32; shift += 8) add(uint8_t(uint32_t(height) >> shift));
    for (size_t i = 0; pixels && i < byteCount; ++i) add(pixels[i]);
    return sum;
}
