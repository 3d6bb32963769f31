#include "gltf/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "scene/conventions.h"

namespace gltf {

namespace {

// One glTF vertex per part vertex the triangles use, numbered in order of
// first use: vertex(list, part vertex, its stream numbers) at each first
// use, index(number) for each corner of every triangle whose three vertices
// exist.
template <typename VertexFn, typename IndexFn>
void Walk(const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists, VertexFn&& vertex,
          IndexFn&& index) {
    const size_t width = size_t(mesh.components);
    uint32_t next = 0;
    std::vector<int32_t> number;
    for (size_t l = 0; l < lists.size(); ++l) {
        const SceneTriangles* list = lists[l];
        const std::vector<int32_t>& table = list->table;
        const size_t partVertices = table.empty() ? mesh.positions.size() / 3 : table.size() / width;
        number.assign(partVertices, -1);
        uint32_t corner[3];
        int filled = 0;
        bool whole = true;
        ForEachCorner(*list, [&](uint32_t v) {
            if (v < partVertices) {
                if (number[v] < 0) {
                    number[v] = int32_t(next++);
                    // Without a table the vertex number stands for every stream.
                    const int32_t self[3] = {int32_t(v), int32_t(v), int32_t(v)};
                    vertex(l, v, table.empty() ? self : &table[size_t(v) * width]);
                }
                corner[filled] = uint32_t(number[v]);
            } else {
                whole = false;
            }
            if (++filled < 3) return;
            if (whole)
                for (uint32_t c : corner) index(c);
            filled = 0;
            whole = true;
        });
    }
}

// The attributes of one vertex from its stream numbers (positions first,
// then normals, then texture coordinates, as the mesh has them): positions
// as stored, unit normals (a zero normal points along Z), texture
// coordinates with V turned (glTF's V runs down the picture, the stored V
// up). A number out of range gives the default; the numbers themselves are
// finite, as the model reader leaves every number it keeps.
void PositionOf(const SceneMesh& mesh, const int32_t* numbers, float* out) {
    const size_t p = size_t(numbers[0]);
    if (p * 3 + 2 < mesh.positions.size())
        for (size_t i = 0; i < 3; ++i) out[i] = mesh.positions[p * 3 + i];
    else
        out[0] = out[1] = out[2] = 0;
}

void NormalOf(const SceneMesh& mesh, const int32_t* numbers, float* out) {
    out[0] = out[1] = 0, out[2] = 1;
    const size_t q = size_t(numbers[1]);
    if (q * 3 + 2 >= mesh.normals.size()) return;
    const double x = mesh.normals[q * 3], y = mesh.normals[q * 3 + 1], z = mesh.normals[q * 3 + 2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 1e-12)) return;
    if (std::fabs(length - 1) <= 1e-6) {
        // Of unit length as stored (within a float's rounding): written as
        // it is, so reading it back needs nothing more.
        out[0] = mesh.normals[q * 3], out[1] = mesh.normals[q * 3 + 1], out[2] = mesh.normals[q * 3 + 2];
        return;
    }
    out[0] = float(x / length);
    out[1] = float(y / length);
    out[2] = float(z / length);
}

void TexCoordOf(const SceneMesh& mesh, const int32_t* numbers, float* out) {
    const size_t t = size_t(numbers[mesh.hasNormals ? 2 : 1]);
    out[0] = 0, out[1] = 1;
    if (t * 2 + 1 >= mesh.texCoords.size()) return;
    out[0] = mesh.texCoords[t * 2];
    out[1] = 1.0f - mesh.texCoords[t * 2 + 1];
}

// What the measuring run learns of a primitive: its vertices, corners and
// the positions' bounds.
PrimitiveCounts& Measure(Buffer& buffer, const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists) {
    PrimitiveCounts& counts = buffer.counts.emplace_back();
    size_t most = 0;
    for (const SceneTriangles* list : lists)
        most += list->table.empty() ? mesh.positions.size() / 3 : list->table.size() / size_t(mesh.components);
    // Sized once for every vertex the lists hold, cut to those used.
    counts.partVertices.resize(most);
    counts.listEnds.assign(lists.size(), 0);
    size_t n = 0;
    float min[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF}, max[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    Walk(mesh, lists,
         [&](size_t list, uint32_t v, const int32_t* numbers) {
             counts.partVertices[n++] = v;
             counts.listEnds[list] = n;
             float p[3];
             PositionOf(mesh, numbers, p);
             for (size_t i = 0; i < 3; ++i) {
                 min[i] = std::min(min[i], p[i]);
                 max[i] = std::max(max[i], p[i]);
             }
         },
         [&](uint32_t) { ++counts.corners; });
    for (size_t l = 1; l < lists.size(); ++l) counts.listEnds[l] = std::max(counts.listEnds[l], counts.listEnds[l - 1]);
    counts.partVertices.resize(n);
    counts.vertices = n;
    counts.min.assign(min, min + 3);
    counts.max.assign(max, max + 3);
    return counts;
}

// fn(stream numbers) for each vertex the measuring run found, in order.
template <typename Fn>
void ForEachVertex(const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists,
                   const PrimitiveCounts& counts, Fn&& fn) {
    const size_t width = size_t(mesh.components);
    size_t k = 0;
    for (size_t l = 0; l < lists.size(); ++l) {
        const std::vector<int32_t>& table = lists[l]->table;
        for (; k < counts.listEnds[l]; ++k) {
            const int32_t v = int32_t(counts.partVertices[k]);
            const int32_t self[3] = {v, v, v};
            fn(table.empty() ? self : &table[size_t(v) * width]);
        }
    }
}

// One attribute of every vertex (0 positions, 1 normals, 2 texture
// coordinates, 3 tangents) as a view and accessor; in the writing run its
// values go straight into the buffer.
int AddAttribute(Buffer& buffer, const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists,
                 const PrimitiveCounts& counts, int which, const std::vector<float>& tangents = {}) {
    static const int kWidths[4] = {3, 3, 2, 4};
    static const char* const kTypes[4] = {"VEC3", "VEC3", "VEC2", "VEC4"};
    static void (*const kValues[3])(const SceneMesh&, const int32_t*, float*) = {PositionOf, NormalOf, TexCoordOf};
    const size_t width = size_t(kWidths[which]), count = counts.vertices;
    const int view = buffer.BeginView(kArrayBuffer);
    if (!buffer.file) {
        buffer.Put(nullptr, count * width * sizeof(float));
    } else if (which == 3) {
        buffer.Put(tangents.data(), tangents.size() * sizeof(float));
    } else {
        float block[4096 * 3];
        const size_t full = sizeof block / sizeof block[0] / width * width;
        size_t n = 0;
        ForEachVertex(mesh, lists, counts, [&](const int32_t* numbers) {
            kValues[which](mesh, numbers, &block[n]);
            n += width;
            if (n == full) buffer.Put(block, n * sizeof(float)), n = 0;
        });
        buffer.Put(block, n * sizeof(float));
    }
    // Positions carry their bounds.
    if (which == 0) return buffer.AddAccessor(view, kFloat, count, kTypes[which], counts.min, counts.max);
    return buffer.AddAccessor(view, kFloat, count, kTypes[which]);
}

// The tangents of a primitive's vertices, from its corners.
std::vector<float> PrimitiveTangents(const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists,
                                     const PrimitiveCounts& counts) {
    const size_t n = counts.vertices;
    std::vector<float> positions(n * 3), normals(mesh.hasNormals ? n * 3 : 0), texCoords(mesh.hasTexCoords ? n * 2 : 0);
    size_t v = 0;
    ForEachVertex(mesh, lists, counts, [&](const int32_t* numbers) {
        PositionOf(mesh, numbers, &positions[v * 3]);
        if (mesh.hasNormals) NormalOf(mesh, numbers, &normals[v * 3]);
        if (mesh.hasTexCoords) TexCoordOf(mesh, numbers, &texCoords[v * 2]);
        ++v;
    });
    std::vector<uint32_t> indices;
    indices.reserve(counts.corners);
    Walk(mesh, lists, [](size_t, uint32_t, const int32_t*) {}, [&](uint32_t i) { indices.push_back(i); });
    return Tangents(positions, normals, texCoords, indices);
}

Primitive AddPrimitive(Buffer& buffer, const SceneMesh& mesh, int material, bool withTangents,
                       const std::vector<const SceneTriangles*>& lists) {
    Primitive primitive;
    primitive.material = material;
    const bool writing = buffer.measured && buffer.nextCounts < buffer.measured->counts.size();
    primitive.counts = writing ? buffer.nextCounts : buffer.counts.size();
    const PrimitiveCounts& counts = writing ? buffer.measured->counts[buffer.nextCounts++] : Measure(buffer, mesh, lists);
    const size_t vertices = counts.vertices, corners = counts.corners;
    if (corners == 0) return primitive;
    primitive.position = AddAttribute(buffer, mesh, lists, counts, 0);
    if (mesh.hasNormals) primitive.normal = AddAttribute(buffer, mesh, lists, counts, 1);
    if (mesh.hasTexCoords) primitive.texCoord = AddAttribute(buffer, mesh, lists, counts, 2);
    if (withTangents)
        primitive.tangent = AddAttribute(buffer, mesh, lists, counts, 3,
                                         buffer.file ? PrimitiveTangents(mesh, lists, counts) : std::vector<float>());
    // 16 bits when every index fits below the restart value 65535.
    const bool narrow = vertices <= 65535;
    const int view = buffer.BeginView(kElementArrayBuffer);
    if (!buffer.file) {
        buffer.Put(nullptr, corners * (narrow ? 2 : 4));
    } else if (narrow) {
        Block<uint16_t> block(buffer);
        Walk(mesh, lists, [](size_t, uint32_t, const int32_t*) {}, [&](uint32_t i) { block.Add(uint16_t(i)); });
    } else {
        Block<uint32_t> block(buffer);
        Walk(mesh, lists, [](size_t, uint32_t, const int32_t*) {}, [&](uint32_t i) { block.Add(i); });
    }
    primitive.indices = buffer.AddAccessor(view, narrow ? kUnsignedShort : kUnsignedInt, corners, "SCALAR");
    return primitive;
}

std::vector<Primitive> AddPrimitives(Buffer& buffer, const Scene& scene, const SceneMesh& mesh) {
    std::vector<Primitive> primitives;
    if (!mesh.hasPositions || mesh.components < 1) return primitives;
    std::vector<int32_t> order;
    for (const SceneTriangles& list : mesh.triangles) {
        if (list.count <= 0) continue;
        bool seen = false;
        for (int32_t m : order) seen = seen || m == list.material;
        if (!seen) order.push_back(list.material);
    }
    for (int32_t material : order) {
        std::vector<const SceneTriangles*> lists;
        for (const SceneTriangles& list : mesh.triangles)
            if (list.material == material && list.count > 0) lists.push_back(&list);
        // A normal map needs tangents beside the normals.
        const bool normalMap = material >= 0 && size_t(material) < scene.materials.size() &&
                               scene.materials[size_t(material)].Map(kMapNormal);
        Primitive primitive = AddPrimitive(buffer, mesh, material, normalMap, lists);
        if (primitive.indices >= 0) primitives.push_back(primitive);
    }
    return primitives;
}

// The streams as the extras number them: 0 positions, 1 normals, 2 texture
// coordinates.
const size_t kStreamWidths[3] = {3, 3, 2};
const char* const kStreamTypes[3] = {"VEC3", "VEC3", "VEC2"};

bool HasStream(const SceneMesh& mesh, int s) {
    return s == 0 ? mesh.hasPositions : s == 1 ? mesh.hasNormals : mesh.hasTexCoords;
}

// The numbers a part vertex gives for all its values.
size_t VertexWidth(const SceneMesh& mesh) {
    size_t width = 0;
    for (int s = 0; s < 3; ++s) width += HasStream(mesh, s) ? kStreamWidths[s] : 0;
    return width;
}

// The values of part vertex v of a list for stream s as the scene holds
// them (0 for a number out of range).
void RawValues(const SceneMesh& mesh, const SceneTriangles& list, size_t v, int s, float* out) {
    const std::vector<float>& stream = s == 0 ? mesh.positions : s == 1 ? mesh.normals : mesh.texCoords;
    size_t column = 0;
    for (int before = 0; before < s; ++before) column += HasStream(mesh, before);
    const size_t width = size_t(std::max(mesh.components, 1));
    const size_t number = list.table.empty() ? v : size_t(list.table[v * width + column]);
    for (size_t i = 0; i < kStreamWidths[s]; ++i) {
        const size_t at = number * kStreamWidths[s] + i;
        out[i] = at < stream.size() && std::isfinite(stream[at]) ? stream[at] : 0.0f;
    }
}

// Where list l's glTF vertices are among its primitive's: partOf[begin,
// end) gives the part vertex of each; partVertices, how many its part has.
// A list no primitive holds (no triangles, or a mesh glTF leaves out) uses
// none of its part's vertices.
struct ListRange {
    const std::vector<uint32_t>* partOf = nullptr;
    size_t begin = 0, end = 0, partVertices = 0;
};

// The part vertices of a list's range that no glTF vertex stands for, in order.
std::vector<uint32_t> UnusedVertices(const ListRange& range) {
    std::vector<bool> used(range.partVertices, false);
    for (size_t i = range.begin; i < range.end; ++i) used[(*range.partOf)[i]] = true;
    std::vector<uint32_t> vertices;
    for (size_t v = 0; v < range.partVertices; ++v)
        if (!used[v]) vertices.push_back(uint32_t(v));
    return vertices;
}

ListRange RangeOf(const SceneMesh& mesh, size_t l, const std::vector<Primitive>* primitives,
                  const std::vector<PrimitiveCounts>* all) {
    const SceneTriangles& list = mesh.triangles[l];
    ListRange range;
    const size_t width = size_t(std::max(mesh.components, 1));
    range.partVertices = list.table.empty() ? mesh.positions.size() / 3 : list.table.size() / width;
    const Primitive* primitive = nullptr;
    if (primitives && all && list.count > 0)
        for (const Primitive& p : *primitives)
            if (p.material == list.material) primitive = &p;
    if (!primitive || primitive->counts >= all->size()) return range;
    const PrimitiveCounts& counts = (*all)[primitive->counts];
    size_t k = 0;  // the list's place among its primitive's
    for (size_t i = 0; i < l; ++i) k += mesh.triangles[i].material == list.material && mesh.triangles[i].count > 0;
    if (k >= counts.listEnds.size()) return range;
    range.partOf = &counts.partVertices;
    range.begin = k ? counts.listEnds[k - 1] : 0;
    range.end = counts.listEnds[k];
    return range;
}

// The used vertices whose values glTF does not give back as held (a normal
// not of unit length, a V the flip rounds), and the streams that differ.
void FindHeld(const SceneMesh& mesh, const SceneTriangles& list, const ListRange& range, ListCounts& out) {
    if (!mesh.hasPositions) return;
    const size_t width = size_t(std::max(mesh.components, 1));
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || !std::isfinite(a); };
    for (size_t i = range.begin; i < range.end; ++i) {
        const size_t v = (*range.partOf)[i];
        const int32_t self[3] = {int32_t(v), int32_t(v), int32_t(v)};
        const int32_t* numbers = list.table.empty() ? self : &list.table[v * width];
        int differ = 0;
        for (int s = 0; s < 3; ++s) {
            if (!HasStream(mesh, s)) continue;
            float raw[3], written[3];
            RawValues(mesh, list, v, s, raw);
            if (s == 0) PositionOf(mesh, numbers, written);
            else if (s == 1) NormalOf(mesh, numbers, written);
            else TexCoordOf(mesh, numbers, written), written[1] = 1.0f - written[1];
            for (size_t c = 0; c < kStreamWidths[s]; ++c)
                if (!same(raw[c], written[c])) differ |= 1 << s;
        }
        if (!differ) continue;
        out.held.push_back(uint32_t(v));
        out.heldStreams |= differ;
    }
}

// More numbers than this in one array of a list's extras go into the
// buffer instead.
const size_t kInlineNumbers = 64;

// The part vertex runs (start, length) of a list's glTF vertices.
template <typename Fn>
void ForEachRun(const ListRange& range, Fn&& fn) {
    for (size_t i = range.begin; i < range.end;) {
        const std::vector<uint32_t>& partOf = *range.partOf;
        size_t run = 1;
        while (i + run < range.end && partOf[i + run] == partOf[i] + run) ++run;
        fn(partOf[i], run);
        i += run;
    }
}

// Floats of stream s for each of `vertices` part vertices as a view and
// accessor; vertex(i) gives the i-th part vertex.
template <typename VertexFn>
int AddStreamValues(Buffer& buffer, const SceneMesh& mesh, const SceneTriangles& list, int s, size_t vertices,
                    VertexFn&& vertex) {
    const int view = buffer.BeginView(0);
    if (!buffer.file) {
        buffer.Put(nullptr, vertices * kStreamWidths[s] * sizeof(float));
    } else {
        Block<float> block(buffer);
        for (size_t i = 0; i < vertices; ++i) {
            float values[3];
            RawValues(mesh, list, vertex(i), s, values);
            for (size_t c = 0; c < kStreamWidths[s]; ++c) block.Add(values[c]);
        }
    }
    return buffer.AddAccessor(view, kFloat, vertices, kStreamTypes[s]);
}

int AddNumbers(Buffer& buffer, size_t count, const std::function<void(Block<uint32_t>&)>& fill) {
    const int view = buffer.BeginView(0);
    if (!buffer.file) {
        buffer.Put(nullptr, count * sizeof(uint32_t));
    } else {
        Block<uint32_t> block(buffer);
        fill(block);
    }
    return buffer.AddAccessor(view, kUnsignedInt, count, "SCALAR");
}

// The list's data too long for the extras, into the buffer.
ListAccessors AddListData(Buffer& buffer, const SceneMesh& mesh, const SceneTriangles& list, const ListRange& range,
                          const ListCounts& counts) {
    ListAccessors at;
    const size_t width = VertexWidth(mesh);
    size_t runs = 0;
    ForEachRun(range, [&](uint32_t, size_t) { ++runs; });
    if (runs * 2 > kInlineNumbers)
        at.runs = AddNumbers(buffer, runs * 2, [&](Block<uint32_t>& block) {
            ForEachRun(range, [&](uint32_t start, size_t length) {
                block.Add(start);
                block.Add(uint32_t(length));
            });
        });
    const size_t unused = range.partVertices - (range.end - range.begin);
    if (unused * width > kInlineNumbers) {
        std::vector<uint32_t> vertices;
        if (buffer.file) vertices = UnusedVertices(range);
        for (int s = 0; s < 3; ++s)
            if (HasStream(mesh, s))
                at.unused[s] = AddStreamValues(buffer, mesh, list, s, unused, [&](size_t i) { return vertices[i]; });
    }
    const std::vector<uint32_t>& held = counts.held;
    if (held.size() * (width + 1) > kInlineNumbers) {
        at.held = AddNumbers(buffer, held.size(), [&](Block<uint32_t>& block) {
            for (uint32_t v : held) block.Add(v);
        });
        for (int s = 0; s < 3; ++s)
            if (counts.heldStreams & (1 << s))
                at.heldValues[s] =
                    AddStreamValues(buffer, mesh, list, s, held.size(), [&](size_t i) { return held[i]; });
    }
    return at;
}

// Each list's data too long for the extras: the measuring run finds the
// held vertices and keeps them for the writing run.
void AddLists(Buffer& buffer, const SceneMesh& mesh, const std::vector<Primitive>& primitives) {
    const bool writing = buffer.measured && buffer.nextLists < buffer.measured->lists.size();
    const std::vector<PrimitiveCounts>& all = writing ? buffer.measured->counts : buffer.counts;
    if (writing) {
        const std::vector<ListCounts>& lists = buffer.measured->lists[buffer.nextLists++];
        for (size_t l = 0; l < lists.size() && l < mesh.triangles.size(); ++l)
            AddListData(buffer, mesh, mesh.triangles[l], RangeOf(mesh, l, &primitives, &all), lists[l]);
        return;
    }
    std::vector<ListCounts> lists(mesh.triangles.size());
    for (size_t l = 0; l < lists.size(); ++l) {
        const ListRange range = RangeOf(mesh, l, &primitives, &all);
        FindHeld(mesh, mesh.triangles[l], range, lists[l]);
        lists[l].at = AddListData(buffer, mesh, mesh.triangles[l], range, lists[l]);
    }
    buffer.lists.push_back(std::move(lists));
}

}  // namespace

