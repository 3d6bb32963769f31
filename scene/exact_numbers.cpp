#include "scene/exact_numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "scene/names.h"

namespace {

constexpr char kMoreDigits[] = "WXYZabcdefghijklmnopqrstuvwxyz*+";
constexpr char kLastDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

// The float's bits as a number that orders like the floats (-0 just below +0).
int64_t Order(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u >> 31 ? -1 - int64_t(u & 0x7FFFFFFFu) : int64_t(u);
}

float OfOrder(int64_t order) {
    const uint32_t u = order >= 0 ? uint32_t(order) : (0x80000000u | uint32_t(-1 - order));
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

void AppendNumber(std::string& out, uint64_t z) {
    while (z >= 32) {
        out += kMoreDigits[z & 31];
        z >>= 5;
    }
    out += kLastDigits[z];
}

void AppendZeroRun(std::string& out, size_t run) {
    if (run >= 3) {
        out += '.';
        AppendNumber(out, run);
        return;
    }
    out.append(run, '0');
}

// Per character its digit's value, plus 32 when more digits follow; -1
// for a character that is no digit.
struct DigitTable {
    int8_t of[256];
    constexpr DigitTable() : of() {
        for (int c = 0; c < 256; ++c) of[c] = -1;
        for (int d = 0; d < 32; ++d) {
            of[uint8_t(kMoreDigits[d])] = int8_t(d + 32);
            of[uint8_t(kLastDigits[d])] = int8_t(d);
        }
    }
};
constexpr DigitTable kDigits;

// One number of the code at p (below end); false when it is damaged or
// larger than any difference of two floats.
bool ReadNumber(const char*& p, const char* end, uint64_t& z) {
    z = 0;
    for (int shift = 0; p < end && shift <= 35; shift += 5) {
        const int digit = kDigits.of[uint8_t(*p++)];
        if (digit < 0) return false;
        z |= uint64_t(digit & 31) << shift;
        if (digit < 32) return true;
    }
    return false;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Walks the code, calling set(i, difference) for each value with one; false
// when the code is damaged, does not hold exactly n values or set refuses
// a difference (returns false).
template <typename Set>
bool WalkCode(const char* code, size_t length, size_t n, Set&& set) {
    const char* p = code;
    const char* end = code + length;
    size_t i = 0;
    while (p < end) {
        // Most differences are one digit; a zero leaves the value as it is.
        if (const int digit = kDigits.of[uint8_t(*p)]; digit >= 0 && digit < 32 && i < n) {
            ++p;
            if (digit && !set(i, digit & 1 ? -(digit >> 1) - 1 : digit >> 1)) return false;
            ++i;
            continue;
        }
        if (IsSpace(*p)) {
            ++p;
            continue;
        }
        uint64_t z = 0;
        if (*p == '.') {
            ++p;
            if (!ReadNumber(p, end, z) || z > n - i) return false;
            i += size_t(z);
            continue;
        }
        if (!ReadNumber(p, end, z) || i >= n) return false;
        const int64_t d = z & 1 ? -int64_t(z >> 1) - 1 : int64_t(z >> 1);
        if (!set(i++, d)) return false;
    }
    return i == n;
}

}  // namespace

float F6ReadsBackAsByText(float v) {
    char text[400];
    char* end = PrintF6(text, double(v));
    float back = 0;
    const char* p = text;
    std::from_chars(p, end, back);
    return back;
}

float F6ReadsBackAs(float v) {
    // Exact: 24 bits of the float times 15625 * 2^6.
    const double scaled = double(v) * 1e6;
    // The text is the value rounded to a millionth, halfway to even (the
    // sum below rounds so while the value stays below 2^51), and reads back
    // as the float nearest that decimal.
    if (!(std::fabs(scaled) < 2251799813685248.0)) {
        // Beyond 2^53 a float is a whole number and its text the value itself.
        return std::isfinite(v) && std::fabs(scaled) >= 9007199254740992.0 ? v : F6ReadsBackAsByText(v);
    }
    const double k = std::copysign((scaled + 6755399441055744.0) - 6755399441055744.0, scaled);
    // k * 1e-6 lies within two double steps of the decimal; a float taken
    // from it is the float nearest the decimal unless the decimal lies that
    // close to the middle between two floats (the low 29 bits of a double
    // near such a middle are near 2^28). Those few go through the text.
    const double printed = k * 1e-6;
    uint64_t bits;
    std::memcpy(&bits, &printed, 8);
    const uint64_t low = bits & 0x1FFFFFFFu;
    if (low > 0x10000000u - 8 && low < 0x10000000u + 8) return F6ReadsBackAsByText(v);
    return float(printed);
}

std::string F6Corrections(const float* values, size_t n) {
    std::string out;
    bool any = false;
    size_t zeros = 0;
    for (size_t i = 0; i < n; ++i) {
        const int64_t d = Order(values[i]) - Order(F6ReadsBackAs(values[i]));
        if (d == 0) {
            ++zeros;
            continue;
        }
        any = true;
        AppendZeroRun(out, zeros);
        zeros = 0;
        AppendNumber(out, d >= 0 ? uint64_t(d) * 2 : uint64_t(-(d + 1)) * 2 + 1);
    }
    if (!any) return std::string();
    AppendZeroRun(out, zeros);
    return out;
}

bool ApplyCorrections(const char* code, size_t length, float* values, size_t n) {
    // Applied as read, in one walk; a damaged code (found out at its end at
    // the latest) then has what it changed put back, so it changes nothing.
    size_t applied = 0;
    if (WalkCode(code, length, n, [&](size_t i, int64_t d) {
            const int64_t order = Order(values[i]) + d;
            if (order < -int64_t(0x80000000u) || order > int64_t(0x7FFFFFFF)) return false;
            values[i] = OfOrder(order);
            return ++applied, true;
        }))
        return true;
    WalkCode(code, length, n, [&](size_t i, int64_t d) {
        if (applied == 0) return false;
        values[i] = OfOrder(Order(values[i]) - d);
        return --applied, true;
    });
    return false;
}
