#include "import/gltf_import.h"
#include "import/json_text.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>
#include <type_traits>
#include <unordered_map>

#include "import/frame.h"
#include "import/png_read.h"
#include "model/transform.h"
#include "scene/conventions.h"
#include "scene/curves.h"
#include "scene/fact_texts.h"

namespace {

using rapidjson::Value;

// An "extras" text parsed; an object (empty when absent or not an object).
struct Extras {
    rapidjson::Document doc;
    explicit Extras(const std::string& text) {
        if (text.empty() ||
            ParseJsonText(doc, text.c_str(), text.size(), false).IsError() ||
            !doc.IsObject())
            doc.SetObject();
        // Blender 3.4 keeps the extras, but gives back a list holding lists
        // and numbers together as the text Python prints for it (the same
        // text as JSON's): such a text of a list the tool writes is read as
        // its list.
        for (auto m = doc.MemberBegin(); m != doc.MemberEnd(); ++m) {
            const char* const lists[] = {"lists", "listData", "meshes", "curves", "clips"};
            if (!m->value.IsString() || m->value.GetStringLength() == 0 || m->value.GetString()[0] != '[' ||
                std::none_of(std::begin(lists), std::end(lists),
                             [&](const char* key) { return std::strcmp(key, m->name.GetString()) == 0; }))
                continue;
            rapidjson::Document list(&doc.GetAllocator());
            if (!ParseJsonText(list, m->value.GetString(), m->value.GetStringLength(), false).IsError() &&
                list.IsArray())
                m->value = static_cast<Value&>(list);
        }
    }
    const Value* Get(const char* key) const {
        auto m = doc.FindMember(key);
        return m == doc.MemberEnd() ? nullptr : &m->value;
    }
};

const Value* Member(const Value& v, const char* key) {
    if (!v.IsObject()) return nullptr;
    auto m = v.FindMember(key);
    return m == v.MemberEnd() ? nullptr : &m->value;
}

double Number(const Value* v, double fallback) {
    return v && v->IsNumber() && std::isfinite(v->GetDouble()) ? v->GetDouble() : fallback;
}
// The scene holds finite numbers only: any other read is taken as 0.
float Finite(double v) { return std::isfinite(float(v)) ? float(v) : 0.0f; }
int64_t Integer(const Value* v, int64_t fallback) { return v && v->IsInt64() ? v->GetInt64() : fallback; }
// (Blender 3.4 gives a flag back as 1 or 0.)
bool Flag(const Value* v) { return v && ((v->IsBool() && v->GetBool()) || (v->IsInt() && v->GetInt() == 1)); }
std::string Text(const Value* v) { return v && v->IsString() ? std::string(v->GetString(), v->GetStringLength()) : ""; }

// Up to n numbers of an array into out (those it lacks stay as they are);
// whole numbers as they are, not through a float, which holds 24 bits.
template <typename T>
void Numbers(const Value* v, T* out, size_t n) {
    if (!v || !v->IsArray()) return;
    for (rapidjson::SizeType i = 0; i < v->Size() && i < n; ++i) {
        const Value& x = (*v)[i];
        if constexpr (std::is_integral_v<T>) {
            if (x.IsUint()) out[i] = T(x.GetUint());
        } else if (x.IsNumber()) {
            out[i] = T(Finite(x.GetDouble()));
        }
    }
}

// Indices that must name an entry of a list of `size`: -1 otherwise.
int32_t IndexIn(const Value* v, size_t size) {
    const int64_t i = Integer(v, -1);
    return i >= 0 && uint64_t(i) < size ? int32_t(i) : -1;
}

// The rotation of a column-major 3 x 3 (columns a, b, c, each unit length)
// as the scene's Euler angles.
void ColumnsToEuler(const double* a, const double* b, const double* c, float out[3]) {
    const float m[9] = {float(a[0]), float(a[1]), float(a[2]), float(b[0]), float(b[1]),
                        float(b[2]), float(c[0]), float(c[1]), float(c[2])};
    MatrixToEuler(m, out);
}

void QuaternionToEuler(const double* q, float out[3]) {
    double x = q[0], y = q[1], z = q[2], w = q[3];
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(n > 1e-12) || !std::isfinite(n)) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    x /= n, y /= n, z /= n, w /= n;
    const double a[3] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)};
    const double b[3] = {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)};
    const double c[3] = {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)};
    ColumnsToEuler(a, b, c, out);
}

// The rotation of a unit quaternion (x, y, z, w).
Frame QuaternionFrame(const double* q) {
    double x = q[0], y = q[1], z = q[2], w = q[3];
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(n > 1e-12) || !std::isfinite(n)) return Frame();
    x /= n, y /= n, z /= n, w /= n;
    Frame f;
    const double m[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                         2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                         2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    std::copy(m, m + 9, f.m);
    return f;
}

// A foreign node's or mesh's name, or (when it has none) the stem and its
// number, as the scene calls it: "node Body", "mesh Mesh3".
std::string Called(const char* kind, const char* stem, const std::string& name, size_t index) {
    return std::string(kind) + " " + (name.empty() ? stem + std::to_string(index) : name);
}

// The facts an "extras" holds (gltf/json_text.h, WriteFacts), in order: a
// text shown, or the bytes beside it. One that is not a string, has damaged
// bytes or repeats a key is left out.
void ReadFacts(const Extras& extras, SceneFacts& facts) {
    const Value* shown = extras.Get("facts");
    if (!shown || !shown->IsObject()) return;
    // The bytes by key (the first of a repeated key), looked up once each.
    std::unordered_map<std::string, const Value*> bytesOf;
    const Value* bytes = extras.Get("fact_bytes");
    if (bytes && bytes->IsObject())
        for (auto m = bytes->MemberBegin(); m != bytes->MemberEnd(); ++m) bytesOf.emplace(Text(&m->name), &m->value);
    for (auto m = shown->MemberBegin(); m != shown->MemberEnd(); ++m) {
        if (!m->value.IsString()) continue;
        SceneFact fact{Text(&m->name), Text(&m->value)};
        const auto exact = bytesOf.find(fact.key);
        if (exact != bytesOf.end()) {
            if (!exact->second->IsString() || !FactOfBytes(Text(exact->second), fact)) continue;
        } else if (fact.key.find('\0') != std::string::npos || fact.text.find('\0') != std::string::npos) {
            continue;
        }
        facts.push_back(std::move(fact));
    }
    KeepFirstOfEachKey(facts);
}

CurveProperty PropertyNamed(const std::string& name) {
    static const char* const kNames[7] = {"other", "translateX", "translateY", "translateZ",
                                          "rotateX", "rotateY", "rotateZ"};
    for (int i = 0; i < 7; ++i)
        if (name == kNames[i]) return CurveProperty(i);
    return CurveProperty::kOther;
}

// The normals a mesh of the tool's own lists in its extras: a normal of
// the document within kNormalSnap of one of them in each component becomes
// the nearest (the same bits first), so normals a modelling package moved
// slightly in its own encoding come back as they were.
class NormalSnap {
public:
    explicit NormalSnap(const Value* carried) {
        if (!carried || !carried->IsArray() || carried->Size() % 3 != 0 || carried->Size() > 3 * kCarriedNormals) return;
        for (const Value& v : carried->GetArray()) {
            if (!v.IsNumber() || !std::isfinite(float(v.GetDouble()))) {
                values_.clear();
                return;
            }
            values_.push_back(float(v.GetDouble()));
        }
        for (size_t i = 0; i < values_.size(); i += 3) cells_[Cell(&values_[i], 0, 0, 0)].push_back(i);
    }
    bool Ready() const { return !values_.empty(); }
    void Snap(std::vector<float>& normals) const {
        for (size_t n = 0; n + 2 < normals.size(); n += 3) {
            float* v = &normals[n];
            const float* best = nullptr;
            float bestDistance = kNormalSnap;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dz = -1; dz <= 1; ++dz) {
                        auto cell = cells_.find(Cell(v, dx, dy, dz));
                        if (cell == cells_.end()) continue;
                        for (size_t i : cell->second) {
                            const float* c = &values_[i];
                            if (std::memcmp(c, v, 3 * sizeof(float)) == 0) {
                                best = nullptr;  // (held as it is)
                                dx = dy = dz = 2;
                                break;
                            }
                            const float distance =
                                std::max({std::fabs(c[0] - v[0]), std::fabs(c[1] - v[1]), std::fabs(c[2] - v[2])});
                            if (distance <= bestDistance) best = c, bestDistance = distance;
                        }
                    }
            if (best) std::copy(best, best + 3, v);
        }
    }

private:
    static int64_t Cell(const float* v, int dx, int dy, int dz) {
        // (Within [-4, 4]: a component past it shares the edge cells.)
        auto at = [](float c, int d) {
            return int64_t(std::floor(std::min(4.0f, std::max(-4.0f, c)) / (2 * kNormalSnap))) + d + 4096;
        };
        return (at(v[0], dx) * 16384 + at(v[1], dy)) * 16384 + at(v[2], dz);
    }
    std::vector<float> values_;
    std::unordered_map<int64_t, std::vector<size_t>> cells_;
};

class Importer {
public:
    Importer(const GltfDocument& doc, ReadFailure& failure) : doc_(doc), failure_(failure) {}