std::vector<float> Tangents(const std::vector<float>& positions, const std::vector<float>& normals,
                            const std::vector<float>& texCoords, const std::vector<uint32_t>& indices) {
    const size_t n = positions.size() / 3;
    std::vector<double> tan(n * 3, 0.0), bit(n * 3, 0.0);
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        const uint32_t a = indices[t], b = indices[t + 1], c = indices[t + 2];
        double e1[3], e2[3];
        for (int i = 0; i < 3; ++i) {
            e1[i] = double(positions[b * 3 + size_t(i)]) - positions[a * 3 + size_t(i)];
            e2[i] = double(positions[c * 3 + size_t(i)]) - positions[a * 3 + size_t(i)];
        }
        double du1 = 0, dv1 = 0, du2 = 0, dv2 = 0;
        if (!texCoords.empty()) {
            du1 = double(texCoords[b * 2]) - texCoords[a * 2];
            dv1 = double(texCoords[b * 2 + 1]) - texCoords[a * 2 + 1];
            du2 = double(texCoords[c * 2]) - texCoords[a * 2];
            dv2 = double(texCoords[c * 2 + 1]) - texCoords[a * 2 + 1];
        }
        const double det = du1 * dv2 - du2 * dv1;
        if (!(std::fabs(det) > 1e-20)) continue;
        const double r = 1 / det;
        for (uint32_t v : {a, b, c})
            for (int i = 0; i < 3; ++i) {
                tan[v * 3 + size_t(i)] += (e1[i] * dv2 - e2[i] * dv1) * r;
                bit[v * 3 + size_t(i)] += (e2[i] * du1 - e1[i] * du2) * r;
            }
    }
    std::vector<float> out(n * 4);
    for (size_t v = 0; v < n; ++v) {
        const double nz[3] = {0, 0, 1};
        const double* nv = nz;
        double nn[3];
        if (!normals.empty()) {
            for (int i = 0; i < 3; ++i) nn[i] = normals[v * 3 + size_t(i)];
            nv = nn;
        }
        double t[3] = {tan[v * 3], tan[v * 3 + 1], tan[v * 3 + 2]};
        const double d = t[0] * nv[0] + t[1] * nv[1] + t[2] * nv[2];
        for (int i = 0; i < 3; ++i) t[i] -= nv[i] * d;
        double length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (!(length > 1e-9) || !std::isfinite(length)) {
            // Across the normal: the axis it leans on least, made perpendicular.
            const double axis[3] = {std::fabs(nv[0]) < 0.9 ? 1.0 : 0.0, std::fabs(nv[0]) < 0.9 ? 0.0 : 1.0, 0};
            const double e = axis[0] * nv[0] + axis[1] * nv[1];
            for (int i = 0; i < 3; ++i) t[i] = axis[i] - nv[i] * e;
            length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        }
        const double cross[3] = {nv[1] * t[2] - nv[2] * t[1], nv[2] * t[0] - nv[0] * t[2], nv[0] * t[1] - nv[1] * t[0]};
        const double handed = cross[0] * bit[v * 3] + cross[1] * bit[v * 3 + 1] + cross[2] * bit[v * 3 + 2];
        for (int i = 0; i < 3; ++i) out[v * 4 + size_t(i)] = float(t[i] / length);
        out[v * 4 + 3] = handed < 0 ? -1.0f : 1.0f;
    }
    return out;
}

