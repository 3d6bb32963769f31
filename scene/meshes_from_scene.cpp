// Multi meshes, goblin meshes and glows back from the scene: each level's
// name and placement from its node, its parts from the triangle lists (the
// values through the tables), and from the facts the scene build recorded
// (scene/mesh_facts.h) what the scene does not show.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "model/mesh_info.h"
#include "scene/mesh_facts.h"
#include "scene/names.h"
#include "scene/value_list.h"
#include "scene/way_back.h"

namespace {

// 16-bit indices reach 65,536 vertices (0 to 65535): a part holds at most
// this many.
const size_t kMaxPartVertices = 65536;

// A node's name with the groups of its "SUB_PARAMS" child joined back.
std::string FullNodeName(const Scene& scene, int32_t node) {
    const SceneNode& n = scene.nodes[size_t(node)];
    std::string name = n.name;
    for (int32_t child : n.children) {
        const SceneNode& c = scene.nodes[size_t(child)];
        if (!c.nameOnly || c.name != kSubParamsName) continue;
        for (int32_t group : c.children) name += "_" + scene.nodes[size_t(group)].name;
    }
    return name;
}

// The joint a parent node shows ("JNT[<joint>]", a navigation light's node
// named after its joint, "ROOT_LOD[0]" for "Root") and the LOD level a
// "ROOT_LOD[<level>]" parent shows. False joint: the node shows none.
struct ShownPlace {
    bool hasJoint = false;
    std::string joint;
    int32_t level = 0;
};

bool BracketValue(const std::string& name, const char* kind, std::string& value) {
    const size_t open = std::strlen(kind);
    if (name.size() < open + 2 || name.compare(0, open, kind) != 0 || name[open] != '[') return false;
    if (std::strcmp(kind, "NAVL") == 0) {
        const size_t close = name.find(']', open + 1);
        if (close == std::string::npos) return false;
        value = name.substr(open + 1, close - open - 1);
        return true;
    }
    if (name.back() != ']') return false;
    value = name.substr(open + 1, name.size() - open - 2);
    return true;
}

ShownPlace ShownBy(const Scene& scene, int32_t node) {
    ShownPlace shown;
    if (node < 0) return shown;
    const int32_t parent = scene.nodes[size_t(node)].parent;
    if (parent < 0) return shown;
    const std::string name = FullNodeName(scene, parent);
    std::string value;
    if (BracketValue(name, "ROOT_LOD", value)) {
        if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos)
            return shown;
        shown.level = std::stoi(value);
        if (shown.level == 0) shown.hasJoint = true, shown.joint = "Root";
        return shown;
    }
    if (BracketValue(name, "JNT", value) || BracketValue(name, "NAVL", value)) shown.hasJoint = true, shown.joint = value;
    return shown;
}


