// Meshes: vertex streams de-duplicated value by value, and per part one
// triangle list of stream indices.
#include <cmath>
#include <cstring>

#include "model/mesh_info.h"
#include "scene/build.h"
#include "scene/conventions.h"
#include "scene/names.h"
#include "scene/value_list.h"

namespace {

int64_t PartTriangleCount(const MeshPart& part) {
    int64_t total = 0;
    for (const PrimitiveGroup& g : part.groups) total += GroupTriangleCount(g.type, g.indexCount);
    return total;
}

// The triangles of the groups whose corners all lie below vertexCount: their
// corners (when listed) and their count.
void AddTriangles(SceneTriangles& list, const std::vector<PrimitiveGroup>& groups, size_t vertexCount,
                  bool listCorners) {
    int64_t count = 0;
    ForEachGroupTriangle(groups, [&](uint32_t a, uint32_t b, uint32_t c) {
        if (!TriangleInRange(a, b, c, vertexCount)) return;
        ++count;
        if (!listCorners) return;
        list.corners.push_back(a);
        list.corners.push_back(b);
        list.corners.push_back(c);
    });
    list.count = count;
}

}  // namespace

SceneMesh BuildMesh(const SceneBuild& build, const Mesh& mesh, std::string name, int32_t material, uint32_t mask,
                    std::vector<int32_t>& boundMaterials, std::vector<int32_t>* listedParts) {
    SceneMesh result;
    result.name = std::move(name);
    const Model& model = build.model;
    const bool shared = material >= 0;
    result.hasPositions = mask & kFormatPosition;
    result.hasNormals = mask & kFormatNormal;
    result.hasTexCoords = mask & kFormatTexCoord;
    const bool wantPos = result.hasPositions, wantNormal = result.hasNormals, wantUv = result.hasTexCoords;
    result.components = int(wantPos) + int(wantNormal) + int(wantUv);

    // Parts bucketed by material once, so the material-ordered walk below is
    // linear in parts however many materials the model has. A part whose
    // material is not a valid index belongs to no turn and is not written.
    // With a shared material every part is in the one turn, materials or not.
    const size_t materialCount = shared ? 1 : model.materials.size();
    std::vector<std::vector<const MeshPart*>> byMaterial(materialCount);
    for (const MeshPart& part : mesh.parts) {
        int64_t m = shared ? 0 : int64_t(part.materialIndex);
        if (m >= 0 && size_t(m) < materialCount) byMaterial[size_t(m)].push_back(&part);
    }

    size_t vertexTotal = 0;
    for (const MeshPart& part : mesh.parts) vertexTotal += size_t(part.vertexCount > 0 ? part.vertexCount : 0);
    ValueList<3> positions(result.positions, build.deduplicate);
    ValueList<3> normals(result.normals, build.deduplicate);
    ValueList<2> uvs(result.texCoords, build.deduplicate);
    if (wantPos) result.positions.reserve(vertexTotal * 3);
    if (wantNormal) result.normals.reserve(vertexTotal * 3);
    if (wantUv) result.texCoords.reserve(vertexTotal * 2);

    // Per vertex the numbers of its components, packed in stream order.
    const int stride = result.components;
    for (size_t m = 0; m < materialCount; ++m) {
        if (byMaterial[m].empty()) continue;
        const int32_t bound = shared ? material : (m < build.materialOf.size() ? build.materialOf[m] : -1);
        boundMaterials.push_back(bound);
        for (const MeshPart* part : byMaterial[m]) {
            // A part without triangles still has its list: its vertices are
            // part of the model.
            const int64_t triangles = PartTriangleCount(*part);
            if (listedParts) listedParts->push_back(int32_t(part - mesh.parts.data()));
            const VertexLayoutInfo layout = VertexLayout(part->format);
            const size_t partStride = size_t(part->stride > 0 ? part->stride : 0);
            // A component is read only where the stride really holds it, and
            // only vertices the array holds are visited.
            auto fits = [&](int32_t offset, size_t width) { return size_t(offset) + width <= partStride; };
            const bool ownPos = wantPos && (part->format & kFormatPosition) && fits(layout.position, 3);
            const bool ownNormal = wantNormal && (part->format & kFormatNormal) && fits(layout.normal, 3);
            const bool ownUv = wantUv && (part->format & kFormatTexCoord) && fits(layout.texCoord, 2);
            const size_t declared = size_t(part->vertexCount > 0 ? part->vertexCount : 0);
            size_t vertexCount = declared;
            if (partStride && vertexCount > part->vertices.size() / partStride)
                vertexCount = part->vertices.size() / partStride;
            SceneTriangles list;
            list.material = bound;
            // Without positions there are no corners to list.
            if (wantPos) list.corners.reserve(size_t(triangles) * 3);
            AddTriangles(list, part->groups, declared, wantPos);
            std::vector<int32_t>& table = list.table;
            table.assign(declared * size_t(stride), 0);
            // No stream asked for: nothing to look up.
            if (stride == 0) vertexCount = 0;
            struct Converted {
                float pos[3] = {0, 0, 0};
                float normal[3] = {0, 0, 1};
                float uv[2] = {0, 0};
            };
            auto convert = [&](size_t v) {
                Converted c;
                const float* src = part->vertices.data() + v * partStride;
                if (ownPos) std::memcpy(c.pos, src + layout.position, sizeof c.pos);
                if (ownNormal) std::memcpy(c.normal, src + layout.normal, sizeof c.normal);
                if (ownUv) std::memcpy(c.uv, src + layout.texCoord, sizeof c.uv);
                return c;
            };
            // The slots a vertex a few places ahead will probe are fetched
            // while this one is looked up: the lookups of a large mesh wait
            // on memory, not on arithmetic.
            const size_t kAhead = 8;
            for (size_t v = 0; v < vertexCount; ++v) {
                if (v + kAhead < vertexCount) {
                    const Converted next = convert(v + kAhead);
                    if (wantPos) positions.Prefetch(next.pos);
                    if (wantNormal) normals.Prefetch(next.normal);
                    if (wantUv) uvs.Prefetch(next.uv);
                }
                const Converted c = convert(v);
                size_t at = v * size_t(stride);
                // A value found that holds a zero of the other sign: the
                // list keeps the vertex's own sign.
                auto find = [&](auto& values, const float* value) {
                    const int32_t number = values.Find(value);
                    table[at] = number;
                    if (build.deduplicate) AddZeroSigns(list.zeroSigns, at, values.ZeroSigns(number, value));
                    ++at;
                };
                if (wantPos) find(positions, c.pos);
                if (wantNormal) find(normals, c.normal);
                if (wantUv) find(uvs, c.uv);
            }
            result.triangles.push_back(std::move(list));
        }
    }
    return result;
}

SceneMesh BuildPositionsMesh(std::string name, const float* positions, int32_t vertexCount,
                             std::vector<uint16_t> indices, uint32_t type) {
    SceneMesh mesh;
    mesh.name = std::move(name);
    mesh.positionsOnly = true;
    mesh.hasPositions = true;
    mesh.components = 1;
    if (vertexCount > 0 && positions) mesh.positions.assign(positions, positions + size_t(vertexCount) * 3);
    SceneTriangles list;
    std::vector<PrimitiveGroup> groups(1);
    groups[0].type = type;
    groups[0].indexCount = int32_t(indices.size());
    groups[0].indices = std::move(indices);
    AddTriangles(list, groups, mesh.positions.size() / 3, true);
    mesh.triangles.push_back(std::move(list));
    return mesh;
}
