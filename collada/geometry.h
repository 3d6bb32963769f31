#pragma once

#include <cstdint>
#include <string>

#include "collada/dae_state.h"

// One "geometry" (id "<name>-lib", name "<name>Mesh") with de-duplicated
// positions, normals and texture coordinates and one "triangles" per part,
// grouped by material. With target (a "#..." text, may be null/empty) every
// part is bound to it (the "triangles" name its symbol, the target without
// "#"). Not linked to a parent: the caller appends it.
GeometryResult WriteMeshGeometry(const Model& model, const Mesh& mesh, const std::string& name,
                                 const char* target, uint32_t mask);

// Positions only, not de-duplicated; type 0x0202 (list) or 0x0205 (fan).
TiXmlElement* WriteSimpleGeometry(const std::string& name, const float* positions, int32_t vertexCount,
                                  const uint16_t* indices, int32_t indexCount, uint32_t type);
