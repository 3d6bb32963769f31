// The model writer: ZEM and MAD files from an in-memory description (a Model
// or an AnimationSet) in exactly the layout the readers take, plus the
// chunk-level builder under it for laying out unusual chunks by hand. The
// bundled sample, the tests and the fuzz seeds are all written with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"

struct ByteWriter {
    std::vector<unsigned char> bytes;
};

void PutU8(ByteWriter& w, uint8_t v);
void PutU16(ByteWriter& w, uint16_t v);  // little-endian
void PutU32(ByteWriter& w, uint32_t v);  // little-endian
void PutI32(ByteWriter& w, int32_t v);
void PutU32BE(ByteWriter& w, uint32_t v);
void PutF32(ByteWriter& w, float v);
void PutF64(ByteWriter& w, double v);
void PutBytes(ByteWriter& w, const void* data, size_t n);
void PutText(ByteWriter& w, const char* text);          // raw bytes, no count, no terminator
void PutCounted(ByteWriter& w, const std::string& s);   // u32 count + bytes
void PutFourCC(ByteWriter& w, const char* fourcc);

// Chunks: Begin* writes the header with a zero length and returns the offset
// of the header; EndChunk patches the big-endian length to everything written
// since (payload only).
size_t BeginForm(ByteWriter& w, const char* type);
size_t BeginNrml(ByteWriter& w, const char* name, uint32_t version);
size_t BeginBare(ByteWriter& w, const char* kind);
void EndChunk(ByteWriter& w, size_t headerOffset);

// Chunk bodies of every object kind, each appended as one whole chunk
// (header included) in the shape the model file uses.
void AppendMaterialChunk(ByteWriter& w, const Material& m);  // NRML "STAT"; bare when version is 0
void AppendImageChunk(ByteWriter& w, const TextureImage& image);  // bare "LMIP"; writes each level's data as is
void AppendMeshBody(ByteWriter& w, const Mesh& mesh);              // a "BMSH" body (no header)
void AppendMultiMeshChunk(ByteWriter& w, const MultiMesh& mm);     // NRML "MULT" or "GOBG" by kind
void AppendJointsChunk(ByteWriter& w, const OwnedList<Joint>& joints);  // bare "HIER"
void AppendMarkerForm(ByteWriter& w, const Marker& marker);             // FORM "MRKR" with NRML "HEAD"
void AppendDockChunk(ByteWriter& w, const OwnedList<DockPath>& paths);  // bare "DOCK" (H = 6, S = 10)
void AppendNavLightsChunk(ByteWriter& w, const OwnedList<NavLight>& lights);  // NRML "NAVL"
void AppendEngineShapeChunk(ByteWriter& w, const EngineShape& shape);         // bare "ETSH"
void AppendEngineBurnChunk(ByteWriter& w, const EngineBurn& burn);            // bare "BURN"
void AppendGlowForm(ByteWriter& w, const Glow& glow);                         // FORM "GLOW"
void AppendCollisionForm(ByteWriter& w, const CollisionMesh& col);            // FORM "COLD"

// A primitive group of the given type over indices (the count follows them).
PrimitiveGroup MakeGroup(uint32_t type, std::vector<uint16_t> indices);

// A whole ZEM file: "VERS" (model.version), "NAME" (model.typeName, or the
// multi mesh file name when empty), "HVMD", "DTRM" and "INFO" forms holding
// every object of the model (forms with nothing to hold are left out).
std::vector<unsigned char> BuildZem(const Model& model);

// A whole MAD file from a set: "NAME", "VERS", "INFO", "STRI" (built from the
// names of clips, tracks and curves), "MARK", "CURV".
std::vector<unsigned char> BuildMad(const AnimationSet& set);

// Writes bytes to a file through a temporary file; false on any failure.
[[nodiscard]] bool SaveBytes(const std::string& path, const std::vector<unsigned char>& bytes);
