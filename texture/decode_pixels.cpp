#include "texture/decode_pixels.h"

#include <squish.h>

#include <algorithm>
#include <cinttypes>
#include <climits>

#include "core/output.h"
#include "core/str.h"
#include "texture/tga_writer.h"

namespace {

bool IsRaw(const char* format) { return EqualNoCase(format ? format : "", "8888"); }

// Width and height are at most 2^31 - 1, so every product below stays under
// 2^64 in 64-bit unsigned arithmetic.
uint64_t PictureBytes(int32_t width, int32_t height) { return uint64_t(width) * uint64_t(height) * 4; }

int BlockBytes(int flag) { return flag == squish::kDxt1 ? 8 : 16; }

std::unique_ptr<PixelImage> MakePicture(int32_t width, int32_t height) {
    auto image = std::make_unique<PixelImage>();
    image->width = width;
    image->height = height;
    image->pixels.assign(size_t(PictureBytes(width, height)), 0);
    return image;
}

// Decodes the stored prefix of a block image. squish reads as many blocks as
// the size implies and takes no input length, so it is only ever handed whole
// rows of blocks that are there, then the stored part of the next row.
void DecodeBlocks(PixelImage& image, const unsigned char* data, size_t size, int flag) {
    const int width = image.width;
    const int height = image.height;
    const int pitch = width * 4;  // below 2^31: the picture is at most 2 GiB
    const uint64_t blockBytes = uint64_t(BlockBytes(flag));
    const uint64_t blocksPerRow = (uint64_t(width) + 3) / 4;
    const uint64_t blockRows = (uint64_t(height) + 3) / 4;
    const uint64_t stored = std::min<uint64_t>(size / blockBytes, blocksPerRow * blockRows);
    if (stored == blocksPerRow * blockRows) {
        squish::DecompressImage(image.pixels.data(), width, height, pitch, data, flag);
        return;
    }
    const uint64_t wholeRows = stored / blocksPerRow;
    if (wholeRows > 0)
        squish::DecompressImage(image.pixels.data(), width, int(wholeRows * 4), pitch, data, flag);
    const uint64_t rest = stored - wholeRows * blocksPerRow;  // fewer than one row: rest * 4 < width
    if (rest > 0) {
        const uint64_t top = wholeRows * 4;
        const int rows = int(std::min<uint64_t>(4, uint64_t(height) - top));
        squish::DecompressImage(image.pixels.data() + top * uint64_t(pitch), int(rest * 4), rows, pitch,
                                data + wholeRows * blocksPerRow * blockBytes, flag);
    }
}

}  // namespace

int FormatFlag(const char* format) {
    if (!format) return 0;
    if (EqualNoCase(format, "DXT1")) return squish::kDxt1;
    if (EqualNoCase(format, "DXT3")) return squish::kDxt3;
    if (EqualNoCase(format, "DXT5")) return squish::kDxt5;
    return 0;
}

uint64_t RequiredLevelBytes(int32_t width, int32_t height, const char* format) {
    if (width <= 0 || height <= 0) return 0;
    if (IsRaw(format)) return PictureBytes(width, height);
    const int flag = FormatFlag(format);
    if (flag == 0) return 0;
    const uint64_t across = std::max<uint64_t>(uint64_t(width) / 4, 1);
    const uint64_t down = std::max<uint64_t>(uint64_t(height) / 4, 1);
    return across * down * uint64_t(BlockBytes(flag));
}

DecodeStatus DecodeLevel(const MipLevel& level, const char* format, std::unique_ptr<PixelImage>& out) {
    out.reset();
    const int flag = FormatFlag(format);
    if (flag == 0 && !IsRaw(format)) return DecodeStatus::kUnknownFormat;
    if (level.width <= 0 || level.height <= 0) return DecodeStatus::kNoPixels;
    // Checked before anything is allocated: a level declaring a huge size with
    // a few stored bytes is refused here, and an accepted one describes at
    // least a quarter of its picture, so the allocation is bounded by the
    // bytes that are really there.
    if (level.data.size() < RequiredLevelBytes(level.width, level.height, format)) return DecodeStatus::kTooFewBytes;
    if (PictureBytes(level.width, level.height) > uint64_t(INT_MAX)) return DecodeStatus::kTooLarge;

    auto image = MakePicture(level.width, level.height);
    if (flag == 0)
        std::copy(level.data.begin(), level.data.begin() + ptrdiff_t(image->pixels.size()), image->pixels.begin());
    else
        DecodeBlocks(*image, level.data.data(), level.data.size(), flag);
    out = std::move(image);
    return DecodeStatus::kOk;
}

DecodeStatus DecodeAndWriteTga(const std::string& path, const MipLevel& level, const char* format) {
    if (IsRaw(format)) {
        if (level.width <= 0 || level.height <= 0) return DecodeStatus::kNoPixels;
        if (level.data.size() < RequiredLevelBytes(level.width, level.height, format)) return DecodeStatus::kTooFewBytes;
        return WriteTga(path, level.width, level.height, level.data.data(), level.data.size())
                   ? DecodeStatus::kOk
                   : DecodeStatus::kWriteFailed;
    }
    std::unique_ptr<PixelImage> image;
    const DecodeStatus status = DecodeLevel(level, format, image);
    if (status != DecodeStatus::kOk) return status;
    return WriteTga(path, image->width, -image->height, image->pixels.data(), image->pixels.size())
               ? DecodeStatus::kOk
               : DecodeStatus::kWriteFailed;
}

void ReportDecodeStatus(DecodeStatus status, const TextureImage& image, const std::string& path) {
    static const MipLevel kNone;
    const MipLevel& level = image.levels.empty() ? kNone : image.levels[0];
    switch (status) {
        case DecodeStatus::kOk:
            break;
        case DecodeStatus::kWriteFailed:
            ReportFailedWrite("texture", path);
            break;
        case DecodeStatus::kUnknownFormat:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] has unknown format [%s] - not decoded\n",
                       image.name.CStr(), image.format.CStr());
            break;
        case DecodeStatus::kNoPixels:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] has no pixels (%d x %d) - not decoded\n",
                       image.name.CStr(), level.width, level.height);
            break;
        case DecodeStatus::kTooFewBytes:
            OutProblem(Problem::kDamage,
                       "ALERT: Texture [%s] of %d x %d pixels holds %zu of the %" PRIu64 " bytes it needs - not decoded\n",
                       image.name.CStr(), level.width, level.height, level.data.size(),
                       RequiredLevelBytes(level.width, level.height, image.format.CStr()));
            break;
        case DecodeStatus::kTooLarge:
            OutProblem(Problem::kDamage, "ALERT: Texture [%s] of %d x %d pixels is too large - not decoded\n",
                       image.name.CStr(), level.width, level.height);
            break;
    }
}

