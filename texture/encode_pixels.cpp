#include "texture/encode_pixels.h"

#include <squish.h>

#include <algorithm>
#include <cstring>

#include "core/str.h"
#include "texture/decode_pixels.h"

namespace {

// The 16 pixels of the block at (bx, by) and the mask of those inside the
// picture (bit 4y + x); pixels outside stay 0.
int GatherBlock(const PixelImage& picture, int bx, int by, unsigned char rgba[64]) {
    std::memset(rgba, 0, 64);
    int mask = 0;
    for (int y = 0; y < 4; ++y) {
        const int py = by * 4 + y;
        if (py >= picture.height) break;
        for (int x = 0; x < 4; ++x) {
            const int px = bx * 4 + x;
            if (px >= picture.width) break;
            const size_t at = (size_t(py) * size_t(picture.width) + size_t(px)) * 4;
            std::memcpy(rgba + 4 * (4 * y + x), picture.pixels.data() + at, 4);
            mask |= 1 << (4 * y + x);
        }
    }
    return mask;
}

// True when the block decodes to the given pixels wherever mask is set.
bool Reproduces(const unsigned char* block, int flags, const unsigned char rgba[64], int mask) {
    unsigned char decoded[64];
    squish::Decompress(decoded, block, flags);
    for (int i = 0; i < 16; ++i)
        if ((mask >> i & 1) && std::memcmp(decoded + 4 * i, rgba + 4 * i, 4) != 0) return false;
    return true;
}

// The alpha half of a DXT5 block (8 bytes) that gives back every alpha of
// the block exactly, when the fits missed one: a block stored with end
// values no pixel shows, or in the six-value form beside 0 and 255. Tries
// every pair of end values (the decoder's codebooks: seven steps when the
// first is larger, else five steps plus 0 and 255); only a block of at most
// eight distinct alphas can have one. False when no pair does.
bool ExactAlpha(const unsigned char rgba[64], int mask, unsigned char alpha[8]) {
    int distinct[16], count = 0;
    for (int i = 0; i < 16; ++i) {
        if (!(mask >> i & 1)) continue;
        const int a = rgba[4 * i + 3];
        if (std::find(distinct, distinct + count, a) == distinct + count) distinct[count++] = a;
    }
    if (count > 8) return false;
    // Seven steps lie between the ends; five steps, beside 0 and 255, too:
    // only the pairs around the block's values can hold them.
    int low = 255, high = 0, innerLow = 255, innerHigh = 0;
    for (int d = 0; d < count; ++d) {
        low = std::min(low, distinct[d]), high = std::max(high, distinct[d]);
        if (distinct[d] != 0 && distinct[d] != 255)
            innerLow = std::min(innerLow, distinct[d]), innerHigh = std::max(innerHigh, distinct[d]);
    }
    for (int a0 = 0; a0 < 256; ++a0)
        for (int a1 = 0; a1 < 256; ++a1) {
            if (a0 > a1 ? (a0 < high || a1 > low) : (innerLow <= innerHigh && (a0 > innerLow || a1 < innerHigh)))
                continue;
            int codes[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
            if (a0 > a1) {
                for (int i = 1; i < 7; ++i) codes[1 + i] = ((7 - i) * a0 + i * a1) / 7;
            } else {
                for (int i = 1; i < 5; ++i) codes[1 + i] = ((5 - i) * a0 + i * a1) / 5;
            }
            bool all = true;
            for (int d = 0; d < count && all; ++d) all = std::find(codes, codes + 8, distinct[d]) != codes + 8;
            if (!all) continue;
            uint64_t bits = 0;
            for (int i = 0; i < 16; ++i) {
                const int a = (mask >> i & 1) ? rgba[4 * i + 3] : codes[0];
                bits |= uint64_t(std::find(codes, codes + 8, a) - codes) << (3 * i);
            }
            alpha[0] = uint8_t(a0), alpha[1] = uint8_t(a1);
            for (int k = 0; k < 6; ++k) alpha[2 + k] = uint8_t(bits >> (8 * k));
            return true;
        }
    return false;
}

void EncodeBlock(const unsigned char rgba[64], int mask, int flag, BlockFit fit, unsigned char* block,
                 FitCounts* counts) {
    if (fit != BlockFit::kCluster) {
        squish::CompressMasked(rgba, mask, block, flag | squish::kColourRangeFit);
        if (fit == BlockFit::kRange || Reproduces(block, flag, rgba, mask)) {
            if (counts) ++counts->range;
            return;
        }
    }
    // The cluster fit with its iterations: the plain one misses blocks that
    // the iterations find exactly (a three-colour block with a transparent
    // pixel, an interpolated colour between two far ends).
    squish::CompressMasked(rgba, mask, block, flag | squish::kColourIterativeClusterFit);
    if (counts) ++counts->cluster;
    if (flag != squish::kDxt5 || Reproduces(block, flag, rgba, mask)) return;
    unsigned char alpha[8];
    unsigned char exact[16];
    if (!ExactAlpha(rgba, mask, alpha)) return;
    std::memcpy(exact, alpha, 8);
    std::memcpy(exact + 8, block + 8, 8);
    // Kept when the decoder reads the alphas back (the colour half is the fit's).
    unsigned char decoded[64];
    squish::Decompress(decoded, exact, flag);
    for (int i = 0; i < 16; ++i)
        if ((mask >> i & 1) && decoded[4 * i + 3] != rgba[4 * i + 3]) return;
    std::memcpy(block, alpha, 8);
}

}  // namespace

bool EncodeLevel(const PixelImage& picture, const char* format, MipLevel& level, BlockFit fit, FitCounts* counts) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
        return false;
    const uint64_t bytes = RequiredLevelBytes(picture.width, picture.height, format);
    if (bytes == 0) return false;
    std::vector<unsigned char> data(size_t(bytes), 0);
    const int flag = FormatFlag(format);
    if (flag == 0) {
        data = picture.pixels;  // "8888": the bytes as they are
    } else {
        // The stored blocks, in rows of ceil(width / 4) as the decoder reads
        // them, as many as the level holds.
        const size_t blockBytes = flag == squish::kDxt1 ? 8 : 16;
        const size_t across = (size_t(picture.width) + 3) / 4;
        const size_t blocks = data.size() / blockBytes;
        unsigned char rgba[64];
        for (size_t b = 0; b < blocks; ++b) {
            const int mask = GatherBlock(picture, int(b % across), int(b / across), rgba);
            EncodeBlock(rgba, mask, flag, fit, data.data() + b * blockBytes, counts);
        }
    }
    level.width = picture.width;
    level.height = picture.height;
    level.size = int32_t(data.size());
    level.data = std::move(data);
    return true;
}

