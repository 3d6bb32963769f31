// The de-duplicated value list of the scene's vertex streams: one home for
// the rule that numbers values in order of first use.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

// De-duplicated value list with a hash index: a value's number is the order of
// its first occurrence, exactly as a linear search from the start would give,
// but in constant time per lookup. Floats compare as floats: +0 equals -0, and
// a NaN equals nothing, so a value holding a NaN always becomes a new entry.
// The slots hold the values themselves, so a lookup touches one place in
// memory (a large mesh's lists are far bigger than the processor's caches).
template <int N>
struct ValueList {
    std::vector<float>& values;  // N floats per entry, in numbering order
    std::vector<int32_t> slots;  // entry numbers, open addressing with linear probing; -1 empty
    size_t count = 0;            // entries in values
    size_t indexed = 0;          // entries in slots (those without a NaN)
    bool deduplicate = true;     // false: every value is a new entry

    explicit ValueList(std::vector<float>& target, bool dedupe) : values(target), deduplicate(dedupe) {}

    static uint32_t KeyBits(float f) {
        if (f == 0.0f) return 0;  // +0 and -0 hash alike, as they compare equal
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u;
    }

    static size_t Hash(const float* v) {
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < N; ++i) {
            h ^= KeyBits(v[i]);
            h *= 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        return size_t(h ^ (h >> 32));
    }

    bool Equal(int32_t number, const float* b) const {
        const float* a = &values[size_t(number) * N];
        for (int i = 0; i < N; ++i)
            if (!(a[i] == b[i])) return false;
        return true;
    }

    // Doubles the slots (load stays at most one half); amortised linear.
    void Grow() {
        std::vector<int32_t> old;
        old.swap(slots);
        slots.assign(old.empty() ? 4096 : old.size() * 2, -1);
        const size_t mask = slots.size() - 1;
        for (int32_t number : old) {
            if (number < 0) continue;
            size_t s = Hash(&values[size_t(number) * N]) & mask;
            while (slots[s] >= 0) s = (s + 1) & mask;
            slots[s] = number;
        }
    }

    int32_t Append(const float* v) {
        values.insert(values.end(), v, v + N);
        return int32_t(count++);
    }

    void Prefetch(const float* v) const {
        if (!slots.empty()) __builtin_prefetch(&slots[Hash(v) & (slots.size() - 1)]);
    }

    // The components in which v, found as entry `number`, holds a zero of
    // the other sign (bit i: component i): what the entry does not keep.
    uint32_t ZeroSigns(int32_t number, const float* v) const {
        const float* a = &values[size_t(number) * N];
        uint32_t bits = 0;
        for (int i = 0; i < N; ++i)
            if (std::signbit(a[i]) != std::signbit(v[i])) bits |= 1u << i;
        return bits;
    }

    int32_t Find(const float* v) {
        if (!deduplicate) return Append(v);
        for (int i = 0; i < N; ++i)
            if (std::isnan(v[i])) return Append(v);
        if ((indexed + 1) * 2 > slots.size()) Grow();
        const size_t mask = slots.size() - 1;
        size_t s = Hash(v) & mask;
        while (slots[s] >= 0) {
            if (Equal(slots[s], v)) return slots[s];
            s = (s + 1) & mask;
        }
        const int32_t number = Append(v);
        slots[s] = number;
        ++indexed;
        return number;
    }
};

// Adds the zeros of the other sign (ValueList::ZeroSigns) of table entry
// `at` to a triangle list's zeroSigns (scene/scene.h): entry x 4 + component.
inline void AddZeroSigns(std::vector<uint64_t>& zeroSigns, size_t at, uint32_t bits) {
    for (uint32_t i = 0; bits; ++i, bits >>= 1)
        if (bits & 1) zeroSigns.push_back(uint64_t(at) * 4 + i);
}

// A list's zeros of the other sign (SceneTriangles::zeroSigns), read along
// ascending table entries.
class ZeroSignCursor {
public:
    explicit ZeroSignCursor(const std::vector<uint64_t>& signs) : signs_(signs) {}
    // The components of entry `at` held with the other sign (bit i: component i).
    uint32_t At(size_t at) {
        while (next_ < signs_.size() && signs_[next_] / 4 < at) ++next_;
        uint32_t bits = 0;
        for (; next_ < signs_.size() && signs_[next_] / 4 == at; ++next_) bits |= 1u << (signs_[next_] % 4);
        return bits;
    }

private:
    const std::vector<uint64_t>& signs_;
    size_t next_ = 0;
};
