// MAD files from an AnimationSet, written exactly in the file layout: the
// string table holds each distinct name once and records name it by offset.
#include <map>
#include <string>
#include <utility>

#include "model/write_model.h"

namespace {

struct StringTable {
    ByteWriter bytes;
    std::map<std::string, uint32_t> offsets;
};

uint32_t AddName(StringTable& table, const std::string& name) {
    auto found = table.offsets.find(name);
    if (found != table.offsets.end()) return found->second;
    uint32_t offset = uint32_t(table.bytes.bytes.size());
    PutBytes(table.bytes, name.data(), name.size());
    PutU8(table.bytes, 0);
    table.offsets.emplace(name, offset);
    return offset;
}

}  // namespace

std::vector<unsigned char> BuildMad(const AnimationSet& set) {
    StringTable table;
    for (const auto& clip : set.clips) {
        AddName(table, clip->name.value);
        for (const auto& track : clip->tracks) AddName(table, track->name.value);
    }
    for (const auto& curve : set.curves) AddName(table, curve->name.value);

    ByteWriter w;
    size_t form = BeginForm(w, "MAD ");
    size_t at = BeginBare(w, "NAME");
    PutText(w, set.formatName.Empty() ? "Drelmarch2 MAD File" : set.formatName.CStr());
    EndChunk(w, at);
    at = BeginBare(w, "VERS");
    PutU32(w, set.version);
    EndChunk(w, at);
    at = BeginBare(w, "INFO");
    PutU32(w, set.infoWord0);
    PutU32(w, uint32_t(set.clips.size()));
    PutU32(w, uint32_t(set.curves.size()));
    PutU32(w, set.infoWord3);
    PutU32(w, set.infoWord4);
    EndChunk(w, at);
    at = BeginBare(w, "STRI");
    PutBytes(w, table.bytes.bytes.data(), table.bytes.bytes.size());
    EndChunk(w, at);

    at = BeginBare(w, "MARK");
    for (const auto& clip : set.clips) {
        PutU32(w, AddName(table, clip->name.value));
        PutF32(w, clip->start);
        PutF32(w, clip->end);
        PutF32(w, clip->loopStart);
        PutF32(w, clip->loopEnd);
        PutU32(w, uint32_t(clip->tracks.size()));
        for (const auto& track : clip->tracks) {
            PutU32(w, AddName(table, track->name.value));
            PutU32(w, uint32_t(track->curveIndices.size()));
            for (int32_t c : track->curveIndices) PutI32(w, c);
        }
    }
    EndChunk(w, at);

    at = BeginBare(w, "CURV");
    for (const auto& curve : set.curves) {
        PutU32(w, AddName(table, curve->name.value));
        PutU16(w, uint16_t(curve->keys.size()));
        PutU16(w, curve->flags);
        for (const CurveKey& key : curve->keys) {
            PutF64(w, key.time);
            PutF64(w, key.value);
            PutF32(w, key.inTangentX);
            PutF32(w, key.inTangentY);
            PutF32(w, key.outTangentX);
            PutF32(w, key.outTangentY);
        }
        PutU32(w, curve->trailer1);
        PutU32(w, curve->trailer2);
        if (curve->flags & kCurveTangents)
            for (const CurveKey& key : curve->keys) PutU16(w, uint16_t(key.interpolation));
    }
    EndChunk(w, at);
    EndChunk(w, form);
    return std::move(w.bytes);
}
