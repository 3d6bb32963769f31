// glTF 2.0 from the scene: nodes as the scene names and places them, one
// primitive per material with de-duplicated vertices, materials with their
// composed maps as PNG images, and one animation per clip sampled at 30
// frames per second plus the key times. What glTF has no field for travels in
// "extras".
#include "gltf/gltf_writer.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "core/str.h"
#include "gltf/curves.h"
#include "gltf/png.h"
#include "scene/scene.h"
#include "texture/texture_names.h"

namespace {

using Json = rapidjson::Writer<rapidjson::StringBuffer>;

// The DAE's unit, the centimetre, in glTF's metres.
constexpr double kMetresPerUnit = 0.01;

enum : int { kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125 };
enum : int { kArrayBuffer = 34962, kElementArrayBuffer = 34963 };

// Holds every map as PNG bytes, in the order the scene lists its images.
class PngSink : public TextureSink {
public:
    std::vector<std::vector<unsigned char>> pngs;
    void Map(const SceneImage& image, const PixelImage& picture) override {
        pngs.emplace_back();
        if (!EncodePng(picture, image.hasAlpha, pngs.back()))
            OutProblem(Problem::kFailure, "ALERT: Unable to write texture file [%s]\n", PngName(image).c_str());
    }
    static std::string PngName(const SceneImage& image) {
        std::string name = ToUtf8(image.file);
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos) name.resize(dot);
        return name + ".png";
    }
};

struct View {
    size_t offset, length;
    int target;  // 0: none
};

struct Accessor {
    int view;
    int componentType;
    size_t count;
    const char* type;
    std::vector<double> min, max;  // empty: not given
};

struct Primitive {
    int material;
    int position = -1, normal = -1, texCoord = -1, tangent = -1, indices = -1;
};

// The binary buffer, built twice: first only measured (views, accessors
// and their bounds), then, the JSON written, printed straight into the file
// by the same calls. No copy of the whole buffer is ever held.
// What the measuring run learns of a primitive, so the writing run need
// not walk its triangles for it again.
struct PrimitiveCounts {
    size_t vertices = 0, corners = 0;
    std::vector<double> min, max;  // of the positions
};

struct Buffer {
    FILE* file = nullptr;  // null: measure only
    const struct Buffer* measured = nullptr;  // the writing run: the measuring run
    std::vector<PrimitiveCounts> counts;      // the measuring run's, in primitive order
    size_t nextCounts = 0;
    bool ok = true;
    size_t size = 0;  // bytes so far
    std::vector<View> views;
    std::vector<Accessor> accessors;

    void Pad() {
        static const unsigned char kZeros[4] = {0, 0, 0, 0};
        const size_t pad = (4 - size % 4) % 4;
        if (file && pad && std::fwrite(kZeros, 1, pad, file) != pad) ok = false;
        size += pad;
    }
    int BeginView(int target) {
        Pad();
        views.push_back({size, 0, target});
        return int(views.size() - 1);
    }
    void Put(const void* data, size_t length) {
        if (file && length && std::fwrite(data, 1, length, file) != length) ok = false;
        size += length;
        views.back().length += length;
    }
    int AddView(const void* data, size_t length, int target) {
        const int view = BeginView(target);
        Put(data, length);
        return view;
    }
    size_t PaddedSize() const { return (size + 3) / 4 * 4; }
    int AddAccessor(int view, int componentType, size_t count, const char* type, std::vector<double> min = {},
                    std::vector<double> max = {}) {
        accessors.push_back({view, componentType, count, type, std::move(min), std::move(max)});
        return int(accessors.size() - 1);
    }
    int AddFloats(const std::vector<float>& values, int width, const char* type, int target, bool bounds) {
        const int view = AddView(values.data(), values.size() * sizeof(float), target);
        std::vector<double> min, max;
        if (bounds) {
            min.assign(size_t(width), HUGE_VAL);
            max.assign(size_t(width), -HUGE_VAL);
            for (size_t i = 0; i < values.size(); ++i) {
                const size_t c = i % size_t(width);
                min[c] = std::min(min[c], double(values[i]));
                max[c] = std::max(max[c], double(values[i]));
            }
        }
        return AddAccessor(view, kFloat, values.size() / size_t(width), type, std::move(min), std::move(max));
    }
};

