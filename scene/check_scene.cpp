#include "scene/check_scene.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "core/output.h"

namespace {

using Checker = ProblemList;

bool InRange(int64_t index, size_t size) { return index >= 0 && uint64_t(index) < size; }

template <typename T>
void CheckFinite(Checker& c, const T* values, size_t count, const char* what, size_t at) {
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) {
            c.Add("%s %zu: a number that is not finite", what, at);
            return;
        }
}

void CheckNodes(Checker& c, const Scene& scene) {
    const size_t n = scene.nodes.size();
    std::vector<int> listed(n, 0);
    for (int32_t root : scene.roots) {
        if (!InRange(root, n)) c.Add("root %d out of range", root);
        else if (scene.nodes[size_t(root)].parent != -1) c.Add("root %d has a parent", root);
        else ++listed[size_t(root)];
    }
    for (size_t i = 0; i < n; ++i) {
        const SceneNode& node = scene.nodes[i];
        if (node.parent != -1 && !InRange(node.parent, n)) c.Add("node %zu: parent %d", i, node.parent);
        for (int32_t child : node.children) {
            if (!InRange(child, n)) c.Add("node %zu: child %d out of range", i, child);
            else if (scene.nodes[size_t(child)].parent != int32_t(i)) c.Add("node %zu: child %d of another", i, child);
            else ++listed[size_t(child)];
        }
        if (node.mesh != -1 && !InRange(node.mesh, scene.meshes.size())) c.Add("node %zu: mesh %d", i, node.mesh);
        for (int32_t m : node.materials)
            if (m != -1 && !InRange(m, scene.materials.size())) c.Add("node %zu: material %d", i, m);
        CheckFinite(c, node.translation, 3, "node", i);
        CheckFinite(c, node.rotation, 3, "node", i);
    }
    for (size_t i = 0; i < n; ++i)
        if (listed[i] != 1) c.Add("node %zu listed %d times", i, listed[i]);
    // Parents come first along every chain: a loop never reaches a root.
    for (size_t i = 0; i < n; ++i) {
        size_t steps = 0;
        for (int32_t p = scene.nodes[i].parent; p != -1 && InRange(p, n); p = scene.nodes[size_t(p)].parent)
            if (++steps > n) {
                c.Add("node %zu: its parents loop", i);
                break;
            }
    }
}

