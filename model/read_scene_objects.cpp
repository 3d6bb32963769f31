// Markers ("MRKR" forms), dock paths ("DOCK") and navigation lights ("NAVL").
//
// Dock paths (each with its segments) and lights are list chunks, read by
// ReadRecordList. A marker's "HEAD" is one record too: a cut-short "HEAD"
// leaves the marker as it was.
#include "model/chunk_walk.h"
#include "model/object_readers.h"

namespace {

const size_t kMinDockPath = 4 + 4 + 4 + 4 + 4;  // two names, H, S, segment count
const size_t kMinNavLight = 4 + 4 + 3 * 4 + 4 + 4 * 4 + 4 + 1 + 1;
const int32_t kPathFields = 6;
const int32_t kSegmentFields = 10;

// Fields past the ones this reader knows are 4 bytes each; skipping them
// keeps the values that follow in place.
void SkipExtraFields(ByteReader& r, int32_t declared, int32_t known) {
    if (declared > known) Skip(r, size_t(declared - known) * 4);
}

// False when the record was cut short (the marker keeps its values).
bool ReadHead(ByteReader body, Marker& marker) {
    Marker head;
    ReadCountedString(body, head.name);
    ReadCountedString(body, head.parentName);
    head.headValues[0] = ReadF32LE(body);
    head.headValues[1] = ReadF32LE(body);
    for (double& v : head.position) v = ReadF64LE(body);
    for (double& v : head.rotation) v = ReadF64LE(body);
    if (body.failed) return false;
    marker.name = std::move(head.name);
    marker.parentName = std::move(head.parentName);
    marker.headValues[0] = head.headValues[0];
    marker.headValues[1] = head.headValues[1];
    for (int i = 0; i < 3; ++i) {
        marker.position[i] = head.position[i];
        marker.rotation[i] = head.rotation[i];
    }
    return true;
}

void ReadSegment(ByteReader& r, int32_t fieldCount, DockSegment& s) {
    for (float& v : s.position) v = ReadF32LE(r);
    for (float& v : s.rotation) v = ReadF32LE(r);
    // The optional fields in file order; only the first fieldCount are stored.
    if (fieldCount > 0) s.useRot = ReadU32LE(r);
    if (fieldCount > 1) s.tolerance = ReadF32LE(r);
    if (fieldCount > 2) s.unfocus = ReadU32LE(r);
    if (fieldCount > 3) s.speed = ReadF32LE(r);
    uint32_t* flags[6] = {&s.check, &s.close, &s.player, &s.queue, &s.clip, &s.clearRes};
    for (int32_t k = 0; k < 6; ++k)
        if (fieldCount > 4 + k) *flags[k] = ReadU32LE(r);
    SkipExtraFields(r, fieldCount, kSegmentFields);
}

// One path record; false when the chunk ends inside it (the path is then
// dropped).
bool ReadDockPath(ByteReader& r, DockPath& path) {
    ReadCountedString(r, path.name);
    ReadCountedString(r, path.parentName);
    const int32_t pathFields = ReadI32LE(r);
    const int32_t segmentFields = ReadI32LE(r);
    if (pathFields > 0) path.exit = ReadU32LE(r);
    if (pathFields > 1) path.latch = ReadU32LE(r);
    if (pathFields > 2) path.tolerance = ReadF32LE(r);
    if (pathFields > 3) ReadCountedString(r, path.family);
    if (pathFields > 4) path.animFlags = ReadU32LE(r);
    if (pathFields > 5) ReadCountedString(r, path.link);
    SkipExtraFields(r, pathFields, kPathFields);

    const int32_t segmentCount = ReadI32LE(r);
    if (r.failed) return false;
    const int32_t storedFields = segmentFields > 0 ? segmentFields : 0;
    // At most 24 + 4 x (2^31 - 1) bytes: no overflow in 64 bits.
    const uint64_t segmentSize = 24 + 4 * uint64_t(storedFields);
    const size_t fits = segmentSize > Remaining(r) ? 0 : ClipCount(r, segmentCount, size_t(segmentSize));
    if (segmentCount > 0 && size_t(segmentCount) > fits) return false;

    path.segmentCount = segmentCount > 0 ? segmentCount : 0;
    path.segments.resize(size_t(path.segmentCount));
    for (int32_t i = 0; i < path.segmentCount; ++i) {
        DockSegment& s = path.segments[size_t(i)];
        s.index = i;
        ReadSegment(r, storedFields, s);
    }
    return !r.failed;
}

bool ReadNavLight(ByteReader& r, NavLight& light) {
    ReadCountedString(r, light.name);
    light.section = ReadU32LE(r);
    light.size = ReadF32LE(r);
    light.phase = ReadF32LE(r);
    light.frequency = ReadF32LE(r);
    ReadCountedString(r, light.type);
    for (float& c : light.colour) c = ReadF32LE(r);
    light.distance = ReadF32LE(r);
    light.sprite = ReadU8(r);
    light.highEnd = ReadU8(r);
    return !r.failed;
}

}  // namespace

void ReadMarker(ByteReader content, Model& model) {
    auto marker = std::make_unique<Marker>();
    marker->index = int32_t(model.markers.size());
    bool headWhole = true;
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        if (ChunkIs(h, ChunkShape::Nrml, "HEAD") && !ReadHead(body, *marker)) headWhole = false;
    });
    if (!whole || !headWhole) NoteDamage(model.damage, DamagedPart("marker", marker->name.value));
    model.markers.push_back(std::move(marker));
}

void ReadDockPaths(ByteReader body, Model& model) {
    if (!ReadRecordList(body, kMinDockPath, model.dockPaths, ReadDockPath))
        NoteDamage(model.damage, "the dock path list");
}

void ReadNavLights(ByteReader body, uint32_t /*version*/, Model& model) {
    if (!ReadRecordList(body, kMinNavLight, model.navLights, ReadNavLight))
        NoteDamage(model.damage, "the navigation light list");
}
