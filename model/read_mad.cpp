// The MAD animation file: one "FORM" of type "MAD " holding bare chunks
// ("NAME", "VERS", "INFO", "STRI", "MARK", "CURV").
#include <string>
#include <unordered_map>

#include "model/chunk_walk.h"
#include "model/finite_numbers.h"
#include "model/read_model.h"

namespace {

const char kMadFileName[] = "Drelmarch2 MAD File";

// Names come from the string table by offset, so one long string can be named
// by every record of the file. Cutting names at the longest one the animation
// writer can carry keeps the model's size linear in the file's size.
const size_t kMaxNameLength = 511;

struct MadReading {
    std::unique_ptr<AnimationSet> set;
    Core_Str pendingName;
    uint32_t pendingVersion = 0;
    bool nameSeen = false;
    bool versionSeen = false;
    bool stopped = false;
    Damage damage;
    // Lower-cased name -> its entry in set->names: the first entry of each
    // name wins, as a first-match walk of the list would give, in linear time.
    std::unordered_map<std::string, int32_t> nameIndex;
};

// The zero-terminated string at `offset` in the table; empty when the offset
// lies outside it.
void NameAt(const AnimationSet& set, uint32_t offset, Core_QStr& out) {
    const std::vector<unsigned char>& table = set.stringTable;
    if (offset >= table.size()) {
        out.Set("");
        return;
    }
    size_t left = table.size() - offset;
    out.Set(reinterpret_cast<const char*>(table.data()) + offset, left < kMaxNameLength ? left : kMaxNameLength);
}

int32_t InternName(MadReading& m, const Core_QStr& name) {
    std::string key = name.value;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    auto found = m.nameIndex.find(key);
    if (found != m.nameIndex.end()) return found->second;
    int32_t index = int32_t(m.set->names.size());
    AnimationName entry;
    entry.name = name;
    m.set->names.push_back(std::move(entry));
    m.nameIndex.emplace(std::move(key), index);
    return index;
}

// Clip records: name, four times, tracks. Counts are clipped to what the
// chunk can hold (24 bytes a clip, 8 a track, 4 a curve index).
void ReadClips(MadReading& m, ByteReader r) {
    AnimationSet& set = *m.set;
    size_t clips = ClipCount(r, set.clipCount, 24);
    // Reserve only for the first "MARK": exact growth per chunk would copy the
    // list again for every further chunk.
    if (set.clips.empty()) set.clips.reserve(clips);
    bool whole = set.clipCount >= 0 && clips == size_t(set.clipCount);
    for (size_t i = 0; i < clips; ++i) {
        if (Remaining(r) == 0) {
            whole = false;
            break;
        }
        auto clip = std::make_unique<AnimationClip>();
        NameAt(set, ReadU32LE(r), clip->name);
        clip->nameIndex = InternName(m, clip->name);
        clip->start = ReadF32LE(r);
        clip->end = ReadF32LE(r);
        clip->loopStart = ReadF32LE(r);
        clip->loopEnd = ReadF32LE(r);
        uint32_t trackCount = ReadU32LE(r);
        size_t tracks = ClipCount(r, int64_t(trackCount), 8);
        if (tracks < trackCount) whole = false;
        clip->tracks.reserve(tracks);
        for (size_t t = 0; t < tracks; ++t) {
            if (Remaining(r) == 0) {
                whole = false;
                break;
            }
            auto track = std::make_unique<ClipTrack>();
            NameAt(set, ReadU32LE(r), track->name);
            track->nameIndex = InternName(m, track->name);
            uint32_t linkCount = ReadU32LE(r);
            size_t links = ClipCount(r, int64_t(linkCount), 4);
            track->curveIndices.resize(links);
            for (int32_t& c : track->curveIndices) c = ReadI32LE(r);
            track->links.resize(links);
            if (links < linkCount) r.failed = true;
            clip->tracks.push_back(std::move(track));
        }
        set.clips.push_back(std::move(clip));
    }
    if (!whole || r.failed) NoteDamage(m.damage, "the clip list (MARK)");
}

// Curve records: name, key count and flags, 32-byte keys, two trailer words,
// then one interpolation word per key when bit 0 of the flags is set.
void ReadCurves(MadReading& m, ByteReader r) {
    AnimationSet& set = *m.set;
    size_t curves = ClipCount(r, set.curveCount, 16);
    if (set.curves.empty()) set.curves.reserve(curves);
    bool whole = set.curveCount >= 0 && curves == size_t(set.curveCount);
    for (size_t i = 0; i < curves; ++i) {
        if (Remaining(r) == 0) {
            whole = false;
            break;
        }
        auto curve = std::make_unique<AnimationCurve>();
        curve->index = int32_t(set.curves.size());
        NameAt(set, ReadU32LE(r), curve->name);
        curve->nameIndex = InternName(m, curve->name);
        uint16_t keyCount = ReadU16LE(r);
        curve->flags = ReadU16LE(r);
        size_t keys = ClipCount(r, keyCount, 32);
        curve->keys.resize(keys);
        for (CurveKey& key : curve->keys) {
            key.time = ReadF64LE(r);
            key.value = ReadF64LE(r);
            key.inTangentX = ReadF32LE(r);
            key.inTangentY = ReadF32LE(r);
            key.outTangentX = ReadF32LE(r);
            key.outTangentY = ReadF32LE(r);
        }
        if (keys < keyCount) r.failed = true;
        curve->trailer1 = ReadU32LE(r);
        curve->trailer2 = ReadU32LE(r);
        if (curve->flags & kCurveTangents)
            for (CurveKey& key : curve->keys) key.interpolation = ReadU16LE(r);
        set.curves.push_back(std::move(curve));
    }
    if (!whole || r.failed) NoteDamage(m.damage, "the curve list (CURV)");
}


void ReadMadChunk(MadReading& m, const ChunkHeader& h, ByteReader body) {
    if (m.stopped || h.shape != ChunkShape::Bare) return;
    if (ChunkIs(h, ChunkShape::Bare, "NAME")) {
        m.pendingName.Set(reinterpret_cast<const char*>(body.pos), Remaining(body));
        m.nameSeen = true;
    } else if (ChunkIs(h, ChunkShape::Bare, "VERS")) {
        m.pendingVersion = ReadU32LE(body);
        m.versionSeen = true;
    } else if (!m.set) {
        // Data chunks before the set exists have nowhere to go.
        return;
    } else if (ChunkIs(h, ChunkShape::Bare, "INFO")) {
        m.set->infoWord0 = ReadU32LE(body);
        m.set->clipCount = ReadI32LE(body);
        m.set->curveCount = ReadI32LE(body);
        m.set->infoWord3 = ReadU32LE(body);
        m.set->infoWord4 = ReadU32LE(body);
        if (body.failed) NoteDamage(m.damage, "the INFO chunk");
    } else if (ChunkIs(h, ChunkShape::Bare, "STRI")) {
        m.set->stringTable.assign(body.pos, body.pos + Remaining(body));
        m.set->stringTable.push_back(0);
    } else if (ChunkIs(h, ChunkShape::Bare, "MARK")) {
        ReadClips(m, body);
    } else if (ChunkIs(h, ChunkShape::Bare, "CURV")) {
        ReadCurves(m, body);
    }

    if (m.nameSeen && m.versionSeen) {
        m.nameSeen = m.versionSeen = false;
        if (!EqualNoCase(m.pendingName.value, kMadFileName)) {
            m.stopped = true;
            return;
        }
        // A second accepted NAME/VERS pair keeps the set already read rather
        // than dropping its clips and curves.
        if (m.set) return;
        m.set = std::make_unique<AnimationSet>();
        m.set->formatName = m.pendingName;
        m.set->version = m.pendingVersion;
        m.set->path.Set("");
    }
}

}  // namespace

