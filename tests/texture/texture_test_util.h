// Mip levels and hand-built DXT blocks for the texture tests.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model.h"
#include "tests/support/test_util.h"

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
