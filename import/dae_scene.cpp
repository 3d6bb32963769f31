#include "import/dae_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/paths.h"
#include "core/platform.h"
#include "core/str.h"
#include "import/png_read.h"
#include "scene/conventions.h"
#include "scene/names.h"
#include "texture/texture_names.h"
#include "texture/tga_read.h"

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

bool EndsWith(const std::string& text, const char* end) {
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

bool StartsWith(const std::string& text, const char* start) { return text.compare(0, std::strlen(start), start) == 0; }

// The text between `open` and the next `close` after it; false when either is missing.
bool Between(const std::string& text, const char* open, const char* close, std::string& out, size_t& at) {
    const size_t a = text.find(open, at);
    if (a == std::string::npos) return false;
    const size_t from = a + std::strlen(open);
    const size_t b = text.find(close, from);
    if (b == std::string::npos) return false;
    out = text.substr(from, b - from);
    at = b + std::strlen(close);
    return true;
}

// "IMG[<key>]_FMT[<format>]": the name the encoder gives a picture.
bool ParseImageName(const std::string& name, std::string& key, std::string& format) {
    if (!StartsWith(name, "IMG[") || !EndsWith(name, "]")) return false;
    const size_t cut = name.rfind("]_FMT[");
    if (cut == std::string::npos || cut < 4) return false;
    key = name.substr(4, cut - 4);
    format = name.substr(cut + 6, name.size() - cut - 7);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The file an image's init_from names: a file URI or a path, percent escapes
// decoded, relative to the document's folder unless absolute.
std::string PicturePath(const std::string& documentPath, std::string name) {
    if (StartsWith(name, "file://")) {
        name = name.substr(7);
        // "file:///C:/x" names "C:/x".
        if (name.size() > 2 && name[0] == '/' && name[2] == ':') name = name.substr(1);
    }
    std::string decoded;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size() && HexDigit(name[i + 1]) >= 0 && HexDigit(name[i + 2]) >= 0) {
            decoded += char(HexDigit(name[i + 1]) * 16 + HexDigit(name[i + 2]));
            i += 2;
        } else {
            decoded += name[i];
        }
    }
    const bool absolute = (!decoded.empty() && (decoded[0] == '/' || decoded[0] == '\\')) ||
                          (decoded.size() > 1 && decoded[1] == ':');
    return absolute ? decoded : JoinFolder(FolderPart(documentPath), decoded);
}

void FlipRows(PixelImage& picture) {
    const size_t row = size_t(picture.width) * 4;
    for (int32_t top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(picture.pixels.begin() + ptrdiff_t(size_t(top) * row),
                         picture.pixels.begin() + ptrdiff_t(size_t(top + 1) * row),
                         picture.pixels.begin() + ptrdiff_t(size_t(bottom) * row));
}

bool AnyAlpha(const PixelImage& picture) {
    for (size_t i = 3; i < picture.pixels.size(); i += 4)
        if (picture.pixels[i] != 255) return true;
    return false;
}

// Reads an image's picture: a TGA (rows bottom first, as the scene keeps
// maps, unless it is an unused image kept as stored) or a PNG.
bool ReadPicture(const std::string& path, const std::string& document, SceneImage& image, ReadFailure& failure) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path.c_str(), bytes))
        return failure.Set(path, "cannot read this picture named by " + FileNamePart(document) + " - " + LastErrorText());
    std::string lower = path;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (EndsWith(lower, ".png")) return DecodePng(bytes.data(), bytes.size(), path, image.picture, failure);
    bool topDown = false;
    std::string reason;
    if (!ReadTgaBytes(bytes, image.picture, topDown, reason)) return failure.Set(path, reason);
    if (image.kind == SceneImageKind::kUnusedDump) image.topDown = topDown;
    else if (topDown) FlipRows(image.picture);
    return true;
}

// The float whose degrees (as the encoder turns radians into degrees) print
// as the text `degrees` came from, so the angle is written back alike.
float RadiansOf(float degrees) {
    const float guess = degrees / kDegreesPerRadian;
    const std::string want = FormatF6(double(degrees));
    float best = guess;
    float below = guess, above = guess;
    for (int step = 0; step < 16; ++step) {
        if (FormatF6(double(ToDegrees(below))) == want && ToDegrees(below) == degrees) return below;
        if (FormatF6(double(ToDegrees(above))) == want && ToDegrees(above) == degrees) return above;
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
    }
    below = above = guess;
    for (int step = 0; step < 16; ++step) {
        if (FormatF6(double(ToDegrees(below))) == want) return below;
        if (FormatF6(double(ToDegrees(above))) == want) return above;
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
    }
    return best;
}

