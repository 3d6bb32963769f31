// The ZEM container walk: top-level "VERS", "NAME", "HVMD", "DTRM" and "INFO"
// forms, and the dispatch of the children of the three data forms to the
// object readers. Prints nothing; returns what it could read.
#include "model/read_model.h"

#include "core/str.h"
#include "model/chunk_walk.h"
#include "model/finite_numbers.h"
#include "model/object_readers.h"

namespace {

// Children of an "HVMD" form: materials, images, multi and goblin meshes.
void ReadModelChunks(ByteReader content, Model& model) {
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        if (h.shape == ChunkShape::Nrml) {
            if (ChunkIs(h, ChunkShape::Nrml, "STAT")) ReadMaterial(body, h.version, model);
            else if (ChunkIs(h, ChunkShape::Nrml, "MULT")) ReadMultiMesh(body, h.version, model);
            else if (ChunkIs(h, ChunkShape::Nrml, "GOBG")) ReadGoblinMesh(body, h.version, model);
        } else if (h.shape == ChunkShape::Bare) {
            if (ChunkIs(h, ChunkShape::Bare, "LMIP")) ReadTextureImage(body, model);
            // A bare "STAT" is the old material layout: no parameter names stored.
            else if (ChunkIs(h, ChunkShape::Bare, "STAT")) ReadMaterial(body, 0, model);
        }
    });
    if (!whole) NoteDamage(model.damage, "the chunks of the HVMD form");
}

// Children of a "DTRM" form: joints and every object that hangs from one.
void ReadDetailChunks(ByteReader content, Model& model) {
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        switch (h.shape) {
        case ChunkShape::Form:
            if (ChunkIs(h, ChunkShape::Form, "GLOW")) ReadGlow(body, model);
            else if (ChunkIs(h, ChunkShape::Form, "MRKR")) ReadMarker(body, model);
            else if (ChunkIs(h, ChunkShape::Form, "COLD")) ReadCollision(body, model);
            break;
        case ChunkShape::Nrml:
            if (ChunkIs(h, ChunkShape::Nrml, "NAVL")) ReadNavLights(body, h.version, model);
            break;
        case ChunkShape::Bare:
            if (ChunkIs(h, ChunkShape::Bare, "HIER")) ReadJoints(body, model);
            else if (ChunkIs(h, ChunkShape::Bare, "ETSH")) ReadEngineShape(body, model);
            else if (ChunkIs(h, ChunkShape::Bare, "DOCK")) ReadDockPaths(body, model);
            else if (ChunkIs(h, ChunkShape::Bare, "BURN")) ReadEngineBurn(body, model);
            else if (ChunkIs(h, ChunkShape::Bare, "BNDV")) ReadBoundingVolume(body, model);
            break;
        }
    });
    if (!whole) NoteDamage(model.damage, "the chunks of the DTRM form");
}

// Children of an "INFO" form: the chunk kind is the key, the body one counted
// string, the value.
void ReadInfoChunks(ByteReader content, Model& model) {
    const bool whole = WalkChunks(content, [&](const ChunkHeader& h, ByteReader body) {
        auto entry = std::make_unique<InfoEntry>();
        entry->key.Set(h.kind, 4);
        entry->value.Set("");  // a value that cannot be read is empty, with the hash of ""
        if (!ReadCountedString(body, entry->value))
            NoteDamage(model.damage, DamagedPart("info entry", entry->key.value));
        model.infoEntries.push_back(std::move(entry));
    });
    if (!whole) NoteDamage(model.damage, "the chunks of the INFO form");
}

}  // namespace

std::unique_ptr<Model> ReadModelFile(const unsigned char* data, size_t size) {
    std::unique_ptr<Model> model;
    if (!data || size == 0) return model;
    uint32_t pendingVersion = 0;
    // The walker has no early exit; once a foreign "NAME" ends the reading the
    // remaining headers are passed over without touching their bodies.
    bool stopped = false;
    bool versionCut = false;
    const bool whole = WalkChunks(MakeByteReader(data, size), [&](const ChunkHeader& h, ByteReader content) {
        if (stopped || h.shape != ChunkShape::Form) return;
        if (ChunkIs(h, ChunkShape::Form, "VERS")) {
            // A version cut short reads as 0, like every short read.
            pendingVersion = ReadU32LE(content);
            if (content.failed && model) NoteDamage(model->damage, "the VERS form");
            else if (content.failed) versionCut = true;
        } else if (ChunkIs(h, ChunkShape::Form, "NAME")) {
            Core_Str text;
            text.Set(reinterpret_cast<const char*>(content.pos), Remaining(content));
            if (!EqualNoCase(text.value, kMultiMeshFileName)) {
                stopped = true;
                return;
            }
            // A second accepted "NAME" keeps the model already read (its
            // objects would otherwise be lost) and leaves its version alone.
            if (model) return;
            model = std::make_unique<Model>();
            model->type = 0;
            model->version = pendingVersion;
            model->typeName = text;
            if (versionCut) NoteDamage(model->damage, "the VERS form");
        } else if (!model) {
            // Data forms before the accepted "NAME" have no model to go into.
            return;
        } else if (ChunkIs(h, ChunkShape::Form, "HVMD")) {
            ReadModelChunks(content, *model);
        } else if (ChunkIs(h, ChunkShape::Form, "DTRM")) {
            ReadDetailChunks(content, *model);
        } else if (ChunkIs(h, ChunkShape::Form, "INFO")) {
            ReadInfoChunks(content, *model);
        }
    });
    // Past a foreign "NAME" nothing is read, so the rest cannot count as damage.
    if (model && !whole && !stopped) NoteDamage(model->damage, "the chunks of the file");
    if (model) ZeroNonFiniteNumbers(*model);
    return model;
}
