// The feature readers the chunk walk dispatches to. Each gets a reader bounded
// to the chunk body (or form content) and appends what it builds to the Model.
#pragma once

#include <cstdint>
#include <memory>

#include "model/byte_reader.h"
#include "model/model.h"

// Materials and texture images.
void ReadMaterial(ByteReader body, uint32_t version, Model& model);
void ReadTextureImage(ByteReader body, Model& model);

// Meshes.
void ReadMultiMesh(ByteReader body, uint32_t version, Model& model);
void ReadGoblinMesh(ByteReader body, uint32_t version, Model& model);
// One "BMSH" body; *damaged (when given) is set when the body was damaged.
std::unique_ptr<Mesh> ReadMesh(ByteReader body, bool* damaged = nullptr);
void AddLodMesh(MultiMesh& multiMesh, std::unique_ptr<Mesh> mesh);

// Joints.
void ReadJoints(ByteReader body, Model& model);

// Markers, dock paths, navigation lights.
void ReadMarker(ByteReader content, Model& model);
void ReadDockPaths(ByteReader body, Model& model);
void ReadNavLights(ByteReader body, uint32_t version, Model& model);

// Engine shapes, burns, glows, collision, bounding volume.
void ReadEngineShape(ByteReader body, Model& model);
void ReadEngineBurn(ByteReader body, Model& model);
void ReadGlow(ByteReader content, Model& model);
void ReadCollision(ByteReader content, Model& model);
void ReadBoundingVolume(ByteReader body, Model& model);