using Matrix = double[4][4];

void Identity(Matrix m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1 : 0;
}

void MultiplyRight(Matrix m, const Matrix t) {
    double out[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            out[r][c] = 0;
            for (int k = 0; k < 4; ++k) out[r][c] += m[r][k] * t[k][c];
        }
    std::memcpy(m, out, sizeof out);
}

// A node's transforms (translate, rotate, scale, matrix) as one matrix.
void NodeMatrix(const std::vector<DaeTransform>& transforms, Matrix m) {
    Identity(m);
    for (const DaeTransform& t : transforms) {
        Matrix x;
        Identity(x);
        const float* v = t.values;
        if (t.kind == DaeTransform::kTranslate) {
            x[0][3] = v[0], x[1][3] = v[1], x[2][3] = v[2];
        } else if (t.kind == DaeTransform::kScale) {
            x[0][0] = v[0], x[1][1] = v[1], x[2][2] = v[2];
        } else if (t.kind == DaeTransform::kMatrix) {
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) x[r][c] = v[r * 4 + c];
        } else if (t.kind == DaeTransform::kRotate) {
            double ax = v[0], ay = v[1], az = v[2];
            const double length = std::sqrt(ax * ax + ay * ay + az * az);
            if (!(length > 0)) continue;
            ax /= length, ay /= length, az /= length;
            const double a = double(v[3]) * 3.14159265358979323846 / 180.0, s = std::sin(a), c = std::cos(a),
                         k = 1 - c;
            x[0][0] = c + ax * ax * k, x[0][1] = ax * ay * k - az * s, x[0][2] = ax * az * k + ay * s;
            x[1][0] = ay * ax * k + az * s, x[1][1] = c + ay * ay * k, x[1][2] = ay * az * k - ax * s;
            x[2][0] = az * ax * k - ay * s, x[2][1] = az * ay * k + ax * s, x[2][2] = c + az * az * k;
        } else {
            continue;  // lookat and skew: not placements the scene can hold
        }
        MultiplyRight(m, x);
    }
}

// Translation and the scene's Euler angles (Rz * Ry * Rx) of a matrix; a
// scale is left out.
void Decompose(const Matrix m, float* translation, float* rotation) {
    double r[3][3];
    for (int c = 0; c < 3; ++c) {
        const double length = std::sqrt(m[0][c] * m[0][c] + m[1][c] * m[1][c] + m[2][c] * m[2][c]);
        for (int i = 0; i < 3; ++i) r[i][c] = length > 0 ? m[i][c] / length : (i == c ? 1 : 0);
    }
    for (int i = 0; i < 3; ++i) translation[i] = std::isfinite(m[i][3]) ? float(m[i][3]) : 0.0f;
    const double sy = std::max(-1.0, std::min(1.0, -r[2][0]));
    double x, y = std::asin(sy), z;
    if (std::fabs(sy) < 0.9999999) {
        x = std::atan2(r[2][1], r[2][2]);
        z = std::atan2(r[1][0], r[0][0]);
    } else {
        x = 0;
        z = std::atan2(-r[0][1], r[1][1]);
    }
    const double angles[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) rotation[i] = std::isfinite(angles[i]) ? float(angles[i]) : 0.0f;
}

// The transforms the encoder writes: translate, then rotateZ, rotateY and
// rotateX about their axes.
bool EncoderPlacement(const std::vector<DaeTransform>& t) {
    static const char* const kSids[4] = {"translate", "rotateZ", "rotateY", "rotateX"};
    static const float kAxes[3][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    if (t.size() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        if (t[size_t(i)].sid != kSids[i]) return false;
        if (t[size_t(i)].kind != (i == 0 ? DaeTransform::kTranslate : DaeTransform::kRotate)) return false;
        if (i > 0 && std::memcmp(t[size_t(i)].values, kAxes[i - 1], sizeof kAxes[0]) != 0) return false;
    }
    return true;
}

// The first vertex number stored under each key: open addressing with
// linear probing, the slots at most half full, a key beside its number so
// that a lookup touches one place in memory.
class FirstNumbers {
public:
    // The number under `key`; when there is none, `number` is stored and
    // `added` set.
    uint32_t FindOrAdd(uint64_t key, uint32_t number, bool& added) {
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        Slot* s = &slots_[Index(key)];
        for (; s->number != kEmpty; s = &slots_[size_t(s - slots_.data() + 1) & (slots_.size() - 1)])
            if (s->key == key) return added = false, s->number;
        *s = Slot{key, number};
        ++used_;
        added = true;
        return number;
    }

    void Prefetch(uint64_t key) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[Index(key)]);
    }

