#include "gltf/png.h"

#include <png.h>

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

}  // namespace

bool EncodePng(const PixelImage& picture, bool withAlpha, std::vector<unsigned char>& out) {
    out.clear();
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < size_t(picture.width) * size_t(picture.height) * 4)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    const size_t width = size_t(picture.width);
    std::vector<unsigned char> row(width * 4);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        out.clear();
        return false;
    }
    png_set_write_fn(png, &out, Append, NoFlush);
    // Fast compression: the maps are written once and read once.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = picture.height; y-- > 0;) {
        const unsigned char* src = picture.pixels.data() + size_t(y) * width * 4;
        if (withAlpha) {
            png_write_row(png, const_cast<png_bytep>(src));
            continue;
        }
        for (size_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) row[x * 3 + size_t(c)] = src[x * 4 + size_t(c)];
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
