#include "texture/compose.h"

#include <algorithm>
#include <cstdint>

#if defined(__GNUC__) && defined(__x86_64__)
#include <tmmintrin.h>
#define VORDA_COMPOSE_SHUFFLE 1
#endif

namespace {

// What the set-up works out once per call, so the pixel loop only indexes,
// shifts and masks.
struct ComposePlan {
    uint32_t constant = 0;  // constant channels, already in place
    uint32_t keep = 0;      // 0xFF in every byte the output keeps
    int readCount = 0;      // channels read from a source
    const unsigned char* source[4] = {};
    int offset[4] = {};     // bit position of the byte in the source word
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
            const uint32_t invert = (code & kChannelInvert) ? 0xFF : 0;
            if (select >= 1 && select <= 4) {
                const int r = plan.readCount++;
                plan.source[r] = sources[k];
                plan.offset[r] = 8 * (int(select) - 1);
                plan.invert[r] = invert;
                plan.shift[r] = 8 * k;
            } else {
                plan.constant |= invert << (8 * k);  // no such byte: 0, or 255 inverted
            }
        }
        if (code & kChannelMultiplyAlpha) plan.multiplyShift[plan.multiplyCount++] = 8 * k;
    }
    return plan;
}

// Byte by byte, so the word is the same on any host; compilers make it one load.
inline uint32_t LoadPixel(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The pixel loop, with the number of source reads fixed at compile time so
// that the reads unroll and nothing but loads, shifts and ORs remains.
template <int N>
void ComposeLoop(const ComposePlan& plan, unsigned char* output, size_t pixelCount) {
    // Everything the loop reads is copied to locals first: the output is
    // written through unsigned char, which may alias anything in memory, so
    // fields read through the plan would be reloaded for every pixel.
    const unsigned char* source[4] = {};
    uint32_t offset[4] = {}, invert[4] = {}, shift[4] = {}, multiplyShift[4] = {};
    for (int r = 0; r < N; ++r) {
        source[r] = plan.source[r];
        offset[r] = uint32_t(plan.offset[r]);
        invert[r] = plan.invert[r];
        shift[r] = uint32_t(plan.shift[r]);
    }
    const int multiplyCount = plan.multiplyCount;
    for (int m = 0; m < multiplyCount; ++m) multiplyShift[m] = uint32_t(plan.multiplyShift[m]);
    const uint32_t constant = plan.constant;
    const uint32_t keep = plan.keep;

    for (size_t i = 0; i < pixelCount; ++i) {
        unsigned char* out = output + i * 4;
        uint32_t word = constant;
        for (int r = 0; r < N; ++r) {
            // The whole source word is loaded (one load, shared by the reads of
            // one source) and the byte shifted out; 255 - v equals v ^ 0xFF.
            const uint32_t w = LoadPixel(source[r] + i * 4);
            word |= (((w >> offset[r]) & 0xFF) ^ invert[r]) << shift[r];
        }
        if (keep) word = (word & ~keep) | (LoadPixel(out) & keep);
        for (int m = 0; m < multiplyCount; ++m) {
            const uint32_t s = multiplyShift[m];
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

#ifdef VORDA_COMPOSE_SHUFFLE
// The common case, every read from one source and no alpha products, is a
// byte shuffle of the source word: four pixels per step with SSSE3's pshufb
// (0x80 in the shuffle mask gives 0), then the inversions (XOR), the
// constants (OR) and the kept bytes (blend with the output).
__attribute__((target("ssse3"))) size_t ShuffleLoop(const ComposePlan& plan, unsigned char* output,
                                                  size_t pixelCount) {
    unsigned char shuffle[16], flip[16], fill[16], hold[16];
    for (int p = 0; p < 4; ++p) {
        for (int k = 0; k < 4; ++k) {
            shuffle[p * 4 + k] = 0x80;
            flip[p * 4 + k] = 0;
            fill[p * 4 + k] = uint8_t(plan.constant >> (8 * k));
            hold[p * 4 + k] = uint8_t(plan.keep >> (8 * k));
        }
        for (int r = 0; r < plan.readCount; ++r) {
            const int k = plan.shift[r] / 8;
            shuffle[p * 4 + k] = uint8_t(p * 4 + plan.offset[r] / 8);
            flip[p * 4 + k] = uint8_t(plan.invert[r]);
        }
    }
    const __m128i shuffleMask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle));
    const __m128i flipMask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(flip));
    const __m128i fillMask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fill));
    const __m128i holdMask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hold));
    const unsigned char* source = plan.source[0];
    const size_t whole = pixelCount & ~size_t(3);
    for (size_t i = 0; i < whole; i += 4) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i * 4));
        __m128i* out = reinterpret_cast<__m128i*>(output + i * 4);
        __m128i v = _mm_or_si128(_mm_xor_si128(_mm_shuffle_epi8(in, shuffleMask), flipMask), fillMask);
        v = _mm_or_si128(_mm_andnot_si128(holdMask, v), _mm_and_si128(holdMask, _mm_loadu_si128(out)));
        _mm_storeu_si128(out, v);
    }
    return whole;
}

bool CanShuffle(const ComposePlan& plan) {
    if (plan.readCount == 0 || plan.multiplyCount != 0) return false;
    for (int r = 1; r < plan.readCount; ++r)
        if (plan.source[r] != plan.source[0]) return false;
    return __builtin_cpu_supports("ssse3");
}
#endif

}  // namespace

bool ComposeKeepsBytes(const ChannelSpec specs[4], const unsigned char* const sources[4]) {
    return MakePlan(specs, sources).keep != 0;
}

void ComposeChannels(const ChannelSpec specs[4], const unsigned char* const sources[4], unsigned char* output,
                     size_t pixelCount) {
    ComposePlan plan = MakePlan(specs, sources);
#ifdef VORDA_COMPOSE_SHUFFLE
    if (CanShuffle(plan)) {
        const size_t done = ShuffleLoop(plan, output, pixelCount);
        output += done * 4;
        pixelCount -= done;
        for (int r = 0; r < plan.readCount; ++r) plan.source[r] += done * 4;
    }
#endif
    switch (plan.readCount) {
        case 0: ComposeLoop<0>(plan, output, pixelCount); break;
        case 1: ComposeLoop<1>(plan, output, pixelCount); break;
        case 2: ComposeLoop<2>(plan, output, pixelCount); break;
        case 3: ComposeLoop<3>(plan, output, pixelCount); break;
        default: ComposeLoop<4>(plan, output, pixelCount); break;
    }
}

void CopyChannel(const PixelImage& source, int from, bool invert, PixelImage& output, int to) {
    const size_t count = std::min(source.PixelCount(), output.PixelCount());
    const unsigned char flip = invert ? 0xFF : 0;
    for (size_t i = 0; i < count; ++i) output.pixels[i * 4 + size_t(to)] = source.pixels[i * 4 + size_t(from)] ^ flip;
}

void FillChannel(PixelImage& output, int to, uint8_t value) {
    for (size_t i = size_t(to); i < output.pixels.size(); i += 4) output.pixels[i] = value;
}
