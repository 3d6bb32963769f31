// Turning level 0 of a stored texture image into a PixelImage.
#pragma once

#include <memory>
#include <string>

#include "model/model.h"
#include "texture/pixel_image.h"

enum class DecodeStatus {
    kOk,
    kUnknownFormat,  // not "DXT1", "DXT3", "DXT5" or "8888"
    kNoPixels,       // width or height is 0 or negative
    kTooFewBytes,    // the level holds fewer bytes than its format and size need
    kTooLarge,       // the picture would exceed 2 GiB
    kWriteFailed,    // DecodeAndWriteTga only: the file could not be written
};

// libsquish's kDxt1, kDxt3 or kDxt5 for a format code (letter case ignored);
// 0 for "8888" and unknown codes.
int FormatFlag(const char* format);

// Bytes a level of this size needs to be decoded: the count the model reader
// stores for a well-formed file (whole 4 x 4 blocks, each dimension's quarter
// rounded down but at least 1; four bytes per pixel for "8888"). 0 for an
// unknown format or a size that is not positive.
uint64_t RequiredLevelBytes(int32_t width, int32_t height, const char* format);

// Decodes a level into a new picture of its size. A block-compressed level
// whose width or height is not a multiple of 4 stores fewer blocks than the
// picture covers; the stored blocks are decoded in their place (rows of
// ceil(width / 4) blocks, top row first) and the pixels of the missing edge
// blocks stay 0 (transparent black). Never reads past level.data. Anything
// but kOk leaves out empty and allocates nothing larger than the stored bytes
// can describe.
[[nodiscard]] DecodeStatus DecodeLevel(const MipLevel& level, const char* format, std::unique_ptr<PixelImage>& out);

// Writes a level as a TGA file: "8888" bytes unchanged, top-left origin;
// block formats decoded, bottom-left origin (the first decoded row shows at
// the bottom); an unknown format writes nothing.
[[nodiscard]] DecodeStatus DecodeAndWriteTga(const std::string& path, const MipLevel& level, const char* format);

// Prints the alert for a status other than kOk about level 0 of image (path:
// the file that could not be written, for kWriteFailed).
void ReportDecodeStatus(DecodeStatus status, const TextureImage& image, const std::string& path);
