#include "texture/tga_read.h"

#include <algorithm>
#include <cstdint>

#include "texture/tga_writer.h"

bool ReadTgaBytes(const std::vector<unsigned char>& bytes, PixelImage& picture, bool& topDown, std::string& reason) {
    if (bytes.size() < kTgaHeaderSize) {
        reason = "not a TGA picture: " + std::to_string(bytes.size()) + " bytes, fewer than its header";
        return false;
    }
    const unsigned char* h = bytes.data();
    const unsigned type = h[2], bits = h[16];
    const bool packed = type == 10 || type == 11;
    const bool grey = type == 3 || type == 11;
    if (h[1] != 0 || !(type == 2 || type == 3 || type == 10 || type == 11)) {
        reason = "TGA picture of image type " + std::to_string(type) + " (only true-colour and grey are read)";
        return false;
    }
    if (grey ? bits != 8 : (bits != 24 && bits != 32)) {
        reason = "TGA picture of " + std::to_string(bits) + " bits a pixel";
        return false;
    }
    const uint32_t width = uint32_t(h[12]) | uint32_t(h[13]) << 8;
    const uint32_t height = uint32_t(h[14]) | uint32_t(h[15]) << 8;
    topDown = (h[17] & 0x20) != 0;
    const size_t depth = bits / 8;
    const uint64_t count = uint64_t(width) * height;
    size_t at = kTgaHeaderSize + h[0];
    // Even a packed file needs one byte per 128 pixels: a count beyond that
    // is refused before anything is allocated.
    const uint64_t available = bytes.size() > at ? bytes.size() - at : 0;
    if (packed ? (count + 127) / 128 > available : count * depth > available) {
        reason = "TGA picture cut short: " + std::to_string(width) + " x " + std::to_string(height) + " pixels in " +
                 std::to_string(bytes.size()) + " bytes";
        return false;
    }
    picture.width = int32_t(width);
    picture.height = int32_t(height);
    picture.pixels.assign(size_t(count) * 4, 255);
    unsigned char* out = picture.pixels.data();
    auto put = [&](const unsigned char* p) {
        if (grey) {
            out[0] = out[1] = out[2] = p[0];
        } else {
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
            if (depth == 4) out[3] = p[3];
        }
        out += 4;
    };
    if (!packed || count == 0) {
        for (uint64_t i = 0; i < count; ++i, at += depth) put(&bytes[at]);
        return true;
    }
    for (uint64_t done = 0; done < count;) {
        if (at >= bytes.size()) break;
        const unsigned head = bytes[at++];
        const uint64_t run = std::min<uint64_t>((head & 0x7F) + 1, count - done);
        const bool repeat = (head & 0x80) != 0;
        const size_t need = repeat ? depth : size_t(run) * depth;
        if (at + need > bytes.size()) break;
        for (uint64_t k = 0; k < run; ++k) put(&bytes[at + (repeat ? 0 : size_t(k) * depth)]);
        at += need;
        done += run;
        if (done == count) return true;
    }
    reason = "TGA picture cut short: its packed pixels end early";
    return false;
}