void LinkClips(AnimationSet& set) {
    for (const auto& clip : set.clips) {
        for (const auto& track : clip->tracks) {
            track->links.assign(track->curveIndices.size(), CurveLink());
            for (size_t i = 0; i < track->curveIndices.size(); ++i) {
                int32_t c = track->curveIndices[i];
                CurveLink& link = track->links[i];
                if (c >= 0 && size_t(c) < set.curves.size()) {
                    link.curveName = set.curves[size_t(c)]->name;
                    link.connected = 1;
                } else {
                    link.curveName.Set("DISCONNECTED");
                    link.connected = 0;
                }
            }
        }
    }
}

std::unique_ptr<AnimationSet> ReadMad(const unsigned char* data, size_t size) {
    if (!data || size < 12) return nullptr;
    ByteReader r = MakeByteReader(data, size);
    char kind[4], type[4];
    ReadBytes(r, kind, 4);
    uint32_t length = ReadU32BE(r);
    ReadBytes(r, type, 4);
    if (std::memcmp(kind, "FORM", 4) != 0 || std::memcmp(type, "MAD ", 4) != 0) return nullptr;

    MadReading m;
    // A length with the top bit set or below the form type holds no chunks; a
    // length past the end of the file reads what the file has.
    if (length >= 4 && !(length & 0x80000000u)) {
        ByteReader content = SubReader(r, length - 4);
        const bool cut = r.failed;  // the form claims more than the file holds
        content.failed = false;
        const bool whole =
            WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) { ReadMadChunk(m, h, body); });
        if (!whole && !m.stopped) NoteDamage(m.damage, "the chunks of the MAD form");
        if (cut) NoteDamage(m.damage, "the MAD form (the file ends inside it)");
    } else {
        NoteDamage(m.damage, "the length of the MAD form");
    }
    if (!m.set) return nullptr;
    m.set->damage = m.damage;
    ZeroNonFiniteNumbers(*m.set);
    // The counts name what the lists hold, so no user indexes past them.
    m.set->clipCount = int32_t(m.set->clips.size());
    m.set->curveCount = int32_t(m.set->curves.size());
    LinkClips(*m.set);
    return std::move(m.set);
}