std::vector<Primitive> AddMesh(Buffer& buffer, const Scene& scene, const SceneMesh& mesh) {
    std::vector<Primitive> primitives = AddPrimitives(buffer, scene, mesh);
    AddLists(buffer, mesh, primitives);
    return primitives;
}

void WriteMeshesJson(Json& json, const Scene& scene, const std::vector<int>& meshOf,
                     const std::vector<std::vector<Primitive>>& meshes, const Buffer& measured) {
    if (meshes.empty()) return;
    Key(json, "meshes");
    json.StartArray();
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        if (meshOf[m] < 0) continue;
        json.StartObject();
        Key(json, "name");
        String(json, scene.meshes[m].name);
        Key(json, "primitives");
        json.StartArray();
        for (const Primitive& p : meshes[size_t(meshOf[m])]) {
            json.StartObject();
            Key(json, "attributes");
            json.StartObject();
            Key(json, "POSITION");
            json.Int(p.position);
            if (p.normal >= 0) {
                Key(json, "NORMAL");
                json.Int(p.normal);
            }
            if (p.texCoord >= 0) {
                Key(json, "TEXCOORD_0");
                json.Int(p.texCoord);
            }
            if (p.tangent >= 0) {
                Key(json, "TANGENT");
                json.Int(p.tangent);
            }
            json.EndObject();
            Key(json, "indices");
            json.Int(p.indices);
            if (p.material >= 0 && size_t(p.material) < scene.materials.size()) {
                Key(json, "material");
                json.Int(p.material);
            }
            json.EndObject();
        }
        json.EndArray();
        Key(json, "extras");
        WriteMeshExtras(json, scene, m, &meshes[size_t(meshOf[m])], &measured);
        json.EndObject();
    }
    json.EndArray();
}

