#include "import/png_read.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace {

// What the libpng callbacks share: the bytes and the read position, and the
// words of the error that ended the run.
struct PngSource {
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    char error[200] = {};
};

void ReadBytes(png_structp png, png_bytep target, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) png_error(png, "the file is cut short");
    std::memcpy(target, source->data + source->at, length);
    source->at += length;
}

void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->error, sizeof source->error, "%s", message ? message : "libpng failed");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Deflate stores at most about 1032 bytes of output per byte of input; a
// picture needing more than this many raw bytes per file byte cannot be in
// the file.
constexpr uint64_t kMaxInflateRatio = 1100;

// The libpng part: nothing with a destructor is created between setjmp and
// the end, so a longjmp out of libpng leaves nothing behind. `rows` and
// `out` are made by the caller.
bool Decode(png_structp png, png_infop info, PngSource& source, PixelImage& out, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &source, ReadBytes);
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_set_chunk_malloc_max(png, source.size + 1024);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    const uint64_t channels = png_get_channels(png, info);
    const uint64_t rawBytes = uint64_t(height) * (1 + (uint64_t(width) * channels * uint64_t(depth) + 7) / 8);
    if (rawBytes > uint64_t(source.size) * kMaxInflateRatio) {
        std::snprintf(source.error, sizeof source.error,
                      "the picture of %u x %u pixels cannot be held in a file of %zu bytes", unsigned(width),
                      unsigned(height), source.size);
        return false;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4) png_error(png, "unexpected row layout");
    out.width = int32_t(width);
    out.height = int32_t(height);
    out.pixels.assign(size_t(width) * size_t(height) * 4, 0);
    rows.resize(height);
    // The PNG's top row goes last, as EncodePng wrote it.
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = out.pixels.data() + size_t(height - 1 - y) * size_t(width) * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool DecodePng(const unsigned char* data, size_t size, const std::string& name, PixelImage& out,
               ReadFailure& failure) {
    out = PixelImage();
    if (size < 8 || png_sig_cmp(const_cast<png_bytep>(data), 0, 8) != 0)
        return failure.Set(name, "not a PNG file");
    PngSource source;
    source.data = data;
    source.size = size;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
        return failure.Set(name, "out of memory for the PNG reader");
    }
    std::vector<png_bytep> rows;
    const bool ok = Decode(png, info, source, out, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (ok) return true;
    out = PixelImage();
    return failure.Set(name, std::string("not a sound PNG file: ") + source.error);
}
