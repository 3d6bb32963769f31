#include "import/dae_scene.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "core/paths.h"
#include "core/platform.h"
#include "core/str.h"
#include "import/frame.h"
#include "import/png_read.h"
#include "model/transform.h"
#include "scene/conventions.h"
#include "scene/exact_numbers.h"
#include "scene/fact_texts.h"
#include "scene/names.h"
#include "scene/scene_texts.h"
#include "texture/texture_names.h"
#include "texture/tga_read.h"

namespace {

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// The tool's own technique among an element's extras (collada/extras.h):
// what the document's text does not give back. None in another program's
// document, or in one the tool wrote before it carried the technique.
class Vorda {
public:
    explicit Vorda(const DaeExtras& extras) {
        for (pugi::xml_node extra : pugi::xml_node(extras.holder).children("extra"))
            for (pugi::xml_node technique : extra.children("technique"))
                if (!technique_ && std::strcmp(technique.attribute("profile").value(), "VORDA") == 0)
                    technique_ = technique;
    }
    explicit operator bool() const { return bool(technique_); }
    pugi::xml_node Child(const char* name) const { return technique_.child(name); }
    pugi::xml_object_range<pugi::xml_named_node_iterator> Children(const char* name) const {
        return technique_.children(name);
    }

private:
    pugi::xml_node technique_;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whitespace-separated numbers of one type (from_chars: integers, or floats
// and doubles in their shortest exact text); false at anything else.
template <typename T>
bool Numbers(const char* text, std::vector<T>& out) {
    const char* end = text + std::strlen(text);
    for (const char* p = text;;) {
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) return true;
        T v{};
        const auto r = std::from_chars(p, end, v);
        if (r.ec != std::errc() || (r.ptr < end && !IsSpace(*r.ptr))) return false;
        out.push_back(v);
        p = r.ptr;
    }
}

template <typename T>
bool Number(const char* text, T& out) {
    std::vector<T> v;
    if (!Numbers(text, v) || v.size() != 1) return false;
    out = v[0];
    return true;
}

// An integer attribute, or `otherwise` when it is missing or not one.
int64_t IntAttr(pugi::xml_node element, const char* name, int64_t otherwise) {
    int64_t v = otherwise;
    return Number(element.attribute(name).value(), v) ? v : otherwise;
}

// Runs of "start length" pairs, expanded; false when damaged or longer than `limit`.
bool Runs(const char* text, size_t limit, std::vector<uint32_t>& out) {
    std::vector<int64_t> pairs;
    if (!Numbers(text, pairs) || pairs.size() % 2) return false;
    for (size_t i = 0; i < pairs.size(); i += 2) {
        if (pairs[i] < 0 || pairs[i + 1] < 0 || uint64_t(pairs[i + 1]) > limit - out.size() ||
            pairs[i] > int64_t(UINT32_MAX) - pairs[i + 1])
            return false;
        for (int64_t k = 0; k < pairs[i + 1]; ++k) out.push_back(uint32_t(pairs[i] + k));
    }
    return true;
}

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

// Extras as XML text, for a search through what another program wrote.
std::string XmlText(const DaeExtras& extras) {
    struct Out : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    } out;
    for (pugi::xml_node extra : pugi::xml_node(extras.holder).children()) extra.print(out, "", pugi::format_raw);
    return out.text;
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
    std::vector<int32_t> imageOf;  // DAE image -> scene image
    // The document's unit and up axis turned into the scene's (centimetres,
    // Y up): a factor on every length, and a turn of every frame (vertices,
    // normals and places alike: the axes are renamed, no node turned).
    double unit = 1;
    Matrix up = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    bool upTurned = false;
    // Per scene node: the frame its translation lies in and its own (the
    // unit and the scales above it, baked into places and vertices).
    std::vector<Frame> placeOf{}, frameOf{};
    std::vector<std::pair<std::pair<int32_t, Frame>, int32_t>> copies{};  // (mesh, frame) -> its baked copy
    std::map<int32_t, SceneMesh> unbaked{};  // meshes baked in place, as read
    uint64_t copied = 0;                     // vertices of the copies

    bool Fail(const std::string& reason) { return failure.Set(doc.path, reason); }
    void Note(std::string line) { scene.notes.push_back(std::move(line)); }

    // Vectors (x, y, z after each other) along the scene's axes.
    void Turn(std::vector<float>& values) const {
        for (size_t i = 0; i + 2 < values.size(); i += 3) {
            const double v[3] = {values[i], values[i + 1], values[i + 2]};
            for (int r = 0; r < 3; ++r) values[i + size_t(r)] = float(up[r][0] * v[0] + up[r][1] * v[1] + up[r][2] * v[2]);
        }
    }
    // A node's matrix in the scene's axes: up x m x up^T.
    void Turn(Matrix m) const {
        Matrix turned, back;
        std::memcpy(turned, up, sizeof turned);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) back[r][c] = up[c][r];
        MultiplyRight(turned, m);
        MultiplyRight(turned, back);
        std::memcpy(m, turned, sizeof turned);
    }

