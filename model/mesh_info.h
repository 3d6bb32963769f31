#pragma once

#include <cstdint>

#include "model/model.h"

// Offsets of the five components and the stride of a (folded) vertex format.
VertexLayoutInfo VertexLayout(uint32_t format);

// Triangles one group of n indices makes: n / 3 for a list, n - 2 for a fan or
// strip (never below 0), 0 for any other type.
int64_t GroupTriangleCount(uint32_t type, int64_t indexCount);

// Triangles of all parts and groups of a mesh.
int64_t TriangleCount(const Mesh& mesh);