PixelImage HalvePicture(const PixelImage& picture) {
    PixelImage half;
    half.width = std::max(picture.width / 2, 1);
    half.height = std::max(picture.height / 2, 1);
    half.pixels.assign(size_t(half.width) * size_t(half.height) * 4, 0);
    const int spanX = picture.width > 1 ? 2 : 1;
    const int spanY = picture.height > 1 ? 2 : 1;
    const unsigned count = unsigned(spanX * spanY);
    for (int y = 0; y < half.height; ++y)
        for (int x = 0; x < half.width; ++x)
            for (int k = 0; k < 4; ++k) {
                unsigned sum = 0;
                for (int dy = 0; dy < spanY; ++dy)
                    for (int dx = 0; dx < spanX; ++dx)
                        sum += picture.pixels[(size_t(y * spanY + dy) * size_t(picture.width) +
                                               size_t(x * spanX + dx)) * 4 + size_t(k)];
                half.pixels[(size_t(y) * size_t(half.width) + size_t(x)) * 4 + size_t(k)] =
                    uint8_t((sum + count / 2) / count);
            }
    return half;
}

bool EncodeMipChain(const PixelImage& picture, const char* format, size_t levelCount, std::vector<MipLevel>& levels,
                    FitCounts* counts) {
    std::vector<MipLevel> chain(1);
    if (!EncodeLevel(picture, format, chain[0], BlockFit::kChoose, counts)) return false;
    PixelImage current;
    const PixelImage* above = &picture;
    while ((levelCount == 0 || chain.size() < levelCount) && (above->width > 1 || above->height > 1)) {
        current = HalvePicture(*above);
        above = &current;
        chain.emplace_back();
        EncodeLevel(current, format, chain.back(), BlockFit::kChoose, counts);
    }
    levels = std::move(chain);
    return true;
}
