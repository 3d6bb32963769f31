// Engine shapes ("ETSH"), engine burns ("BURN"), glows ("GLOW" forms),
// collision meshes ("COLD" forms) and the bounding volume ("BNDV").
//
// Each chunk or form makes exactly one object, appended even when its body is
// damaged. Point and index arrays hold only the whole elements the chunk
// really has: a count larger than the data is clipped to it, a negative one
// gives none. A fixed-size record inside a form ("INFO", "BBOX", "BSPH") cut
// short by its chunk end is dropped and the object keeps its earlier values.
#include <algorithm>

#include "model/chunk_walk.h"
#include "model/object_readers.h"

namespace {

const size_t kPointSize = 3 * 4;

// Reads up to `count` points of three floats into out and their number into
// read. False when the count is more than the data holds, or negative.
bool ReadPoints(ByteReader& r, int64_t count, std::vector<float>& out, int32_t& read) {
    const size_t n = ClipCount(r, count, kPointSize);
    out.assign(n * 3, 0.0f);
    for (float& v : out) v = ReadF32LE(r);
    read = int32_t(n);
    return count >= 0 && uint64_t(count) <= n;
}

// False when the record was cut short (the glow keeps its values).
bool ReadGlowInfo(ByteReader body, Glow& glow) {
    Core_QStr name, parentName;
    ReadCountedString(body, name);
    ReadCountedString(body, parentName);
    const uint32_t lod = ReadU32LE(body);
    if (body.failed) return false;
    glow.name = std::move(name);
    glow.parentName = std::move(parentName);
    glow.lod = lod;
    return true;
}

// False when the triangles were damaged.
bool ReadTriangles(ByteReader body, CollisionMesh& col) {
    const int32_t vertexCount = ReadI32LE(body);
    bool whole = ReadPoints(body, vertexCount, col.vertices, col.vertexCount);
    const int32_t indexCount = ReadI32LE(body);
    const size_t n = ClipCount(body, indexCount, 2);
    if (indexCount < 0 || size_t(indexCount) > n || body.failed) whole = false;
    col.indices.assign(n, 0);
    for (uint16_t& i : col.indices) i = ReadU16LE(body);
    col.indexCount = int32_t(n);
    // Writers index the vertex array with these without checking; one index
    // out of range makes the whole list unusable.
    const bool inRange = std::all_of(col.indices.begin(), col.indices.end(),
                                     [&](uint16_t i) { return int32_t(i) < col.vertexCount; });
    if (!inRange) {
        col.indices.clear();
        col.indexCount = 0;
        whole = false;
    }
    return whole;
}

}  // namespace

void ReadEngineShape(ByteReader body, Model& model) {
    auto shape = std::make_unique<EngineShape>();
    shape->index = int32_t(model.engineShapes.size());
    ReadCountedString(body, shape->name);
    ReadCountedString(body, shape->parentName);
    const int32_t count = ReadI32LE(body);
    const bool whole = ReadPoints(body, count, shape->vertices, shape->vertexCount);
    if (!whole || body.failed) NoteDamage(model.damage, DamagedPart("engine shape", shape->name.value));
    model.engineShapes.push_back(std::move(shape));
}

void ReadEngineBurn(ByteReader body, Model& model) {
    auto burn = std::make_unique<EngineBurn>();
    burn->index = int32_t(model.engineBurns.size());
    ReadCountedString(body, burn->name);
    ReadCountedString(body, burn->parentName);
    burn->divisions = ReadU32LE(body);
    burn->flameCount = ReadU32LE(body);
    // Both factors are below 2^32, so the product fits in 64 bits; the data
    // present then bounds it far below 2^31.
    const uint64_t wanted = uint64_t(burn->divisions) * uint64_t(burn->flameCount);
    const int64_t count = wanted > uint64_t(INT32_MAX) ? int64_t(INT32_MAX) : int64_t(wanted);
    const bool whole = ReadPoints(body, count, burn->vertices, burn->vertexCount);
    if (!whole || body.failed) NoteDamage(model.damage, DamagedPart("engine burn", burn->name.value));
    model.engineBurns.push_back(std::move(burn));
}

void ReadGlow(ByteReader content, Model& model) {
    auto glow = std::make_unique<Glow>();
    glow->index = int32_t(model.glows.size());
    bool partsWhole = true;
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        if (ChunkIs(h, ChunkShape::Nrml, "INFO")) {
            if (!ReadGlowInfo(body, *glow)) partsWhole = false;
        } else if (ChunkIs(h, ChunkShape::Nrml, "BMSH")) {
            glow->mesh = ReadMesh(body, &partsWhole);
        }
    });
    // A negative LOD number in a mesh body means "the level it is placed at"
    // (multi meshes take their position); a glow's mesh is placed at the
    // glow's own level.
    if (glow->mesh && glow->mesh->lod < 0)
        glow->mesh->lod = glow->lod <= uint32_t(INT32_MAX) ? int32_t(glow->lod) : 0;
    if (!whole || !partsWhole) NoteDamage(model.damage, DamagedPart("glow", glow->name.value));
    model.glows.push_back(std::move(glow));
}

void ReadCollision(ByteReader content, Model& model) {
    auto col = std::make_unique<CollisionMesh>();
    col->index = int32_t(model.collisionMeshes.size());
    // A joint name cut short leaves nothing for the children: the walk below
    // sees an empty reader.
    bool partsWhole = ReadCountedString(content, col->parentName);
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        if (ChunkIs(h, ChunkShape::Bare, "BBOX")) {
            float v[6];
            for (float& f : v) f = ReadF32LE(body);
            if (body.failed) {
                partsWhole = false;
                return;
            }
            for (int i = 0; i < 3; ++i) {
                col->bounds.boxMin[i] = v[i];
                col->bounds.boxMax[i] = v[3 + i];
            }
        } else if (ChunkIs(h, ChunkShape::Bare, "BSPH")) {
            float v[4];
            for (float& f : v) f = ReadF32LE(body);
            if (body.failed) {
                partsWhole = false;
                return;
            }
            for (int i = 0; i < 3; ++i) col->bounds.sphereCentre[i] = v[i];
            col->bounds.sphereRadius = v[3];
        } else if (ChunkIs(h, ChunkShape::Bare, "TRIS")) {
            if (!ReadTriangles(body, *col)) partsWhole = false;
        }
    });
    if (!whole || !partsWhole) NoteDamage(model.damage, DamagedPart("collision mesh of joint", col->parentName.value));
    model.collisionMeshes.push_back(std::move(col));
}

// The bounding volume is walked over for its layout only; nothing of it is
// kept, so the points are skipped rather than stored.
void ReadBoundingVolume(ByteReader body, Model& model) {
    Core_Str name, parentName;
    ReadCountedString(body, name);
    ReadCountedString(body, parentName);
    const int32_t count = ReadI32LE(body);
    const size_t n = ClipCount(body, count, kPointSize);
    if (count < 0 || size_t(count) > n || body.failed) NoteDamage(model.damage, "the bounding volume");
    Skip(body, n * kPointSize);
}