void CheckMeshes(Checker& c, const Scene& scene) {
    for (size_t i = 0; i < scene.meshes.size(); ++i) {
        const SceneMesh& mesh = scene.meshes[i];
        if (mesh.positions.size() % 3 || mesh.normals.size() % 3 || mesh.texCoords.size() % 2)
            c.Add("mesh %zu: a stream of partial values", i);
        CheckFinite(c, mesh.positions.data(), mesh.positions.size(), "mesh", i);
        CheckFinite(c, mesh.normals.data(), mesh.normals.size(), "mesh", i);
        CheckFinite(c, mesh.texCoords.data(), mesh.texCoords.size(), "mesh", i);
        const size_t width = size_t(mesh.components);
        const size_t streams[3] = {mesh.positions.size() / 3, mesh.normals.size() / 3, mesh.texCoords.size() / 2};
        const bool used[3] = {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords};
        if (width != size_t(used[0]) + size_t(used[1]) + size_t(used[2]) && !mesh.positionsOnly)
            c.Add("mesh %zu: %zu components", i, width);
        for (const SceneTriangles& list : mesh.triangles) {
            if (list.material != -1 && !InRange(list.material, scene.materials.size()))
                c.Add("mesh %zu: material %d", i, list.material);
            const bool listed = mesh.hasPositions;
            if (list.corners.size() % 3 || (listed && int64_t(list.corners.size() / 3) != list.count) ||
                (!listed && !list.corners.empty()))
                c.Add("mesh %zu: %zu corners for %lld triangles", i, list.corners.size(), (long long)list.count);
            const size_t vertices = list.table.empty() ? streams[0] : (width ? list.table.size() / width : 0);
            for (uint32_t corner : list.corners)
                if (corner >= vertices) {
                    c.Add("mesh %zu: corner %u of %zu vertices", i, corner, vertices);
                    break;
                }
            if (width && list.table.size() % width) c.Add("mesh %zu: a partial table entry", i);
            for (size_t at = 0; width && at + width <= list.table.size(); at += width) {
                size_t k = 0;
                bool bad = false;
                for (int s = 0; s < 3; ++s)
                    if (used[s] && !mesh.positionsOnly) bad = bad || !InRange(list.table[at + k++], streams[s]);
                if (bad) {
                    c.Add("mesh %zu: a table entry past its stream", i);
                    break;
                }
            }
            // Each a listed zero's component, in table order.
            const std::vector<float>* values[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
            uint64_t after = 0;
            for (uint64_t sign : list.zeroSigns) {
                const uint64_t at = sign / 4, component = sign % 4;
                // The stream of the entry's column (3: none).
                int s = 0;
                for (uint64_t column = width ? at % width : 0; s < 3; ++s)
                    if (used[s] && column-- == 0) break;
                const size_t stride = s == 2 ? 2 : 3;
                const bool zero = width && !mesh.positionsOnly && at < list.table.size() && s < 3 &&
                                  component < stride && InRange(list.table[at], streams[s]) &&
                                  (*values[s])[size_t(list.table[at]) * stride + component] == 0;
                if (!zero || sign < after) {
                    c.Add("mesh %zu: a zero sign past its zeros", i);
                    break;
                }
                after = sign + 1;
            }
        }
    }
}

void CheckMaterials(Checker& c, const Scene& scene) {
    std::set<std::string> names;
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        const SceneMaterial& m = scene.materials[i];
        if (!names.insert(m.name).second) c.Add("material %zu: name %s twice", i, m.name.c_str());
        for (const SceneMapRef& map : m.maps)
            if (!InRange(map.image, scene.images.size())) c.Add("material %zu: map image %d", i, map.image);
            else if (scene.images[size_t(map.image)].kind != SceneImageKind::kMap)
                c.Add("material %zu: map image %d is no map", i, map.image);
        CheckFinite(c, m.emission, 4, "material", i);
        CheckFinite(c, m.ambient, 4, "material", i);
        CheckFinite(c, m.diffuse, 4, "material", i);
        CheckFinite(c, m.specular, 4, "material", i);
        CheckFinite(c, &m.transparency, 1, "material", i);
    }
    for (size_t i = 0; i < scene.images.size(); ++i) {
        const PixelImage& p = scene.images[i].picture;
        if (p.width < 0 || p.height < 0 || p.pixels.size() != size_t(p.width) * size_t(p.height) * 4)
            c.Add("image %zu: %zu bytes for %d x %d pixels", i, p.pixels.size(), p.width, p.height);
        if (scene.images[i].kind != SceneImageKind::kUnusedDump && p.pixels.empty())
            c.Add("image %zu: no pixels", i);
    }
}

void CheckAnimations(Checker& c, const Scene& scene) {
    for (size_t i = 0; i < scene.curves.size(); ++i) {
        const SceneCurve& curve = scene.curves[i];
        if (curve.node != -1 && !InRange(curve.node, scene.nodes.size())) c.Add("curve %zu: node %d", i, curve.node);
        for (const CurveKey& key : curve.data.keys) {
            const double values[6] = {key.time, key.value, key.inTangentX, key.inTangentY, key.outTangentX,
                                      key.outTangentY};
            CheckFinite(c, values, 6, "curve", i);
        }
    }
    for (size_t i = 0; i < scene.clips.size(); ++i) {
        const SceneClip& clip = scene.clips[i];
        const double times[4] = {clip.start, clip.end, clip.loopStart, clip.loopEnd};
        CheckFinite(c, times, 4, "clip", i);
        for (const SceneTrack& track : clip.tracks)
            for (int32_t curve : track.curves)
                if (!InRange(curve, scene.curves.size())) c.Add("clip %zu: curve %d", i, curve);
    }
    CheckFinite(c, &scene.endTime, 1, "end time", 0);
}

}  // namespace

std::vector<std::string> CheckScene(const Scene& scene) {
    Checker c;
    CheckNodes(c, scene);
    CheckMeshes(c, scene);
    CheckMaterials(c, scene);
    CheckAnimations(c, scene);
    return c.problems;
}