// Tangents and binormals from positions, normals and texture coordinates,
// the usual way: each triangle's direction of growing U (tangent) and V
// (bitangent) in object space, from its edges and texture coordinate
// differences, added to its three corners unweighted; per vertex the summed
// U direction made orthogonal to the normal (Gram-Schmidt) and normalised,
// and binormal = cross(normal, tangent) x handedness, the handedness -1 where
// the summed V direction points against cross(normal, tangent). V is taken as
// stored. A vertex no triangle with a texture mapping reaches gets any unit
// vector orthogonal to its normal. The corners are the part's triangles,
// three a triangle.
void AddTangents(MeshPart& part, const std::vector<uint32_t>& corners) {
    const VertexLayoutInfo layout = VertexLayout(part.format);
    const bool hasTangent = part.format & kFormatTangent, hasBinormal = part.format & kFormatBinormal;
    if (!hasTangent && !hasBinormal) return;
    const size_t stride = size_t(layout.stride), count = size_t(part.vertexCount);
    const bool hasPos = part.format & kFormatPosition, hasNormal = part.format & kFormatNormal,
               hasUv = part.format & kFormatTexCoord;
    auto vertex = [&](size_t v) { return part.vertices.data() + v * stride; };
    std::vector<double> uDir(count * 3, 0.0), vDir(count * 3, 0.0);
    if (hasPos && hasUv) {
        for (size_t k = 0; k + 2 < corners.size(); k += 3) {
            const uint32_t a = corners[k], b = corners[k + 1], c = corners[k + 2];
            if (a >= count || b >= count || c >= count) continue;
            const float* p0 = vertex(a) + layout.position;
            const float* p1 = vertex(b) + layout.position;
            const float* p2 = vertex(c) + layout.position;
            const float* t0 = vertex(a) + layout.texCoord;
            const float* t1 = vertex(b) + layout.texCoord;
            const float* t2 = vertex(c) + layout.texCoord;
            double e1[3], e2[3];
            for (int i = 0; i < 3; ++i) e1[i] = double(p1[i]) - p0[i], e2[i] = double(p2[i]) - p0[i];
            const double du1 = double(t1[0]) - t0[0], dv1 = double(t1[1]) - t0[1];
            const double du2 = double(t2[0]) - t0[0], dv2 = double(t2[1]) - t0[1];
            const double det = du1 * dv2 - du2 * dv1;
            if (!(std::fabs(det) > 1e-20)) continue;
            const double r = 1.0 / det;
            for (uint32_t corner : {a, b, c})
                for (int i = 0; i < 3; ++i) {
                    uDir[corner * 3 + i] += (e1[i] * dv2 - e2[i] * dv1) * r;
                    vDir[corner * 3 + i] += (e2[i] * du1 - e1[i] * du2) * r;
                }
        }
    }
    for (size_t v = 0; v < count; ++v) {
        float* out = vertex(v);
        double n[3] = {0, 0, 1};
        if (hasNormal) {
            const float* source = out + layout.normal;
            const double length = std::sqrt(double(source[0]) * source[0] + double(source[1]) * source[1] +
                                            double(source[2]) * source[2]);
            if (length > 0 && std::isfinite(length))
                for (int i = 0; i < 3; ++i) n[i] = source[i] / length;
        }
        double t[3] = {uDir[v * 3], uDir[v * 3 + 1], uDir[v * 3 + 2]};
        const double along = t[0] * n[0] + t[1] * n[1] + t[2] * n[2];
        for (int i = 0; i < 3; ++i) t[i] -= n[i] * along;
        double length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (!(length > 1e-12) || !std::isfinite(length)) {
            // Any direction across the normal: the axis it leans on least.
            const int axis = std::fabs(n[0]) <= std::fabs(n[1]) && std::fabs(n[0]) <= std::fabs(n[2]) ? 0
                             : std::fabs(n[1]) <= std::fabs(n[2])                                      ? 1
                                                                                                       : 2;
            for (int i = 0; i < 3; ++i) t[i] = (i == axis ? 1.0 : 0.0) - n[i] * n[axis];
            length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        }
        for (int i = 0; i < 3; ++i) t[i] /= length;
        double b[3] = {n[1] * t[2] - n[2] * t[1], n[2] * t[0] - n[0] * t[2], n[0] * t[1] - n[1] * t[0]};
        const double* w = &vDir[v * 3];
        if (b[0] * w[0] + b[1] * w[1] + b[2] * w[2] < 0)
            for (double& x : b) x = -x;
        for (int i = 0; i < 3; ++i) {
            if (hasTangent) out[layout.tangent + i] = float(t[i]);
            if (hasBinormal) out[layout.binormal + i] = float(b[i]);
        }
    }
}

// The one triangle list group of a rebuilt part.
PrimitiveGroup ListGroup(std::vector<uint16_t> indices) {
    PrimitiveGroup group;
    group.index = 0;
    group.type = kPrimTriList;
    group.indexCount = int32_t(indices.size());
    group.indices = std::move(indices);
    return group;
}