private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        uint64_t key = 0;
        uint32_t number = kEmpty;
    };
    size_t Index(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> shift_); }
    void Grow() {
        std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
        old.swap(slots_);
        shift_ = 64;
        for (size_t n = slots_.size(); n > 1; n /= 2) --shift_;
        for (const Slot& slot : old) {
            if (slot.number == kEmpty) continue;
            size_t at = Index(slot.key);
            while (slots_[at].number != kEmpty) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = slot;
        }
    }
    std::vector<Slot> slots_;
    size_t used_ = 0;
    int shift_ = 64;
};

struct Import {
    const DaeDocument& doc;
    ReadFailure& failure;
    Scene& scene;
    std::vector<int32_t> nodeOf;  // DAE node -> scene node, -1 not placed
    std::vector<int32_t> meshOf;  // DAE geometry -> scene mesh

    bool Fail(const std::string& reason) { return failure.Set(doc.path, reason); }

    // --- pictures and materials ---

    bool Images(bool& encoderNames) {
        encoderNames = !doc.images.empty();
        for (const DaeImage& d : doc.images) {
            SceneImage image;
            std::string key, format;
            if (ParseImageName(d.name, key, format)) {
                image.key = key;
                image.format = format;
                if (FileNamePart(d.initFrom) == UnusedDumpFileName(key, format)) {
                    image.kind = SceneImageKind::kUnusedDump;
                    image.stem = key;
                } else {
                    const size_t cut = key.rfind('_');
                    image.stem = cut == std::string::npos ? key : key.substr(0, cut);
                    image.output = cut == std::string::npos ? std::string() : key.substr(cut + 1);
                }
            } else {
                encoderNames = false;
                image.stem = TextureStem(d.initFrom);
                image.key = image.stem;
            }
            if (!ReadPicture(PicturePath(doc.path, d.initFrom), doc.path, image, failure)) return false;
            image.hasAlpha = AnyAlpha(image.picture);
            scene.images.push_back(std::move(image));
        }
        return true;
    }

    // The encoder writes each material's maps as one run of pictures, in the
    // order they were composed; the effect names three of them (glow,
    // diffuse, specular), the run holds the rest beside them.
    void EncoderMaps(const std::vector<std::vector<int32_t>>& named) {
        std::vector<int32_t> owner(scene.images.size(), -1);
        for (size_t m = 0; m < named.size(); ++m)
            for (int32_t i : named[m]) owner[size_t(i)] = int32_t(m);
        for (size_t m = 0; m < named.size(); ++m) {
            if (named[m].empty()) continue;
            int32_t lo = *std::min_element(named[m].begin(), named[m].end());
            int32_t hi = *std::max_element(named[m].begin(), named[m].end());
            const std::string& stem = scene.images[size_t(lo)].stem;
            std::vector<std::string> outputs;
            for (int32_t i = lo; i <= hi; ++i) outputs.push_back(scene.images[size_t(i)].output);
            auto joins = [&](int32_t i) {
                if (i < 0 || size_t(i) >= scene.images.size() || owner[size_t(i)] >= 0) return false;
                const SceneImage& image = scene.images[size_t(i)];
                if (image.kind != SceneImageKind::kMap || image.stem != stem) return false;
                if (std::find(outputs.begin(), outputs.end(), image.output) != outputs.end()) return false;
                outputs.push_back(image.output);
                return true;
            };
            while (joins(lo - 1)) --lo;
            while (joins(hi + 1)) ++hi;
            SceneMaterial& material = scene.materials[m];
            for (int32_t i = lo; i <= hi; ++i) {
                owner[size_t(i)] = int32_t(m);
                material.maps.push_back({scene.images[size_t(i)].output, i});
            }
        }
    }

