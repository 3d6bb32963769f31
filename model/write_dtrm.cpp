// Chunk bodies of the "DTRM" form: joints, markers, docks, lights, shapes.
#include "model/write_model.h"

static void PutTriple(ByteWriter& w, const float v[3]) {
    for (int i = 0; i < 3; ++i) PutF32(w, v[i]);
}

// Writes 3 x count floats from the array, zeros where the array runs short
// (so a hand-built object with a count but no data still lays out whole).
static void PutPoints(ByteWriter& w, const std::vector<float>& v, int32_t count) {
    for (size_t i = 0; i < size_t(count > 0 ? count : 0) * 3; ++i)
        PutF32(w, i < v.size() ? v[i] : 0.0f);
}

void AppendJointsChunk(ByteWriter& w, const OwnedList<Joint>& joints) {
    size_t at = BeginBare(w, "HIER");
    PutU32(w, uint32_t(joints.size()));
    for (const auto& j : joints) {
        PutCounted(w, j->name.value);
        PutCounted(w, j->parentName.value);
        PutTriple(w, j->position);
        PutTriple(w, j->rotation);
        PutTriple(w, j->scale);
        PutTriple(w, j->axis);
        for (int i = 0; i < 3; ++i) PutU8(w, j->flags[i]);
    }
    EndChunk(w, at);
}

void AppendMarkerForm(ByteWriter& w, const Marker& marker) {
    size_t form = BeginForm(w, "MRKR");
    size_t head = BeginNrml(w, "HEAD", 0);
    PutCounted(w, marker.name.value);
    PutCounted(w, marker.parentName.value);
    PutF32(w, marker.headValues[0]);
    PutF32(w, marker.headValues[1]);
    for (int i = 0; i < 3; ++i) PutF64(w, marker.position[i]);
    for (int i = 0; i < 3; ++i) PutF64(w, marker.rotation[i]);
    EndChunk(w, head);
    EndChunk(w, form);
}

void AppendDockChunk(ByteWriter& w, const OwnedList<DockPath>& paths) {
    size_t at = BeginBare(w, "DOCK");
    PutU32(w, uint32_t(paths.size()));
    for (const auto& p : paths) {
        PutCounted(w, p->name.value);
        PutCounted(w, p->parentName.value);
        PutU32(w, 6);
        PutU32(w, 10);
        PutU32(w, p->exit);
        PutU32(w, p->latch);
        PutF32(w, p->tolerance);
        PutCounted(w, p->family.value);
        PutU32(w, p->animFlags);
        PutCounted(w, p->link.value);
        PutU32(w, uint32_t(p->segments.size()));
        for (const DockSegment& s : p->segments) {
            PutTriple(w, s.position);
            PutTriple(w, s.rotation);
            PutU32(w, s.useRot);
            PutF32(w, s.tolerance);
            PutU32(w, s.unfocus);
            PutF32(w, s.speed);
            PutU32(w, s.check);
            PutU32(w, s.close);
            PutU32(w, s.player);
            PutU32(w, s.queue);
            PutU32(w, s.clip);
            PutU32(w, s.clearRes);
        }
    }
    EndChunk(w, at);
}

void AppendNavLightsChunk(ByteWriter& w, const OwnedList<NavLight>& lights) {
    size_t at = BeginNrml(w, "NAVL", 0);
    PutU32(w, uint32_t(lights.size()));
    for (const auto& l : lights) {
        PutCounted(w, l->name.value);
        PutU32(w, l->section);
        PutF32(w, l->size);
        PutF32(w, l->phase);
        PutF32(w, l->frequency);
        PutCounted(w, l->type.value);
        for (int i = 0; i < 4; ++i) PutF32(w, l->colour[i]);
        PutF32(w, l->distance);
        PutU8(w, l->sprite);
        PutU8(w, l->highEnd);
    }
    EndChunk(w, at);
}

void AppendEngineShapeChunk(ByteWriter& w, const EngineShape& shape) {
    size_t at = BeginBare(w, "ETSH");
    PutCounted(w, shape.name.value);
    PutCounted(w, shape.parentName.value);
    PutU32(w, uint32_t(shape.vertexCount));
    PutPoints(w, shape.vertices, shape.vertexCount);
    EndChunk(w, at);
}

void AppendEngineBurnChunk(ByteWriter& w, const EngineBurn& burn) {
    size_t at = BeginBare(w, "BURN");
    PutCounted(w, burn.name.value);
    PutCounted(w, burn.parentName.value);
    PutU32(w, burn.divisions);
    PutU32(w, burn.flameCount);
    PutPoints(w, burn.vertices, burn.vertexCount);
    EndChunk(w, at);
}

void AppendGlowForm(ByteWriter& w, const Glow& glow) {
    size_t form = BeginForm(w, "GLOW");
    size_t info = BeginNrml(w, "INFO", 0);
    PutCounted(w, glow.name.value);
    PutCounted(w, glow.parentName.value);
    PutU32(w, glow.lod);
    EndChunk(w, info);
    if (glow.mesh) {
        size_t mesh = BeginNrml(w, "BMSH", 0);
        AppendMeshBody(w, *glow.mesh);
        EndChunk(w, mesh);
    }
    EndChunk(w, form);
}

void AppendCollisionForm(ByteWriter& w, const CollisionMesh& col) {
    size_t form = BeginForm(w, "COLD");
    PutCounted(w, col.parentName.value);
    size_t at = BeginBare(w, "BBOX");
    PutTriple(w, col.bounds.boxMin);
    PutTriple(w, col.bounds.boxMax);
    EndChunk(w, at);
    at = BeginBare(w, "BSPH");
    PutTriple(w, col.bounds.sphereCentre);
    PutF32(w, col.bounds.sphereRadius);
    EndChunk(w, at);
    at = BeginBare(w, "TRIS");
    PutU32(w, uint32_t(col.vertexCount));
    PutPoints(w, col.vertices, col.vertexCount);
    PutU32(w, uint32_t(col.indexCount));
    for (int32_t i = 0; i < col.indexCount; ++i)
        PutU16(w, size_t(i) < col.indices.size() ? col.indices[size_t(i)] : 0);
    EndChunk(w, at);
    EndChunk(w, form);
}
