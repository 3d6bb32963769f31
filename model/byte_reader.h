// The one way model readers touch file bytes: a cursor that knows its end.
// A read past the end sets a sticky `failed` flag and yields zero, so a reader
// can finish its object with whatever it managed to read and never runs over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/str.h"

struct ByteReader {
    const unsigned char* begin = nullptr;  // start of the whole block (for offsets)
    const unsigned char* pos = nullptr;
    const unsigned char* end = nullptr;
    bool failed = false;
};

inline ByteReader MakeByteReader(const unsigned char* data, size_t size) {
    ByteReader r;
    r.begin = r.pos = data;
    r.end = data ? data + size : data;
    return r;
}

inline size_t Remaining(const ByteReader& r) { return r.failed ? 0 : size_t(r.end - r.pos); }
inline size_t Offset(const ByteReader& r) { return size_t(r.pos - r.begin); }

inline bool Skip(ByteReader& r, size_t n) {
    if (n > Remaining(r)) {
        r.failed = true;
        r.pos = r.end;
        return false;
    }
    r.pos += n;
    return true;
}

// Moves to an absolute offset within the block; past the end fails.
inline bool SeekTo(ByteReader& r, size_t offset) {
    if (offset > size_t(r.end - r.begin)) {
        r.failed = true;
        r.pos = r.end;
        return false;
    }
    r.pos = r.begin + offset;
    return true;
}

inline bool ReadBytes(ByteReader& r, void* out, size_t n) {
    const unsigned char* p = r.pos;
    if (!Skip(r, n)) {
        std::memset(out, 0, n);
        return false;
    }
    if (n) std::memcpy(out, p, n);
    return true;
}

inline uint8_t ReadU8(ByteReader& r) {
    uint8_t v = 0;
    ReadBytes(r, &v, 1);
    return v;
}

inline uint16_t ReadU16LE(ByteReader& r) {
    unsigned char b[2];
    ReadBytes(r, b, 2);
    return uint16_t(b[0] | (b[1] << 8));
}

inline int16_t ReadI16LE(ByteReader& r) { return int16_t(ReadU16LE(r)); }

inline uint32_t ReadU32LE(ByteReader& r) {
    unsigned char b[4];
    ReadBytes(r, b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline int32_t ReadI32LE(ByteReader& r) { return int32_t(ReadU32LE(r)); }

// Chunk lengths and NRML versions are the only big-endian values.
inline uint32_t ReadU32BE(ByteReader& r) {
    unsigned char b[4];
    ReadBytes(r, b, 4);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

inline float ReadF32LE(ByteReader& r) {
    uint32_t u = ReadU32LE(r);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

inline double ReadF64LE(ByteReader& r) {
    uint64_t lo = ReadU32LE(r);
    uint64_t hi = ReadU32LE(r);
    uint64_t u = lo | hi << 32;
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

// The child sees at most n bytes (fewer when the parent has fewer left); the
// parent moves past them whatever the child does.
inline ByteReader SubReader(ByteReader& r, size_t n) {
    ByteReader child;
    size_t avail = Remaining(r);
    size_t take = n < avail ? n : avail;
    child.begin = child.pos = r.pos;
    child.end = r.pos + take;
    r.pos += take;
    if (take < n) r.failed = true;
    return child;
}

// Counted string: u32 little-endian byte count, then that many bytes. A count
// past the end takes what is there and fails the reader; the text stops at
// the first zero byte, as a C string would.
template <typename S>
inline bool ReadCountedString(ByteReader& r, S& out) {
    uint32_t n = ReadU32LE(r);
    if (r.failed) return false;
    size_t avail = Remaining(r);
    size_t take = n < avail ? n : avail;
    out.Set(reinterpret_cast<const char*>(r.pos), take);
    r.pos += take;
    if (take < n) r.failed = true;
    return !r.failed;
}

// A name: a counted string that is "" when it cannot be read, so every name
// gets the real hash of its text and empty names match each other everywhere.
inline void ReadName(ByteReader& r, Core_QStr& out) {
    out.Set("");
    ReadCountedString(r, out);
}

// How many whole elements of elementSize bytes the rest of the reader can
// hold, clipped to count (negative counts give 0). Use before allocating.
inline size_t ClipCount(const ByteReader& r, int64_t count, size_t elementSize) {
    if (count <= 0) return 0;
    size_t fits = elementSize ? Remaining(r) / elementSize : size_t(count);
    return uint64_t(count) < fits ? size_t(count) : fits;
}
