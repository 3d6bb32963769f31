// Multi meshes ("MULT"), goblin meshes ("GOBG") and their "BMSH" mesh bodies.
#include "model/chunk_walk.h"
#include "model/mesh_info.h"
#include "model/object_readers.h"

namespace {

// Further texture coordinate sets have no data of their own: the mesh keeps
// one set, so 0x10, 0x20 and 0x40 fold into 0x08.
uint32_t FoldFormat(uint32_t format) {
    const uint32_t extraSets = 0x0010 | 0x0020 | 0x0040;
    if (format & (kFormatTexCoord | extraSets)) format = (format & ~extraSets) | kFormatTexCoord;
    return format;
}

// Floats are IEEE single precision, little-endian in the file; on a
// little-endian host the array is copied in one go.
void ReadFloats(ByteReader& r, float* out, size_t n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    ReadBytes(r, out, n * sizeof(float));
#else
    for (size_t i = 0; i < n; ++i) out[i] = ReadF32LE(r);
#endif
}

// Returns false when the part was damaged (the reader then fails too, or a
// group was cut or emptied).
bool ReadPart(ByteReader& r, MeshPart& part) {
    part.materialIndex = ReadI32LE(r);
    uint32_t format = FoldFormat(ReadU32LE(r));
    int32_t vertexCount = ReadI32LE(r);
    part.format = format;
    part.stride = VertexLayout(format).stride;

    // A vertex count the chunk cannot hold is clipped to the whole vertices it
    // does hold, and the part ends there. A format with no components still
    // counts a byte per vertex, so the count stays bounded by the chunk.
    size_t vertexBytes = size_t(part.stride) * 4;
    size_t fits = ClipCount(r, vertexCount, vertexBytes ? vertexBytes : 1);
    part.vertexCount = int32_t(fits);
    part.vertices.resize(fits * size_t(part.stride));
    ReadFloats(r, part.vertices.data(), part.vertices.size());
    if (vertexCount > 0 && fits < size_t(vertexCount)) {
        r.failed = true;
        return false;
    }

    int16_t groupCount = ReadI16LE(r);
    size_t groups = ClipCount(r, groupCount, 8);  // type and index count
    bool whole = groupCount <= 0 || groups == size_t(groupCount);
    part.groups.reserve(groups);
    for (size_t j = 0; j < groups; ++j) {
        if (Remaining(r) < 8) {
            whole = false;
            break;
        }
        PrimitiveGroup group;
        group.index = int32_t(j);
        group.type = ReadU32LE(r);
        int32_t indexCount = ReadI32LE(r);
        size_t count = ClipCount(r, indexCount, 2);
        group.indices.resize(count);
        bool inRange = true;
        for (size_t k = 0; k < count; ++k) {
            uint16_t index = uint16_t(r.pos[0] | (r.pos[1] << 8));
            r.pos += 2;
            group.indices[k] = index;
            inRange &= int32_t(index) < part.vertexCount;
        }
        group.indexCount = int32_t(count);
        // A group naming a vertex its part does not have would send every
        // writer out of the vertex array: it is kept, but emptied.
        if (!inRange) {
            group.indices.clear();
            group.indexCount = 0;
            whole = false;
        }
        part.groups.push_back(std::move(group));
        if (indexCount > 0 && count < size_t(indexCount)) {
            r.failed = true;
            break;
        }
    }
    return whole && !r.failed;
}

std::unique_ptr<MultiMesh> ReadMeshRecord(ByteReader& r, uint8_t kind, Model& model) {
    auto multiMesh = std::make_unique<MultiMesh>();
    multiMesh->kind = kind;
    ReadName(r, multiMesh->name);
    ReadName(r, multiMesh->parentName);
    if (kind == 0) ReadU32LE(r);  // a word the format stores and nothing uses
    bool meshesWhole = !r.failed;
    const bool whole = WalkChunks(r, [&](const ChunkHeader& h, ByteReader body) {
        if (ChunkIs(h, ChunkShape::Nrml, "BMSH")) AddLodMesh(*multiMesh, ReadMesh(body, &meshesWhole));
    });
    if (!whole || !meshesWhole)
        NoteDamage(model.damage, DamagedPart(kind == 0 ? "multi mesh" : "goblin mesh", multiMesh->name.value));
    return multiMesh;
}

}  // namespace

void ReadMultiMesh(ByteReader body, uint32_t, Model& model) {
    model.multiMeshes.push_back(ReadMeshRecord(body, 0, model));
}

void ReadGoblinMesh(ByteReader body, uint32_t, Model& model) {
    model.goblinMeshes.push_back(ReadMeshRecord(body, 1, model));
}

std::unique_ptr<Mesh> ReadMesh(ByteReader r, bool* whole) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = ReadI32LE(r);
    int32_t partCount = ReadI32LE(r);
    // A part takes at least 14 bytes (material, format, vertex count, group
    // count); parts the chunk cannot start are not made.
    size_t parts = ClipCount(r, partCount, 14);
    bool partsWhole = partCount <= 0 || parts == size_t(partCount);
    mesh->parts.reserve(parts);
    for (size_t i = 0; i < parts; ++i) {
        if (Remaining(r) == 0) {
            partsWhole = false;
            break;
        }
        MeshPart part;
        part.index = int32_t(i);
        partsWhole = ReadPart(r, part) && partsWhole;
        mesh->parts.push_back(std::move(part));
    }
    if ((!partsWhole || r.failed) && whole) *whole = false;
    return mesh;
}

void AddLodMesh(MultiMesh& multiMesh, std::unique_ptr<Mesh> mesh) {
    if (!mesh) return;
    // A negative LOD number means "the next level": the mesh's own position.
    if (mesh->lod < 0) mesh->lod = int32_t(multiMesh.meshes.size());
    multiMesh.meshes.push_back(std::move(mesh));
}
