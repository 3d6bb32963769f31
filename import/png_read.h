// PNG files read back into pictures.
#pragma once

#include <string>
#include <vector>

#include "import/read_failure.h"
#include "texture/pixel_image.h"

// Largest picture side and pixel count a PNG may declare: the file's own
// size bounds the rest (see DecodePng).
constexpr uint32_t kMaxPngSide = 16384;

// Decodes PNG bytes (any bit depth and colour type, palette and grey
// included, interlaced or not) into four-byte pixels. Rows come out in
// reverse order, the inverse of EncodePng: the PNG's top row is the last row
// of the picture, so a written map reads back as the same picture. A picture
// whose declared size the data could not hold at the best compression
// deflate reaches is refused before any pixel memory is taken. False with
// the reason (naming `name`) when the bytes are not a sound PNG.
bool DecodePng(const unsigned char* data, size_t size, const std::string& name, PixelImage& out,
               ReadFailure& failure);
