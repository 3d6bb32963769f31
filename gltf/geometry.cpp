#include "gltf/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// The vertices of list l as its primitive numbers them: each glTF vertex's
// part vertex (runs of start and length), the part's vertex count, and the
// values of the part vertices no triangle uses.
// A list no primitive holds (no triangles, or a mesh glTF leaves out) gives
// all its part's vertices as unused ones.
void WriteListVertices(Json& json, const SceneMesh& mesh, size_t l, const std::vector<Primitive>* primitives,
                       const Buffer* measured) {
    const SceneTriangles& list = mesh.triangles[l];
    const Primitive* primitive = nullptr;
    if (primitives && list.count > 0)
        for (const Primitive& p : *primitives)
            if (p.material == list.material) primitive = &p;
    size_t k = 0;  // the list's place among its primitive's
    for (size_t i = 0; i < l; ++i) k += mesh.triangles[i].material == list.material && mesh.triangles[i].count > 0;
    const PrimitiveCounts* counts = primitive && primitive->counts < measured->counts.size()
                                        ? &measured->counts[primitive->counts] : nullptr;
    if (counts && k >= counts->listEnds.size()) counts = nullptr;
    const size_t begin = counts && k ? counts->listEnds[k - 1] : 0, end = counts ? counts->listEnds[k] : 0;
    static const std::vector<uint32_t> kNone;
    const std::vector<uint32_t>& partOf = counts ? counts->partVertices : kNone;
    const size_t width = size_t(std::max(mesh.components, 1));
    const size_t partVertices = list.table.empty() ? mesh.positions.size() / 3 : list.table.size() / width;
    json.Uint64(partVertices);
    json.StartArray();
    std::vector<bool> used(partVertices, false);
    for (size_t i = begin; i < end;) {
        size_t run = 1;
        while (i + run < end && partOf[i + run] == partOf[i] + run) ++run;
        json.Uint(partOf[i]);
        json.Uint64(run);
        for (size_t r = 0; r < run; ++r) used[partOf[i] + r] = true;
        i += run;
    }
    json.EndArray();
    json.StartArray();
    const std::vector<float>* streams[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
    const bool have[3] = {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords};
    const size_t widths[3] = {3, 3, 2};
    for (size_t v = 0; v < partVertices; ++v) {
        if (used[v]) continue;
        size_t column = 0;
        for (int s = 0; s < 3; ++s) {
            if (!have[s]) continue;
            const size_t number = list.table.empty() ? v : size_t(list.table[v * width + column]);
            ++column;
            for (size_t i = 0; i < widths[s]; ++i) {
                const size_t at = number * widths[s] + i;
                json.Double(at < streams[s]->size() && std::isfinite((*streams[s])[at]) ? (*streams[s])[at] : 0.0);
            }
        }
    }
    json.EndArray();
    // The used vertices whose values glTF does not give back as held (a
    // normal not of unit length, a V the flip rounds): each as its part
    // vertex and its values.
    json.StartArray();
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (size_t i = begin; i < end; ++i) {
        const size_t v = partOf[i];
        const int32_t self[3] = {int32_t(v), int32_t(v), int32_t(v)};
        const int32_t* numbers = list.table.empty() ? self : &list.table[v * width];
        float raw[8], written[8];
        size_t n = 0;
        bool kept = true;
        for (int s = 0; s < 3; ++s) {
            if (!have[s]) continue;
            const size_t number = size_t(numbers[n == 0 ? 0 : (s == 2 && mesh.hasNormals ? 2 : 1)]);
            float out[3];
            if (s == 0) PositionOf(mesh, numbers, out);
            else if (s == 1) NormalOf(mesh, numbers, out);
            else TexCoordOf(mesh, numbers, out), out[1] = 1.0f - out[1];
            for (size_t c = 0; c < widths[s]; ++c) {
                const size_t at = number * widths[s] + c;
                raw[n] = at < streams[s]->size() ? (*streams[s])[at] : 0.0f;
                written[n] = out[c];
                kept = kept && (same(raw[n], written[n]) || !std::isfinite(raw[n]));
                ++n;
            }
        }
        if (kept) continue;
        json.Uint64(v);
        for (size_t c = 0; c < n; ++c) json.Double(std::isfinite(raw[c]) ? raw[c] : 0.0);
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
    Key(json, "lists");
    json.StartArray();
    for (size_t l = 0; l < mesh.triangles.size(); ++l) {
        const SceneTriangles& list = mesh.triangles[l];
        json.StartArray();
        json.Int(list.material);
        json.Int64(list.count);
        WriteListVertices(json, mesh, l, primitives, measured);
        json.EndArray();
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace gltf
