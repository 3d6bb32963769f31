// Test models of what the documents find hardest to carry, and the pieces
// tests build their own from.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "model/model.h"

template <typename T>
T& Add(OwnedList<T>& list) {
    list.emplace_back(new T);
    return *list.back();
}

// A part of `format` (vertices as position, normal, texture coordinates;
// tangents and binormals along X and Y) with its groups numbered.
MeshPart MakePart(int32_t material, uint32_t format, std::vector<std::array<float, 8>> vertices,
                  std::vector<PrimitiveGroup> groups);
MultiMesh& AddMulti(Model& model, uint8_t kind, const char* name, const char* joint);
void AddGlow(Model& model, const char* name, const char* joint, uint32_t lod, int32_t meshLod);

// The sample's joints and materials with meshes of every unusual kind.
std::unique_ptr<Model> MeshEdgeModel();
// Joints, objects and animations of the values the names and placements
// cannot show exactly.
std::unique_ptr<Model> ObjectEdgeModel();
