// The chunk walk shared by the top level, every form and the sub-chunks of
// meshes, markers, glows and collision: 8-byte header (4-byte kind, big-endian
// length), then a FORM type or an NRML name and big-endian version.
#pragma once

#include <cstring>

#include "model/byte_reader.h"

enum class ChunkShape { Bare, Form, Nrml };

struct ChunkHeader {
    ChunkShape shape = ChunkShape::Bare;
    char kind[5] = {0};  // raw 4 bytes plus a terminator
    char name[5] = {0};  // FORM type or NRML name; equals kind for a bare chunk
    uint32_t version = 0;  // NRML only; 0 when it could not be read
    int32_t length = 0;    // payload length from the header
};

inline bool ChunkIs(const ChunkHeader& h, ChunkShape shape, const char* name) {
    return h.shape == shape && std::memcmp(h.name, name, 4) == 0;
}

// Visits every sibling chunk of r in order. visit(header, body) gets a reader
// bounded to the chunk's body (after the form type, or after the NRML name and
// version). The walk stops at a header that cannot be read, at a negative
// length (a length with the top bit set would move the walk backwards), or at
// the end of r. The walker re-seeks after every chunk, so whatever the visitor
// reads cannot misalign the next one; every step advances at least 8 bytes.
// Returns false when the chunks did not fill r exactly: a header cut short, a
// negative length, a version cut short or a chunk running past the end.
template <typename Visit>
bool WalkChunks(ByteReader r, Visit&& visit) {
    bool whole = true;
    while (Remaining(r) > 0) {
        size_t start = Offset(r);
        ChunkHeader h;
        if (!ReadBytes(r, h.kind, 4)) return false;
        uint32_t rawLength = ReadU32BE(r);
        if (r.failed) return false;
        if (rawLength & 0x80000000u) return false;
        h.length = int32_t(rawLength);
        size_t headerExtra = 0;
        if (std::memcmp(h.kind, "FORM", 4) == 0) {
            h.shape = ChunkShape::Form;
            if (!ReadBytes(r, h.name, 4)) return false;
            headerExtra = 4;
        } else if (std::memcmp(h.kind, "NRML", 4) == 0) {
            h.shape = ChunkShape::Nrml;
            if (!ReadBytes(r, h.name, 4)) return false;
            headerExtra = 8;
            h.version = ReadU32BE(r);
            if (r.failed) {  // a version cut off counts as 0; the walk goes on
                h.version = 0;
                whole = false;
                r.failed = false;
                r.pos = r.end;
            }
        } else {
            std::memcpy(h.name, h.kind, 4);
        }
        size_t payload = size_t(h.length);
        size_t bodySize = payload > headerExtra ? payload - headerExtra : 0;
        ByteReader body = r;
        body = SubReader(body, bodySize);
        if (body.failed || payload < headerExtra) whole = false;
        body.failed = false;
        visit(static_cast<const ChunkHeader&>(h), body);
        size_t next = start + 8 + payload;
        if (next > size_t(r.end - r.begin)) return false;
        if (next == size_t(r.end - r.begin)) return whole;
        r.pos = r.begin + next;
    }
    return whole;
}