// A part of more vertices than 16-bit indices reach (a list read from a
// document can be that large) goes into several parts of the same material
// and format: triangles in order, each part taking the vertices its
// triangles use until the next would pass the limit. Vertices no triangle
// uses are left out of such a part.
std::vector<MeshPart> SplitLargePart(const MeshPart& part, const std::vector<uint32_t>& corners) {
    std::vector<MeshPart> pieces;
    const size_t stride = size_t(part.stride);
    std::unordered_map<uint32_t, uint16_t> number;
    MeshPart piece;
    std::vector<uint16_t> indices;
    auto close = [&]() {
        if (indices.empty()) return;
        piece.groups.push_back(ListGroup(std::move(indices)));
        pieces.push_back(std::move(piece));
        piece = MeshPart();
        indices.clear();
        number.clear();
    };
    for (size_t t = 0; t + 2 < corners.size(); t += 3) {
        size_t fresh = 0;
        for (size_t k = 0; k < 3; ++k) fresh += number.count(corners[t + k]) ? 0 : 1;
        if (number.size() + fresh > kMaxPartVertices) close();
        if (number.empty()) {
            piece.materialIndex = part.materialIndex;
            piece.format = part.format;
            piece.stride = part.stride;
        }
        for (size_t k = 0; k < 3; ++k) {
            const uint32_t v = corners[t + k];
            auto found = number.find(v);
            if (found == number.end()) {
                found = number.emplace(v, uint16_t(piece.vertexCount++)).first;
                piece.vertices.insert(piece.vertices.end(), part.vertices.begin() + ptrdiff_t(v * stride),
                                      part.vertices.begin() + ptrdiff_t((v + 1) * stride));
            }
            indices.push_back(found->second);
        }
    }
    close();
    return pieces;
}

struct PlacedPart {
    int32_t position = 0;
    MeshPart part;
};

class MeshRebuild {
public:
    explicit MeshRebuild(WayBack& back) : back_(back), scene_(back.scene) {}

    void Run() {
        std::vector<int32_t> nodeOf(scene_.meshes.size(), -1);
        for (size_t n = 0; n < scene_.nodes.size(); ++n) {
            const int32_t m = scene_.nodes[n].mesh;
            if (m >= 0 && size_t(m) < nodeOf.size() && nodeOf[size_t(m)] < 0) nodeOf[size_t(m)] = int32_t(n);
        }
        for (size_t m = 0; m < scene_.meshes.size(); ++m) One(m, nodeOf[m]);
        std::vector<EmptyMesh> empty;
        const std::string* text = FindFact(scene_.facts, kEmptyMeshesFact);
        if (!text || !ReadEmptyMeshes(*text, empty)) return;
        // In ascending positions each goes back where it was.
        std::stable_sort(empty.begin(), empty.end(),
                         [](const EmptyMesh& a, const EmptyMesh& b) { return a.position < b.position; });
        for (const EmptyMesh& e : empty) {
            if (e.kind == 2) {
                auto glow = std::make_unique<Glow>();
                glow->name.Set(e.name);
                glow->parentName.Set(e.joint);
                glow->lod = e.lod;
                InsertAt(back_.model.glows, e.position, std::move(glow));
                continue;
            }
            auto multi = std::make_unique<MultiMesh>();
            multi->kind = uint8_t(e.kind);
            multi->name.Set(e.name);
            multi->parentName.Set(e.joint);
            InsertAt(e.kind ? back_.model.goblinMeshes : back_.model.multiMeshes, e.position, std::move(multi));
        }
        for (size_t g = 0; g < back_.model.glows.size(); ++g) back_.model.glows[g]->index = int32_t(g);
    }

private:
    template <typename T>
    static void InsertAt(OwnedList<T>& list, size_t position, std::unique_ptr<T> item) {
        list.insert(list.begin() + ptrdiff_t(std::min(position, list.size())), std::move(item));
    }

