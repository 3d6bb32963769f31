#include "scene/layout.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "scene/value_list.h"

namespace {

// The stream numbers of each vertex, visited in table order.
struct Streams {
    std::vector<float>* values[3] = {nullptr, nullptr, nullptr};
    int width[3] = {0, 0, 0};
    int count = 0;
};

Streams StreamsOf(SceneMesh& mesh) {
    Streams s;
    if (mesh.hasPositions) s.values[s.count] = &mesh.positions, s.width[s.count++] = 3;
    if (mesh.hasNormals) s.values[s.count] = &mesh.normals, s.width[s.count++] = 3;
    if (mesh.hasTexCoords) s.values[s.count] = &mesh.texCoords, s.width[s.count++] = 2;
    return s;
}


// The vertex's own value: the listed one with its zeros of the other sign.
template <int N>
void OwnValue(const float* listed, uint32_t bits, float* own) {
    for (int i = 0; i < N; ++i) own[i] = (bits >> i & 1) ? -listed[i] : listed[i];
}

// A table entry naming a value the stream does not hold keeps its number
// (the scene check reports it) and takes no value along. `signs` gets each
// list's zeros of the other sign in this column.
template <int N>
void Deduplicate(std::vector<float>& values, std::vector<SceneTriangles>& lists, int column, int stride,
                 std::vector<std::vector<uint64_t>>& signs) {
    std::vector<float> result;
    const size_t have = values.size() / N;
    {
        // Values each listed once already stay in their order, with the
        // zeros of the other sign; the first value listed twice ends the look.
        ValueList<N> once(result, true);
        size_t v = 0;
        while (v < have) {
            if (v + 8 < have) once.Prefetch(&values[(v + 8) * N]);
            if (once.Find(&values[v * N]) != int32_t(v)) break;
            ++v;
        }
        if (v == have) {
            for (size_t l = 0; l < lists.size(); ++l)
                for (uint64_t sign : lists[l].zeroSigns)
                    if (sign / 4 % uint64_t(stride) == uint64_t(column)) signs[l].push_back(sign);
            return;
        }
        result.clear();
    }
    ValueList<N> list(result, true);
    // A large mesh's index is far bigger than the processor's caches: the
    // slot of the value a few entries on is fetched while this one is found.
    const size_t ahead = size_t(stride) * 8;
    for (size_t l = 0; l < lists.size(); ++l) {
        std::vector<int32_t>& table = lists[l].table;
        ZeroSignCursor cursor(lists[l].zeroSigns);
        for (size_t at = size_t(column); at < table.size(); at += size_t(stride)) {
            if (at + ahead < table.size()) {
                const int32_t next = table[at + ahead];
                if (next >= 0 && size_t(next) < have) list.Prefetch(&values[size_t(next) * N]);
            }
            int32_t& entry = table[at];
            if (entry < 0 || size_t(entry) >= have) continue;
            float own[N];
            OwnValue<N>(&values[size_t(entry) * N], cursor.At(at), own);
            entry = list.Find(own);
            AddZeroSigns(signs[l], at, list.ZeroSigns(entry, own));
        }
    }
    values.swap(result);
}

template <int N>
void Expand(std::vector<float>& values, std::vector<SceneTriangles>& lists, int column, int stride) {
    std::vector<float> result;
    const size_t have = values.size() / N;
    for (SceneTriangles& triangles : lists) {
        ZeroSignCursor cursor(triangles.zeroSigns);
        for (size_t at = size_t(column); at < triangles.table.size(); at += size_t(stride)) {
            int32_t& entry = triangles.table[at];
            if (entry < 0 || size_t(entry) >= have) continue;
            float own[N];
            OwnValue<N>(&values[size_t(entry) * N], cursor.At(at), own);
            entry = int32_t(result.size() / N);
            result.insert(result.end(), own, own + N);
        }
    }
    values.swap(result);
}

// Lists whose vertex number stands for every stream get a table: each list
// the run of mesh vertices from where the one before ended (or its lowest
// corner) to its highest corner, in order, so the values are met in the
// order the vertices hold them.
void GiveTables(SceneMesh& mesh) {
    uint32_t end = 0;
    const size_t width = size_t(mesh.components);
    for (SceneTriangles& list : mesh.triangles) {
        if (!list.table.empty() || list.corners.empty()) continue;
        uint32_t low = UINT32_MAX, high = 0;
        for (uint32_t c : list.corners) low = std::min(low, c), high = std::max(high, c);
        const uint32_t first = std::min(end, low);
        list.table.reserve(size_t(high - first + 1) * width);
        for (uint32_t v = first; v <= high; ++v)
            for (size_t k = 0; k < width; ++k) list.table.push_back(int32_t(v));
        for (uint32_t& c : list.corners) c -= first;
        end = high + 1;
    }
}

}  // namespace

void SetVertexLayout(Scene& scene, const SceneOptions& options) {
    for (SceneMesh& mesh : scene.meshes) {
        if (mesh.positionsOnly || mesh.components <= 0) continue;
        if (options.deduplicate) GiveTables(mesh);
        bool tables = false;
        for (const SceneTriangles& list : mesh.triangles) tables = tables || !list.table.empty();
        if (!tables) continue;
        Streams s = StreamsOf(mesh);
        if (s.count != mesh.components) continue;
        std::vector<std::vector<uint64_t>> signs(mesh.triangles.size());
        for (int k = 0; k < s.count; ++k) {
            if (options.deduplicate) {
                if (s.width[k] == 3) Deduplicate<3>(*s.values[k], mesh.triangles, k, s.count, signs);
                else Deduplicate<2>(*s.values[k], mesh.triangles, k, s.count, signs);
            } else {
                if (s.width[k] == 3) Expand<3>(*s.values[k], mesh.triangles, k, s.count);
                else Expand<2>(*s.values[k], mesh.triangles, k, s.count);
            }
        }
        // Every vertex has its own values now, or the signs found column by
        // column go in table order.
        for (size_t l = 0; l < mesh.triangles.size(); ++l) {
            std::sort(signs[l].begin(), signs[l].end());
            mesh.triangles[l].zeroSigns.swap(signs[l]);
        }
    }
}
