#include "texture/compose.h"

#include <cstdint>

namespace {

// What the set-up works out once per call, so the pixel loop only indexes,
// shifts and masks.
struct ComposePlan {
    uint32_t constant = 0;  // constant channels, already in place
    uint32_t keep = 0;      // 0xFF in every byte the output keeps
    int readCount = 0;      // channels read from a source
    const unsigned char* source[4] = {};
    int offset[4] = {};     // byte of the source pixel, or -1 for "no byte" (reads 0)
    uint32_t invert[4] = {};
    int shift[4] = {};
    int multiplyCount = 0;  // channels scaled by alpha, in channel order
    int multiplyShift[4] = {};
};

ComposePlan MakePlan(const ChannelSpec specs[4], const unsigned char* const sources[4]) {
    ComposePlan plan;
    for (int k = 0; k < 4; ++k) {
        const uint32_t code = specs[k].code;
        if (code == kChannelUnset) {
            plan.keep |= 0xFFu << (8 * k);
            continue;
        }
        if ((code & 0xFF) == 0) {
            plan.constant |= ((code >> kChannelConstantShift) & 0xFF) << (8 * k);
        } else if (!sources[k]) {
            plan.keep |= 0xFFu << (8 * k);
            continue;
        } else {
            const uint32_t select = code & kChannelSelectMask;
            const int r = plan.readCount++;
            plan.source[r] = sources[k];
            plan.offset[r] = select >= 1 && select <= 4 ? int(select) - 1 : -1;
            plan.invert[r] = (code & kChannelInvert) ? 0xFF : 0;
            plan.shift[r] = 8 * k;
        }
        if (code & kChannelMultiplyAlpha) plan.multiplyShift[plan.multiplyCount++] = 8 * k;
    }
    return plan;
}

}  // namespace

void ComposeChannels(const ChannelSpec specs[4], const unsigned char* const sources[4], unsigned char* output,
                     size_t pixelCount) {
    const ComposePlan plan = MakePlan(specs, sources);
    const uint32_t take = ~plan.keep;
    for (size_t i = 0; i < pixelCount; ++i) {
        unsigned char* out = output + i * 4;
        uint32_t word = plan.constant;
        for (int r = 0; r < plan.readCount; ++r) {
            // 255 - v equals v ^ 0xFF for a byte.
            const uint32_t v = plan.offset[r] < 0 ? 0 : plan.source[r][i * 4 + size_t(plan.offset[r])];
            word |= (v ^ plan.invert[r]) << plan.shift[r];
        }
        if (plan.keep) {
            const uint32_t old = uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 |
                                 uint32_t(out[3]) << 24;
            word = (word & take) | (old & plan.keep);
        }
        for (int m = 0; m < plan.multiplyCount; ++m) {
            const int s = plan.multiplyShift[m];
            const uint32_t alpha = word >> 24;  // as composed so far: a flagged alpha scales itself last
            const uint32_t v = ((word >> s) & 0xFF) * (alpha + 1) >> 8;
            word = (word & ~(0xFFu << s)) | (v << s);
        }
        out[0] = uint8_t(word);
        out[1] = uint8_t(word >> 8);
        out[2] = uint8_t(word >> 16);
        out[3] = uint8_t(word >> 24);
    }
}