    WayBack& back_;
    const Scene& scene_;
    MultiMesh* current_ = nullptr;  // the multi or goblin mesh the last level went to
    int32_t lastLevel_ = -1;
    std::string lastJoint_ = "Root";

    SceneFacts FactsOf(size_t mesh, int32_t node) const {
        if (node >= 0) return scene_.nodes[size_t(node)].facts;
        SceneFacts facts;
        const std::string prefix = UnplacedMeshFactKey(mesh, "");
        for (const SceneFact& fact : scene_.facts)
            if (fact.key.compare(0, prefix.size(), prefix) == 0)
                facts.push_back({fact.key.substr(prefix.size()), fact.text});
        return facts;
    }

    // The stored joint when the placement still shows it (or shows none);
    // the shown one when the user moved the node to another joint. Without
    // either (a level above 0 in a document without facts): the joint of the
    // level before, or of the glow of that name before.
    std::string JointOf(const SceneFacts& facts, const ShownPlace& shown, bool glow, const std::string& name) {
        const std::string* stored = FindFact(facts, kMeshJointFact);
        if (stored && (!shown.hasJoint || EqualNoCase(*stored, shown.joint.c_str()))) return *stored;
        if (shown.hasJoint) return shown.joint;
        back_.report.Default("mesh parent joints");
        if (!glow) return lastJoint_;
        for (size_t g = back_.model.glows.size(); g-- > 0;)
            if (back_.model.glows[g]->name.value == name) return back_.model.glows[g]->parentName.value;
        return "Root";
    }

    static bool ReadInt(const SceneFacts& facts, const char* key, int32_t& value) {
        const std::string* text = FindFact(facts, key);
        if (!text) return false;
        int64_t v = 0;
        const auto read = std::from_chars(text->data(), text->data() + text->size(), v);
        if (read.ec != std::errc() || read.ptr != text->data() + text->size() || v < INT32_MIN || v > INT32_MAX)
            return false;
        value = int32_t(v);
        return true;
    }

    void One(size_t index, int32_t node) {
        const SceneMesh& mesh = scene_.meshes[index];
        if (mesh.positionsOnly) return;
        const SceneFacts facts = FactsOf(index, node);
        // A mesh no node shows that the scene's facts do not list either
        // lost its node in an edit: the level was removed.
        if (node < 0 && facts.empty()) return;
        const std::string full = node >= 0 ? FullNodeName(scene_, node) : mesh.name;
        std::string name;
        int32_t lod = 0;
        uint32_t glowLod = 0;
        enum { kMulti, kGoblin, kGlow } kind;
        if (ParseMultiMeshName(full, name, lod)) kind = kMulti;
        else if (ParseGoblinMeshName(full, name)) kind = kGoblin;
        else if (ParseGlowName(full, name, glowLod)) kind = kGlow;
        else return;
        const ShownPlace shown = ShownBy(scene_, node);
        const std::string joint = JointOf(facts, shown, kind == kGlow, name);
        int32_t level = shown.level;
        ReadInt(facts, kMeshLevelFact, level);

        auto built = std::make_unique<Mesh>();
        if (kind == kMulti) built->lod = lod;
        else if (kind == kGoblin) built->lod = level;
        else built->lod = int32_t(glowLod);
        ReadInt(facts, kMeshLodFact, built->lod);
        Parts(mesh, facts, *built);

        if (kind == kGlow) {
            auto glow = std::make_unique<Glow>();
            glow->index = int32_t(back_.model.glows.size());
            glow->name.Set(name);
            glow->parentName.Set(joint);
            glow->lod = glowLod;
            glow->mesh = std::move(built);
            back_.model.glows.push_back(std::move(glow));
            return;
        }
        const uint8_t goblin = kind == kGoblin ? 1 : 0;
        // A level goes on with the mesh before it when it is of the same
        // kind and name and comes after the one before.
        if (!current_ || current_->kind != goblin || current_->name.value != name || level <= lastLevel_) {
            auto multi = std::make_unique<MultiMesh>();
            multi->kind = goblin;
            multi->name.Set(name);
            multi->parentName.Set(joint);
            current_ = multi.get();
            (goblin ? back_.model.goblinMeshes : back_.model.multiMeshes).push_back(std::move(multi));
        }
        lastLevel_ = level;
        lastJoint_ = current_->parentName.value;
        current_->meshes.push_back(std::move(built));
    }

