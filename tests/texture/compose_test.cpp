#include "texture/compose.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Codes as the shader map parser writes them.
const uint32_t R = 1, G = 2, B = 3, A = 4, r = 0x11, g = 0x12, b = 0x13, a = 0x14;
const uint32_t Zero = 0, Half = 0x8000, Full = 0xFF00, Mul = 0x40000, Unset = kChannelUnset;

using Pixel = std::array<int, 4>;

TEST(ComposeChannels, ChannelRules) {
    // Seven source pixels alternating between two values: the first four go
    // through the four-pixel path, the last three through the single-pixel
    // one, and every pointer must advance in step.
    std::vector<unsigned char> source;
    const unsigned char two[2][4] = {{10, 20, 30, 128}, {200, 100, 50, 255}};
    for (int i = 0; i < 7; ++i) source.insert(source.end(), two[i % 2], two[i % 2] + 4);
    struct Row { const char* name; uint32_t codes[4]; bool nullSource; Pixel first, second; } table[] = {
        {"copy R G B A", {R, G, B, A}, false, {10, 20, 30, 128}, {200, 100, 50, 255}},
        {"green everywhere", {G, G, G, G}, false, {20, 20, 20, 20}, {100, 100, 100, 100}},
        {"inverted", {r, g, b, a}, false, {245, 235, 225, 127}, {55, 155, 205, 0}},
        {"1 1 1 a", {Full, Full, Full, a}, false, {255, 255, 255, 127}, {255, 255, 255, 0}},
        {"constants 0 5 1 Z", {Zero, Half, Full, Zero}, false, {0, 128, 255, 0}, {0, 128, 255, 0}},
        // (128 * 129) >> 8 = 64; alpha 255 stays (255 * 256) >> 8.
        {"alpha times itself", {Full, Full, Full, A | Mul}, false, {255, 255, 255, 64}, {255, 255, 255, 255}},
        {"red times opaque alpha", {R | Mul, G, B, Full}, false, {10, 20, 30, 255}, {200, 100, 50, 255}},
        {"red times zero alpha", {R | Mul, G, B, Zero}, false, {0, 20, 30, 0}, {0, 100, 50, 0}},
        // Red is scaled by alpha before alpha scales itself: (10 * 129) >> 8 = 5,
        // not (10 * 65) >> 8 = 2.
        {"red before alpha", {R | Mul, G, B, A | Mul}, false, {5, 20, 30, 64}, {200, 100, 50, 255}},
        {"flags S and T do nothing", {R | 0x20000, G | 0x10000, B, A}, false, {10, 20, 30, 128}, {200, 100, 50, 255}},
        {"missing source keeps, constants still apply", {R, G, Full, A}, true, {7, 7, 255, 7}, {7, 7, 255, 7}},
        {"unset keeps", {Unset, G, Unset, Full}, false, {7, 20, 7, 255}, {7, 100, 7, 255}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        ChannelSpec specs[4];
        for (int k = 0; k < 4; ++k) specs[k].code = row.codes[k];
        const unsigned char* src = row.nullSource ? nullptr : source.data();
        const unsigned char* sources[4] = {src, src, src, src};
        std::vector<unsigned char> out(7 * 4, 7);  // pre-filled: kept bytes show as 7
        ComposeChannels(specs, sources, out.data(), 7);
        for (size_t i = 0; i < 7; ++i) {
            const unsigned char* p = out.data() + i * 4;
            EXPECT_EQ((Pixel{p[0], p[1], p[2], p[3]}), i % 2 ? row.second : row.first) << "pixel " << i;
        }
    }
}

}  // namespace