    void Materials(bool encoderNames) {
        std::vector<std::vector<int32_t>> named;
        for (const DaeMaterial& d : doc.materials) {
            SceneMaterial material;
            material.name = d.name.empty() ? d.id : d.name;
            material.glow = StartsWith(material.name, "MATGLOW[");
            std::vector<int32_t> images;
            if (d.effect >= 0) {
                const DaeEffect& fx = doc.effects[size_t(d.effect)];
                const std::pair<const DaeColorOrTexture*, float*> colours[] = {{&fx.emission, material.emission},
                                                                             {&fx.ambient, material.ambient},
                                                                             {&fx.diffuse, material.diffuse},
                                                                             {&fx.specular, material.specular}};
                for (const auto& c : colours)
                    if (c.first->present && c.first->image < 0) std::copy(c.first->color, c.first->color + 4, c.second);
                material.transparency = double(fx.transparency);
                const std::pair<const DaeColorOrTexture*, const char*> maps[] = {
                    {&fx.diffuse, kMapDiffuse}, {&fx.emission, kMapGlow}, {&fx.specular, kMapSpecular},
                    {&fx.bump, kMapNormal}};
                for (const auto& map : maps) {
                    const int32_t image = map.first->image;
                    if (image < 0 || std::find(images.begin(), images.end(), image) != images.end()) continue;
                    images.push_back(image);
                    if (encoderNames) continue;
                    SceneImage& picture = scene.images[size_t(image)];
                    if (picture.output.empty()) picture.output = map.second;
                    material.maps.push_back({map.second, image});
                }
            }
            named.push_back(images);
            scene.materials.push_back(std::move(material));
        }
        if (encoderNames) EncoderMaps(named);
    }

    // --- meshes ---

    struct Stream {
        const DaeSource* source = nullptr;
        int offset = -1;  // -1: the VERTEX index
        uint32_t width = 0;
    };

    // The stream of a semantic in a part: its own input, or one <vertices> gathers.
    Stream Find(const DaeGeometry& g, const DaeTriangles& part, const char* semantic, uint32_t width) {
        Stream s;
        s.width = width;
        int vertexOffset = -1;
        for (const DaeInput& in : part.inputs)
            if (in.semantic == "VERTEX") vertexOffset = int(in.offset);
        for (const DaeInput& in : part.inputs)
            if (in.semantic == semantic && in.source >= 0 && (in.set <= 0 || !s.source)) {
                s.source = &g.sources[size_t(in.source)];
                s.offset = int(in.offset);
            }
        if (!s.source && vertexOffset >= 0)
            for (const DaeInput& in : g.vertexInputs)
                if (in.semantic == semantic && in.source >= 0) {
                    s.source = &g.sources[size_t(in.source)];
                    s.offset = vertexOffset;
                    break;
                }
        if (s.source && s.source->stride < width) s.source = nullptr;
        return s;
    }

    // The values of a source, `width` of each element.
    static void Values(const DaeSource& source, uint32_t width, std::vector<float>& out) {
        out.reserve(size_t(source.count) * width);
        for (uint64_t e = 0; e < source.count; ++e)
            for (uint32_t k = 0; k < width; ++k) {
                const size_t at = size_t(e * source.stride + k);
                out.push_back(at < source.floats.size() ? source.floats[at] : 0.0f);
            }
    }

    // The scene material a part's symbol is bound to by the first node that
    // places the geometry, else the material of that id or name.
    int32_t BoundMaterial(size_t geometry, const std::string& symbol) {
        for (const DaeNode& node : doc.nodes)
            for (const DaeInstanceGeometry& g : node.geometries) {
                if (g.geometry != int(geometry)) continue;
                for (const DaeMaterialBinding& b : g.bindings)
                    if (b.symbol == symbol) return b.material;
            }
        for (size_t m = 0; m < doc.materials.size(); ++m)
            if (doc.materials[m].id == symbol || doc.materials[m].name == symbol) return int32_t(m);
        return -1;
    }