// Values put into the buffer through a small block.
template <typename T>
struct Block {
    Buffer& buffer;
    std::vector<T> values;
    explicit Block(Buffer& target) : buffer(target) { values.reserve(16384); }
    ~Block() { Flush(); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    void Add(T v) {
        values.push_back(v);
        if (values.size() == 16384) Flush();
    }
    void Flush() {
        buffer.Put(values.data(), values.size() * sizeof(T));
        values.clear();
    }
};

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// Per-vertex tangents for a normal map: each triangle's direction of rising
// U summed over its corners, made perpendicular to the normal (Z without
// normals) and unit length; w is -1 where the V direction is mirrored. A
// vertex without a usable direction gets any direction across its normal.
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

// One glTF vertex per part vertex the triangles use, numbered in order of
// first use: vertex(numbers) at each first use, index(number) for each
// corner of every triangle whose three vertices exist.
template <typename VertexFn, typename IndexFn>
void Walk(const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists, VertexFn&& vertex,
          IndexFn&& index) {
    const size_t width = size_t(mesh.components);
    uint32_t next = 0;
    for (const SceneTriangles* list : lists) {
        const std::vector<int32_t>& table = list->table;
        const size_t partVertices = table.empty() ? mesh.positions.size() / 3 : table.size() / width;
        std::vector<int32_t> number(partVertices, -1);
        uint32_t corner[3];
        int filled = 0;
        bool whole = true;
        ForEachCorner(*list, [&](uint32_t v) {
            if (v < partVertices) {
                if (number[v] < 0) {
                    number[v] = int32_t(next++);
                    const int32_t self = int32_t(v);
                    vertex(table.empty() ? &self : &table[size_t(v) * width]);
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

// The attributes of one vertex from its stream numbers: positions as
// stored, unit normals (a zero normal points along Z), texture coordinates
// with V turned (glTF's V runs down the picture, the stored V up).
struct VertexValues {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 1};
    float texCoord[2] = {0, 1};
    VertexValues(const SceneMesh& mesh, const int32_t* numbers) {
        size_t k = 0;
        const size_t p = size_t(numbers[k++]);
        if (p * 3 + 2 < mesh.positions.size())
            for (size_t i = 0; i < 3; ++i) position[i] = Finite(mesh.positions[p * 3 + i]);
        if (mesh.hasNormals) {
            const size_t q = size_t(numbers[k++]);
            if (q * 3 + 2 < mesh.normals.size()) {
                const double x = Finite(mesh.normals[q * 3]), y = Finite(mesh.normals[q * 3 + 1]),
                             z = Finite(mesh.normals[q * 3 + 2]);
                const double length = std::sqrt(x * x + y * y + z * z);
                if (length > 1e-12) {
                    normal[0] = float(x / length);
                    normal[1] = float(y / length);
                    normal[2] = float(z / length);
                }
            }
        }
        if (mesh.hasTexCoords) {
            const size_t t = size_t(numbers[k++]);
            if (t * 2 + 1 < mesh.texCoords.size()) {
                texCoord[0] = Finite(mesh.texCoords[t * 2]);
                texCoord[1] = 1.0f - Finite(mesh.texCoords[t * 2 + 1]);
            }
        }
    }
};

// One attribute of every vertex as a view and accessor, streamed.
int AddAttribute(Buffer& buffer, const SceneMesh& mesh, const std::vector<const SceneTriangles*>& lists,
                 int which, const PrimitiveCounts& counts) {
    static const int kWidths[3] = {3, 3, 2};
    static const char* const kTypes[3] = {"VEC3", "VEC3", "VEC2"};
    const int width = kWidths[which];
    const size_t count = counts.vertices;
    const int view = buffer.BeginView(kArrayBuffer);
    if (!buffer.file) {
        // Measuring: the sizes and the positions' bounds are known already.
        buffer.Put(nullptr, count * size_t(width) * sizeof(float));
        if (which == 0) return buffer.AddAccessor(view, kFloat, count, kTypes[which], counts.min, counts.max);
        return buffer.AddAccessor(view, kFloat, count, kTypes[which]);
    }
    std::vector<double> min(size_t(width), HUGE_VAL), max(size_t(width), -HUGE_VAL);
    {
        Block<float> block(buffer);
        Walk(mesh, lists,
             [&](const int32_t* numbers) {
                 const VertexValues v(mesh, numbers);
                 const float* values = which == 0 ? v.position : which == 1 ? v.normal : v.texCoord;
                 for (int i = 0; i < width; ++i) {
                     block.Add(values[i]);
                     min[size_t(i)] = std::min(min[size_t(i)], double(values[i]));
                     max[size_t(i)] = std::max(max[size_t(i)], double(values[i]));
                 }
             },
             [](uint32_t) {});
    }
    // Positions carry their bounds.
    if (which != 0) min.clear(), max.clear();
    return buffer.AddAccessor(view, kFloat, count, kTypes[which], std::move(min), std::move(max));
}

Primitive AddPrimitive(Buffer& buffer, const SceneMesh& mesh, int material, bool withTangents,
                       const std::vector<const SceneTriangles*>& lists) {
    Primitive primitive;
    primitive.material = material;
    PrimitiveCounts counts;
    if (buffer.measured && buffer.nextCounts < buffer.measured->counts.size()) {
        counts = buffer.measured->counts[buffer.nextCounts++];
    } else {
        counts.min.assign(3, HUGE_VAL);
        counts.max.assign(3, -HUGE_VAL);
        Walk(mesh, lists,
             [&](const int32_t* numbers) {
                 ++counts.vertices;
                 const VertexValues v(mesh, numbers);
                 for (size_t i = 0; i < 3; ++i) {
                     counts.min[i] = std::min(counts.min[i], double(v.position[i]));
                     counts.max[i] = std::max(counts.max[i], double(v.position[i]));
                 }
             },
             [&](uint32_t) { ++counts.corners; });
        buffer.counts.push_back(counts);
    }
    const size_t vertices = counts.vertices, corners = counts.corners;
    if (corners == 0) return primitive;
    primitive.position = AddAttribute(buffer, mesh, lists, 0, counts);
    if (mesh.hasNormals) primitive.normal = AddAttribute(buffer, mesh, lists, 1, counts);
    if (mesh.hasTexCoords) primitive.texCoord = AddAttribute(buffer, mesh, lists, 2, counts);
    if (withTangents) {
        std::vector<float> positions, normals, texCoords;
        std::vector<uint32_t> indices;
        Walk(mesh, lists,
             [&](const int32_t* numbers) {
                 const VertexValues v(mesh, numbers);
                 positions.insert(positions.end(), v.position, v.position + 3);
                 if (mesh.hasNormals) normals.insert(normals.end(), v.normal, v.normal + 3);
                 if (mesh.hasTexCoords) texCoords.insert(texCoords.end(), v.texCoord, v.texCoord + 2);
             },
             [&](uint32_t i) { indices.push_back(i); });
        primitive.tangent =
            buffer.AddFloats(Tangents(positions, normals, texCoords, indices), 4, "VEC4", kArrayBuffer, false);
    }
    // 16 bits when every index fits below the restart value 65535.
    const bool narrow = vertices <= 65535;
    const int view = buffer.BeginView(kElementArrayBuffer);
    if (!buffer.file) {
        buffer.Put(nullptr, corners * (narrow ? 2 : 4));
    } else if (narrow) {
        Block<uint16_t> block(buffer);
        Walk(mesh, lists, [](const int32_t*) {}, [&](uint32_t i) { block.Add(uint16_t(i)); });
    } else {
        Block<uint32_t> block(buffer);
        Walk(mesh, lists, [](const int32_t*) {}, [&](uint32_t i) { block.Add(i); });
    }
    primitive.indices = buffer.AddAccessor(view, narrow ? kUnsignedShort : kUnsignedInt, corners, "SCALAR");
    return primitive;
}

// One primitive per material, in the order the materials first appear.
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
                               scene.materials[size_t(material)].Map("NORM");
        Primitive primitive = AddPrimitive(buffer, mesh, material, normalMap, lists);
        if (primitive.indices >= 0) primitives.push_back(primitive);
    }
    return primitives;
}

// Rotation about X, then Y, then Z (the node's rotate order) as a quaternion x, y, z, w.
void EulerToQuaternion(double x, double y, double z, double q[4]) {
    const double cx = std::cos(x / 2), sx = std::sin(x / 2);
    const double cy = std::cos(y / 2), sy = std::sin(y / 2);
    const double cz = std::cos(z / 2), sz = std::sin(z / 2);
    // qz * qy * qx
    q[0] = cz * cy * sx - sz * sy * cx;
    q[1] = cz * sy * cx + sz * cy * sx;
    q[2] = sz * cy * cx - cz * sy * sx;
    q[3] = cz * cy * cx + sz * sy * sx;
}

void WriteNumbers(Json& json, const double* v, int n) {
    json.StartArray();
    for (int i = 0; i < n; ++i) json.Double(std::isfinite(v[i]) ? v[i] : 0.0);
    json.EndArray();
}

void WriteColour(Json& json, const float* c, int n) {
    double v[4];
    for (int i = 0; i < n; ++i) v[i] = double(c[i]);
    WriteNumbers(json, v, n);
}

void Key(Json& json, const char* key) { json.Key(key); }

// "key": {"index": texture}.
void TextureRef(Json& json, const char* key, int texture) {
    json.Key(key);
    json.StartObject();
    json.Key("index");
    json.Int(texture);
    json.EndObject();
}

void String(Json& json, const std::string& text) {
    const std::string utf8 = ToUtf8(text);
    json.String(utf8.c_str(), rapidjson::SizeType(utf8.size()));
}

// The curves of one node, by property.
struct NodeCurves {
    int32_t node;
    const AnimationCurve* translate[3] = {nullptr, nullptr, nullptr};
    const AnimationCurve* rotate[3] = {nullptr, nullptr, nullptr};
};

struct AnimationRange {
    std::string name;
    double start, end;
    const AnimationClip* clip;  // null: the whole timeline
};

struct Sampler {
    int input, output;
    int32_t node;
    const char* path;
};

// The animation samplers of one time range, their data in the buffer.
std::vector<Sampler> AddAnimation(Buffer& buffer, const Scene& scene, const std::vector<NodeCurves>& nodes,
                                  const AnimationRange& range) {
    std::vector<Sampler> samplers;
    for (const NodeCurves& node : nodes) {
        const SceneNode& target = scene.nodes[size_t(node.node)];
        for (int kind = 0; kind < 2; ++kind) {
            const AnimationCurve* const* curves = kind == 0 ? node.translate : node.rotate;
            std::vector<const AnimationCurve*> used;
            for (int i = 0; i < 3; ++i)
                if (curves[i]) used.push_back(curves[i]);
            if (used.empty()) continue;
            const std::vector<double> times = SampleTimes(used, range.start, range.end);
            std::vector<float> input, output;
            std::vector<double> previous;
            for (double t : times) {
                input.push_back(float(t - range.start));
                double v[3];
                for (int i = 0; i < 3; ++i) {
                    const float fixed = kind == 0 ? target.translation[i] : target.rotation[i];
                    v[i] = curves[i] ? CurveValue(*curves[i], t) : double(fixed);
                    if (!std::isfinite(v[i])) v[i] = 0;
                }
                if (kind == 0) {
                    // A root node's place is in metres (see the node's scale).
                    for (double c : v) output.push_back(float(target.parent < 0 ? c * kMetresPerUnit : c));
                    continue;
                }
                double q[4];
                EulerToQuaternion(v[0], v[1], v[2], q);
                // Neighbouring keys on the same side, so the turn between
                // them takes the short way.
                if (!previous.empty() && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
                    for (double& c : q) c = -c;
                previous.assign(q, q + 4);
                for (double c : q) output.push_back(float(c));
            }
            // Times must rise strictly as floats too.
            size_t kept = 1;
            const size_t width = kind == 0 ? 3 : 4;
            for (size_t i = 1; i < input.size(); ++i) {
                if (!(input[i] > input[kept - 1])) continue;
                input[kept] = input[i];
                std::copy(output.begin() + long(i * width), output.begin() + long((i + 1) * width),
                          output.begin() + long(kept * width));
                ++kept;
            }
            input.resize(kept);
            output.resize(kept * width);
            Sampler s;
            s.input = buffer.AddFloats(input, 1, "SCALAR", 0, true);
            s.output = buffer.AddFloats(output, int(width), kind == 0 ? "VEC3" : "VEC4", 0, false);
            s.node = node.node;
            s.path = kind == 0 ? "translation" : "rotation";
            samplers.push_back(s);
        }
    }
    return samplers;
}

std::string PercentEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

struct Target {
    bool binary;
    std::string shown;     // the path as given
    std::string folder;
    std::string name;      // file name without its extension
};

Target ParseTarget(const char* outputPath) {
    Target target;
    target.shown = outputPath ? outputPath : "";
    target.folder = FolderPart(target.shown);
    target.name = BaseNamePart(target.shown);
    const std::string fileName = FileNamePart(target.shown);
    const size_t dot = fileName.rfind('.');
    target.binary = dot != std::string::npos && EqualNoCase(fileName.c_str() + dot, ".glb");
    return target;
}

bool WriteBytes(FILE* file, const void* data, size_t length) {
    return length == 0 || std::fwrite(data, 1, length, file) == length;
}

}  // namespace

bool WriteGltf(const Model& model, const char* outputPath) {
    const Target target = ParseTarget(outputPath);
    MakeFolderTree(target.folder);
    Out("Saving %s\n", target.shown.c_str());
    PngSink sink;
    // glTF indexes whole vertices: the streams need no de-duplication of
    // their own.
    SceneOptions options;
    options.deduplicate = false;
    const std::unique_ptr<Scene> scene = BuildScene(model, options, sink);
    if (!scene) return false;

    const std::string binName = ToUtf8(target.name) + ".bin";
    // Animations: one per clip, or one over the whole timeline.
    std::vector<NodeCurves> nodeCurves;
    for (const SceneCurve& curve : scene->curves) {
        if (curve.node < 0 || curve.property == CurveProperty::kOther) continue;
        NodeCurves* entry = nullptr;
        for (NodeCurves& n : nodeCurves)
            if (n.node == curve.node) entry = &n;
        if (!entry) {
            nodeCurves.push_back(NodeCurves{curve.node});
            entry = &nodeCurves.back();
        }
        const int p = int(curve.property) - int(CurveProperty::kTranslateX);
        if (p < 3) entry->translate[p] = curve.curve;
        else entry->rotate[p - 3] = curve.curve;
    }
    std::vector<AnimationRange> ranges;
    for (const AnimationClip* clip : scene->clips) {
        const double start = std::isfinite(clip->start) ? double(clip->start) : 0.0;
        const double end = std::isfinite(clip->end) && clip->end > clip->start ? double(clip->end) : start;
        ranges.push_back({clip->name.value, start, end, clip});
    }
    if (ranges.empty() && !nodeCurves.empty())
        ranges.push_back({"Timeline", 0.0, std::isfinite(scene->endTime) ? scene->endTime : 0.0, nullptr});
    // Everything the buffer holds, in a fixed order: the meshes, in the GLB
    // the PNG maps, then the animations. Run once to measure, once to write.
    struct Layout {
        std::vector<int> meshOf;
        std::vector<std::vector<Primitive>> meshes;
        std::vector<int> imageOf, imageViews;
        std::vector<size_t> imageSource;
        std::vector<std::vector<Sampler>> animations;
    };
    auto fill = [&](Buffer& buffer, Layout& layout) {
        layout.meshOf.assign(scene->meshes.size(), -1);
        for (size_t m = 0; m < scene->meshes.size(); ++m) {
            std::vector<Primitive> primitives = AddMesh(buffer, *scene, scene->meshes[m]);
            if (primitives.empty()) continue;
            layout.meshOf[m] = int(layout.meshes.size());
            layout.meshes.push_back(std::move(primitives));
        }
        layout.imageOf.assign(scene->images.size(), -1);
        for (size_t i = 0; i < scene->images.size() && i < sink.pngs.size(); ++i) {
            if (sink.pngs[i].empty()) continue;
            layout.imageOf[i] = int(layout.imageSource.size());
            layout.imageSource.push_back(i);
            if (target.binary) layout.imageViews.push_back(buffer.AddView(sink.pngs[i].data(), sink.pngs[i].size(), 0));
        }
        for (const AnimationRange& range : ranges)
            layout.animations.push_back(AddAnimation(buffer, *scene, nodeCurves, range));
        buffer.Pad();
    };
    Buffer buffer;
    Layout layout;
    fill(buffer, layout);
    const std::vector<int>& meshOf = layout.meshOf;
    const std::vector<std::vector<Primitive>>& meshes = layout.meshes;
    const std::vector<int>& imageOf = layout.imageOf;
    const std::vector<int>& imageViews = layout.imageViews;
    const std::vector<size_t>& imageSource = layout.imageSource;
    const std::vector<std::vector<Sampler>>& animations = layout.animations;
    // The second run prints the buffer into an open file.
    auto writeBuffer = [&](FILE* file) {
        Buffer out;
        out.file = file;
        out.measured = &buffer;
        Layout ignored;
        fill(out, ignored);
        return out.ok && out.size == buffer.size;
    };

    rapidjson::StringBuffer text;
    Json json(text);
    json.StartObject();
    Key(json, "asset");
    json.StartObject();
    Key(json, "version");
    json.String("2.0");
    Key(json, "generator");
    json.String("VORDA");
    json.EndObject();
    Key(json, "scene");
    json.Int(0);
    Key(json, "scenes");
    json.StartArray();
    json.StartObject();
    Key(json, "name");
    String(json, target.name);
    Key(json, "nodes");
    json.StartArray();
    for (int32_t root : scene->roots) json.Int(root);
    json.EndArray();
    // The document's time line and the model's version, as the DAE has them.
    Key(json, "extras");
    json.StartObject();
    Key(json, "frameRate");
    json.Int(30);
    Key(json, "endTime");
    json.Double(std::isfinite(scene->endTime) ? scene->endTime : 0.0);
    Key(json, "version");
    json.Int(scene->version);
    json.EndObject();
    json.EndObject();
    json.EndArray();

    Key(json, "nodes");
    json.StartArray();
    for (const SceneNode& node : scene->nodes) {
        json.StartObject();
        Key(json, "name");
        String(json, node.name);
        if (!node.children.empty()) {
            Key(json, "children");
            json.StartArray();
            for (int32_t child : node.children) json.Int(child);
            json.EndArray();
        }
        // The DAE counts in centimetres, glTF in metres: every root node
        // scales its tree by 0.01 and stands at its place in metres.
        const double unit = node.parent < 0 ? kMetresPerUnit : 1.0;
        const double t[3] = {node.translation[0] * unit, node.translation[1] * unit, node.translation[2] * unit};
        if (t[0] != 0 || t[1] != 0 || t[2] != 0) {
            Key(json, "translation");
            WriteNumbers(json, t, 3);
        }
        if (node.rotation[0] != 0 || node.rotation[1] != 0 || node.rotation[2] != 0) {
            double q[4];
            EulerToQuaternion(node.rotation[0], node.rotation[1], node.rotation[2], q);
            Key(json, "rotation");
            WriteNumbers(json, q, 4);
        }
        if (node.parent < 0) {
            const double scale[3] = {kMetresPerUnit, kMetresPerUnit, kMetresPerUnit};
            Key(json, "scale");
            WriteNumbers(json, scale, 3);
        }
        if (node.mesh >= 0 && meshOf[size_t(node.mesh)] >= 0) {
            Key(json, "mesh");
            json.Int(meshOf[size_t(node.mesh)]);
        }
        json.EndObject();
    }
    json.EndArray();

    if (!meshes.empty()) {
        Key(json, "meshes");
        json.StartArray();
        for (size_t m = 0; m < scene->meshes.size(); ++m) {
            if (meshOf[m] < 0) continue;
            json.StartObject();
            Key(json, "name");
            String(json, scene->meshes[m].name);
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
                if (p.material >= 0 && size_t(p.material) < scene->materials.size()) {
                    Key(json, "material");
                    json.Int(p.material);
                }
                json.EndObject();
            }
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
    }

    if (!scene->materials.empty()) {
        Key(json, "materials");
        json.StartArray();
        for (const SceneMaterial& material : scene->materials) {
            auto texture = [&](const char* output) {
                const SceneMapRef* map = material.Map(output);
                return map ? imageOf[size_t(map->image)] : -1;
            };
            json.StartObject();
            Key(json, "name");
            String(json, material.name);
            Key(json, "pbrMetallicRoughness");
            json.StartObject();
            if (texture("DIFF") >= 0) {
                TextureRef(json, "baseColorTexture", texture("DIFF"));
            } else {
                Key(json, "baseColorFactor");
                WriteColour(json, material.diffuse, 4);
            }
            Key(json, "metallicFactor");
            json.Double(0.0);
            Key(json, "roughnessFactor");
            json.Double(1.0);
            json.EndObject();
            if (texture("GLOW") >= 0) {
                TextureRef(json, "emissiveTexture", texture("GLOW"));
                const float white[3] = {1, 1, 1};
                Key(json, "emissiveFactor");
                WriteColour(json, white, 3);
            } else if (material.emission[0] != 0 || material.emission[1] != 0 || material.emission[2] != 0) {
                Key(json, "emissiveFactor");
                WriteColour(json, material.emission, 3);
            }
            if (texture("NORM") >= 0) {
                TextureRef(json, "normalTexture", texture("NORM"));
            }
            // Every composed map by its output name (the image of each), and
            // the colours of the DAE's phong effect.
            Key(json, "extras");
            json.StartObject();
            Key(json, "maps");
            json.StartObject();
            for (const SceneMapRef& map : material.maps) {
                if (imageOf[size_t(map.image)] < 0) continue;
                Key(json, map.output.c_str());
                json.Int(imageOf[size_t(map.image)]);
            }
            json.EndObject();
            Key(json, "ambient");
            WriteColour(json, material.ambient, 4);
            Key(json, "specular");
            WriteColour(json, material.specular, 4);
            Key(json, "transparency");
            json.Double(material.transparency);
            if (material.unmapped) {
                Key(json, "unmapped");
                json.Bool(true);
            }
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
    }

    if (!imageSource.empty()) {
        Key(json, "images");
        json.StartArray();
        for (size_t i = 0; i < imageSource.size(); ++i) {
            const SceneImage& image = scene->images[imageSource[i]];
            json.StartObject();
            Key(json, "name");
            String(json, image.key);
            if (target.binary) {
                Key(json, "bufferView");
                json.Int(imageViews[i]);
                Key(json, "mimeType");
                json.String("image/png");
            } else {
                Key(json, "uri");
                json.String(PercentEncoded(PngSink::PngName(image)).c_str());
            }
            json.EndObject();
        }
        json.EndArray();
        Key(json, "samplers");
        json.StartArray();
        json.StartObject();
        Key(json, "wrapS");
        json.Int(10497);
        Key(json, "wrapT");
        json.Int(10497);
        json.EndObject();
        json.EndArray();
        Key(json, "textures");
        json.StartArray();
        for (size_t i = 0; i < imageSource.size(); ++i) {
            json.StartObject();
            Key(json, "sampler");
            json.Int(0);
            Key(json, "source");
            json.Int(int(i));
            json.EndObject();
        }
        json.EndArray();
    }

    bool anyAnimation = false;
    for (const auto& samplers : animations) anyAnimation = anyAnimation || !samplers.empty();
    if (anyAnimation) {
        Key(json, "animations");
        json.StartArray();
        for (size_t a = 0; a < animations.size(); ++a) {
            if (animations[a].empty()) continue;
            const AnimationRange& range = ranges[a];
            json.StartObject();
            Key(json, "name");
            String(json, range.name);
            Key(json, "channels");
            json.StartArray();
            for (size_t s = 0; s < animations[a].size(); ++s) {
                json.StartObject();
                Key(json, "sampler");
                json.Int(int(s));
                Key(json, "target");
                json.StartObject();
                Key(json, "node");
                json.Int(animations[a][s].node);
                Key(json, "path");
                json.String(animations[a][s].path);
                json.EndObject();
                json.EndObject();
            }
            json.EndArray();
            Key(json, "samplers");
            json.StartArray();
            for (const Sampler& s : animations[a]) {
                json.StartObject();
                Key(json, "input");
                json.Int(s.input);
                Key(json, "output");
                json.Int(s.output);
                Key(json, "interpolation");
                json.String("LINEAR");
                json.EndObject();
            }
            json.EndArray();
            // The clip's times on the model's time line (the keys start at 0).
            Key(json, "extras");
            json.StartObject();
            Key(json, "start");
            json.Double(range.start);
            Key(json, "end");
            json.Double(range.end);
            if (range.clip) {
                const double loop[2] = {double(range.clip->loopStart), double(range.clip->loopEnd)};
                Key(json, "loopStart");
                json.Double(std::isfinite(loop[0]) ? loop[0] : 0.0);
                Key(json, "loopEnd");
                json.Double(std::isfinite(loop[1]) ? loop[1] : 0.0);
            }
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
    }

    if (buffer.size > 0) {
        Key(json, "buffers");
        json.StartArray();
        json.StartObject();
        Key(json, "byteLength");
        json.Uint64(buffer.PaddedSize());
        if (!target.binary) {
            Key(json, "uri");
            json.String(PercentEncoded(binName).c_str());
        }
        json.EndObject();
        json.EndArray();
        Key(json, "bufferViews");
        json.StartArray();
        for (const View& view : buffer.views) {
            json.StartObject();
            Key(json, "buffer");
            json.Int(0);
            Key(json, "byteOffset");
            json.Uint64(view.offset);
            Key(json, "byteLength");
            json.Uint64(view.length);
            if (view.target) {
                Key(json, "target");
                json.Int(view.target);
            }
            json.EndObject();
        }
        json.EndArray();
        Key(json, "accessors");
        json.StartArray();
        for (const Accessor& a : buffer.accessors) {
            json.StartObject();
            Key(json, "bufferView");
            json.Int(a.view);
            Key(json, "componentType");
            json.Int(a.componentType);
            Key(json, "count");
            json.Uint64(a.count);
            Key(json, "type");
            json.String(a.type);
            if (!a.min.empty()) {
                Key(json, "min");
                WriteNumbers(json, a.min.data(), int(a.min.size()));
                Key(json, "max");
                WriteNumbers(json, a.max.data(), int(a.max.size()));
            }
            json.EndObject();
        }
        json.EndArray();
    }
    json.EndObject();

    if (target.binary) {
        // Header, the JSON chunk padded with spaces, the binary chunk.
        std::string chunk(text.GetString(), text.GetSize());
        while (chunk.size() % 4) chunk += ' ';
        const bool withBin = buffer.size > 0;
        const uint32_t total = uint32_t(12 + 8 + chunk.size() + (withBin ? 8 + buffer.PaddedSize() : 0));
        const uint32_t header[3] = {0x46546C67u, 2u, total};
        const uint32_t jsonHead[2] = {uint32_t(chunk.size()), 0x4E4F534Au};
        const uint32_t binHead[2] = {uint32_t(buffer.PaddedSize()), 0x004E4942u};
        const bool saved = SaveFileReplacing(target.shown, [&](FILE* file) {
            return WriteBytes(file, header, sizeof header) && WriteBytes(file, jsonHead, sizeof jsonHead) &&
                   WriteBytes(file, chunk.data(), chunk.size()) &&
                   (!withBin || (WriteBytes(file, binHead, sizeof binHead) &&
                                 writeBuffer(file)));
        });
        if (!saved) ReportFailedWrite("GLB", target.shown);
        return saved;
    }

    for (size_t i = 0; i < imageSource.size(); ++i) {
        const std::vector<unsigned char>& png = sink.pngs[imageSource[i]];
        const std::string path = JoinFolder(target.folder, PngSink::PngName(scene->images[imageSource[i]]));
        if (!SaveFileReplacing(path, [&](FILE* file) { return WriteBytes(file, png.data(), png.size()); }))
            ReportFailedWrite("texture", path);
    }
    if (buffer.size > 0) {
        const std::string binPath = JoinFolder(target.folder, binName);
        if (!SaveFileReplacing(binPath, [&](FILE* file) {
                return writeBuffer(file);
            })) {
            ReportFailedWrite("glTF buffer", binPath);
            return false;
        }
    }
    const bool saved = SaveFileReplacing(target.shown, [&](FILE* file) {
        return WriteBytes(file, text.GetString(), text.GetSize());
    });
    if (!saved) ReportFailedWrite("glTF", target.shown);
    return saved;
}