    std::unique_ptr<Scene> Run() {
        scene_ = std::make_unique<Scene>();
        const int sceneIndex = doc_.scene >= 0 ? doc_.scene : 0;
        const GltfScene* gs = size_t(sceneIndex) < doc_.scenes.size() ? &doc_.scenes[size_t(sceneIndex)] : nullptr;
        const Extras sceneExtras(gs ? gs->extras : "");
        // (The nodes an animation plays.)
        if (sceneExtras.Get("curves"))
            for (const GltfAnimation& a : doc_.animations)
                for (const GltfChannel& channel : a.channels)
                    if (channel.node >= 0) animated_.insert(size_t(channel.node));
        if (!Images() || !Nodes(gs)) return nullptr;
        Reorder();
        if (doc_.generator.rfind("Khronos glTF Blender", 0) == 0) BlenderNames();
        Materials();
        OpaqueBaseColours();
        if (!Meshes(sceneExtras)) return nullptr;
        if (!Animations(sceneExtras)) return nullptr;
        scene_->version = int32_t(Integer(sceneExtras.Get("version"), 0));
        ReadFacts(sceneExtras, scene_->facts);
        const Value* end = sceneExtras.Get("endTime");
        if (end && end->IsNumber()) scene_->endTime = end->GetDouble();
        return std::move(scene_);
    }

private:
    const GltfDocument& doc_;
    ReadFailure& failure_;
    std::set<size_t> animated_;  // glTF nodes an animation plays
    std::set<int> scaleNoted_;   // glTF nodes whose scale animation a note names
    bool ownImages_ = true;      // every image has the tool's extras
    std::vector<int32_t> materialOf_;  // the scene material of each glTF material
    std::unique_ptr<Scene> scene_;
    // Per node: the map from the glTF units of its parent's frame to the
    // scene's (its translation's), and of its own frame (its mesh's and its
    // children's): metres to centimetres, and the scale above it baked in.
    std::vector<Frame> placeOf_, frameOf_;
    void Note(std::string line) { scene_->notes.push_back(std::move(line)); }

    // A name the encoders make file names of: its last path part only, so
    // no document can place a file outside the output's folder.
    static std::string FilePart(std::string name) {
        name = name.substr(name.find_last_of("/\\:") + 1);
        return name == "." || name == ".." ? "" : name;
    }

    bool Images() {
        for (const GltfImage& gi : doc_.images) {
            SceneImage image;
            const Extras extras(gi.extras);
            if (!DecodePng(gi.data.data(), gi.data.size(), gi.file, image.picture, failure_)) return false;
            std::string base = FilePart(gi.name);
            if (base.empty()) {
                base = FilePart(gi.uri);
                base = base.substr(0, base.rfind('.'));
            }
            if (base.empty()) base = "image" + std::to_string(scene_->images.size());
            image.key = base;
            ownImages_ = ownImages_ && extras.Get("stem");
            image.stem = extras.Get("stem") ? FilePart(Text(extras.Get("stem"))) : base;
            image.output = FilePart(Text(extras.Get("output")));
            image.format = extras.Get("format") ? Text(extras.Get("format")) : "8888";
            const std::string kind = Text(extras.Get("kind"));
            image.kind = kind == "source" ? SceneImageKind::kSourceDump
                         : kind == "unused" ? SceneImageKind::kUnusedDump : SceneImageKind::kMap;
            image.topDown = Flag(extras.Get("topDown"));
            if (const Value* alpha = extras.Get("hasAlpha")) {
                image.hasAlpha = Flag(alpha);
            } else {
                image.hasAlpha = !image.picture.Opaque();
            }
            scene_->images.push_back(std::move(image));
        }
        return true;
    }

    bool Nodes(const GltfScene* gs) {
        const size_t count = doc_.nodes.size();
        scene_->nodes.resize(count);
        placeOf_.assign(count, Frame::Uniform(1 / kMetresPerUnit));
        frameOf_.assign(count, Frame());
        if (gs) scene_->roots.assign(gs->nodes.begin(), gs->nodes.end());
        else
            for (size_t n = 0; n < count; ++n)
                if (doc_.nodes[n].parent < 0) scene_->roots.push_back(int32_t(n));
        // Each tree from its root down, so a node learns its tree's unit.
        std::vector<int32_t> stack(scene_->roots.rbegin(), scene_->roots.rend());
        std::vector<bool> seen(count, false);
        while (!stack.empty()) {
            const size_t n = size_t(stack.back());
            stack.pop_back();
            if (seen[n]) return failure_.Set(doc_.path, "node " + std::to_string(n) + " is reached twice");
            seen[n] = true;
            const GltfNode& gn = doc_.nodes[n];
            SceneNode& node = scene_->nodes[n];
            // (The encoders make ids of names: a foreign node without one
            // is called by its number.)
            node.name = gn.name.empty() && gn.extras.empty() ? "Node" + std::to_string(n) : gn.name;
            node.parent = gn.parent;
            node.children.assign(gn.children.begin(), gn.children.end());
            Place(gn, n, node);
            for (auto c = gn.children.rbegin(); c != gn.children.rend(); ++c) {
                if (*c < 0 || size_t(*c) >= count) continue;
                placeOf_[size_t(*c)] = frameOf_[n];
                stack.push_back(*c);
            }
        }
        // Nodes outside the scene's trees are left out of it: kept as
        // parentless nodes no root lists would break the tree, so they go.
        for (size_t n = 0; n < count; ++n)
            if (!seen[n]) return Prune(seen);
        return true;
    }

    // A package that re-exports the document may list its nodes in another
    // order (Blender 3.4 sorts them by name): the scene numbers the tool's
    // extras give ("node") put them back, when they number every node once.
    // Children then follow in the order of their numbers, as the scene
    // builds them.
    void Reorder() {
        const size_t count = scene_->nodes.size();
        std::vector<int32_t> number(count, -1);
        std::vector<bool> taken(count, false);
        bool same = true;
        for (size_t gn = 0; gn < doc_.nodes.size(); ++gn) {
            const int32_t n = SceneNodeOf(gn);
            if (n < 0) continue;
            const int64_t p = Integer(Extras(doc_.nodes[gn].extras).Get("node"), -1);
            if (p < 0 || uint64_t(p) >= count || taken[size_t(p)]) return;
            taken[size_t(p)] = true;
            number[size_t(n)] = int32_t(p);
            same = same && p == n;
        }
        if (same) return;
        std::vector<SceneNode> nodes(count);
        std::vector<Frame> places(count), frames(count);
        auto by = [&](int32_t x, int32_t y) { return x < y; };
        for (size_t n = 0; n < count; ++n) {
            SceneNode& node = scene_->nodes[n];
            if (node.parent >= 0) node.parent = number[size_t(node.parent)];
            for (int32_t& c : node.children) c = number[size_t(c)];
            std::sort(node.children.begin(), node.children.end(), by);
            places[size_t(number[n])] = placeOf_[n];
            frames[size_t(number[n])] = frameOf_[n];
            nodes[size_t(number[n])] = std::move(node);
        }
        for (int32_t& r : scene_->roots) r = number[size_t(r)];
        std::sort(scene_->roots.begin(), scene_->roots.end(), by);
        scene_->nodes = std::move(nodes);
        placeOf_ = std::move(places);
        frameOf_ = std::move(frames);
        if (nodeNumber_.empty()) {
            nodeNumber_ = std::move(number);
        } else {
            for (int32_t& n : nodeNumber_)
                if (n >= 0) n = number[size_t(n)];
        }
    }

    // Blender tells repeated object names apart by ".001", ".002", ...:
    // such a name whose stem another node also has (so the suffix is
    // Blender's, not the name's) is read as the stem.
    void BlenderNames() {
        auto stem = [](const std::string& name) {
            const size_t n = name.size();
            if (n > 4 && name[n - 4] == '.' && std::isdigit(static_cast<unsigned char>(name[n - 3])) &&
                std::isdigit(static_cast<unsigned char>(name[n - 2])) && std::isdigit(static_cast<unsigned char>(name[n - 1])))
                return name.substr(0, n - 4);
            return name;
        };
        std::unordered_map<std::string, int> stems;
        for (const SceneNode& node : scene_->nodes) ++stems[stem(node.name)];
        for (SceneNode& node : scene_->nodes) {
            const std::string base = stem(node.name);
            if (base.size() != node.name.size() && stems[base] > 1) node.name = base;
        }
    }

    bool Prune(const std::vector<bool>& kept) {
        std::vector<int32_t> number(kept.size(), -1);
        std::vector<SceneNode> nodes;
        std::vector<Frame> places, frames;
        for (size_t n = 0; n < kept.size(); ++n)
            if (kept[n]) {
                number[n] = int32_t(nodes.size());
                nodes.push_back(std::move(scene_->nodes[n]));
                places.push_back(placeOf_[n]);
                frames.push_back(frameOf_[n]);
            }
        for (SceneNode& node : nodes) {
            if (node.parent >= 0) node.parent = number[size_t(node.parent)];
            for (int32_t& c : node.children) c = number[size_t(c)];
        }
        for (int32_t& r : scene_->roots) r = number[size_t(r)];
        scene_->nodes = std::move(nodes);
        placeOf_ = std::move(places);
        frameOf_ = std::move(frames);
        nodeNumber_ = std::move(number);
        return true;
    }