    bool Mesh(size_t index) {
        const DaeGeometry& g = doc.geometries[index];
        SceneMesh mesh;
        mesh.name = EndsWith(g.id, "-lib") ? g.id.substr(0, g.id.size() - 4) : (g.name.empty() ? g.id : g.name);
        const char* const kSemantics[3] = {"POSITION", "NORMAL", "TEXCOORD"};
        const uint32_t kWidths[3] = {3, 3, 2};
        std::vector<float>* const kLists[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
        bool* const kHas[3] = {&mesh.hasPositions, &mesh.hasNormals, &mesh.hasTexCoords};
        // The streams each part reads; the mesh holds every stream a part has.
        std::vector<std::array<Stream, 3>> parts;
        const DaeSource* used[3] = {nullptr, nullptr, nullptr};
        bool materials = false;
        for (const DaeTriangles& part : g.parts) {
            std::array<Stream, 3> streams;
            for (int s = 0; s < 3; ++s) {
                streams[size_t(s)] = Find(g, part, kSemantics[s], kWidths[s]);
                if (!streams[size_t(s)].source) continue;
                if (used[s] && used[s] != streams[size_t(s)].source)
                    return Fail("geometry " + Quote(g.id) + " reads its " + kSemantics[s] +
                                " values from more than one source");
                used[s] = streams[size_t(s)].source;
                *kHas[s] = true;
            }
            materials = materials || !part.material.empty();
            parts.push_back(streams);
        }
        mesh.components = int(mesh.hasPositions) + int(mesh.hasNormals) + int(mesh.hasTexCoords);
        // Positions alone, indexed by vertex number, bound to no material:
        // the engine shapes and collision meshes.
        mesh.positionsOnly = mesh.hasPositions && mesh.components == 1 && !materials;
        if (!mesh.hasPositions && !g.sources.empty() && g.parts.empty()) {
            for (const DaeInput& in : g.vertexInputs)
                if (in.semantic == "POSITION" && in.source >= 0 && g.sources[size_t(in.source)].stride >= 3) {
                    used[0] = &g.sources[size_t(in.source)];
                    mesh.hasPositions = mesh.positionsOnly = true;
                    mesh.components = 1;
                }
        }
        for (int s = 0; s < 3; ++s)
            if (used[s]) Values(*used[s], kWidths[s], *kLists[s]);

        for (size_t p = 0; p < g.parts.size(); ++p) {
            const DaeTriangles& part = g.parts[p];
            SceneTriangles list;
            list.material = mesh.positionsOnly ? -1 : BoundMaterial(index, part.material);
            list.count = int64_t(part.TriangleCount());
            const size_t corners = size_t(list.count) * 3;
            list.corners.reserve(corners);
            // The numbers of a corner: each read at its offset among the
            // corner's indices, or (offset -1) the one default value a part
            // without a stream the mesh has gets.
            int n = 0, streamOf[3] = {0, 0, 0}, offsets[3] = {0, 0, 0};
            uint32_t defaults[3] = {0, 0, 0};
            for (int s = 0; s < 3; ++s) {
                if (!*kHas[s]) continue;
                const Stream& stream = parts[p][size_t(s)];
                streamOf[n] = s;
                offsets[n] = stream.source ? std::max(stream.offset, 0) : -1;
                if (!stream.source && corners > 0) {
                    static const float kDefault[3][3] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 0}};
                    defaults[n] = uint32_t(kLists[s]->size() / kWidths[s]);
                    kLists[s]->insert(kLists[s]->end(), kDefault[s], kDefault[s] + kWidths[s]);
                }
                ++n;
            }
            for (size_t c = 0; c < corners; ++c)
                for (int k = 0; k < n; ++k) {
                    if (offsets[k] < 0) continue;
                    const uint32_t value = part.indices[c * part.stride + size_t(offsets[k])];
                    const DaeSource* source = parts[p][size_t(streamOf[k])].source;
                    if (value >= source->count)
                        return Fail("geometry " + Quote(g.id) + ": index " + std::to_string(value) + " of " +
                                    kSemantics[streamOf[k]] + " is out of range (" + std::to_string(source->count) +
                                    " values)");
                }
            auto numbersOf = [&](size_t c, uint32_t* numbers) {
                const uint32_t* at = &part.indices[c * part.stride];
                for (int k = 0; k < n; ++k) numbers[k] = offsets[k] < 0 ? defaults[k] : at[offsets[k]];
            };
            // Numbers below 2^21 pack into the key exactly; larger ones are
            // hashed, and a table entry confirms the match.
            auto keyOf = [n](const uint32_t* numbers) {
                uint64_t key = 0;
                bool exact = true;
                for (int k = 0; k < n; ++k) exact = exact && numbers[k] < (1u << 21);
                for (int k = 0; k < n; ++k)
                    key = exact ? key << 21 | numbers[k] : (key ^ numbers[k]) * 0x100000001B3ull | 1ull << 63;
                return key;
            };
            // A vertex is one combination of stream numbers, numbered in
            // order of first use. The slot of a corner some way ahead is
            // fetched while this one is looked up.
            FirstNumbers vertexOf;
            const size_t kAhead = 16;
            for (size_t c = 0; c < corners; ++c) {
                uint32_t numbers[3] = {0, 0, 0};
                numbersOf(c, numbers);
                if (mesh.positionsOnly) {
                    list.corners.push_back(numbers[0]);
                    continue;
                }
                if (c + kAhead < corners) {
                    uint32_t ahead[3] = {0, 0, 0};
                    numbersOf(c + kAhead, ahead);
                    vertexOf.Prefetch(keyOf(ahead));
                }
                bool added = false;
                uint32_t vertex = vertexOf.FindOrAdd(keyOf(numbers), uint32_t(list.table.size() / size_t(n ? n : 1)), added);
                bool same = !added;
                for (int k = 0; k < n && same; ++k) same = list.table[size_t(vertex) * size_t(n) + size_t(k)] == int32_t(numbers[k]);
                if (!same) {
                    vertex = uint32_t(list.table.size() / size_t(n ? n : 1));
                    for (int k = 0; k < n; ++k) list.table.push_back(int32_t(numbers[k]));
                }
                list.corners.push_back(vertex);
            }
            mesh.triangles.push_back(std::move(list));
        }
        meshOf[index] = int32_t(scene.meshes.size());
        scene.meshes.push_back(std::move(mesh));
        return true;
    }

    // --- nodes ---

    // Nodes placed by instance_node chain deeper than the document's own
    // nesting; past this depth they are left out.
    static constexpr int kMaxDepth = 1024;

    void Node(int index, int32_t parent, int depth) {
        const DaeNode& d = doc.nodes[size_t(index)];
        if (nodeOf[size_t(index)] >= 0 || depth > kMaxDepth) return;  // placed once
        SceneNode node;
        node.name = d.name.empty() ? d.id : d.name;
        node.parent = parent;
        node.nameOnly = d.transforms.empty() && d.geometries.empty() && d.extra.empty();
        if (EncoderPlacement(d.transforms)) {
            std::copy(d.transforms[0].values, d.transforms[0].values + 3, node.translation);
            for (int i = 0; i < 3; ++i) node.rotation[2 - i] = RadiansOf(d.transforms[size_t(i) + 1].values[3]);
        } else {
            Matrix m;
            NodeMatrix(d.transforms, m);
            Decompose(m, node.translation, node.rotation);
        }
        if (!d.geometries.empty() && d.geometries[0].geometry >= 0) {
            node.mesh = meshOf[size_t(d.geometries[0].geometry)];
            for (const DaeMaterialBinding& b : d.geometries[0].bindings)
                if (b.material >= 0) node.materials.push_back(b.material);
        }
        const int32_t self = int32_t(scene.nodes.size());
        nodeOf[size_t(index)] = self;
        scene.nodes.push_back(std::move(node));
        if (parent >= 0) scene.nodes[size_t(parent)].children.push_back(self);
        else scene.roots.push_back(self);
        for (int child : d.children) Node(child, self, depth + 1);
        for (int placed : d.instanceNodes) Node(placed, self, depth + 1);
    }

    // --- animations ---

    // Value k of a source's numbers; 0 past them (a list of names holds none).
    static float At(const DaeSource& source, size_t k) { return k < source.floats.size() ? source.floats[k] : 0.0f; }

    static const DaeSource* Input(const DaeAnimation& a, const DaeSampler& s, const char* semantic) {
        for (const DaeInput& in : s.inputs)
            if (in.semantic == semantic && in.source >= 0) return &a.sources[size_t(in.source)];
        return nullptr;
    }

    // The property a channel's target path drives ("translate.X",
    // "rotateZ.ANGLE", and the names other programs use for them).
    static CurveProperty PropertyOf(std::string path, double& factor) {
        for (char& c : path) c = char(std::tolower(static_cast<unsigned char>(c)));
        factor = 1;
        const bool translate = StartsWith(path, "translate") || StartsWith(path, "location");
        const bool rotate = StartsWith(path, "rotate") || StartsWith(path, "rotation");
        const char axis = path.empty() ? 0 : path[path.find('.') == std::string::npos ? path.size() - 1 : path.find('.') + 1];
        if (translate) {
            if (axis == 'x') return CurveProperty::kTranslateX;
            if (axis == 'y') return CurveProperty::kTranslateY;
            if (axis == 'z') return CurveProperty::kTranslateZ;
        }
        if (rotate) {
            factor = double(kDegreesPerRadian);
            const size_t dot = path.find('.');
            const char which = dot == std::string::npos || dot == 0 ? 0 : path[dot - 1];
            if (which == 'x') return CurveProperty::kRotateX;
            if (which == 'y') return CurveProperty::kRotateY;
            if (which == 'z') return CurveProperty::kRotateZ;
        }
        factor = 1;
        return CurveProperty::kOther;
    }

    // The joint a curve's target node stands for: the bracketed joint name,
    // "Root" for the top level, else the node's name.
    static std::string JointOf(const std::string& target) {
        if (StartsWith(target, "JNT[") && EndsWith(target, "]")) return target.substr(4, target.size() - 5);
        if (target == LodRootName(0)) return "Root";
        return target;
    }

    // A channel of whole matrices (as other programs sample a node's
    // transform): one linear curve per translation and Euler angle.
    void MatrixCurves(const DaeChannel& channel, const DaeSource& input, const DaeSource& output) {
        static const char* const kPropertyNames[7] = {"", "translateX", "translateY", "translateZ",
                                                      "rotateX", "rotateY", "rotateZ"};
        const int32_t node = channel.node >= 0 ? nodeOf[size_t(channel.node)] : -1;
        if (node < 0) return;
        const size_t keys = size_t(std::min(input.count, output.count));
        std::vector<float> values(keys * 6);
        for (size_t k = 0; k < keys; ++k) {
            Matrix m;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) m[r][c] = double(At(output, k * 16 + size_t(r * 4 + c)));
            Decompose(m, &values[k * 6], &values[k * 6 + 3]);
        }
        for (int p = 0; p < 6; ++p) {
            SceneCurve curve;
            curve.property = CurveProperty(p + 1);
            curve.node = node;
            curve.targetName = scene.nodes[size_t(node)].name;
            curve.joint = JointOf(curve.targetName);
            curve.data.name.Set(curve.joint + "_" + kPropertyNames[p + 1]);
            curve.data.index = int32_t(scene.curves.size());
            for (size_t k = 0; k < keys; ++k) {
                CurveKey key;
                key.time = double(At(input, k * input.stride));
                key.value = double(values[k * 6 + size_t(p)]);
                curve.data.keys.push_back(key);
            }
            scene.curves.push_back(std::move(curve));
        }
    }

    bool Curves() {
        static const char* const kPropertyNames[7] = {"", "translateX", "translateY", "translateZ",
                                                      "rotateX", "rotateY", "rotateZ"};
        std::string marker;  // the joint a marker animation names, for the curve after it
        for (const DaeAnimation& a : doc.animations) {
            if (a.channels.empty()) {
                if (!a.name.empty()) marker = a.name;
                continue;
            }
            for (const DaeChannel& channel : a.channels) {
                if (channel.sampler < 0) continue;
                const DaeSampler& sampler = a.samplers[size_t(channel.sampler)];
                const DaeSource* input = Input(a, sampler, "INPUT");
                const DaeSource* output = Input(a, sampler, "OUTPUT");
                if (!input || !output) continue;
                const size_t slash = channel.target.find('/');
                if (output->stride == 16) {
                    MatrixCurves(channel, *input, *output);
                    continue;
                }
                if (output->stride != 1) continue;
                SceneCurve curve;
                double factor = 1;
                curve.property = PropertyOf(slash == std::string::npos ? "" : channel.target.substr(slash + 1), factor);
                if (curve.property == CurveProperty::kOther) continue;  // not a placement the scene animates
                curve.node = channel.node >= 0 ? nodeOf[size_t(channel.node)] : -1;
                curve.targetName = curve.node >= 0 ? scene.nodes[size_t(curve.node)].name
                                                   : channel.target.substr(0, slash);
                curve.joint = !marker.empty() && AnimationTargetName(marker) == curve.targetName
                                  ? marker
                                  : JointOf(curve.targetName);
                marker.clear();
                curve.data.name.Set(curve.joint + "_" + kPropertyNames[int(curve.property)]);
                curve.data.index = int32_t(scene.curves.size());
                const DaeSource* inTangent = Input(a, sampler, "IN_TANGENT");
                const DaeSource* outTangent = Input(a, sampler, "OUT_TANGENT");
                const DaeSource* interpolation = Input(a, sampler, "INTERPOLATION");
                const size_t keys = size_t(std::min(input->count, output->count));
                const bool tangents = inTangent && outTangent && inTangent->stride >= 2 && outTangent->stride >= 2 &&
                                      inTangent->count >= keys && outTangent->count >= keys;
                if (tangents) curve.data.flags = kCurveTangents;
                for (size_t k = 0; k < keys; ++k) {
                    CurveKey key;
                    key.time = double(At(*input, k * input->stride));
                    key.value = double(At(*output, k)) / factor;
                    if (tangents) {
                        const size_t in = k * inTangent->stride, out = k * outTangent->stride;
                        key.inTangentX = At(*inTangent, in);
                        key.inTangentY = float(double(At(*inTangent, in + 1)) / factor);
                        key.outTangentX = At(*outTangent, out);
                        key.outTangentY = float(double(At(*outTangent, out + 1)) / factor);
                        key.interpolation = interpolation && k < interpolation->names.size() &&
                                                    interpolation->names[k] == "BEZIER"
                                                ? 1
                                                : 0;
                    }
                    curve.data.keys.push_back(key);
                }
                scene.curves.push_back(std::move(curve));
            }
        }
        return true;
    }

    // --- what the encoder keeps in names and extras ---

    void Timeline() {
        scene.endTime = kFrameSeconds;
        std::string text;
        size_t at = 0;
        if (Between(doc.sceneExtra, "<end_time>", "</end_time>", text, at)) {
            const double end = std::strtod(text.c_str(), nullptr);
            if (std::isfinite(end)) scene.endTime = end;
        } else {
            for (const SceneCurve& curve : scene.curves)
                if (!curve.data.keys.empty()) scene.endTime = std::max(scene.endTime, curve.data.keys.back().time);
        }
        for (const SceneNode& node : scene.nodes) {
            at = 0;
            if (StartsWith(node.name, "Class[MultiMesh]_Version[") &&
                Between(node.name, "_Version[", "]", text, at))
                scene.version = int32_t(std::strtol(text.c_str(), nullptr, 10));
            // "ANIM[<name>]_ST[<start>]_EN[<end>]_LS[<loop in>]_LE[<loop out>]" under HOLD_ANIM.
            if (node.parent < 0 || scene.nodes[size_t(node.parent)].name != kHoldAnimName) continue;
            SceneClip clip;
            std::string start, end, loopIn, loopOut;
            at = 0;
            const size_t cut = node.name.rfind("]_ST[");
            if (!StartsWith(node.name, "ANIM[") || cut == std::string::npos) continue;
            clip.name = node.name.substr(5, cut - 5);
            at = cut;
            if (!Between(node.name, "_ST[", "]", start, at) || !Between(node.name, "_EN[", "]", end, at) ||
                !Between(node.name, "_LS[", "]", loopIn, at) || !Between(node.name, "_LE[", "]", loopOut, at))
                continue;
            const float s = std::strtof(start.c_str(), nullptr), e = std::strtof(end.c_str(), nullptr);
            clip.start = double(s), clip.end = double(e);
            clip.loopStart = double(s + std::strtof(loopIn.c_str(), nullptr));
            clip.loopEnd = double(e - std::strtof(loopOut.c_str(), nullptr));
            // The document does not say which curves a clip's tracks link:
            // the clip plays them all over its time.
            SceneTrack track;
            for (size_t c = 0; c < scene.curves.size(); ++c) track.curves.push_back(int32_t(c));
            clip.tracks.push_back(std::move(track));
            scene.clips.push_back(std::move(clip));
        }
    }
};

}  // namespace

std::unique_ptr<Scene> SceneFromDae(const DaeDocument& doc, ReadFailure& failure) {
    auto scene = std::make_unique<Scene>();
    Import im{doc, failure, *scene, std::vector<int32_t>(doc.nodes.size(), -1),
              std::vector<int32_t>(doc.geometries.size(), -1)};
    bool encoderNames = false;
    if (!im.Images(encoderNames)) return nullptr;
    im.Materials(encoderNames);
    for (size_t g = 0; g < doc.geometries.size(); ++g)
        if (!im.Mesh(g)) return nullptr;
    for (int root : doc.roots) im.Node(root, -1, 0);
    if (!im.Curves()) return nullptr;
    im.Timeline();
    return scene;
}

std::unique_ptr<Scene> ImportDae(const std::string& path, ReadFailure& failure) {
    DaeDocument doc;
    if (!ReadDaeFile(path, doc, failure)) return nullptr;
    return SceneFromDae(doc, failure);
}
