#include "texture/resize.h"

#include <algorithm>
#include <vector>

namespace {

// One new pixel along one axis: the old pixels it covers from `first` on,
// each with its overlap. Positions are counted in units of 1 / (old * new):
// old pixel i spans [i * new, (i + 1) * new), new pixel j spans
// [j * old, (j + 1) * old), so every overlap is a whole number and the
// overlaps of one new pixel add up to `old`.
struct Span {
    int32_t first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Span> Spans(int32_t from, int32_t to) {
    std::vector<Span> spans(static_cast<size_t>(to));
    for (int32_t j = 0; j < to; ++j) {
        const int64_t start = int64_t(j) * from, end = start + from;
        Span& span = spans[size_t(j)];
        span.first = int32_t(start / to);
        for (int64_t i = span.first; i < from && i * to < end; ++i)
            span.weights.push_back(uint32_t(std::min(end, (i + 1) * to) - std::max(start, i * to)));
    }
    return spans;
}

}  // namespace

int32_t NearestPowerOfTwo(int32_t size) {
    int32_t power = 1;
    while (power < kMaxTextureSide && power * 2 <= size) power *= 2;
    // size lies in [power, 2 * power): the upper one when it is no nearer
    // to power.
    if (power < kMaxTextureSide && int64_t(size) - power >= int64_t(power) * 2 - size) power *= 2;
    return power;
}

PixelImage ResizePicture(const PixelImage& picture, int32_t width, int32_t height) {
    if (picture.width == width && picture.height == height) return picture;
    PixelImage out;
    out.width = width;
    out.height = height;
    out.pixels.assign(size_t(width) * size_t(height) * 4, 0);
    if (picture.width <= 0 || picture.height <= 0) return out;
    const std::vector<Span> across = Spans(picture.width, width), down = Spans(picture.height, height);
    // Per new row: the rows it covers summed across (each at most
    // 255 * old width), weighted down; the total is at most
    // 255 * old width * old height, far within 64 bits.
    const uint64_t whole = uint64_t(picture.width) * uint64_t(picture.height);
    std::vector<uint32_t> row(size_t(width) * 4);
    std::vector<uint64_t> sum(size_t(width) * 4);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        const Span& rows = down[size_t(y)];
        for (size_t r = 0; r < rows.weights.size(); ++r) {
            const unsigned char* source =
                picture.pixels.data() + size_t(rows.first + int32_t(r)) * size_t(picture.width) * 4;
            std::fill(row.begin(), row.end(), 0);
            for (int32_t x = 0; x < width; ++x) {
                const Span& columns = across[size_t(x)];
                for (size_t c = 0; c < columns.weights.size(); ++c)
                    for (int k = 0; k < 4; ++k)
                        row[size_t(x) * 4 + size_t(k)] +=
                            columns.weights[c] * source[size_t(columns.first + int32_t(c)) * 4 + size_t(k)];
            }
            for (size_t i = 0; i < row.size(); ++i) sum[i] += uint64_t(rows.weights[r]) * row[i];
        }
        unsigned char* target = out.pixels.data() + size_t(y) * size_t(width) * 4;
        for (size_t i = 0; i < sum.size(); ++i) target[i] = uint8_t((sum[i] + whole / 2) / whole);
    }
    return out;
}
