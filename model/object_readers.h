// The feature readers the chunk walk dispatches to. Each gets a reader bounded
// to the chunk body (or form content) and appends what it builds to the Model.
// Damage is noted on the model once per object, by the reader that owns the
// object, naming it ("multi mesh [hull]"); helpers below an object return
// whether what they read was whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/byte_reader.h"
#include "model/model.h"

// Materials and texture images.
void ReadMaterial(ByteReader body, uint32_t version, Model& model);
void ReadTextureImage(ByteReader body, Model& model);

// Meshes.
void ReadMultiMesh(ByteReader body, uint32_t version, Model& model);
void ReadGoblinMesh(ByteReader body, uint32_t version, Model& model);
// One "BMSH" body; *whole (when given) is cleared when the body was damaged.
std::unique_ptr<Mesh> ReadMesh(ByteReader body, bool* whole = nullptr);
void AddLodMesh(MultiMesh& multiMesh, std::unique_ptr<Mesh> mesh);

// Joints.
void ReadJoints(ByteReader body, Model& model);

// Markers, dock paths, navigation lights.
void ReadMarker(ByteReader content, Model& model);
void ReadDockPaths(ByteReader body, Model& model);
void ReadNavLights(ByteReader body, uint32_t version, Model& model);

// A list chunk: an i32 record count, then records of at least minRecord
// bytes each, read by readOne(reader, record) (false: the record was cut
// short). Records are taken whole: the first one cut short is dropped with
// everything after it (its missing fields would read as zeros), the ones
// before it are kept. False when the list was damaged: that, or a count the
// chunk cannot hold, or a negative one (a count with the top bit set).
template <typename T, typename ReadOne>
bool ReadRecordList(ByteReader& r, size_t minRecord, OwnedList<T>& list, ReadOne&& readOne) {
    const int32_t count = ReadI32LE(r);
    const size_t fits = ClipCount(r, count, minRecord);
    list.reserve(list.size() + fits);
    for (size_t i = 0; i < fits; ++i) {
        auto record = std::make_unique<T>();
        record->index = int32_t(i);
        if (!readOne(r, *record)) return false;
        list.push_back(std::move(record));
    }
    return count >= 0 && size_t(count) <= fits;
}

// "[name]" after a kind word: how a damaged object is named to the user.
inline std::string DamagedPart(const char* kind, const std::string& name) {
    return std::string(kind) + " [" + name + "]";
}

// Engine shapes, burns, glows, collision, bounding volume.
void ReadEngineShape(ByteReader body, Model& model);
void ReadEngineBurn(ByteReader body, Model& model);
void ReadGlow(ByteReader content, Model& model);
void ReadCollision(ByteReader content, Model& model);
void ReadBoundingVolume(ByteReader body, Model& model);
