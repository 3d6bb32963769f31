// Turning a picture back into the stored levels of a texture image: the
// inverse of texture/decode_pixels.h, in the same formats.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model.h"
#include "texture/pixel_image.h"

// How the blocks of a block format are fitted. kChoose takes libsquish's
// range fit for a block when decoding that fit gives back the block's pixels
// exactly (a block decoded from the same format, so the stored bytes come
// back), and the cluster fit otherwise (new or repainted pixels): libsquish's
// iterative cluster fit, which also gives back exactly the decoded blocks the
// range fit misses.
enum class BlockFit { kChoose, kRange, kCluster };

// How many blocks took each fit (block formats only).
struct FitCounts {
    uint64_t range = 0;
    uint64_t cluster = 0;
};

// Encodes picture (rows in stored order) as one level of format: "8888"
// copies the bytes as they are; "DXT1", "DXT3" and "DXT5" fit every 4 x 4
// block (an edge block only over the pixels inside the picture). The level
// holds the bytes the reader stores for that size (RequiredLevelBytes), in
// the block order the decoder reads. False, level untouched, for an unknown
// format or an empty picture.
bool EncodeLevel(const PixelImage& picture, const char* format, MipLevel& level, BlockFit fit = BlockFit::kChoose,
                 FitCounts* counts = nullptr);

// The next smaller picture of a mip chain: each dimension halved (rounded
// down, at least 1); each pixel the box filter of the 2 x 2 pixels it covers
// (the rounded mean per channel; 2 x 1 or 1 x 2 where a dimension is already
// 1; an odd last row or column is left out).
PixelImage HalvePicture(const PixelImage& picture);

// Level 0 from picture and the chain below it, each level halved from the
// one above: levelCount levels, or down to 1 x 1 when levelCount is 0 (or
// larger than that chain). False when the format cannot be encoded.
bool EncodeMipChain(const PixelImage& picture, const char* format, size_t levelCount, std::vector<MipLevel>& levels,
                    FitCounts* counts = nullptr);
