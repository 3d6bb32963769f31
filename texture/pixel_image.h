// The decoded picture every texture operation works on, and the channel
// description that says how one output channel is made from a source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An uncompressed picture: rows in stored (or decoded) order, each pixel four
// bytes red, green, blue, alpha. Read as a little-endian 32-bit word a pixel
// has red in bits 0-7 and alpha in bits 24-31. pixels.size() is always
// width * height * 4.
struct PixelImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<unsigned char> pixels;

    size_t PixelCount() const { return pixels.size() / 4; }
    // Every pixel's alpha is 255.
    bool Opaque() const {
        for (size_t i = 3; i < pixels.size(); i += 4)
            if (pixels[i] != 255) return false;
        return true;
    }
};

// Channel codes: bits 0-3 select the source byte (1 red .. 4 alpha, 0 = the
// constant in bits 8-15), bit 4 inverts the taken byte (v -> 255 - v), bit 18
// multiplies the composed channel by the composed alpha; bits 16 and 17 are
// recorded and ignored. kChannelUnset keeps whatever the output holds.
enum : uint32_t {
    kChannelSelectMask = 0x0F,
    kChannelInvert = 0x10,
    kChannelConstantShift = 8,
    kChannelFlagShift = 16,
    kChannelMultiplyAlpha = 0x40000,
    kChannelUnset = 0x80000000u,
};

struct ChannelSpec {
    uint32_t code = kChannelUnset;
    std::string sourceName;  // source map to read from; "" = the map the value stands under
};