    // The model material a list was bound to: the recorded one while the
    // scene still binds a material of its name, otherwise (the user bound
    // another) the first model material of the bound one's name.
    int32_t MaterialOf(const SceneTriangles& list, const PartFact* fact) {
        const Model& model = back_.model;
        const SceneMaterial* bound = list.material >= 0 && size_t(list.material) < scene_.materials.size()
                                         ? &scene_.materials[size_t(list.material)]
                                         : nullptr;
        if (bound && !bound->glow) {
            if (fact && fact->material >= 0 && size_t(fact->material) < model.materials.size() &&
                model.materials[size_t(fact->material)] &&
                MaterialName(*model.materials[size_t(fact->material)]) == bound->name)
                return fact->material;
            for (size_t m = 0; m < model.materials.size(); ++m)
                if (model.materials[m] && MaterialName(*model.materials[m]) == bound->name) return int32_t(m);
        }
        if (fact) return fact->material;
        back_.report.Default("part materials");
        return 0;
    }

    uint32_t DefaultFormat(const SceneMesh& mesh, const SceneTriangles& list) {
        back_.report.Default("part vertex formats");
        uint32_t format = (mesh.hasPositions ? kFormatPosition : 0u) | (mesh.hasNormals ? kFormatNormal : 0u) |
                          (mesh.hasTexCoords ? kFormatTexCoord : 0u);
        // A material with a normal map draws with tangents and binormals.
        if (list.material >= 0 && size_t(list.material) < scene_.materials.size() &&
            scene_.materials[size_t(list.material)].Map("NORM") && mesh.hasNormals && mesh.hasTexCoords)
            format |= kFormatTangent | kFormatBinormal;
        return format;
    }

    void Parts(const SceneMesh& mesh, const SceneFacts& facts, Mesh& out) {
        std::vector<PartFact> partFacts;
        const std::string* text = FindFact(facts, kMeshPartsFact);
        const bool haveFacts =
            text && ReadPartFacts(*text, partFacts) && partFacts.size() == mesh.triangles.size();
        std::vector<PlacedPart> placed;
        // A list without a table (its vertex number stands for every stream,
        // as a glTF read back has) holds the run of mesh vertices from where
        // the one before ended (or its lowest corner) to its highest corner,
        // as the de-duplicated layout gives it a table (scene/layout.h).
        uint32_t end = 0;
        for (size_t l = 0; l < mesh.triangles.size(); ++l) {
            const SceneTriangles& list = mesh.triangles[l];
            const PartFact* fact = haveFacts ? &partFacts[l] : nullptr;
            MeshPart part;
            part.materialIndex = MaterialOf(list, fact);
            part.format = fact ? fact->format : DefaultFormat(mesh, list);
            const VertexLayoutInfo layout = VertexLayout(part.format);
            part.stride = layout.stride;
            const size_t width = size_t(mesh.components);
            size_t count = width ? list.table.size() / width : size_t(std::max(fact ? fact->vertexCount : 0, 0));
            uint32_t first = 0;
            const bool direct = width && list.table.empty() && !list.corners.empty();
            if (direct) {
                uint32_t low = UINT32_MAX, high = 0;
                for (uint32_t c : list.corners) low = std::min(low, c), high = std::max(high, c);
                first = std::min(end, low);
                count = size_t(high - first) + 1;
                end = high + 1;
            }
            part.vertexCount = int32_t(std::min<size_t>(count, INT32_MAX));
            count = size_t(part.vertexCount);
            part.vertices.assign(count * size_t(part.stride), 0.0f);
            Values(mesh, list, direct, first, part, layout);
            // Triangles naming a vertex the part lacks (a damaged document)
            // are left out.
            std::vector<uint32_t> corners;
            corners.reserve(list.corners.size());
            for (size_t t = 0; t + 2 < list.corners.size(); t += 3) {
                const uint32_t a = list.corners[t] - first, b = list.corners[t + 1] - first,
                               c = list.corners[t + 2] - first;
                if (a < count && b < count && c < count) corners.insert(corners.end(), {a, b, c});
            }
            const int32_t position = fact ? fact->position : int32_t(l);
            AddTangents(part, corners);
            if (count > kMaxPartVertices) {
                for (MeshPart& piece : SplitLargePart(part, corners)) placed.push_back({position, std::move(piece)});
                continue;
            }
            part.groups.push_back(ListGroup(std::vector<uint16_t>(corners.begin(), corners.end())));
            placed.push_back({position, std::move(part)});
        }
        std::vector<HiddenPart> hidden;
        const std::string* hiddenText = FindFact(facts, kMeshHiddenPartsFact);
        if (hiddenText && ReadHiddenParts(*hiddenText, hidden))
            for (HiddenPart& h : hidden) placed.push_back({h.position, std::move(h.part)});
        std::stable_sort(placed.begin(), placed.end(),
                         [](const PlacedPart& a, const PlacedPart& b) { return a.position < b.position; });
        for (PlacedPart& p : placed) {
            p.part.index = int32_t(out.parts.size());
            out.parts.push_back(std::move(p.part));
        }
    }

