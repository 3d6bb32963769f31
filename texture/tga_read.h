// Reading back the TGA files the writer (texture/tga_writer.h) makes, and
// those other programs write: true-colour and grey pictures, plain or
// run-length packed, 8, 24 or 32 bits a pixel.
#pragma once

#include <string>
#include <vector>

#include "texture/pixel_image.h"

// The picture of a TGA file's bytes, rows in the file's order (red, green,
// blue, alpha per pixel; alpha 255 where the file has none). topDown is the
// file's top-left origin flag. False with the reason when the bytes are not a
// TGA picture this reads or end before the picture does.
bool ReadTgaBytes(const std::vector<unsigned char>& bytes, PixelImage& picture, bool& topDown, std::string& reason);
