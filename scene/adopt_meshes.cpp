// The geometry of a foreign scene made ready for the way back: every mesh
// with triangles gets normals and texture coordinates where the file has
// none. Parts of more vertices than 16-bit indices reach are split by the
// way back itself (scene/meshes_from_scene.cpp), exactly, once the part's
// vertices are known; tangents and binormals it makes there too, where the
// material has a normal map.
#include <cmath>

#include "scene/adopt_foreign.h"

namespace {

// The position value of corner c of a list (its table entry, or the vertex
// number itself when the list has no table).
int64_t PositionOf(const SceneMesh& mesh, const SceneTriangles& list, uint32_t corner) {
    if (list.table.empty()) return corner;
    const size_t at = size_t(corner) * size_t(mesh.components);
    return at < list.table.size() ? list.table[at] : -1;
}

// Smooth normals, one per position value: the face normals of every
// triangle using it, each as long as twice its triangle's area (the cross
// product of two edges), summed and made unit length. A value no triangle
// reaches with an area gets +Z.
std::vector<float> SmoothNormals(const SceneMesh& mesh) {
    const size_t count = mesh.positions.size() / 3;
    std::vector<double> sum(count * 3, 0.0);
    for (const SceneTriangles& list : mesh.triangles)
        for (size_t t = 0; t + 2 < list.corners.size(); t += 3) {
            int64_t v[3];
            for (int k = 0; k < 3; ++k) v[k] = PositionOf(mesh, list, list.corners[t + size_t(k)]);
            if (v[0] < 0 || v[1] < 0 || v[2] < 0 || size_t(v[0]) >= count || size_t(v[1]) >= count ||
                size_t(v[2]) >= count)
                continue;
            const float* p[3] = {&mesh.positions[size_t(v[0]) * 3], &mesh.positions[size_t(v[1]) * 3],
                                 &mesh.positions[size_t(v[2]) * 3]};
            double e1[3], e2[3];
            for (int i = 0; i < 3; ++i) e1[i] = double(p[1][i]) - p[0][i], e2[i] = double(p[2][i]) - p[0][i];
            const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
            if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2])) continue;
            for (int k = 0; k < 3; ++k)
                for (int i = 0; i < 3; ++i) sum[size_t(v[k]) * 3 + size_t(i)] += n[i];
        }
    std::vector<float> normals(count * 3, 0.0f);
    for (size_t v = 0; v < count; ++v) {
        const double* s = &sum[v * 3];
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (length > 0 && std::isfinite(length))
            for (int i = 0; i < 3; ++i) normals[v * 3 + size_t(i)] = float(s[i] / length);
        else
            normals[v * 3 + 2] = 1;
    }
    return normals;
}

// A stream indexed as the positions are, inserted into every table at slot
// `slot` (the entry of the vertex's position value); the zero signs move
// with the entries after it.
void AddStreamLikePositions(SceneMesh& mesh, int slot) {
    const size_t width = size_t(mesh.components), wider = width + 1;
    for (SceneTriangles& list : mesh.triangles) {
        if (list.table.empty()) continue;
        const size_t vertices = list.table.size() / width;
        std::vector<int32_t> table;
        table.reserve(vertices * wider);
        for (size_t v = 0; v < vertices; ++v)
            for (size_t k = 0; k <= width; ++k) {
                if (k == size_t(slot)) table.push_back(list.table[v * width]);
                else table.push_back(list.table[v * width + (k < size_t(slot) ? k : k - 1)]);
            }
        list.table = std::move(table);
        for (uint64_t& sign : list.zeroSigns) {
            const uint64_t entry = sign / 4, v = entry / width, k = entry % width;
            sign = (v * wider + (k < uint64_t(slot) ? k : k + 1)) * 4 + sign % 4;
        }
    }
    mesh.components = int(wider);
}

}  // namespace

void AdoptMeshes(Adoption& adoption) {
    bool any = false;
    for (const SceneMesh& mesh : adoption.scene.meshes)
        for (const SceneTriangles& list : mesh.triangles) any = any || (mesh.hasPositions && list.count > 0);
    if (!any) {
        adoption.error = "it holds no triangle to make a model of";
        return;
    }
    for (size_t m = 0; m < adoption.scene.meshes.size(); ++m) {
        SceneMesh& mesh = adoption.scene.meshes[m];
        const std::string name = mesh.name.empty() ? "number " + std::to_string(m) : mesh.name;
        if (!mesh.hasPositions || mesh.positionsOnly || mesh.components < 1) continue;
        if (!mesh.hasNormals) {
            mesh.normals = SmoothNormals(mesh);
            mesh.hasNormals = true;
            AddStreamLikePositions(mesh, 1);
            adoption.Note("Mesh " + name + " has no normals - given smooth normals made from its faces");
        }
        if (!mesh.hasTexCoords) {
            // One zero pair per position value: a list without a table
            // numbers every stream by its vertex.
            mesh.texCoords.assign(mesh.positions.size() / 3 * 2, 0.0f);
            mesh.hasTexCoords = true;
            AddStreamLikePositions(mesh, mesh.components);
            adoption.Note("Mesh " + name + " has no texture coordinates - given 0, 0 at every vertex");
        }
    }
}