namespace {

// The vertices of list l as its primitive numbers them: the part's vertex
// count, each glTF vertex's part vertex (runs of start and length), the
// values of the part vertices no triangle uses, and the used vertices glTF
// does not give back as held, each as its part vertex and its values.
// Each of the last three is empty where the buffer holds it.
void WriteListVertices(Json& json, const SceneMesh& mesh, size_t l, const std::vector<Primitive>* primitives,
                       const Buffer* measured, const ListCounts* counts) {
    const SceneTriangles& list = mesh.triangles[l];
    const ListRange range = RangeOf(mesh, l, primitives, measured ? &measured->counts : nullptr);
    static const ListCounts kNone;
    const ListCounts& data = counts ? *counts : kNone;
    json.Uint64(range.partVertices);
    json.StartArray();
    if (data.at.runs < 0)
        ForEachRun(range, [&](uint32_t start, size_t length) {
            json.Uint(start);
            json.Uint64(length);
        });
    json.EndArray();
    json.StartArray();
    // A vertex's values as stored, stream after stream.
    auto values = [&](uint32_t v) {
        for (int s = 0; s < 3; ++s) {
            if (!HasStream(mesh, s)) continue;
            float raw[3];
            RawValues(mesh, list, v, s, raw);
            for (size_t i = 0; i < kStreamWidths[s]; ++i) json.Double(raw[i]);
        }
    };
    if (data.at.unused[0] < 0 && data.at.unused[1] < 0 && data.at.unused[2] < 0)
        for (uint32_t v : UnusedVertices(range)) values(v);
    json.EndArray();
    json.StartArray();
    if (data.at.held < 0)
        for (uint32_t v : data.held) {
            json.Uint(v);
            values(v);
        }
    json.EndArray();
}

// Stream accessors as {"positions": a, "normals": a, "texCoords": a}, only
// those given.
void WriteStreamAccessors(Json& json, const int* accessors) {
    static const char* const kNames[3] = {"positions", "normals", "texCoords"};
    json.StartObject();
    for (int s = 0; s < 3; ++s)
        if (accessors[s] >= 0) {
            Key(json, kNames[s]);
            json.Int(accessors[s]);
        }
    json.EndObject();
}

// Per list, the accessors of the data the buffer holds for it: "runs",
// "unused", "held" and "heldValues" (each only when there); nothing when
// no list has any.
void WriteListData(Json& json, const std::vector<ListCounts>* lists) {
    bool any = false;
    if (lists)
        for (const ListCounts& list : *lists) any = any || list.at.Any();
    if (!any) return;
    Key(json, "listData");
    json.StartArray();
    for (const ListCounts& list : *lists) {
        const ListAccessors& at = list.at;
        json.StartObject();
        if (at.runs >= 0) {
            Key(json, "runs");
            json.Int(at.runs);
        }
        if (at.unused[0] >= 0 || at.unused[1] >= 0 || at.unused[2] >= 0) {
            Key(json, "unused");
            WriteStreamAccessors(json, at.unused);
        }
        if (at.held >= 0) {
            Key(json, "held");
            json.Int(at.held);
            Key(json, "heldValues");
            WriteStreamAccessors(json, at.heldValues);
        }
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

void WriteMeshExtras(Json& json, const Scene& scene, size_t m, const std::vector<Primitive>* primitives,
                     const Buffer* measured) {
    const SceneMesh& mesh = scene.meshes[m];
    json.StartObject();
    Key(json, "index");
    json.Int(int(m));
    Key(json, "name");
    String(json, mesh.name);
    if (mesh.positionsOnly) {
        Key(json, "positionsOnly");
        json.Bool(true);
    }
    // The streams it has and the numbers a vertex takes (a mesh glTF has
    // no primitive for may still hold values).
    Key(json, "streams");
    json.StartArray();
    for (bool has : {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords}) json.Bool(has);
    json.Int(mesh.components);
    json.EndArray();
    // The mesh's normals as held, where they are few (a hard-surface mesh):
    // Blender 3.4 gives normals back only to about 3.4e-4 (and zeros with
    // either sign), the reader takes the one of these each is near.
    if (mesh.hasNormals && mesh.normals.size() <= 3 * kCarriedNormals) {
        Key(json, "normals");
        json.StartArray();
        for (float v : mesh.normals) json.Double(double(v));
        json.EndArray();
    }
    const std::vector<ListCounts>* lists =
        measured && m < measured->lists.size() && measured->lists[m].size() == mesh.triangles.size()
            ? &measured->lists[m] : nullptr;
    Key(json, "lists");
    json.StartArray();
    for (size_t l = 0; l < mesh.triangles.size(); ++l) {
        const SceneTriangles& list = mesh.triangles[l];
        json.StartArray();
        json.Int(list.material);
        json.Int64(list.count);
        WriteListVertices(json, mesh, l, primitives, measured, lists ? &(*lists)[l] : nullptr);
        json.EndArray();
    }
    json.EndArray();
    WriteListData(json, lists);
    json.EndObject();
}

}  // namespace gltf
