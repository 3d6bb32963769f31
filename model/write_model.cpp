#include "model/write_model.h"

#include <cstring>
#include <utility>

#include "core/platform.h"

void PutU8(ByteWriter& w, uint8_t v) { w.bytes.push_back(v); }
void PutU16(ByteWriter& w, uint16_t v) {
    w.bytes.push_back(uint8_t(v));
    w.bytes.push_back(uint8_t(v >> 8));
}
void PutU32(ByteWriter& w, uint32_t v) {
    for (int i = 0; i < 4; ++i) w.bytes.push_back(uint8_t(v >> (8 * i)));
}
void PutI32(ByteWriter& w, int32_t v) { PutU32(w, uint32_t(v)); }
void PutU32BE(ByteWriter& w, uint32_t v) {
    for (int i = 3; i >= 0; --i) w.bytes.push_back(uint8_t(v >> (8 * i)));
}
void PutF32(ByteWriter& w, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(w, u);
}
void PutF64(ByteWriter& w, double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    PutU32(w, uint32_t(u));
    PutU32(w, uint32_t(u >> 32));
}
void PutBytes(ByteWriter& w, const void* data, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    w.bytes.insert(w.bytes.end(), p, p + n);
}
void PutText(ByteWriter& w, const char* text) { PutBytes(w, text, std::strlen(text)); }
void PutCounted(ByteWriter& w, const std::string& s) {
    PutU32(w, uint32_t(s.size()));
    PutBytes(w, s.data(), s.size());
}
void PutFourCC(ByteWriter& w, const char* fourcc) { PutBytes(w, fourcc, 4); }

size_t BeginForm(ByteWriter& w, const char* type) {
    size_t at = w.bytes.size();
    PutFourCC(w, "FORM");
    PutU32BE(w, 0);
    PutFourCC(w, type);
    return at;
}

size_t BeginNrml(ByteWriter& w, const char* name, uint32_t version) {
    size_t at = w.bytes.size();
    PutFourCC(w, "NRML");
    PutU32BE(w, 0);
    PutFourCC(w, name);
    PutU32BE(w, version);
    return at;
}

size_t BeginBare(ByteWriter& w, const char* kind) {
    size_t at = w.bytes.size();
    PutFourCC(w, kind);
    PutU32BE(w, 0);
    return at;
}

void EndChunk(ByteWriter& w, size_t headerOffset) {
    uint32_t length = uint32_t(w.bytes.size() - headerOffset - 8);
    for (int i = 0; i < 4; ++i) w.bytes[headerOffset + 4 + size_t(i)] = uint8_t(length >> (8 * (3 - i)));
}

namespace {

// The bytes of a mesh's vertices and indices.
size_t MeshBulk(const Mesh* mesh) {
    size_t bytes = 0;
    if (!mesh) return 0;
    for (const MeshPart& part : mesh->parts) {
        bytes += part.vertices.size() * 4;
        for (const PrimitiveGroup& g : part.groups) bytes += g.indices.size() * 2;
    }
    return bytes;
}

// Room for a model's file: its bulk (vertices, indices, image levels,
// collision shapes) and a margin for the headers and names around it, so
// that the buffer of a large model is neither copied nor doubled as it
// grows. A model of many small objects may still outgrow it.
size_t ZemRoom(const Model& model) {
    size_t bulk = 0;
    for (const auto& image : model.images)
        for (const MipLevel& level : image->levels) bulk += level.data.size();
    for (const OwnedList<MultiMesh>* list : {&model.multiMeshes, &model.goblinMeshes})
        for (const auto& mm : *list)
            for (const auto& mesh : mm->meshes) bulk += MeshBulk(mesh.get());
    for (const auto& glow : model.glows) bulk += MeshBulk(glow->mesh.get());
    for (const auto& col : model.collisionMeshes) bulk += col->vertices.size() * 4 + col->indices.size() * 2;
    return bulk + bulk / 64 + 65536;
}

}  // namespace

std::vector<unsigned char> BuildZem(const Model& model) {
    ByteWriter w;
    w.bytes.reserve(ZemRoom(model));
    size_t at = BeginForm(w, "VERS");
    PutU32(w, model.version);
    EndChunk(w, at);
    at = BeginForm(w, "NAME");
    PutText(w, model.typeName.Empty() ? kMultiMeshFileName : model.typeName.CStr());
    EndChunk(w, at);

    if (!model.materials.empty() || !model.images.empty() || !model.multiMeshes.empty() ||
        !model.goblinMeshes.empty()) {
        at = BeginForm(w, "HVMD");
        for (const auto& m : model.materials) AppendMaterialChunk(w, *m);
        for (const auto& i : model.images) AppendImageChunk(w, *i);
        for (const auto& mm : model.multiMeshes) AppendMultiMeshChunk(w, *mm);
        for (const auto& mm : model.goblinMeshes) AppendMultiMeshChunk(w, *mm);
        EndChunk(w, at);
    }

    if (!model.joints.empty() || !model.markers.empty() || !model.dockPaths.empty() ||
        !model.navLights.empty() || !model.engineShapes.empty() || !model.engineBurns.empty() ||
        !model.glows.empty() || !model.collisionMeshes.empty()) {
        at = BeginForm(w, "DTRM");
        if (!model.joints.empty()) AppendJointsChunk(w, model.joints);
        for (const auto& s : model.engineShapes) AppendEngineShapeChunk(w, *s);
        for (const auto& b : model.engineBurns) AppendEngineBurnChunk(w, *b);
        for (const auto& g : model.glows) AppendGlowForm(w, *g);
        for (const auto& m : model.markers) AppendMarkerForm(w, *m);
        for (const auto& c : model.collisionMeshes) AppendCollisionForm(w, *c);
        if (!model.navLights.empty()) AppendNavLightsChunk(w, model.navLights);
        if (!model.dockPaths.empty()) AppendDockChunk(w, model.dockPaths);
        EndChunk(w, at);
    }

    if (!model.infoEntries.empty()) {
        at = BeginForm(w, "INFO");
        for (const auto& e : model.infoEntries) {
            char kind[4] = {' ', ' ', ' ', ' '};
            std::memcpy(kind, e->key.CStr(), e->key.value.size() < 4 ? e->key.value.size() : 4);
            size_t child = BeginBare(w, kind);
            PutCounted(w, e->value.value);
            EndChunk(w, child);
        }
        EndChunk(w, at);
    }
    return std::move(w.bytes);
}

bool SaveBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    return SaveFileReplacing(path, [&](FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); });
}
