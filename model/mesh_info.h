#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/model.h"

// Offsets of the five components and the stride of a (folded) vertex format.
VertexLayoutInfo VertexLayout(uint32_t format);

// Triangles one group of n indices makes: n / 3 for a list, n - 2 for a fan or
// strip (never below 0), 0 for any other type.
int64_t GroupTriangleCount(uint32_t type, int64_t indexCount);

// Triangles of all parts and groups of a mesh.
int64_t TriangleCount(const Mesh& mesh);

// Calls visit(a, b, c) for every triangle of the groups in order: lists,
// fans and strips (a strip's odd triangles turned to keep their winding);
// other group types add nothing.
template <typename Visit>
void ForEachGroupTriangle(const std::vector<PrimitiveGroup>& groups, Visit&& visit) {
    for (const PrimitiveGroup& g : groups) {
        const int32_t n = int32_t(std::min<int64_t>(g.indexCount, int64_t(g.indices.size())));
        const uint16_t* index = g.indices.data();
        if (g.type == kPrimTriList) {
            for (int32_t t = 0; t + 2 < n; t += 3) visit(index[t], index[t + 1], index[t + 2]);
        } else if (g.type == kPrimTriFan) {
            for (int32_t i = 2; i < n; ++i) visit(index[0], index[i - 1], index[i]);
        } else if (g.type == kPrimTriStrip) {
            for (int32_t i = 2; i < n; ++i)
                visit(index[i - 2], index[i % 2 == 0 ? i - 1 : i], index[i % 2 == 0 ? i : i - 1]);
        }
    }
}