    // A list's vertex values through its table (direct: mesh vertex first +
    // v), each zero with its own sign, written where the part's format has
    // the component (a position's fourth number 1, a normal's 0).
    static void Values(const SceneMesh& mesh, const SceneTriangles& list, bool direct, uint32_t first, MeshPart& part,
                       const VertexLayoutInfo& layout) {
        const size_t width = size_t(mesh.components);
        if (!width) return;
        const bool wide = !(part.format & kFormatThreeWide);
        struct Stream {
            const std::vector<float>* values;
            int size;
            int32_t offset;
            bool wanted;
            float fourth;
        };
        Stream streams[3];
        int n = 0;
        if (mesh.hasPositions)
            streams[n++] = {&mesh.positions, 3, layout.position, (part.format & kFormatPosition) != 0, 1.0f};
        if (mesh.hasNormals)
            streams[n++] = {&mesh.normals, 3, layout.normal, (part.format & kFormatNormal) != 0, 0.0f};
        if (mesh.hasTexCoords)
            streams[n++] = {&mesh.texCoords, 2, layout.texCoord, (part.format & kFormatTexCoord) != 0, 0.0f};
        if (size_t(n) != width) return;
        ZeroSignCursor signs(list.zeroSigns);
        const size_t stride = size_t(part.stride);
        for (size_t v = 0; v < size_t(part.vertexCount); ++v) {
            float* out = part.vertices.data() + v * stride;
            for (int k = 0; k < n; ++k) {
                const size_t at = v * width + size_t(k);
                const uint32_t bits = signs.At(at);
                const Stream& s = streams[k];
                if (!s.wanted) continue;
                const int64_t entry = direct ? int64_t(first) + int64_t(v) : int64_t(list.table[at]);
                const size_t have = s.values->size() / size_t(s.size);
                float* into = out + s.offset;
                if (entry >= 0 && size_t(entry) < have)
                    for (int i = 0; i < s.size; ++i) {
                        const float value = (*s.values)[size_t(entry) * size_t(s.size) + size_t(i)];
                        into[i] = (bits >> i & 1) ? -value : value;
                    }
                if (s.size == 3 && wide) into[3] = s.fourth;
            }
        }
    }
};

}  // namespace

void MeshesFromScene(WayBack& back) { MeshRebuild(back).Run(); }
