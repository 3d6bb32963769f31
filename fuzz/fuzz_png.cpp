// libFuzzer target: any bytes as a PNG file. The decoder must stay in bounds,
// take no more memory than the file could hold, and give whole pictures.
#include "import/png_read.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    PixelImage picture;
    ReadFailure failure;
    if (!DecodePng(data, size, "fuzz.png", picture, failure)) {
        if (failure.reason.empty() || !picture.pixels.empty()) __builtin_trap();
        return 0;
    }
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 4)
        __builtin_trap();
    return 0;
}
