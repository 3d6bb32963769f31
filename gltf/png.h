#pragma once

#include <vector>

#include "texture/pixel_image.h"

// The picture as PNG bytes (8 bits per channel; RGBA when withAlpha, else
// RGB), rows in reverse order: the last decoded row is the top of the PNG, so
// the picture shows as its TGA file does. False when libpng fails.
[[nodiscard]] bool EncodePng(const PixelImage& picture, bool withAlpha, std::vector<unsigned char>& out);
