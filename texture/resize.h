// Pictures brought to the sizes the game's textures take: sides of a power
// of two, up to the largest the model reader decodes.
#pragma once

#include <cstdint>

#include "texture/pixel_image.h"

// The longest side a texture is given. The model reader decodes a level of
// at most 2^31 - 1 bytes of pixels (texture/decode_pixels.cpp), so with
// power-of-two sides 16384 x 16384 (1 GiB of four-byte pixels) is the
// largest square it reads back, and the PNG reader takes no longer side
// (import/png_read.h). A DXT5 image of that size with its mip chain is
// about 341 MiB of the model file.
constexpr int32_t kMaxTextureSide = 16384;

// The power of two nearest to size (the larger one when size lies halfway),
// at least 1 and at most kMaxTextureSide.
int32_t NearestPowerOfTwo(int32_t size);

// picture scaled to width x height (both at least 1) with a box filter:
// each new pixel is the mean, per channel, of the part of the picture it
// covers, each old pixel weighted by how much of it lies inside, rounded to
// the nearest byte (halves up). Rows keep their order. Halving gives the
// means of 2 x 2 pixels as HalvePicture does, doubling repeats every pixel,
// the same size gives the picture itself.
PixelImage ResizePicture(const PixelImage& picture, int32_t width, int32_t height);