    void Units() {
        const double ratio = doc.unitMeter / kMetresPerUnit;
        // (The tool's own centimetres, read back as a float, stay exact.)
        unit = std::fabs(ratio - 1) < 1e-6 || !std::isfinite(ratio) ? 1 : ratio;
        std::string axis = doc.upAxis;
        axis.erase(std::remove_if(axis.begin(), axis.end(), [](char c) { return IsSpace(c); }), axis.end());
        if (axis == "Z_UP") {  // (x, y, z) -> (x, z, -y)
            up[1][1] = 0, up[1][2] = 1, up[2][1] = -1, up[2][2] = 0;
            upTurned = true;
        } else if (axis == "X_UP") {  // (x, y, z) -> (-y, x, z)
            up[0][0] = 0, up[0][1] = -1, up[1][0] = 1, up[1][1] = 0;
            upTurned = true;
        }
    }

    // --- pictures and materials ---

    bool Images(bool& encoderNames) {
        encoderNames = !doc.images.empty();
        for (const DaeImage& d : doc.images) {
            SceneImage image;
            std::string key, format;
            if (ParseImageName(d.name, key, format)) {
                image.key = key;
                image.format = format;
                if (FileNamePart(PicturePath(std::string(), d.initFrom)) == UnusedDumpFileName(key, format)) {
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
            const Vorda vorda(d.extra);
            const pugi::xml_node facts = vorda.Child("picture");
            if (facts) PictureFacts(facts, image);
            if (!facts || !IntAttr(facts, "no_file", 0)) {
                if (!ReadPicture(PicturePath(doc.path, d.initFrom), doc.path, image, failure)) return false;
                if (!facts) image.hasAlpha = AnyAlpha(image.picture);
            }
            imageOf.push_back(int32_t(scene.images.size()));
            scene.images.push_back(std::move(image));
        }
        // The decoded sources of the maps have files but no <image>: each
        // goes back to its place among the pictures.
        const Vorda vorda(doc.imagesExtra);
        for (pugi::xml_node facts : vorda.Children("source_image")) {
            SceneImage image;
            PictureFacts(facts, image);
            const std::string file = facts.attribute("file").value();
            const std::string path = JoinFolder(FolderPart(doc.path), FileNamePart(file));
            if (!ReadPicture(path, doc.path, image, failure)) return false;
            const int64_t at = IntAttr(facts, "index", -1);
            const size_t place = at >= 0 && uint64_t(at) < scene.images.size() ? size_t(at) : scene.images.size();
            scene.images.insert(scene.images.begin() + ptrdiff_t(place), std::move(image));
            for (int32_t& i : imageOf)
                if (size_t(i) >= place) ++i;
        }
        return true;
    }

    // A picture's facts as the encoder keeps them (collada/extras.cpp).
    static void PictureFacts(pugi::xml_node facts, SceneImage& image) {
        const std::string kind = facts.attribute("kind").value();
        image.kind = kind == "source"   ? SceneImageKind::kSourceDump
                     : kind == "unused" ? SceneImageKind::kUnusedDump
                                        : SceneImageKind::kMap;
        image.key = facts.attribute("key").value();
        image.stem = facts.attribute("stem").value();
        image.output = facts.attribute("output").value();
        image.format = facts.attribute("format").value();
        image.hasAlpha = IntAttr(facts, "has_alpha", 1) != 0;
        image.topDown = IntAttr(facts, "top_down", 0) != 0;
        image.picture.width = int32_t(IntAttr(facts, "width", 0));
        image.picture.height = int32_t(IntAttr(facts, "height", 0));
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
                    const int32_t image = map.first->image < 0 ? -1 : imageOf[size_t(map.first->image)];
                    if (image < 0 || std::find(images.begin(), images.end(), image) != images.end()) continue;
                    images.push_back(image);
                    if (encoderNames) continue;
                    SceneImage& picture = scene.images[size_t(image)];
                    if (picture.output.empty()) picture.output = map.second;
                    material.maps.push_back({map.second, image});
                }
            }
            // The encoder's own facts: the maps in order, the flags and
            // the exact colours.
            const Vorda vorda(d.effect >= 0 ? doc.effects[size_t(d.effect)].extra : DaeExtras());
            if (vorda) {
                images.clear();
                material.maps.clear();
                const pugi::xml_node flags = vorda.Child("flags");
                material.unmapped = IntAttr(flags, "unmapped", 0) != 0;
                material.glow = IntAttr(flags, "glow", 0) != 0;
                for (pugi::xml_node map : vorda.Children("map")) {
                    const int64_t image = IntAttr(map, "image", -1);
                    if (image >= 0 && uint64_t(image) < scene.images.size())
                        material.maps.push_back({map.attribute("output").value(), int32_t(image)});
                }
                std::vector<float> colours;
                if (Numbers(vorda.Child("colours").child_value(), colours) && colours.size() == 16) {
                    float* const targets[4] = {material.emission, material.ambient, material.diffuse, material.specular};
                    for (size_t i = 0; i < 16; ++i) targets[i / 4][i % 4] = colours[i];
                }
                Number(vorda.Child("transparency").child_value(), material.transparency);
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

    // A list's own vertex numbering (collada/extras.cpp, AddListVertices)
    // in place of the one its corners give; a damaged one leaves the list
    // as read.
    static void VertexList(pugi::xml_node element, const SceneMesh& mesh, SceneTriangles& list) {
        const int64_t triangles = IntAttr(element, "triangles", -1);
        if (triangles >= 0 && list.corners.empty()) list.count = triangles;
        const size_t width = size_t(mesh.components);
        if (mesh.positionsOnly || width == 0 || list.corners.empty() != list.table.empty()) return;
        const size_t combos = list.table.size() / width;
        std::vector<uint32_t> firstUse;
        std::vector<int64_t> exceptions, unused;
        if (!Runs(element.child("first_use").child_value(), list.corners.size(), firstUse) ||
            !Numbers(element.child("corners").child_value(), exceptions) || exceptions.size() % 2 ||
            !Numbers(element.child("unused").child_value(), unused) || unused.size() % (width + 1))
            return;
        for (size_t e = 0; e < exceptions.size(); e += 2)
            if (exceptions[e] < 0 || uint64_t(exceptions[e]) > list.corners.size()) return;
        const size_t parts = firstUse.size() + unused.size() / (width + 1);
        if (parts >= size_t(INT32_MAX)) return;
        // Every part vertex once: in first use or unused.
        std::vector<uint8_t> listed(parts, 0);
        for (uint32_t v : firstUse) {
            if (v >= parts || listed[v]) return;
            listed[v] = 1;
        }
        const std::vector<float>* streams[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
        const bool has[3] = {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords};
        const size_t widths[3] = {3, 3, 2};
        std::vector<int64_t> limits;
        for (int s = 0; s < 3; ++s)
            if (has[s]) limits.push_back(int64_t(streams[s]->size() / widths[s]));
        if (limits.size() != width) return;
        std::vector<int32_t> table(parts * width, 0);
        for (size_t u = 0; u < unused.size(); u += width + 1) {
            const int64_t v = unused[u];
            if (v < 0 || uint64_t(v) >= parts || listed[size_t(v)]) return;
            listed[size_t(v)] = 1;
            for (size_t k = 0; k < width; ++k) {
                if (unused[u + 1 + k] < 0 || unused[u + 1 + k] >= limits[k]) return;
                table[size_t(v) * width + k] = int32_t(unused[u + 1 + k]);
            }
        }
        // The corners again, as the encoder numbered them: checked whole
        // first, then renumbered in place.
        std::vector<int32_t> lastOf(combos, -1);
        std::vector<uint8_t> seen(parts, 0);
        size_t next = 0, exception = 0;
        int64_t exceptionAt = exceptions.empty() ? -1 : exceptions[0];
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) {
                std::fill(lastOf.begin(), lastOf.end(), -1);
                std::fill(seen.begin(), seen.end(), 0);
                next = exception = 0;
                exceptionAt = exceptions.empty() ? -1 : exceptions[0];
            }
            for (size_t i = 0; i < list.corners.size(); ++i) {
                const uint32_t combo = list.corners[i];
                int64_t v = -1;
                if (exceptionAt == int64_t(i)) {
                    v = exceptions[exception + 1];
                    exception += 2;
                    exceptionAt = exception < exceptions.size() ? exceptionAt + exceptions[exception] : -1;
                } else if (lastOf[combo] >= 0) {
                    v = lastOf[combo];
                } else if (next < firstUse.size()) {
                    v = firstUse[next];
                }
                if (v < 0 || uint64_t(v) >= parts) return;
                lastOf[combo] = int32_t(v);
                int32_t* row = &table[size_t(v) * width];
                const int32_t* read = &list.table[size_t(combo) * width];
                if (!seen[size_t(v)]) {
                    if (next >= firstUse.size() || firstUse[next] != v) return;
                    seen[size_t(v)] = 1;
                    ++next;
                    if (pass == 0) std::copy(read, read + width, row);
                } else if (pass == 0 && !std::equal(read, read + width, row)) {
                    return;
                }
                if (pass == 1) list.corners[i] = uint32_t(v);
            }
            if (pass == 0 && (next != firstUse.size() || exception != exceptions.size())) return;
        }
        list.table.swap(table);
    }

    // The zeros a list's vertices hold with the other sign than their listed
    // values (collada/extras.cpp, AddListZeroSigns): part vertex, stream,
    // component, each a listed zero, in order; damaged ones are left out.
    static void ZeroSigns(pugi::xml_node element, const SceneMesh& mesh, SceneTriangles& list) {
        std::vector<uint64_t> triples;
        const size_t width = size_t(mesh.components);
        if (!Numbers(element.child("zero_signs").child_value(), triples) || triples.size() % 3 || width == 0 ||
            mesh.positionsOnly)
            return;
        const std::vector<float>* streams[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
        const bool has[3] = {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords};
        std::vector<const std::vector<float>*> values;
        for (int s = 0; s < 3; ++s)
            if (has[s]) values.push_back(streams[s]);
        if (values.size() != width) return;
        std::vector<uint64_t> signs;
        for (size_t i = 0; i < triples.size(); i += 3) {
            const uint64_t vertex = triples[i], column = triples[i + 1], component = triples[i + 2];
            if (vertex >= list.table.size() / width || column >= width) return;
            const size_t at = size_t(vertex) * width + size_t(column);
            const size_t stride = values[column] == &mesh.texCoords ? 2 : 3;
            const int32_t entry = list.table[at];
            if (component >= stride || entry < 0 || size_t(entry) >= values[column]->size() / stride ||
                (*values[column])[size_t(entry) * stride + size_t(component)] != 0)
                return;
            const uint64_t sign = uint64_t(at) * 4 + component;
            if (!signs.empty() && sign <= signs.back()) return;
            signs.push_back(sign);
        }
        list.zeroSigns.swap(signs);
    }

    bool Mesh(size_t index) {
        const DaeGeometry& g = doc.geometries[index];
        SceneMesh mesh;
        // The tool's own geometry: id "<stem>-lib", name "<mesh>Mesh", the stem
        // the mesh's name or, for a name an earlier mesh has, that name and more.
        const std::string named = EndsWith(g.name, "Mesh") ? g.name.substr(0, g.name.size() - 4) : std::string();
        if (EndsWith(g.id, "-lib"))
            mesh.name = !named.empty() && StartsWith(g.id, (named + "-").c_str()) ? named : g.id.substr(0, g.id.size() - 4);
        else
            mesh.name = g.name.empty() ? g.id : g.name;
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
        // The encoder's own facts: the streams where the lists do not tell
        // them, the exact values, each list's vertex numbering.
        const Vorda vorda(g.extra);
        if (const pugi::xml_node streams = vorda.Child("streams")) {
            mesh.positionsOnly = IntAttr(streams, "positions_only", mesh.positionsOnly) != 0;
            mesh.hasPositions = IntAttr(streams, "positions", mesh.hasPositions) != 0;
            mesh.hasNormals = IntAttr(streams, "normals", mesh.hasNormals) != 0;
            mesh.hasTexCoords = IntAttr(streams, "texcoords", mesh.hasTexCoords) != 0;
            mesh.components = int(mesh.hasPositions) + int(mesh.hasNormals) + int(mesh.hasTexCoords);
        }
        static const char* const kExact[3] = {"exact_positions", "exact_normals", "exact_texcoords"};
        for (int s = 0; s < 3; ++s) {
            if (!used[s]) continue;
            Values(*used[s], kWidths[s], *kLists[s]);
            const char* code = vorda.Child(kExact[s]).child_value();
            ApplyCorrections(code, std::strlen(code), kLists[s]->data(), kLists[s]->size());
        }
        if (unit != 1)
            for (float& v : mesh.positions) v = float(v * unit);
        if (upTurned) {
            Turn(mesh.positions);
            Turn(mesh.normals);
        }
        // What the game's format has no place for, one note each.
        bool colours = false, sets = false;
        for (const DaeTriangles& part : g.parts) {
            int texcoords = 0;
            for (const std::vector<DaeInput>* inputs : {&part.inputs, &g.vertexInputs})
                for (const DaeInput& in : *inputs) {
                    colours = colours || in.semantic == "COLOR";
                    texcoords += in.semantic == "TEXCOORD";
                }
            sets = sets || texcoords > 1;
        }
        const std::string called = "mesh " + mesh.name;
        if (g.lines) Note("Lines of " + called + " left out - the game's models are made of triangles");
        if (colours) Note("Vertex colours of " + called + " left out - the game's format has none");
        if (sets) Note("Texture coordinate sets past the first of " + called + " left out - the game's format has one");
        std::vector<pugi::xml_node> vertexLists(g.parts.size());
        for (pugi::xml_node list : vorda.Children("vertex_list")) {
            const int64_t at = IntAttr(list, "index", -1);
            if (at >= 0 && uint64_t(at) < vertexLists.size()) vertexLists[size_t(at)] = list;
        }

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
            if (vertexLists[p]) {
                VertexList(vertexLists[p], mesh, list);
                ZeroSigns(vertexLists[p], mesh, list);
            }
            mesh.triangles.push_back(std::move(list));
        }
        meshOf[index] = int32_t(scene.meshes.size());
        scene.meshes.push_back(std::move(mesh));
        return true;
    }

    // --- nodes ---

    // The facts the encoder keeps (collada/extras.cpp, AddFacts): the texts
    // shown, or the bytes beside them; a damaged or repeated one is left out.
    static void Facts(const Vorda& vorda, SceneFacts& facts) {
        if (!vorda) return;
        for (pugi::xml_node element : vorda.Children("fact")) {
            const pugi::xml_attribute key = element.attribute("key"), bytes = element.attribute("bytes");
            SceneFact fact{key.value(), element.child_value()};
            if (!key || (bytes && !FactOfBytes(bytes.value(), fact))) continue;
            facts.push_back(std::move(fact));
        }
        KeepFirstOfEachKey(facts);
    }


    // Places a node and everything below it, in document order (a walk with
    // a list of its own); false when nodes placed by <instance_node> nest
    // deeper than the readers take.
    bool Node(int top) {
        struct Visit {
            int index;
            int32_t parent;
            int depth;
        };
        std::vector<Visit> pending{{top, -1, 0}};
        while (!pending.empty()) {
            const Visit v = pending.back();
            pending.pop_back();
            const DaeNode& d = doc.nodes[size_t(v.index)];
            if (nodeOf[size_t(v.index)] >= 0) continue;  // placed once
            if (v.depth > kMaxNodeNesting) return Fail(NestingTooDeep() + " (through <instance_node>)");
            if (!PlaceNode(d, v.index, v.parent))
                return Fail("copies of meshes for nodes of other scales would need " + std::to_string(copied) +
                            " vertices, more memory than the file's size justifies");
            const int32_t self = nodeOf[size_t(v.index)];
            for (auto placed = d.instanceNodes.rbegin(); placed != d.instanceNodes.rend(); ++placed)
                pending.push_back({*placed, self, v.depth + 1});
            for (auto child = d.children.rbegin(); child != d.children.rend(); ++child)
                pending.push_back({*child, self, v.depth + 1});
        }
        return true;
    }

    // False when the copies of meshes for scaled nodes grow past their bound.
    bool PlaceNode(const DaeNode& d, int index, int32_t parent) {
        SceneNode node;
        node.name = d.name.empty() ? d.id : d.name;
        node.parent = parent;
        const Vorda vorda(d.extra);
        node.nameOnly = d.transforms.empty() && d.geometries.empty() && (d.extra.empty() || vorda.Child("name_only"));
        const Frame within = parent >= 0 ? frameOf[size_t(parent)] : Frame::Uniform(unit);
        Frame frame = within;
        double p = 1;
        const bool uniform = within.IsUniform(p);
        if (EncoderPlacement(d.transforms) && !upTurned) {
            std::copy(d.transforms[0].values, d.transforms[0].values + 3, node.translation);
            for (int i = 0; i < 3; ++i) node.rotation[2 - i] = RadiansOf(d.transforms[size_t(i) + 1].values[3]);
        } else if (!d.transforms.empty()) {  // (none: no placement, all angles +0)
            Matrix m;
            NodeMatrix(d.transforms, m);
            if (upTurned) Turn(m);
            // The turn of the node's linear map, and the scale left after it.
            Frame linear;
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) linear.m[r * 3 + c] = m[r][c];
            const Frame rotation = RotationOf(linear);
            Frame own = rotation.Transposed() * linear;
            own.Snap();
            Matrix turn;
            Identity(turn);
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) turn[r][c] = rotation.m[r * 3 + c];
                turn[r][3] = m[r][3];
            }
            Decompose(turn, node.translation, node.rotation);
            if (own != Frame())
                Note("Scale of node " + node.name +
                     " baked into its mesh and its children's places - the game's format has no scale");
            if (uniform && own != Frame()) {
                frame = own;
                for (double& v : frame.m) v *= p;
            } else if (!uniform) {
                frame = rotation.Transposed() * within * rotation * own;
            }
        }
        if (uniform && p != 1) {
            for (float& t : node.translation) t = float(t * p);
        } else if (!uniform) {
            const double t[3] = {node.translation[0], node.translation[1], node.translation[2]};
            double moved[3];
            within.Apply(t, moved);
            for (int i = 0; i < 3; ++i) node.translation[i] = float(moved[i]);
        }
        // The exact placement where the text does not give it back.
        std::vector<float> place;
        if (Numbers(vorda.Child("place").child_value(), place) && place.size() == 6) {
            std::copy(place.begin(), place.begin() + 3, node.translation);
            std::copy(place.begin() + 3, place.end(), node.rotation);
        }
        Facts(vorda, node.facts);
        if (!d.geometries.empty() && d.geometries[0].geometry >= 0) {
            node.mesh = BakedMesh(meshOf[size_t(d.geometries[0].geometry)], frame);
            if (node.mesh == -2) return false;
            for (const DaeMaterialBinding& b : d.geometries[0].bindings)
                if (b.material >= 0) node.materials.push_back(b.material);
        }
        for (const DaeInstanceGeometry& g : d.geometries) {
            if (g.skin) Note("Skin of node " + node.name + " left out - the game's format has no skins");
            if (g.morph) Note("Morph targets of node " + node.name + " left out - the game's format has none");
        }
        if (d.camera) Note("Camera of node " + node.name + " left out - the game's format has no cameras");
        if (d.light) Note("Light of node " + node.name + " left out - the game's format has no lights");
        const int32_t self = int32_t(scene.nodes.size());
        nodeOf[size_t(index)] = self;
        scene.nodes.push_back(std::move(node));
        placeOf.push_back(within);
        frameOf.push_back(frame);
        if (parent >= 0) scene.nodes[size_t(parent)].children.push_back(self);
        else scene.roots.push_back(self);
        return true;
    }

    // The mesh a node of `frame` shows, the frame's scale baked in: the
    // mesh itself where the first node to show it has that frame, else a
    // copy (one per frame).
    int32_t BakedMesh(int32_t mesh, const Frame& frame) {
        if (mesh < 0) return mesh;
        for (const auto& copy : copies)
            if (copy.first.first == mesh && copy.first.second == frame) return copy.second;
        const bool first = std::none_of(copies.begin(), copies.end(), [&](const auto& c) { return c.first.first == mesh; });
        if (first && frame == Frame::Uniform(unit)) {
            copies.push_back({{mesh, frame}, mesh});
            return mesh;
        }
        if (first) unbaked[mesh] = scene.meshes[size_t(mesh)];
        SceneMesh baked = unbaked.count(mesh) ? unbaked[mesh] : scene.meshes[size_t(mesh)];
        Frame scale = frame;
        for (double& v : scale.m) v /= unit;  // (the mesh is in the unit already)
        const Frame normals = scale.Cofactors();
        auto apply = [](const Frame& f, std::vector<float>& values, bool unitLength) {
            for (size_t i = 0; i + 2 < values.size(); i += 3) {
                const double in[3] = {values[i], values[i + 1], values[i + 2]};
                double out[3];
                f.Apply(in, out);
                const double length = unitLength ? std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]) : 1;
                for (int k = 0; k < 3; ++k) values[i + size_t(k)] = length > 0 ? float(out[k] / length) : 0.0f;
            }
        };
        apply(scale, baked.positions, false);
        apply(normals, baked.normals, true);
        // A mirroring frame turns the triangles' winding: turned back.
        if (scale.Determinant() < 0)
            for (SceneTriangles& list : baked.triangles)
                for (size_t c = 0; c + 2 < list.corners.size(); c += 3) std::swap(list.corners[c + 1], list.corners[c + 2]);
        if (first) {
            scene.meshes[size_t(mesh)] = std::move(baked);
            copies.push_back({{mesh, frame}, mesh});
            return mesh;
        }
        // Copies are bounded by what the file's size justifies: a vertex a
        // byte of it (a million in any case).
        copied += baked.positions.size() / 3;
        if (copied > std::max<uint64_t>(doc.inputBytes, uint64_t(1) << 20)) return -2;
        std::set<std::string> names;
        for (const SceneMesh& m : scene.meshes) names.insert(m.name);
        const std::string given = baked.name;
        for (int n = 1; names.count(baked.name); ++n) baked.name = given + "_" + std::to_string(n);
        const int32_t copy = int32_t(scene.meshes.size());
        scene.meshes.push_back(std::move(baked));
        copies.push_back({{mesh, frame}, copy});
        return copy;
    }

    // The scene's node numbers in document order, where the encoder's own
    // technique gives them (a permutation of the nodes read, or nothing).
    void NodeOrder() {
        std::vector<uint32_t> order;
        const size_t count = scene.nodes.size();
        if (!Runs(Vorda(doc.sceneExtra).Child("node_order").child_value(), count, order) || order.size() != count)
            return;
        std::vector<uint8_t> taken(count, 0);
        for (uint32_t n : order) {
            if (n >= count || taken[n]) return;
            taken[n] = 1;
        }
        auto renumber = [&](int32_t& n) {
            if (n >= 0) n = int32_t(order[size_t(n)]);
        };
        std::vector<SceneNode> nodes(count);
        for (size_t i = 0; i < count; ++i) {
            SceneNode& node = scene.nodes[i];
            renumber(node.parent);
            for (int32_t& child : node.children) renumber(child);
            nodes[order[i]] = std::move(node);
        }
        scene.nodes.swap(nodes);
        std::vector<Frame> places(count), frames(count);
        for (size_t i = 0; i < count; ++i) places[order[i]] = placeOf[i], frames[order[i]] = frameOf[i];
        placeOf.swap(places);
        frameOf.swap(frames);
        for (int32_t& root : scene.roots) renumber(root);
        for (int32_t& n : nodeOf) renumber(n);
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
            if (upTurned) Turn(m);
            Decompose(m, &values[k * 6], &values[k * 6 + 3]);
            const double t[3] = {values[k * 6], values[k * 6 + 1], values[k * 6 + 2]};
            double moved[3];
            placeOf[size_t(node)].Apply(t, moved);
            for (int i = 0; i < 3; ++i) values[k * 6 + size_t(i)] = float(moved[i]);
            // Each key's angles nearest the last key's: no flips between keys.
            if (k > 0) NearestEuler(&values[k * 6 + 3], &values[(k - 1) * 6 + 3]);
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

    // A curve's facts as the encoder keeps them (collada/extras.cpp), its
    // keys exact where the texts do not give them back.
    void CurveFacts(const Vorda& vorda, pugi::xml_node facts, SceneCurve& curve) {
        AnimationCurve& data = curve.data;
        data.name.Set(facts.attribute("name").value());
        data.nameIndex = int32_t(IntAttr(facts, "name_index", data.nameIndex));
        data.index = int32_t(IntAttr(facts, "index", data.index));
        data.flags = uint16_t(IntAttr(facts, "flags", data.flags));
        data.trailer1 = uint32_t(IntAttr(facts, "trailer1", 0));
        data.trailer2 = uint32_t(IntAttr(facts, "trailer2", 0));
        curve.joint = facts.attribute("joint").value();
        curve.targetName = facts.attribute("target").value();
        const int64_t node = IntAttr(facts, "node", curve.node);
        if (node >= -1 && node < int64_t(scene.nodes.size())) curve.node = int32_t(node);
        std::vector<double> times, values;
        std::vector<float> slopes;
        std::vector<uint32_t> interpolations;
        const size_t n = data.keys.size();
        if (!Numbers(vorda.Child("key_times").child_value(), times) || times.size() != n ||
            !Numbers(vorda.Child("key_values").child_value(), values) || values.size() != n ||
            !Numbers(vorda.Child("key_tangents").child_value(), slopes) || slopes.size() != 4 * n ||
            !Numbers(vorda.Child("key_interpolations").child_value(), interpolations) || interpolations.size() != n ||
            n == 0)
            return;
        for (size_t k = 0; k < n; ++k) {
            CurveKey& key = data.keys[k];
            key.time = times[k];
            key.value = values[k];
            key.inTangentX = slopes[4 * k], key.inTangentY = slopes[4 * k + 1];
            key.outTangentX = slopes[4 * k + 2], key.outTangentY = slopes[4 * k + 3];
            key.interpolation = interpolations[k];
        }
    }

    // A curve of another program's document along the scene's axes, its
    // translations in the scene's centimetres. (A turn about one axis is
    // one about the renamed axis; turns about several axes keep their
    // order, which the renaming may change.)
    void ForeignLengths(SceneCurve& curve) const {
        const int property = int(curve.property) - int(CurveProperty::kTranslateX);
        if (property < 0 || property > 5) return;
        const int axis = property % 3, first = int(CurveProperty::kTranslateX) + property / 3 * 3;
        // (A translation along one axis of a scaled frame: that axis's scale.)
        double factor = property >= 3 ? 1 : curve.node >= 0 ? placeOf[size_t(curve.node)].m[axis * 4] : unit;
        if (upTurned)
            for (int r = 0; r < 3; ++r)
                if (up[r][axis] != 0) {
                    factor *= up[r][axis];
                    curve.property = CurveProperty(first + r);
                }
        if (factor == 1) return;
        for (CurveKey& key : curve.data.keys) {
            key.value *= factor;
            key.inTangentY = float(key.inTangentY * factor);
            key.outTangentY = float(key.outTangentY * factor);
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
                const Vorda vorda(a.extra);
                const pugi::xml_node facts = vorda.Child("curve");
                const int64_t property = IntAttr(facts, "property", -1);
                if (property >= 0 && property <= int64_t(CurveProperty::kRotateZ)) curve.property = CurveProperty(property);
                // Not a placement the scene animates, unless the encoder's own curve.
                if (curve.property == CurveProperty::kOther && !facts) continue;
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
                if (facts) {
                    CurveFacts(vorda, facts, curve);
                } else {
                    ForeignLengths(curve);
                    curve.data.name.Set(curve.joint + "_" + kPropertyNames[int(curve.property)]);
                }
                scene.curves.push_back(std::move(curve));
            }
        }
        return true;
    }

    // The texts the document does not hold as they are, from their bytes.
    void ExactTexts() {
        const Vorda vorda(doc.sceneExtra);
        std::map<std::tuple<std::string, int64_t, int64_t>, std::string> texts;
        for (pugi::xml_node element : vorda.Children("exact_text")) {
            std::string bytes;
            if (BytesOfHex(element.child_value(), bytes))
                texts[{element.attribute("field").value(), IntAttr(element, "index", -1), IntAttr(element, "sub", 0)}] =
                    bytes;
        }
        if (texts.empty()) return;
        ForEachSceneText(scene, [&](const char* field, size_t index, size_t sub, std::string& text) {
            const auto found = texts.find({field, int64_t(index), int64_t(sub)});
            if (found != texts.end()) text = found->second;
        });
        for (SceneCurve& curve : scene.curves) curve.data.name.Set(std::string(curve.data.name.value));
    }

    // --- what the encoder keeps in names and extras ---

    void Timeline() {
        scene.endTime = kFrameSeconds;
        std::string text;
        size_t at = 0;
        if (Between(XmlText(doc.sceneExtra), "<end_time>", "</end_time>", text, at)) {
            const double end = std::strtod(text.c_str(), nullptr);
            if (std::isfinite(end)) scene.endTime = end;
        } else {
            for (const SceneCurve& curve : scene.curves)
                if (!curve.data.keys.empty()) scene.endTime = std::max(scene.endTime, curve.data.keys.back().time);
        }
        // The encoder's own technique: the exact end time and the clips.
        const Vorda vorda(doc.sceneExtra);
        Number(vorda.Child("end_time").child_value(), scene.endTime);
        for (pugi::xml_node element : vorda.Children("clip")) {
            SceneClip clip;
            clip.name = element.attribute("name").value();
            Number(element.attribute("start").value(), clip.start);
            Number(element.attribute("end").value(), clip.end);
            Number(element.attribute("loop_start").value(), clip.loopStart);
            Number(element.attribute("loop_end").value(), clip.loopEnd);
            for (pugi::xml_node t : element.children("track")) {
                SceneTrack track;
                track.name = t.attribute("name").value();
                std::vector<int32_t> curves;
                Numbers(t.child_value(), curves);
                for (int32_t c : curves)
                    if (c >= 0 && size_t(c) < scene.curves.size()) track.curves.push_back(c);
                clip.tracks.push_back(std::move(track));
            }
            scene.clips.push_back(std::move(clip));
        }
        for (const SceneNode& node : scene.nodes) {
            at = 0;
            if (StartsWith(node.name, "Class[MultiMesh]_Version[") &&
                Between(node.name, "_Version[", "]", text, at))
                scene.version = int32_t(std::strtol(text.c_str(), nullptr, 10));
            // "ANIM[<name>]_ST[<start>]_EN[<end>]_LS[<loop in>]_LE[<loop out>]" under HOLD_ANIM.
            if (vorda || node.parent < 0 || scene.nodes[size_t(node.parent)].name != kHoldAnimName) continue;
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
              std::vector<int32_t>(doc.geometries.size(), -1), {}};
    bool encoderNames = false;
    im.Units();
    if (!im.Images(encoderNames)) return nullptr;
    im.Materials(encoderNames);
    for (size_t g = 0; g < doc.geometries.size(); ++g)
        if (!im.Mesh(g)) return nullptr;
    for (int root : doc.roots)
        if (!im.Node(root)) return nullptr;
    im.NodeOrder();
    if (!im.Curves()) return nullptr;
    im.Timeline();
    im.ExactTexts();
    Import::Facts(Vorda(doc.sceneExtra), scene->facts);
    return scene;
}

std::unique_ptr<Scene> ImportDae(const std::string& path, ReadFailure& failure) {
    DaeDocument doc;
    if (!ReadDaeFile(path, doc, failure)) return nullptr;
    return SceneFromDae(doc, failure);
}
