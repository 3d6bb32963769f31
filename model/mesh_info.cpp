#include "model/mesh_info.h"

VertexLayoutInfo VertexLayout(uint32_t format) {
    VertexLayoutInfo layout;
    const int32_t wide = (format & kFormatThreeWide) ? 3 : 4;
    int32_t at = 0;
    // Components follow one another in the order P, N, 0, T, B without gaps.
    if (format & kFormatPosition) { layout.position = at; at += wide; }
    if (format & kFormatNormal) { layout.normal = at; at += wide; }
    if (format & kFormatTexCoord) { layout.texCoord = at; at += 2; }
    if (format & kFormatTangent) { layout.tangent = at; at += 3; }
    if (format & kFormatBinormal) { layout.binormal = at; at += 3; }
    layout.stride = at;
    return layout;
}

int64_t GroupTriangleCount(uint32_t type, int64_t indexCount) {
    if (indexCount <= 0) return 0;
    if (type == kPrimTriList) return indexCount / 3;
    if (type == kPrimTriFan || type == kPrimTriStrip) return indexCount > 2 ? indexCount - 2 : 0;
    return 0;
}

int64_t TriangleCount(const Mesh& mesh) {
    int64_t total = 0;
    for (const MeshPart& part : mesh.parts)
        for (const PrimitiveGroup& group : part.groups) total += GroupTriangleCount(group.type, group.indexCount);
    return total;
}