    // Two placements alike as far as a re-export through floats keeps them:
    // each coordinate within 1e-5 of max(1, |value|), each quaternion
    // component of the turns within 1e-5 (Blender 3.4 gives back the
    // tool's transforms to the last bit or two).
    static bool SamePlace(const float* a, const float* b) {
        for (int i = 0; i < 3; ++i)
            if (!(std::fabs(double(a[i]) - b[i]) <= 1e-5 * std::max(1.0, std::fabs(double(b[i]))))) return false;
        double p[4], q[4];
        EulerToQuaternion(a[3], a[4], a[5], p);
        EulerToQuaternion(b[3], b[4], b[5], q);
        const double side = p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3] < 0 ? -1 : 1;
        for (int i = 0; i < 4; ++i)
            if (!(std::fabs(p[i] - side * q[i]) <= 1e-5)) return false;
        return true;
    }

    // The node's placement: as the extras hold it where the transform
    // agrees, else from its transform.
    // A root scaled by the tool's 0.01 stands in metres over a tree in
    // centimetres; any other tree is taken as metres throughout and turned
    // into centimetres. Any other scale (or a matrix's) has no place in the
    // scene: it is baked into the node's frame (frameOf_), which its mesh's
    // vertices and its children's places are turned by, and said in a note.
    void Place(const GltfNode& gn, size_t n, SceneNode& node) {
        const Extras extras(gn.extras);
        node.nameOnly = Flag(extras.Get("nameOnly"));
        ReadFacts(extras, node.facts);
        if (gn.skin) Note("Skin of " + Called("node", "Node", gn.name, n) + " left out - the game's format has no skins");
        if (gn.camera) Note("Camera of " + Called("node", "Node", gn.name, n) + " left out - the game's format has no cameras");
        if (gn.light) Note("Light of " + Called("node", "Node", gn.name, n) + " left out - the game's format has no lights");
        float place[6] = {0, 0, 0, 0, 0, 0};
        double t[3] = {gn.translation[0], gn.translation[1], gn.translation[2]};
        double s[3] = {gn.scale[0], gn.scale[1], gn.scale[2]};
        Frame rotation, own;  // the turn, and the scale left after it
        if (gn.hasMatrix) {
            const double* m = gn.matrix;
            Frame linear;
            for (int c = 0; c < 3; ++c) {
                s[c] = std::sqrt(m[c * 4] * m[c * 4] + m[c * 4 + 1] * m[c * 4 + 1] + m[c * 4 + 2] * m[c * 4 + 2]);
                for (int r = 0; r < 3; ++r) linear.m[r * 3 + c] = m[c * 4 + r];
            }
            for (int i = 0; i < 3; ++i) t[i] = m[12 + i];
            rotation = RotationOf(linear);
            own = rotation.Transposed() * linear;
            own.Snap();
            const double a[3] = {rotation.m[0], rotation.m[3], rotation.m[6]};
            const double b[3] = {rotation.m[1], rotation.m[4], rotation.m[7]};
            const double c[3] = {rotation.m[2], rotation.m[5], rotation.m[8]};
            ColumnsToEuler(a, b, c, place + 3);
        } else {
            QuaternionToEuler(gn.rotation, place + 3);
            rotation = QuaternionFrame(gn.rotation);
            for (int i = 0; i < 3; ++i) own.m[i * 4] = s[i];
            own.Snap();
        }
        const Frame& parent = placeOf_[n];
        double p = 1;
        const bool uniform = parent.IsUniform(p);
        const bool toolScale = gn.parent < 0 && std::fabs(s[0] - kMetresPerUnit) < 1e-9 &&
                               std::fabs(s[1] - kMetresPerUnit) < 1e-9 && std::fabs(s[2] - kMetresPerUnit) < 1e-9;
        if (gn.parent < 0) {
            // The root itself stands in metres either way.
            for (int i = 0; i < 3; ++i) place[i] = float(t[i] / kMetresPerUnit);
        } else if (uniform) {
            for (int i = 0; i < 3; ++i) place[i] = float(t[i] * p);
        } else {
            double moved[3];
            parent.Apply(t, moved);
            for (int i = 0; i < 3; ++i) place[i] = float(moved[i]);
        }
        if (toolScale) {
            frameOf_[n] = Frame();
        } else {
            if (own != Frame())
                Note("Scale of " + Called("node", "Node", gn.name, n) +
                     " baked into its mesh and its children's places - the game's format has no scale");
            if (uniform) {
                frameOf_[n] = own;
                for (double& v : frameOf_[n].m) v *= p;
            } else {
                frameOf_[n] = rotation.Transposed() * parent * rotation * own;
            }
        }
        // (An angle of -0 from the decomposition is the scene's 0.)
        for (float& v : place) v += 0.0f;
        // The placement the extras hold stands where the transform still
        // shows it; a node moved or turned in a modelling package that kept
        // the extras (Blender 3.4 does) stands where the transform puts it.
        float held[6];
        std::copy(place, place + 6, held);
        Numbers(extras.Get("place"), held, 6);
        // An animated node shows its animation's first pose (Blender 3.4
        // exports it so): it stands as held.
        if (SamePlace(held, place) || (extras.Get("place") && animated_.count(n)))
            std::copy(held, held + 6, place);
        for (int i = 0; i < 3; ++i) {
            node.translation[i] = std::isfinite(place[i]) ? place[i] : 0;
            node.rotation[i] = std::isfinite(place[3 + i]) ? place[3 + i] : 0;
        }
    }

    // glTF shows no alpha of an "OPAQUE" material (the default): a base
    // colour picture of another program's file that only such materials
    // use is made opaque, so its alpha stands for nothing further on (the
    // game reads a diffuse texture's alpha as its team-colour mask).
    void OpaqueBaseColours() {
        if (ownImages_) return;
        std::vector<char> opaque(scene_->images.size(), 0), shown(scene_->images.size(), 0);
        for (const GltfMaterial& gm : doc_.materials) {
            if (gm.baseColorTexture.texture < 0) continue;
            const int32_t image = doc_.textures[size_t(gm.baseColorTexture.texture)].source;
            if (image >= 0) (gm.alphaMode == "OPAQUE" ? opaque : shown)[size_t(image)] = 1;
        }
        for (size_t i = 0; i < scene_->images.size(); ++i) {
            if (!opaque[i] || shown[i]) continue;
            SceneImage& image = scene_->images[i];
            for (size_t at = 3; at < image.picture.pixels.size(); at += 4) image.picture.pixels[at] = 255;
            image.hasAlpha = false;
        }
    }

    void Materials() {
        for (const GltfMaterial& gm : doc_.materials) {
            SceneMaterial material;
            const Extras extras(gm.extras);
            material.name = gm.name;
            for (int i = 0; i < 4; ++i) material.diffuse[i] = Finite(gm.baseColorFactor[i]);
            for (int i = 0; i < 3; ++i) material.emission[i] = Finite(gm.emissiveFactor[i]);
            auto mapOf = [&](const GltfTextureRef& ref, const char* output) {
                if (ref.texture < 0) return;
                const int32_t image = doc_.textures[size_t(ref.texture)].source;
                if (image >= 0) material.maps.push_back({output, image});
            };
            // The maps' image numbers hold while the images are the tool's
            // own (their extras say so); Blender 3.4 keeps the material's
            // extras but drops the images no texture slot shows and the
            // images' extras, so its material's slots show what is left.
            const Value* maps = ownImages_ ? extras.Get("maps") : nullptr;
            if (maps && maps->IsObject()) {
                for (auto m = maps->MemberBegin(); m != maps->MemberEnd(); ++m) {
                    const int32_t image = IndexIn(&m->value, scene_->images.size());
                    if (image >= 0) material.maps.push_back({m->name.GetString(), image});
                }
            } else {
                mapOf(gm.baseColorTexture, kMapDiffuse);
                mapOf(gm.emissiveTexture, kMapGlow);
                mapOf(gm.normalTexture, kMapNormal);
                for (SceneMapRef& map : material.maps) {
                    SceneImage& image = scene_->images[size_t(map.image)];
                    if (!image.output.empty()) continue;
                    image.output = map.output;
                    // A map keeps its name "<stem>_<output>" as an image name.
                    const std::string tail = "_" + map.output;
                    if (image.stem == image.key && image.key.size() > tail.size() &&
                        image.key.compare(image.key.size() - tail.size(), tail.size(), tail) == 0)
                        image.stem = image.key.substr(0, image.key.size() - tail.size());
                }
            }
            Numbers(extras.Get("ambient"), material.ambient, 4);
            Numbers(extras.Get("specular"), material.specular, 4);
            Numbers(extras.Get("diffuse"), material.diffuse, 4);
            Numbers(extras.Get("emission"), material.emission, 4);
            material.transparency = Number(extras.Get("transparency"), 0);
            material.unmapped = Flag(extras.Get("unmapped"));
            material.glow = Flag(extras.Get("glow"));
            scene_->materials.push_back(std::move(material));
        }
        // The scene numbers the tool's extras give put back the order a
        // re-exporting package changed, when they number every material once.
        const size_t count = scene_->materials.size();
        materialOf_.resize(count);
        std::vector<bool> taken(count, false);
        bool numbered = true;
        for (size_t m = 0; m < count && numbered; ++m) {
            const int64_t n = Integer(Extras(doc_.materials[m].extras).Get("index"), -1);
            numbered = n >= 0 && uint64_t(n) < count && !taken[size_t(n)];
            if (numbered) taken[size_t(n)] = true;
            materialOf_[m] = numbered ? int32_t(n) : int32_t(m);
        }
        if (!numbered) {
            for (size_t m = 0; m < count; ++m) materialOf_[m] = int32_t(m);
        } else {
            std::vector<SceneMaterial> materials(count);
            for (size_t m = 0; m < count; ++m) materials[size_t(materialOf_[m])] = std::move(scene_->materials[m]);
            scene_->materials = std::move(materials);
        }
        // The encoders bind meshes by material name: a name given twice (or
        // none) gets the material's number.
        std::set<std::string> names;
        for (size_t m = 0; m < scene_->materials.size(); ++m) {
            std::string& name = scene_->materials[m].name;
            if (!name.empty() && names.insert(name).second) continue;
            const std::string given = name;
            for (int n = 0; name.empty() || !names.insert(name).second; ++n)
                name = given + "_" + std::to_string(m) + (n ? "_" + std::to_string(n) : "");
        }
    }

    // One primitive's triangles as corners (numbers of its own vertices).
    bool Corners(const GltfPrimitive& p, uint64_t vertices, std::vector<uint32_t>& corners) {
        std::vector<uint32_t> index;
        if (p.indices >= 0) {
            if (!ReadAccessorIndices(doc_, p.indices, vertices, index, failure_)) return false;
        } else {
            index.resize(size_t(vertices));
            for (size_t i = 0; i < index.size(); ++i) index[i] = uint32_t(i);
        }
        const size_t n = index.size();
        if (p.mode == 4) {
            corners.assign(index.begin(), index.begin() + ptrdiff_t(n / 3 * 3));
        } else if (p.mode == 5) {
            for (size_t i = 2; i < n; ++i) {
                const bool even = i % 2 == 0;
                for (uint32_t c : {index[i - 2], even ? index[i - 1] : index[i], even ? index[i] : index[i - 1]})
                    corners.push_back(c);
            }
        } else if (p.mode == 6) {
            for (size_t i = 2; i < n; ++i)
                for (uint32_t c : {index[0], index[i - 1], index[i]}) corners.push_back(c);
        }
        return true;
    }

    // A scene mesh number the extras give, -1 when none (or past the
    // meshes the document holds and lists).
    size_t meshLimit_ = 0;
    int32_t MeshNumber(const Value* v) const {
        const int64_t m = Integer(v, -1);
        return m >= 0 && uint64_t(m) < meshLimit_ ? int32_t(m) : -1;
    }

    bool Meshes(const Extras& sceneExtras) {
        // Each glTF mesh is the scene mesh its extras number (the tool's
        // own documents), else the next one; the meshes glTF left out
        // come from the scene's extras.
        std::vector<int32_t> sceneMeshOf(doc_.meshes.size(), -1);
        std::vector<Frame> unit(doc_.meshes.size(), Frame::Uniform(1 / kMetresPerUnit));
        std::vector<int32_t> extrasMesh(scene_->nodes.size(), -1);
        std::set<int32_t> used;
        const Value* left = sceneExtras.Get("meshes");
        meshLimit_ = doc_.meshes.size() + (left && left->IsArray() ? left->Size() : 0);
        for (size_t m = 0; m < doc_.meshes.size(); ++m) {
            const Extras extras(doc_.meshes[m].extras);
            sceneMeshOf[m] = MeshNumber(extras.Get("index"));
            // The tool's own meshes count in centimetres wherever they are.
            if (sceneMeshOf[m] >= 0) unit[m] = Frame();
            if (!used.insert(sceneMeshOf[m]).second) sceneMeshOf[m] = -1;
        }
        std::vector<std::pair<int32_t, const Value*>> leftOut;
        if (left && left->IsArray())
            for (const Value& v : left->GetArray()) {
                const int32_t m = MeshNumber(Member(v, "index"));
                if (m >= 0 && used.insert(m).second) leftOut.push_back({m, &v});
            }
        int32_t meshCount = used.empty() ? 0 : std::max(0, *used.rbegin() + 1);
        std::vector<bool> placed(doc_.meshes.size(), false);
        for (size_t gn = 0; gn < doc_.nodes.size(); ++gn) {
            const int32_t n = SceneNodeOf(gn);
            if (n < 0) continue;
            const Extras extras(doc_.nodes[gn].extras);
            extrasMesh[size_t(n)] = MeshNumber(extras.Get("mesh"));
            const int mesh = doc_.nodes[gn].mesh;
            if (mesh >= 0 && sceneMeshOf[size_t(mesh)] < 0 && !placed[size_t(mesh)]) {
                unit[size_t(mesh)] = frameOf_[size_t(n)];
                placed[size_t(mesh)] = true;
            }
        }
        const std::vector<bool> foreign = [&] {
            std::vector<bool> f(sceneMeshOf.size());
            for (size_t m = 0; m < f.size(); ++m) f[m] = sceneMeshOf[m] < 0;
            return f;
        }();
        for (int32_t& m : sceneMeshOf)
            if (m < 0) m = meshCount++;
        // A foreign mesh placed by nodes of different frames: a copy baked
        // in each other frame.
        std::vector<int32_t> nodeMesh(scene_->nodes.size(), -1);
        std::vector<std::pair<size_t, Frame>> copies;
        for (size_t gn = 0; gn < doc_.nodes.size(); ++gn) {
            const int32_t n = SceneNodeOf(gn);
            const int mesh = doc_.nodes[gn].mesh;
            if (n < 0 || mesh < 0 || !foreign[size_t(mesh)] || frameOf_[size_t(n)] == unit[size_t(mesh)]) continue;
            for (size_t c = 0; c < copies.size() && nodeMesh[size_t(n)] < 0; ++c)
                if (copies[c].first == size_t(mesh) && copies[c].second == frameOf_[size_t(n)])
                    nodeMesh[size_t(n)] = meshCount + int32_t(c);
            if (nodeMesh[size_t(n)] >= 0) continue;
            nodeMesh[size_t(n)] = meshCount + int32_t(copies.size());
            copies.push_back({size_t(mesh), frameOf_[size_t(n)]});
        }
        // Copies are bounded, as every read is, by what the file's size
        // justifies: a vertex a byte of it (a million in any case).
        uint64_t copied = 0;
        for (const auto& copy : copies)
            for (const GltfPrimitive& p : doc_.meshes[copy.first].primitives) {
                auto position = p.attributes.find("POSITION");
                if (position != p.attributes.end()) copied += doc_.accessors[size_t(position->second)].count;
            }
        if (copied > std::max<uint64_t>(doc_.inputBytes, uint64_t(1) << 20))
            return failure_.Set(doc_.path, "copies of meshes for nodes of other scales would need " +
                                               std::to_string(copied) +
                                               " vertices, more memory than the file's size justifies");
        scene_->meshes.resize(size_t(meshCount) + copies.size());
        for (size_t m = 0; m < doc_.meshes.size(); ++m)
            if (!Mesh(doc_.meshes[m], m, unit[m], scene_->meshes[size_t(sceneMeshOf[m])], true)) return false;
        for (size_t c = 0; c < copies.size(); ++c)
            if (!Mesh(doc_.meshes[copies[c].first], copies[c].first, copies[c].second,
                      scene_->meshes[size_t(meshCount) + c], false))
                return false;
        meshCount += int32_t(copies.size());
        // The encoders make ids of mesh names: a foreign mesh without one,
        // or with one another mesh has, is called by its number.
        std::set<std::string> names;
        for (size_t m = 0; m < doc_.meshes.size(); ++m)
            if (!foreign[m]) names.insert(scene_->meshes[size_t(sceneMeshOf[m])].name);
        auto unique = [&](SceneMesh& mesh, size_t index) {
            if (mesh.name.empty()) mesh.name = "Mesh" + std::to_string(index);
            const std::string given = mesh.name;
            for (int n = 1; !names.insert(mesh.name).second; ++n) mesh.name = given + "_" + std::to_string(n);
        };
        for (size_t m = 0; m < doc_.meshes.size(); ++m)
            if (foreign[m]) unique(scene_->meshes[size_t(sceneMeshOf[m])], m);
        for (size_t c = 0; c < copies.size(); ++c)
            unique(scene_->meshes[scene_->meshes.size() - copies.size() + c], copies[c].first);
        for (const auto& l : leftOut) {
            SceneMesh& mesh = scene_->meshes[size_t(l.first)];
            mesh.name = Text(Member(*l.second, "name"));
            mesh.positionsOnly = Flag(Member(*l.second, "positionsOnly"));
            std::vector<const Value*> entries;
            std::vector<SceneTriangles> lists = Lists(Member(*l.second, "lists"), &entries);
            Streams(Member(*l.second, "streams"), mesh);
            for (size_t k = 0; k < lists.size(); ++k) {
                PartOrder(*entries[k], ListData(Member(*l.second, "listData"), k), mesh, nullptr, Part(), Values(mesh),
                          lists[k]);
                if (mesh.hasPositions) lists[k].count = 0;  // (its triangles are nowhere)
            }
            mesh.triangles = std::move(lists);
        }
        for (int32_t& m : extrasMesh)
            if (m >= meshCount) m = -1;
        // The nodes: their mesh and the materials they bind.
        for (size_t gn = 0; gn < doc_.nodes.size(); ++gn) {
            const int32_t n = SceneNodeOf(gn);
            if (n < 0) continue;
            SceneNode& node = scene_->nodes[size_t(n)];
            const int mesh = doc_.nodes[gn].mesh;
            node.mesh = extrasMesh[size_t(n)] >= 0 ? extrasMesh[size_t(n)]
                        : nodeMesh[size_t(n)] >= 0 ? nodeMesh[size_t(n)]
                        : mesh >= 0 ? sceneMeshOf[size_t(mesh)] : -1;
            const Extras extras(doc_.nodes[gn].extras);
            const Value* bound = extras.Get("materials");
            if (bound && bound->IsArray()) {
                for (const Value& m : bound->GetArray()) node.materials.push_back(IndexIn(&m, scene_->materials.size()));
            } else if (node.mesh >= 0 && !extras.Get("mesh")) {
                for (const SceneTriangles& list : scene_->meshes[size_t(node.mesh)].triangles)
                    if (std::find(node.materials.begin(), node.materials.end(), list.material) == node.materials.end())
                        node.materials.push_back(list.material);
            }
        }
        return true;
    }

    // The triangle lists the extras give, each as material and triangle
    // count (their corners come from the primitives).
    std::vector<SceneTriangles> Lists(const Value* given, std::vector<const Value*>* entries = nullptr) const {
        std::vector<SceneTriangles> lists;
        if (given && given->IsArray())
            for (const Value& l : given->GetArray()) {
                SceneTriangles list;
                if (entries) entries->push_back(&l);
                if (l.IsArray() && l.Size() >= 2) {
                    list.material = IndexIn(&l[0], scene_->materials.size());
                    list.count = std::max<int64_t>(0, Integer(&l[1], 0));
                }
                lists.push_back(std::move(list));
            }
        return lists;
    }

    // The buffered data of list l ("listData"), null when none.
    static const Value* ListData(const Value* given, size_t l) {
        return given && given->IsArray() && l < given->Size() && (*given)[rapidjson::SizeType(l)].IsObject()
                   ? &(*given)[rapidjson::SizeType(l)] : nullptr;
    }

    // A primitive's vertices as the scene holds values.
    struct PrimitiveData {
        std::vector<float> positions, normals, texCoords;
    };
    // Where a list's vertices are: a range of one primitive's.
    struct Part {
        size_t primitive = 0;
        uint32_t start = 0, end = 0;
    };

    // What a foreign mesh holds that the game's format has not: one note
    // each.
    void MeshNotes(const GltfMesh& gm, size_t index) {
        bool lines = false, morphs = false, colours = false, sets = false;
        for (const GltfPrimitive& p : gm.primitives) {
            lines = lines || p.mode < 4;
            morphs = morphs || p.morphTargets;
            for (const auto& a : p.attributes) {
                colours = colours || a.first.compare(0, 6, "COLOR_") == 0;
                sets = sets || (a.first.compare(0, 9, "TEXCOORD_") == 0 && a.first != "TEXCOORD_0");
            }
        }
        const std::string mesh = Called("mesh", "Mesh", gm.name, index);
        if (lines) Note("Lines and points of " + mesh + " left out - the game's models are made of triangles");
        if (morphs) Note("Morph targets of " + mesh + " left out - the game's format has none");
        if (colours) Note("Vertex colours of " + mesh + " left out - the game's format has none");
        if (sets) Note("Texture coordinate sets past the first of " + mesh + " left out - the game's format has one");
    }

    // The texture transform a primitive's material gives its texture
    // coordinates (the base colour texture's, else the first map's that has
    // one): null when none.
    const GltfTextureRef* TextureTransform(const GltfPrimitive& p) const {
        if (p.material < 0 || size_t(p.material) >= doc_.materials.size()) return nullptr;
        const GltfMaterial& m = doc_.materials[size_t(p.material)];
        for (const GltfTextureRef* ref : {&m.baseColorTexture, &m.emissiveTexture, &m.normalTexture,
                                          &m.metallicRoughnessTexture, &m.occlusionTexture})
            if (ref->texture >= 0 && ref->transformed && ref->texCoord == 0) return ref;
        return nullptr;
    }

    bool Mesh(const GltfMesh& gm, size_t index, const Frame& frame, SceneMesh& mesh, bool notes) {
        const std::string where = "meshes[" + std::to_string(index) + "]";
        const Extras extras(gm.extras);
        if (notes) MeshNotes(gm, index);
        double unit = 1;
        const bool uniform = frame.IsUniform(unit) && unit > 0;
        const Frame normalFrame = frame.Cofactors();
        const bool mirrored = frame.Determinant() < 0;
        mesh.name = gm.name;
        mesh.positionsOnly = Flag(extras.Get("positionsOnly"));
        // A stream the tool's extras say the mesh has not is not its own:
        // Blender 3.4 gives a mesh without normals normals of its faces.
        const Value* streams = extras.Get("streams");
        const bool listed = streams && streams->IsArray() && streams->Size() == 4;
        const bool takeNormals = !listed || Flag(&(*streams)[1]), takeTexCoords = !listed || Flag(&(*streams)[2]);
        for (const GltfPrimitive& p : gm.primitives) {
            mesh.hasNormals = mesh.hasNormals || (takeNormals && p.attributes.count("NORMAL"));
            mesh.hasTexCoords = mesh.hasTexCoords || (takeTexCoords && p.attributes.count("TEXCOORD_0"));
        }
        NormalSnap normals(takeNormals ? extras.Get("normals") : nullptr);
        std::vector<const Value*> entries;
        std::vector<SceneTriangles> lists = Lists(extras.Get("lists"), &entries);
        const bool ownLists = !lists.empty();
        std::vector<Part> parts(lists.size());
        std::vector<PrimitiveData> data;
        for (const GltfPrimitive& p : gm.primitives) {
            auto position = p.attributes.find("POSITION");
            if (position == p.attributes.end() || (p.mode != 4 && p.mode != 5 && p.mode != 6)) continue;
            PrimitiveData d;
            if (!ReadAccessorFloats(doc_, position->second, d.positions, failure_)) return false;
            const uint64_t vertices = doc_.accessors[size_t(position->second)].count;
            if (doc_.accessors[size_t(position->second)].components != 3)
                return failure_.Set(doc_.path, where + ": positions are not three numbers each");
            auto normal = takeNormals ? p.attributes.find("NORMAL") : p.attributes.end();
            auto uv = takeTexCoords ? p.attributes.find("TEXCOORD_0") : p.attributes.end();
            if (normal != p.attributes.end() && !Stream(normal->second, 3, vertices, d.normals)) return false;
            if (uv != p.attributes.end() && !Stream(uv->second, 2, vertices, d.texCoords)) return false;
            std::vector<uint32_t> corners;
            if (normal != p.attributes.end()) {
                const GltfAccessor& a = doc_.accessors[size_t(normal->second)];
                if (a.componentType != kGltfFloat &&
                    !(a.normalized && (a.componentType == kGltfByte || a.componentType == kGltfShort)))
                    return failure_.Set(doc_.path, where + ": normals are neither floats nor normalized signed"
                                                           " bytes or shorts");
            }
            if (!Corners(p, vertices, corners)) return false;
            mesh.hasPositions = true;
            if (uniform) {
                for (float& v : d.positions) v = Finite(v * unit);
            } else {
                for (size_t i = 0; i + 2 < d.positions.size(); i += 3) {
                    const double in[3] = {d.positions[i], d.positions[i + 1], d.positions[i + 2]};
                    double out[3];
                    frame.Apply(in, out);
                    for (int k = 0; k < 3; ++k) d.positions[i + size_t(k)] = Finite(out[k]);
                }
                for (size_t i = 0; i + 2 < d.normals.size(); i += 3) {
                    const double in[3] = {d.normals[i], d.normals[i + 1], d.normals[i + 2]};
                    double out[3];
                    normalFrame.Apply(in, out);
                    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
                    for (int k = 0; k < 3; ++k) d.normals[i + size_t(k)] = length > 0 ? float(out[k] / length) : 0.0f;
                }
            }
            // A mirroring frame turns the triangles' winding: turned back.
            if (mirrored)
                for (size_t c = 0; c + 2 < corners.size(); c += 3) std::swap(corners[c + 1], corners[c + 2]);
            for (float& v : d.normals) v = Finite(v);
            if (normals.Ready()) normals.Snap(d.normals);
            if (const GltfTextureRef* t = TextureTransform(p)) {
                // (Quantizing writers scale their whole-number coordinates
                // back so.)
                const double c = std::cos(t->uvRotation), s = std::sin(t->uvRotation);
                for (size_t i = 0; i + 1 < d.texCoords.size(); i += 2) {
                    const double u = d.texCoords[i] * t->uvScale[0], v = d.texCoords[i + 1] * t->uvScale[1];
                    d.texCoords[i] = float(t->uvOffset[0] + c * u + s * v);
                    d.texCoords[i + 1] = float(t->uvOffset[1] - s * u + c * v);
                }
            }
            for (float& v : d.texCoords) v = Finite(v);
            if (mesh.hasNormals && d.normals.empty()) d.normals.assign(size_t(vertices) * 3, 0.0f);
            if (mesh.hasTexCoords && d.texCoords.empty()) d.texCoords.assign(size_t(vertices) * 2, 0.0f);
            // glTF's V runs down the picture, the scene's up.
            for (size_t i = 1; i < d.texCoords.size(); i += 2) d.texCoords[i] = 1.0f - d.texCoords[i];
            const int32_t material =
                p.material >= 0 && size_t(p.material) < scene_->materials.size() ? materialOf_[size_t(p.material)] : -1;
            if (mesh.positionsOnly && ownLists) MergeSplitPositions(lists, entries, material, d, corners);
            const size_t primitive = data.size();
            data.push_back(std::move(d));
            if (!ownLists) {
                SceneTriangles list;
                list.material = material;
                list.count = int64_t(corners.size() / 3);
                list.corners = std::move(corners);
                lists.push_back(std::move(list));
                parts.push_back({primitive, 0, uint32_t(vertices)});
                continue;
            }
            // The tool's primitive holds its material's lists in order, each
            // list's vertices after the last list's (numbered by first use).
            size_t at = 0;
            uint32_t start = 0;
            for (size_t l = 0; l < lists.size(); ++l) {
                SceneTriangles& list = lists[l];
                if (list.material != material || list.count <= 0 || !list.corners.empty()) continue;
                const size_t take = std::min(corners.size() - at, size_t(list.count) * 3);
                list.corners.assign(corners.begin() + ptrdiff_t(at), corners.begin() + ptrdiff_t(at + take));
                at += take;
                uint32_t end = start;
                for (uint32_t c : list.corners) end = std::max(end, c + 1);
                parts[l] = {primitive, start, end};
                start = end;
            }
        }
        mesh.components = mesh.hasPositions ? 1 + int(mesh.hasNormals) + int(mesh.hasTexCoords) : 0;
        if (!mesh.hasPositions) mesh.hasNormals = mesh.hasTexCoords = false;
        if (ownLists && !Streams(extras.Get("streams"), mesh, true))
            return failure_.Set(doc_.path, where + ": streams do not match its primitives");
        // A list whose triangles the document does not hold has none.
        for (SceneTriangles& list : lists)
            if (mesh.hasPositions && list.corners.size() != size_t(list.count) * 3)
                list.count = int64_t(list.corners.size() / 3);
        // Every vertex of a list its own values, numbered in order (the
        // layout glTF is written from); a positions-only mesh numbers its
        // corners by the values themselves.
        for (size_t l = 0; l < lists.size(); ++l) {
            SceneTriangles& list = lists[l];
            const uint32_t base = Values(mesh);
            if (list.corners.empty()) {
                // A part without triangles keeps its values from the extras.
                if (l < entries.size())
                    PartOrder(*entries[l], ListData(extras.Get("listData"), l), mesh, nullptr, Part(), base, list);
                continue;
            }
            const Part& part = parts[l];
            const PrimitiveData& d = data[part.primitive];
            if (uint64_t(base) + (part.end - part.start) > INT32_MAX)
                return failure_.Set(doc_.path, where + " is too large");
            const Value* listData = ListData(extras.Get("listData"), l);
            if (l < entries.size() && PartOrder(*entries[l], listData, mesh, &d, part, base, list)) continue;
            mesh.positions.insert(mesh.positions.end(), d.positions.begin() + ptrdiff_t(part.start) * 3,
                                  d.positions.begin() + ptrdiff_t(part.end) * 3);
            if (mesh.hasNormals)
                mesh.normals.insert(mesh.normals.end(), d.normals.begin() + ptrdiff_t(part.start) * 3,
                                    d.normals.begin() + ptrdiff_t(part.end) * 3);
            if (mesh.hasTexCoords)
                mesh.texCoords.insert(mesh.texCoords.end(), d.texCoords.begin() + ptrdiff_t(part.start) * 2,
                                      d.texCoords.begin() + ptrdiff_t(part.end) * 2);
            if (mesh.positionsOnly) {
                for (uint32_t& c : list.corners) c = c - part.start + base;
                continue;
            }
            for (uint32_t& c : list.corners) c -= part.start;
            for (uint32_t v = part.start; v < part.end; ++v)
                for (int k = 0; k < mesh.components; ++k) list.table.push_back(int32_t(base + v - part.start));
        }
        mesh.triangles = std::move(lists);
        return true;
    }

    // A positions-only mesh comes back from Blender 3.4 with a vertex per
    // face corner of equal position (it gives the faces normals of their
    // own): where the primitive holds more vertices than the tool's lists
    // of its material say, equal positions are one vertex again, numbered
    // by first use as the tool wrote them.
    static void MergeSplitPositions(const std::vector<SceneTriangles>& lists, const std::vector<const Value*>& entries,
                                    int32_t material, PrimitiveData& d, std::vector<uint32_t>& corners) {
        uint64_t listed = 0;
        for (size_t l = 0; l < lists.size() && l < entries.size(); ++l) {
            const Value& e = *entries[l];
            if (lists[l].material == material && e.IsArray() && e.Size() >= 3 && e[2].IsUint()) listed += e[2].GetUint();
        }
        if (d.positions.size() / 3 <= listed) return;
        std::unordered_map<std::string, uint32_t> number;
        std::vector<float> positions;
        for (uint32_t& c : corners) {
            if (size_t(c) * 3 + 2 >= d.positions.size()) continue;
            const std::string bits(reinterpret_cast<const char*>(&d.positions[size_t(c) * 3]), 3 * sizeof(float));
            auto found = number.emplace(bits, uint32_t(positions.size() / 3));
            if (found.second) positions.insert(positions.end(), &d.positions[size_t(c) * 3], &d.positions[size_t(c) * 3] + 3);
            c = found.first->second;
        }
        d.positions = std::move(positions);
    }

    // A list of the tool's own with its part's vertices in the extras: the
    // part vertex count, the part vertex of each glTF vertex (runs of start
    // and length) and the values of the unused ones. Lays the part out as it
    // was, its values after the mesh's; false (nothing changed) when the
    // extras do not fit the primitive.
    // How many values each stream of the mesh holds (as many each).
    static uint32_t Values(const SceneMesh& mesh) {
        return uint32_t(mesh.hasPositions ? mesh.positions.size() / 3
                        : mesh.hasNormals ? mesh.normals.size() / 3 : mesh.texCoords.size() / 2);
    }

    // The streams a mesh of the tool's own has ([positions, normals, texture
    // coordinates, components]); with `check`, false when they differ from
    // what its primitives gave.
    static bool Streams(const Value* streams, SceneMesh& mesh, bool check = false) {
        if (!streams || !streams->IsArray() || streams->Size() != 4 || !(*streams)[3].IsInt()) return true;
        const bool has[3] = {Flag(&(*streams)[0]), Flag(&(*streams)[1]), Flag(&(*streams)[2])};
        const int components = (*streams)[3].GetInt();
        if (check && mesh.hasPositions && (has[0] != mesh.hasPositions || has[1] != mesh.hasNormals ||
                                           has[2] != mesh.hasTexCoords || components != mesh.components))
            return false;
        // A vertex takes one number per stream, or the streams are not taken.
        if (components != int(has[0]) + int(has[1]) + int(has[2])) return true;
        mesh.hasPositions = has[0], mesh.hasNormals = has[1], mesh.hasTexCoords = has[2];
        mesh.components = components;
        return true;
    }

    // An accessor the list data names: its values as floats, `tuples` of
    // `width` each, or as whole numbers below `limit`; false when it names
    // none or holds anything else.
    bool ListFloats(const Value* v, size_t width, size_t tuples, std::vector<float>& out) const {
        const int32_t a = IndexIn(v, doc_.accessors.size());
        if (a < 0 || size_t(doc_.accessors[size_t(a)].components) != width || doc_.accessors[size_t(a)].count != tuples)
            return false;
        ReadFailure ignored;
        return ReadAccessorFloats(doc_, a, out, ignored);
    }
    bool ListNumbers(const Value* v, uint64_t limit, std::vector<uint32_t>& out) const {
        const int32_t a = IndexIn(v, doc_.accessors.size());
        ReadFailure ignored;
        return a >= 0 && ReadAccessorIndices(doc_, a, limit, out, ignored);
    }

    // The streams of the list data, by the names the writer gives them.
    static constexpr const char* kStreamNames[3] = {"positions", "normals", "texCoords"};

    bool PartOrder(const Value& entry, const Value* data, SceneMesh& mesh, const PrimitiveData* d, const Part& part,
                   uint32_t base, SceneTriangles& list) {
        if (!entry.IsArray() || entry.Size() < 5 || !entry[2].IsUint() || !entry[3].IsArray() || !entry[4].IsArray())
            return false;
        const size_t used = d ? part.end - part.start : 0;
        const bool has[3] = {mesh.hasPositions, mesh.hasNormals, mesh.hasTexCoords};
        const size_t widths[3] = {3, 3, 2};
        size_t offsets[3], width = 0;
        for (int s = 0; s < 3; ++s) offsets[s] = width, width += has[s] ? widths[s] : 0;
        if (width == 0) return false;
        const size_t count = entry[2].GetUint();
        if (count < used || uint64_t(base) + count > INT32_MAX) return false;
        // Runs, unused values and held values each come from the extras or
        // from the buffer where the list data names them.
        const Value* runsAt = data ? Member(*data, "runs") : nullptr;
        const Value* unusedAt = data ? Member(*data, "unused") : nullptr;
        const Value* heldAt = data ? Member(*data, "held") : nullptr;
        std::vector<uint32_t> runs;
        if (runsAt) {
            if (entry[3].Size() != 0 || !ListNumbers(runsAt, uint64_t(count) + 1, runs)) return false;
        } else {
            for (const Value& r : entry[3].GetArray()) {
                if (!r.IsUint()) return false;
                runs.push_back(r.GetUint());
            }
        }
        const Value& unused = entry[4];
        std::vector<float> unusedValues[3];
        if (unusedAt) {
            if (unused.Size() != 0) return false;
            for (int s = 0; s < 3; ++s)
                if (has[s] && !ListFloats(Member(*unusedAt, kStreamNames[s]), widths[s], count - used, unusedValues[s]))
                    return false;
        } else {
            if ((count - used) * width != unused.Size()) return false;
            for (rapidjson::SizeType i = 0; i < unused.Size(); ++i)
                if (!unused[i].IsNumber()) return false;
        }
        if (runs.size() % 2 != 0) return false;
        std::vector<uint32_t> order;
        order.reserve(used);
        std::vector<bool> taken(count, false);
        for (size_t r = 0; r < runs.size(); r += 2) {
            const uint64_t start = runs[r], length = runs[r + 1];
            if (length > used - order.size() || start + length > count) return false;
            for (uint64_t v = start; v < start + length; ++v) {
                if (taken[size_t(v)]) return false;
                taken[size_t(v)] = true;
                order.push_back(uint32_t(v));
            }
        }
        if (order.size() != used) return false;
        std::vector<uint32_t> held;
        std::vector<float> heldValues[3];
        if (heldAt) {
            const Value* heldStreams = Member(*data, "heldValues");
            if (!ListNumbers(heldAt, count, held) || !heldStreams || !heldStreams->IsObject()) return false;
            for (int s = 0; s < 3; ++s) {
                const Value* at = Member(*heldStreams, kStreamNames[s]);
                if (at && (!has[s] || !ListFloats(at, widths[s], held.size(), heldValues[s]))) return false;
            }
        }
        // The part's values in part order after the mesh's, the unused ones
        // from the extras or the buffer.
        std::vector<float>* streams[3] = {&mesh.positions, &mesh.normals, &mesh.texCoords};
        const std::vector<float>* given[3] = {d ? &d->positions : nullptr, d ? &d->normals : nullptr,
                                              d ? &d->texCoords : nullptr};
        float* out[3] = {nullptr, nullptr, nullptr};
        for (int s = 0; s < 3; ++s)
            if (has[s]) {
                streams[s]->resize((size_t(base) + count) * widths[s]);
                out[s] = streams[s]->data() + size_t(base) * widths[s];
            }
        for (size_t j = 0; j < used; ++j)
            for (int s = 0; s < 3; ++s)
                if (has[s])
                    std::memcpy(out[s] + order[j] * widths[s], given[s]->data() + (part.start + j) * widths[s],
                                widths[s] * sizeof(float));
        size_t next = 0;
        for (size_t v = 0; v < count; ++v) {
            if (taken[v]) continue;
            for (int s = 0; s < 3; ++s)
                for (size_t i = 0; has[s] && i < widths[s]; ++i)
                    out[s][v * widths[s] + i] =
                        unusedAt ? Finite(unusedValues[s][next * widths[s] + i])
                                 : Finite(unused[rapidjson::SizeType((next * width) + offsets[s] + i)].GetDouble());
            ++next;
        }
        // Used vertices whose values glTF does not give back as held: all
        // their values in the extras, or in the buffer those of the streams
        // that differ.
        if (heldAt) {
            for (int s = 0; s < 3; ++s)
                for (size_t h = 0; h < held.size() && !heldValues[s].empty(); ++h)
                    for (size_t i = 0; i < widths[s]; ++i)
                        out[s][held[h] * widths[s] + i] = Finite(heldValues[s][h * widths[s] + i]);
        } else if (entry.Size() > 5 && entry[5].IsArray() && entry[5].Size() % (width + 1) == 0) {
            const Value& kept = entry[5];
            for (rapidjson::SizeType at = 0; at < kept.Size(); at += rapidjson::SizeType(width + 1)) {
                if (!kept[at].IsUint() || kept[at].GetUint() >= count) continue;
                const size_t v = kept[at].GetUint();
                for (int s = 0; s < 3; ++s)
                    for (size_t i = 0; has[s] && i < widths[s]; ++i)
                        out[s][v * widths[s] + i] =
                            Finite(Number(&kept[at + 1 + rapidjson::SizeType(offsets[s] + i)], 0));
            }
        }
        // (A positions-only mesh numbers its corners by the values.)
        if (!mesh.positionsOnly) {
            const size_t components = size_t(std::max(mesh.components, 0));
            list.table.resize(count * components);
            for (size_t v = 0; v < count; ++v)
                for (size_t k = 0; k < components; ++k) list.table[v * components + k] = int32_t(base + v);
        }
        for (uint32_t& c : list.corners) c = order[c - part.start] + (mesh.positionsOnly ? base : 0);
        return true;
    }

    bool Stream(int accessor, int width, uint64_t vertices, std::vector<float>& out) {
        if (!ReadAccessorFloats(doc_, accessor, out, failure_)) return false;
        const GltfAccessor& a = doc_.accessors[size_t(accessor)];
        if (a.components != width || a.count != vertices)
            return failure_.Set(doc_.path, "accessor " + std::to_string(accessor) + " does not match its positions");
        return true;
    }

    // The scene node of a document node (nodes outside the scene's trees
    // have none).
    int32_t SceneNodeOf(size_t gn) const {
        if (nodeNumber_.empty()) return int32_t(gn);
        return nodeNumber_[gn];
    }
    std::vector<int32_t> nodeNumber_;  // filled when nodes were left out

    // A curve of the extras into the scene at its index.
    void Curve(const Value& v, std::vector<bool>& have) {
        const int64_t index = Integer(Member(v, "index"), -1);
        // (An index past the curves the extras hold names none.)
        if (index < 0 || uint64_t(index) >= curveLimit_) return;
        if (size_t(index) >= scene_->curves.size()) {
            scene_->curves.resize(size_t(index) + 1);
            have.resize(size_t(index) + 1, false);
        }
        if (have[size_t(index)]) return;
        have[size_t(index)] = true;
        SceneCurve& curve = scene_->curves[size_t(index)];
        AnimationCurve& data = curve.data;
        if (Flag(Member(v, "nullName"))) data.name.Set(nullptr);
        else data.name.Set(Text(Member(v, "name")));
        data.nameIndex = int32_t(Integer(Member(v, "nameIndex"), -1));
        data.index = int32_t(Integer(Member(v, "curveIndex"), -1));
        data.flags = uint16_t(Integer(Member(v, "flags"), 0));
        uint32_t trailer[2] = {0, 0};
        Numbers(Member(v, "trailer"), trailer, 2);
        data.trailer1 = trailer[0];
        data.trailer2 = trailer[1];
        curve.joint = Text(Member(v, "joint"));
        curve.targetName = Text(Member(v, "target"));
        curve.node = IndexIn(Member(v, "node"), scene_->nodes.size());
        curve.property = PropertyNamed(Text(Member(v, "property")));
        const Value* times = Member(v, "times");
        const Value* values = Member(v, "values");
        const Value* tangents = Member(v, "tangents");
        const Value* interpolation = Member(v, "interpolation");
        const size_t keys = times && times->IsArray() ? times->Size() : 0;
        data.keys.resize(keys);
        for (size_t k = 0; k < keys; ++k) {
            CurveKey& key = data.keys[k];
            key.time = Number(&(*times)[rapidjson::SizeType(k)], 0);
            if (values && values->IsArray() && k < values->Size()) key.value = Number(&(*values)[rapidjson::SizeType(k)], 0);
            if (tangents && tangents->IsArray() && k * 4 + 3 < tangents->Size()) {
                float* t[4] = {&key.inTangentX, &key.inTangentY, &key.outTangentX, &key.outTangentY};
                for (size_t i = 0; i < 4; ++i) *t[i] = Finite(Number(&(*tangents)[rapidjson::SizeType(k * 4 + i)], 0));
            }
            if (interpolation && interpolation->IsArray() && k < interpolation->Size())
                key.interpolation = uint32_t(Integer(&(*interpolation)[rapidjson::SizeType(k)], 0));
        }
    }

    size_t curveLimit_ = 0;

    bool Animations(const Extras& sceneExtras) {
        std::vector<bool> have;
        std::vector<Extras> animationExtras;
        for (const GltfAnimation& a : doc_.animations) animationExtras.emplace_back(a.extras);
        auto countOf = [](const Value* list) { return list && list->IsArray() ? size_t(list->Size()) : 0; };
        curveLimit_ = countOf(sceneExtras.Get("curves"));
        for (const Extras& extras : animationExtras) curveLimit_ += countOf(extras.Get("curves"));
        auto curvesOf = [&](const Value* list) {
            if (list && list->IsArray())
                for (const Value& c : list->GetArray()) Curve(c, have);
        };
        curvesOf(sceneExtras.Get("curves"));
        bool own = sceneExtras.Get("frameRate") != nullptr;
        for (const Extras& extras : animationExtras) curvesOf(extras.Get("curves"));
        own = own && !scene_->curves.empty();
        // A package that re-exports the document may order its nodes anew
        // (Blender does): a curve whose node is not named as its target
        // drives the node of that name.
        std::unordered_map<std::string, int32_t> named;
        for (size_t n = scene_->nodes.size(); n-- > 0;) named[scene_->nodes[n].name] = int32_t(n);
        for (SceneCurve& curve : scene_->curves) {
            if (curve.node >= 0 && scene_->nodes[size_t(curve.node)].name == curve.targetName) continue;
            auto found = named.find(curve.targetName);
            if (found != named.end()) curve.node = found->second;
        }
        const Value* clips = sceneExtras.Get("clips");
        if (clips && clips->IsArray()) {
            for (const Value& c : clips->GetArray()) {
                SceneClip clip;
                clip.name = Text(Member(c, "name"));
                clip.start = Number(Member(c, "start"), 0);
                clip.end = Number(Member(c, "end"), 0);
                clip.loopStart = Number(Member(c, "loopStart"), 0);
                clip.loopEnd = Number(Member(c, "loopEnd"), 0);
                const Value* tracks = Member(c, "tracks");
                if (tracks && tracks->IsArray())
                    for (const Value& t : tracks->GetArray()) {
                        SceneTrack track;
                        track.name = Text(Member(t, "name"));
                        const Value* linked = Member(t, "curves");
                        if (linked && linked->IsArray())
                            for (const Value& i : linked->GetArray()) {
                                const int32_t curve = IndexIn(&i, scene_->curves.size());
                                if (curve >= 0) track.curves.push_back(curve);
                            }
                        clip.tracks.push_back(std::move(track));
                    }
                scene_->clips.push_back(std::move(clip));
            }
        }
        if (own) {
            for (const GltfAnimation& a : doc_.animations)
                if (!FollowSamples(a)) return false;
        }
        if (own || !scene_->clips.empty()) return true;
        double last = kFrameSeconds;
        for (const GltfAnimation& a : doc_.animations)
            if (!SampledClip(a, last)) return false;
        scene_->endTime = last;
        return true;
    }

    // How far a sample may lie from the carried curves and still be theirs:
    // a translation in model units relative to max(1, |value|), a rotation as
    // 1 - |q . q'| of the quaternions. Blender 3.4 re-exports an animation
    // sampled at 24 frames a second from the 30 a second the tool wrote
    // (49 keys for our 61 over 2 s), each of its samples on the straight
    // line between two of ours: measured on the sample, at most 4.2e-7 off
    // in a translation and 4.1e-8 in a rotation; a moved key moves samples
    // by far more.
    static constexpr double kSampleTolerance = 1e-5, kTurnTolerance = 1e-6;

    // An animation of a document whose scene carries the curves it plays
    // (the tool's own, or one a modelling package re-exported, keeping the
    // scene's extras and resampling the animation): the carried curves
    // stand where the samples agree with them; where the samples of a
    // channel differ (the user changed the animation), they become the keys
    // of its curves inside the clip, linear, the keys outside kept.
    bool FollowSamples(const GltfAnimation& a) {
        const SceneClip* clip = nullptr;
        for (const SceneClip& c : scene_->clips)
            if (c.name == a.name && !clip) clip = &c;
        if (!clip) return true;
        for (const GltfChannel& channel : a.channels) {
            if (channel.node < 0 || channel.sampler < 0 || size_t(channel.sampler) >= a.samplers.size() ||
                (channel.path != "translation" && channel.path != "rotation"))
                continue;
            const int32_t node = SceneNodeOf(size_t(channel.node));
            if (node < 0) continue;
            const bool rotation = channel.path == "rotation";
            SceneCurve* curves[3] = {nullptr, nullptr, nullptr};
            for (const SceneTrack& track : clip->tracks)
                for (int32_t c : track.curves) {
                    SceneCurve& curve = scene_->curves[size_t(c)];
                    const int p = int(curve.property) - int(CurveProperty::kTranslateX);
                    if (curve.node == node && p >= 0 && p < 6 && (p >= 3) == rotation && !curves[p % 3])
                        curves[p % 3] = &curve;
                }
            if (!curves[0] && !curves[1] && !curves[2]) continue;
            const GltfAnimationSampler& sampler = a.samplers[size_t(channel.sampler)];
            std::vector<float> times, values;
            if (!ReadAccessorFloats(doc_, sampler.input, times, failure_) ||
                !ReadAccessorFloats(doc_, sampler.output, values, failure_))
                return false;
            const size_t width = rotation ? 4 : 3;
            const size_t stride = sampler.interpolation == "CUBICSPLINE" ? 3 : 1;
            const size_t keys = std::min(times.size(), values.size() / (width * stride));
            const SceneNode& target = scene_->nodes[size_t(node)];
            const Frame& unit = placeOf_[size_t(node)];
            auto expected = [&](double t, double v[3]) {
                for (int i = 0; i < 3; ++i)
                    v[i] = curves[i] ? CurveValue(curves[i]->data, t)
                                     : double(rotation ? target.rotation[i] : target.translation[i]);
            };
            bool agree = true;
            for (size_t k = 0; k < keys && agree; ++k) {
                const float* sample = &values[(k * stride + (stride == 3 ? 1 : 0)) * width];
                double v[3];
                expected(clip->start + double(times[k]), v);
                if (rotation) {
                    double q[4], n = 0, dot = 0;
                    EulerToQuaternion(v[0], v[1], v[2], q);
                    for (size_t i = 0; i < 4; ++i) n += double(sample[i]) * sample[i], dot += q[i] * sample[i];
                    agree = n > 0 && 1 - std::fabs(dot) / std::sqrt(n) <= kTurnTolerance;
                } else {
                    const double moved[3] = {Moved(unit, sample, 0), Moved(unit, sample, 1), Moved(unit, sample, 2)};
                    for (int i = 0; i < 3; ++i)
                        agree = agree && std::fabs(moved[i] - v[i]) <= kSampleTolerance * std::max(1.0, std::fabs(v[i]));
                }
            }
            if (agree) continue;
            float previous[3];
            double first[3];
            expected(clip->start + (keys ? double(times[0]) : 0.0), first);
            for (int i = 0; i < 3; ++i) previous[i] = float(first[i]);
            std::vector<CurveKey> samples[3];
            for (size_t k = 0; k < keys; ++k) {
                const float* sample = &values[(k * stride + (stride == 3 ? 1 : 0)) * width];
                float out[3];
                if (rotation) {
                    const double q[4] = {Finite(sample[0]), Finite(sample[1]), Finite(sample[2]), Finite(sample[3])};
                    QuaternionToEuler(q, out);
                    NearestEuler(out, previous);
                    std::copy(out, out + 3, previous);
                } else {
                    for (int i = 0; i < 3; ++i) out[i] = Finite(Moved(unit, sample, i));
                }
                for (int i = 0; i < 3; ++i) {
                    CurveKey key;
                    key.time = Finite(clip->start + double(times[k]));
                    key.value = out[i];
                    samples[i].push_back(key);
                }
            }
            for (int i = 0; i < 3; ++i) {
                if (!curves[i]) continue;
                std::vector<CurveKey>& kept = curves[i]->data.keys;
                kept.erase(std::remove_if(kept.begin(), kept.end(),
                                          [&](const CurveKey& key) {
                                              return key.time >= clip->start && key.time <= clip->end;
                                          }),
                           kept.end());
                kept.insert(kept.end(), samples[i].begin(), samples[i].end());
                std::stable_sort(kept.begin(), kept.end(),
                                 [](const CurveKey& x, const CurveKey& y) { return x.time < y.time; });
            }
        }
        return true;
    }

    // Component i of a translation in glTF units turned into the scene's by
    // the frame it lies in (a uniform one as one product, as the places).
    static double Moved(const Frame& frame, const float* t, int i) {
        double unit = 1;
        if (frame.IsUniform(unit)) return t[i] * unit;
        return frame.m[i * 3] * t[0] + frame.m[i * 3 + 1] * t[1] + frame.m[i * 3 + 2] * t[2];
    }

    // A foreign animation as a clip of linear curves, three per animated
    // translation or rotation (the rotations turned to Euler angles, each
    // key's angles taken nearest the previous key's).
    bool SampledClip(const GltfAnimation& a, double& last) {
        SceneClip clip;
        clip.name = a.name.empty() ? "Animation" + std::to_string(scene_->clips.size()) : a.name;
        for (const GltfChannel& channel : a.channels) {
            if (channel.node >= 0 && channel.path == "scale" && scaleNoted_.insert(channel.node).second)
                Note("Scale animation of " + Called("node", "Node", doc_.nodes[size_t(channel.node)].name, size_t(channel.node)) +
                     " left out - the game's format has no scale");
            if (channel.node < 0 || channel.sampler < 0 || (channel.path != "translation" && channel.path != "rotation")) continue;
            const int32_t node = SceneNodeOf(size_t(channel.node));
            if (node < 0) continue;
            const GltfAnimationSampler& sampler = a.samplers[size_t(channel.sampler)];
            std::vector<float> times, values;
            if (!ReadAccessorFloats(doc_, sampler.input, times, failure_) ||
                !ReadAccessorFloats(doc_, sampler.output, values, failure_))
                return false;
            const bool rotation = channel.path == "rotation";
            const size_t width = rotation ? 4 : 3;
            // A cubic spline's values come as in-tangent, value, out-tangent.
            const size_t stride = sampler.interpolation == "CUBICSPLINE" ? 3 : 1;
            const size_t keys = std::min(times.size(), values.size() / (width * stride));
            const SceneNode& target = scene_->nodes[size_t(node)];
            const Frame& unit = placeOf_[size_t(node)];
            SceneTrack track;
            track.name = target.name;
            const size_t first = scene_->curves.size();
            for (int i = 0; i < 3; ++i) {
                SceneCurve curve;
                curve.joint = curve.targetName = target.name;
                curve.node = node;
                curve.property = CurveProperty(int(rotation ? CurveProperty::kRotateX : CurveProperty::kTranslateX) + i);
                curve.data.name.Set(target.name + "." + (rotation ? "rotate" : "translate") + char('X' + i));
                curve.data.index = int32_t(first) + i;
                track.curves.push_back(int32_t(first) + i);
                scene_->curves.push_back(std::move(curve));
            }
            float previous[3] = {0, 0, 0};
            for (size_t k = 0; k < keys; ++k) {
                const float* v = &values[(k * stride + (stride == 3 ? 1 : 0)) * width];
                float out[3];
                if (rotation) {
                    const double q[4] = {Finite(v[0]), Finite(v[1]), Finite(v[2]), Finite(v[3])};
                    QuaternionToEuler(q, out);
                    if (k > 0) NearestEuler(out, previous);
                    std::copy(out, out + 3, previous);
                } else {
                    for (int i = 0; i < 3; ++i) out[i] = Finite(Moved(unit, v, i));
                }
                for (int i = 0; i < 3; ++i) {
                    CurveKey key;
                    key.time = Finite(times[k]);
                    key.value = std::isfinite(out[i]) ? out[i] : 0;
                    scene_->curves[first + size_t(i)].data.keys.push_back(key);
                }
                if (std::isfinite(times[k])) {
                    clip.end = std::max(clip.end, double(times[k]));
                    last = std::max(last, double(times[k]));
                }
            }
            clip.tracks.push_back(std::move(track));
        }
        clip.loopEnd = clip.end;
        if (!clip.tracks.empty()) scene_->clips.push_back(std::move(clip));
        return true;
    }
};

}  // namespace

std::unique_ptr<Scene> SceneFromGltf(const GltfDocument& doc, ReadFailure& failure) {
    return Importer(doc, failure).Run();
}

std::unique_ptr<Scene> ImportGltf(const char* path, std::string* error) {
    GltfDocument doc;
    ReadFailure failure;
    std::unique_ptr<Scene> scene;
    if (ReadGltfFile(path ? path : "", doc, failure)) scene = SceneFromGltf(doc, failure);
    if (!scene && error) *error = failure.Text();
    return scene;
}
