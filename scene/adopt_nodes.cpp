// The node tree of a foreign scene laid out as the scene build lays out a
// game model's: "ROOT_INFO", "ROOT_LOD[0]" standing for the joint "Root",
// every empty node a joint "JNT[<name>]" with the file's placement, every
// node with a mesh a joint of its name with the multi mesh
// "MULT[<name>]_LOD[0]" hanging from it. Names already in the bracket
// grammar keep their meaning ("JNT[...]", "MULT[...]_LOD[n]", "MARK[...]",
// "NAVL[...]"). The curves follow the joints they drive, and every clip
// lists them in one track per joint. The facts the way back would take from
// defaults are recorded, each default named in a note.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "core/str.h"
#include "model/transform.h"
#include "scene/adopt_foreign.h"
#include "scene/build.h"
#include "scene/conventions.h"
#include "scene/mesh_facts.h"
#include "scene/names.h"

namespace {

const float kZero[3] = {0, 0, 0};
const float kOne[3] = {1, 1, 1};
bool IsIdentity(const Matrix& m) {
    const Matrix identity;
    return std::equal(m.m, m.m + 16, identity.m);
}

Matrix Local(const SceneNode& node) { return JointLocalMatrix(node.translation, node.rotation, kOne); }

void Placement(const Matrix& m, float translation[3], float rotation[3]) {
    for (int i = 0; i < 3; ++i) translation[i] = m.m[12 + i];
    MatrixToEuler(m, rotation);
}

// The inverse of a turn and a shift.
Matrix RigidInverse(const Matrix& m) {
    Matrix inverse;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) inverse.m[r * 4 + c] = m.m[c * 4 + r];
    for (int c = 0; c < 3; ++c)
        inverse.m[12 + c] = -(m.m[12] * inverse.m[c] + m.m[13] * inverse.m[4 + c] + m.m[14] * inverse.m[8 + c]);
    return inverse;
}

// A mesh's positions and normals moved by m (a turn and a shift).
void Bake(SceneMesh& mesh, const Matrix& m) {
    for (size_t v = 0; v + 2 < mesh.positions.size(); v += 3) {
        const float p[3] = {mesh.positions[v], mesh.positions[v + 1], mesh.positions[v + 2]};
        for (int i = 0; i < 3; ++i)
            mesh.positions[v + size_t(i)] = p[0] * m.m[i] + p[1] * m.m[4 + i] + p[2] * m.m[8 + i] + m.m[12 + i];
    }
    for (size_t v = 0; v + 2 < mesh.normals.size(); v += 3) {
        const float n[3] = {mesh.normals[v], mesh.normals[v + 1], mesh.normals[v + 2]};
        for (int i = 0; i < 3; ++i) mesh.normals[v + size_t(i)] = n[0] * m.m[i] + n[1] * m.m[4 + i] + n[2] * m.m[8 + i];
    }
}

const char* const kPropertyNames[7] = {"", "translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"};

class NodeAdoption {
public:
    explicit NodeAdoption(Adoption& adoption) : adoption_(adoption), in_(adoption.scene) {}

    void Run() {
        if (!DepthFits()) return;
        rootInfo_ = out_.AddNode(-1, kRootInfoName, nullptr, nullptr);
        out_.AddNode(rootInfo_, kUvSetsName, nullptr, nullptr);
        out_.AddNode(rootInfo_, VersionInfoName(int32_t(kMultiMeshVersion)), nullptr, nullptr);
        lodRoots_.push_back(out_.AddNode(-1, LodRootName(0), kZero, kZero));
        SceneFacts& root = out_.nodes[size_t(lodRoots_[0])].facts;
        SetFact(root, "joint_name", "Root");
        for (const char* key : {"joint_position", "joint_rotation", "joint_axis"}) SetFact(root, key, "0 0 0");
        taken_.insert("root");
        jointOf_.assign(in_.nodes.size(), -1);
        jointName_.assign(in_.nodes.size(), std::string());
        Tree();
        Meshes();
        Curves();
        in_.nodes = std::move(out_.nodes);
        in_.roots = std::move(out_.roots);
        in_.meshes = std::move(meshes_);
        in_.version = int32_t(kMultiMeshVersion);
        SetFact(in_.facts, "type_name", kMultiMeshFileName);
        adoption_.Note("The model is given the game's file name \"" + std::string(kMultiMeshFileName) +
                       "\", version " + std::to_string(int32_t(kMultiMeshVersion)) + " and no information entries");
        adoption_.Note("Every joint is given scale 1, 1, 1 and the flags 1, 1, 1");
    }

private:
    struct Pending {
        int32_t node;       // in the foreign scene
        int32_t joint;      // the new node it hangs from
        Matrix above;       // its place in that joint's space, from the nodes between that left no joint
        bool direct;        // above is the identity
    };
    struct Instance {
        int32_t mesh;
        int32_t source;  // the foreign node
        std::string name;
        int32_t lod;
        int32_t joint;  // the new joint node
        Matrix place;   // the mesh's place in the joint's space
    };

    Adoption& adoption_;
    Scene& in_;
    Scene out_;
    int32_t rootInfo_ = -1;
    std::vector<int32_t> lodRoots_;
    std::set<std::string> taken_;  // joint names, lower case
    std::vector<int32_t> jointOf_;
    std::vector<std::string> jointName_;
    std::vector<std::string> nodeJoint_;  // by new node: the joint it stands for
    std::vector<Instance> instances_;
    std::vector<SceneMesh> meshes_;

    const SceneNode& In(int32_t n) const { return in_.nodes[size_t(n)]; }
    std::string Shown(int32_t n) const { return In(n).name.empty() ? "number " + std::to_string(n) : In(n).name; }

    // Joints nest at most kMaxJointNesting deep below "Root" (the depth a
    // scene shows, see scene/build.h).
    bool DepthFits() {
        std::vector<std::pair<int32_t, int32_t>> stack;
        for (int32_t r : in_.roots) stack.push_back({r, 1});
        std::vector<char> seen(in_.nodes.size(), 0);
        int32_t deepest = 0;
        while (!stack.empty()) {
            const auto [n, depth] = stack.back();
            stack.pop_back();
            if (n < 0 || size_t(n) >= in_.nodes.size() || seen[size_t(n)]) continue;
            seen[size_t(n)] = 1;
            deepest = std::max(deepest, depth);
            for (int32_t c : In(n).children) stack.push_back({c, depth + 1});
        }
        if (deepest <= kMaxJointNesting) return true;
        adoption_.error = "its node tree nests " + std::to_string(deepest) + " levels deep - the game's joints nest " +
                          std::to_string(kMaxJointNesting) + " at most";
        return false;
    }

    // A joint name the grammar holds and no other joint has: brackets and
    // the curve names' ':' replaced, an empty name given one, a name taken
    // (in any letter case) numbered on.
    std::string JointName(int32_t n, const std::string& wanted) {
        std::string name = wanted;
        for (char& c : name) c = c == '[' ? '(' : c == ']' ? ')' : c == ':' ? '.' : c;
        if (name.empty()) name = "Joint";
        std::string unique = name;
        for (int k = 1; taken_.count(LowerAscii(unique)); ++k) unique = name + "." + std::to_string(k);
        taken_.insert(LowerAscii(unique));
        if (unique != wanted) {
            std::string why = wanted.empty() ? "it has no name" : "";
            if (!wanted.empty() && name != wanted) why = "the game's names hold no brackets or colons";
            if (!wanted.empty() && unique != name) why += std::string(why.empty() ? "" : " and ") + "another joint has that name";
            adoption_.Note("Node " + Shown(n) + " becomes joint " + unique + " - " + why);
        }
        return unique;
    }

    int32_t Add(int32_t parent, const std::string& name, const float* t, const float* r, const std::string& joint) {
        const int32_t node = out_.AddNode(parent, name, t, r);
        nodeJoint_.resize(out_.nodes.size());
        nodeJoint_[size_t(node)] = joint;
        return node;
    }

    // Depth first in child order; a node that makes no joint (a marker, a
    // level named in the grammar) passes its place on to its children.
    void Tree() {
        nodeJoint_.assign(out_.nodes.size(), std::string());
        nodeJoint_[size_t(lodRoots_[0])] = "Root";
        std::vector<Pending> stack;
        for (size_t k = in_.roots.size(); k-- > 0;) stack.push_back({in_.roots[k], lodRoots_[0], Matrix(), true});
        std::vector<char> seen(in_.nodes.size(), 0);
        bool rootTaken = false;
        while (!stack.empty()) {
            const Pending item = stack.back();
            stack.pop_back();
            if (item.node < 0 || size_t(item.node) >= in_.nodes.size() || seen[size_t(item.node)]) continue;
            seen[size_t(item.node)] = 1;
            const SceneNode& node = In(item.node);
            const Matrix place = item.direct ? Local(node) : MultiplyMatrix(Local(node), item.above);
            float t[3], r[3];
            if (item.direct) std::copy(node.translation, node.translation + 3, t), std::copy(node.rotation, node.rotation + 3, r);
            else Placement(place, t, r);
            std::string value;
            int32_t lod = 0;
            NameGroups light;
            int32_t joint = -1;
            if (node.mesh >= 0 && ParseMultiMeshName(node.name, value, lod)) {
                instances_.push_back({node.mesh, item.node, value, lod, item.joint, place});
            } else if (node.mesh < 0 && ParseMarkerName(node.name, value)) {
                const int32_t marker = Add(item.joint, node.name, t, r, std::string());
                SetFact(out_.nodes[size_t(marker)].facts, "marker_head", "0 0");
                adoption_.Note("Marker " + value + " is given the head values 0, 0");
            } else if (node.mesh < 0 && ParseNavLightName(node.name, light) && !taken_.count(LowerAscii(light.value)) &&
                       light.value.find_first_of("[]:") == std::string::npos && !light.value.empty()) {
                taken_.insert(LowerAscii(light.value));
                joint = Add(item.joint, node.name, t, r, light.value);
                adoption_.Note("Navigation light " + light.value +
                               " is given colour alpha 1 and the sprite and high-end bytes its name shows");
            } else if (!rootTaken && item.joint == lodRoots_[0] && node.mesh < 0 && IsIdentity(place) &&
                       (EqualNoCase(node.name, "Root") || (ParseJointNodeName(node.name, value) && EqualNoCase(value, "Root")))) {
                // The file's own top joint "Root" is the model's.
                rootTaken = true;
                joint = lodRoots_[0];
            } else {
                const bool named = ParseJointNodeName(node.name, value);
                const std::string name = JointName(item.node, named ? value : node.name);
                joint = Add(item.joint, JointNodeName(name), t, r, name);
                if (node.mesh >= 0) instances_.push_back({node.mesh, item.node, name, 0, joint, Matrix()});
            }
            if (joint >= 0) jointOf_[size_t(item.node)] = joint, jointName_[size_t(item.node)] = nodeJoint_[size_t(joint)];
            const bool direct = joint >= 0;
            for (size_t k = node.children.size(); k-- > 0;)
                stack.push_back({node.children[k], direct ? joint : item.joint, direct ? Matrix() : place, direct});
        }
    }

    int32_t LodRoot(size_t level) {
        while (lodRoots_.size() <= level) lodRoots_.push_back(out_.AddNode(-1, LodRootName(lodRoots_.size()), kZero, kZero));
        nodeJoint_.resize(out_.nodes.size());
        return lodRoots_[level];
    }

    Matrix World(int32_t node) const {
        Matrix world;
        for (int32_t n = node; n >= 0; n = out_.nodes[size_t(n)].parent)
            world = MultiplyMatrix(world, Local(out_.nodes[size_t(n)]));
        return world;
    }

    // The multi meshes: the levels of one name together in order of their
    // LOD, the first under its joint, each further one under the LOD root
    // of its place at the joint's world placement (as the scene build places
    // them). Each node gets its own copy of a mesh the file shares.
    void Meshes() {
        std::map<std::string, size_t> firstOf;
        std::vector<size_t> order(instances_.size());
        for (size_t i = 0; i < instances_.size(); ++i) {
            order[i] = i;
            firstOf.emplace(instances_[i].name, i);
        }
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const size_t fa = firstOf[instances_[a].name], fb = firstOf[instances_[b].name];
            return fa != fb ? fa < fb : instances_[a].lod < instances_[b].lod;
        });
        std::vector<int32_t> uses(in_.meshes.size(), 0);
        for (const Instance& i : instances_)
            if (i.mesh >= 0 && size_t(i.mesh) < uses.size()) ++uses[size_t(i.mesh)];
        for (size_t m = 0; m < uses.size(); ++m)
            if (!uses[m])
                adoption_.Note("Mesh " + (in_.meshes[m].name.empty() ? "number " + std::to_string(m) : in_.meshes[m].name) +
                               " is placed by no node - left out");
        std::string previous;
        size_t level = 0;
        int32_t first = -1;  // the joint node of the name's first level
        std::set<std::pair<std::string, int32_t>> levels;
        for (size_t k : order) {
            const Instance& i = instances_[k];
            if (i.mesh < 0 || size_t(i.mesh) >= in_.meshes.size()) continue;
            level = k != order.front() && i.name == previous ? level + 1 : 0;
            previous = i.name;
            if (level == 0) first = i.joint;
            if (!levels.insert({i.name, i.lod}).second)
                adoption_.Note("Node " + Shown(i.source) + " repeats level " + std::to_string(i.lod) + " of " + i.name +
                               " - kept as level " + std::to_string(level));
            SceneMesh mesh = --uses[size_t(i.mesh)] == 0 ? std::move(in_.meshes[size_t(i.mesh)]) : in_.meshes[size_t(i.mesh)];
            // Every level of a multi mesh hangs from the joint of its first.
            Matrix place = i.place;
            if (i.joint != first) place = MultiplyMatrix(MultiplyMatrix(place, World(i.joint)), RigidInverse(World(first)));
            if (!IsIdentity(place)) Bake(mesh, place);
            mesh.name = "MULT[" + i.name + "]_LOD[" + std::to_string(i.lod) + "]";
            const std::string joint = nodeJoint_[size_t(first)];
            int32_t parent = first;
            float t[3] = {0, 0, 0}, r[3] = {0, 0, 0};
            if (level > 0) {
                parent = LodRoot(level);
                Placement(World(first), t, r);
            }
            const int32_t node = out_.AddNode(parent, mesh.name, t, r);
            SceneNode& n = out_.nodes[size_t(node)];
            n.mesh = int32_t(meshes_.size());
            n.materials = In(i.source).materials;
            SetFact(n.facts, kMeshJointFact, joint);
            SetFact(n.facts, kMeshPartsFact, PartsFact(mesh, n.materials));
            meshes_.push_back(std::move(mesh));
        }
        nodeJoint_.resize(out_.nodes.size());
    }

    // Per list: its part's place, its material (the scene's own order is the
    // model's), the vertex format its streams and material need.
    std::string PartsFact(const SceneMesh& mesh, std::vector<int32_t>& bound) {
        std::string text;
        for (size_t l = 0; l < mesh.triangles.size(); ++l) {
            const int32_t material = mesh.triangles[l].material;
            const bool known = material >= 0 && size_t(material) < in_.materials.size();
            if (!known)
                adoption_.Note("Mesh " + mesh.name + " has triangles without a material - drawn with the model's first");
            if (known && std::find(bound.begin(), bound.end(), material) == bound.end()) bound.push_back(material);
            uint32_t format = (mesh.hasPositions ? kFormatPosition : 0u) | (mesh.hasNormals ? kFormatNormal : 0u) |
                              (mesh.hasTexCoords ? kFormatTexCoord : 0u);
            if (known && in_.materials[size_t(material)].Map(kMapNormal) && mesh.hasNormals && mesh.hasTexCoords)
                format |= kFormatTangent | kFormatBinormal;
            if (!text.empty()) text += '\n';
            text += std::to_string(l) + ' ' + std::to_string(known ? material : 0) + ' ' + std::to_string(format);
        }
        return text;
    }

    // Curves of a node that became a joint drive that joint, named
    // "<joint>_<property>"; any other is left out. A clip keeps one track
    // per joint; curves no clip lists get one clip of their own.
    void Curves() {
        std::vector<int32_t> curveOf(in_.curves.size(), -1);
        std::vector<SceneCurve> curves;
        std::set<std::string> dropped;
        for (size_t c = 0; c < in_.curves.size(); ++c) {
            SceneCurve& curve = in_.curves[c];
            const int32_t n = curve.node;
            const bool joint = n >= 0 && size_t(n) < jointOf_.size() && jointOf_[size_t(n)] >= 0;
            if (!joint || curve.property == CurveProperty::kOther) {
                const std::string what = n >= 0 && size_t(n) < in_.nodes.size() ? "node " + Shown(n) : curve.data.name.value;
                if (dropped.insert(what).second)
                    adoption_.Note("Animation of " + what + " left out - only joints' placements are animated");
                continue;
            }
            curve.node = jointOf_[size_t(n)];
            curve.joint = jointName_[size_t(n)];
            curve.targetName = AnimationTargetName(curve.joint);
            curve.data.name.Set(curve.joint + "_" + kPropertyNames[int(curve.property)]);
            curve.data.index = int32_t(curves.size());
            curveOf[c] = int32_t(curves.size());
            curves.push_back(std::move(curve));
        }
        std::vector<char> listed(curves.size(), 0);
        std::vector<SceneClip> clips;
        for (SceneClip& clip : in_.clips) {
            SceneClip kept = clip;
            kept.tracks.clear();
            for (const SceneTrack& track : clip.tracks)
                for (int32_t c : track.curves)
                    if (c >= 0 && size_t(c) < curveOf.size() && curveOf[size_t(c)] >= 0) {
                        AddToTrack(kept, curves, curveOf[size_t(c)]);
                        listed[size_t(curveOf[size_t(c)])] = 1;
                    }
            if (!kept.tracks.empty()) clips.push_back(std::move(kept));
        }
        if (std::find(listed.begin(), listed.end(), 0) != listed.end()) {
            SceneClip clip;
            clip.name = "Animation";
            for (const SceneClip& c : clips)
                if (c.name == clip.name) clip.name = "Animation" + std::to_string(clips.size());
            bool first = true;
            for (size_t c = 0; c < curves.size(); ++c) {
                if (listed[c]) continue;
                AddToTrack(clip, curves, int32_t(c));
                for (const CurveKey& key : curves[c].data.keys) {
                    clip.start = first ? key.time : std::min(clip.start, key.time);
                    clip.end = first ? key.time : std::max(clip.end, key.time);
                    first = false;
                }
            }
            clip.loopStart = clip.start, clip.loopEnd = clip.end;
            adoption_.Note("Animation curves no clip lists are given the clip " + clip.name + " over their keys");
            clips.push_back(std::move(clip));
        }
        in_.curves = std::move(curves);
        in_.clips = std::move(clips);
        if (!in_.curves.empty()) {
            SetFact(in_.facts, "animation", "1 0 0 0");
            adoption_.Note("The animation file is given version 1 and header words 0, 0, 0");
        }
    }

    static void AddToTrack(SceneClip& clip, const std::vector<SceneCurve>& curves, int32_t c) {
        const std::string& joint = curves[size_t(c)].joint;
        for (SceneTrack& track : clip.tracks)
            if (track.name == joint) {
                if (std::find(track.curves.begin(), track.curves.end(), c) == track.curves.end()) track.curves.push_back(c);
                return;
            }
        clip.tracks.push_back({joint, {c}});
    }
};

}  // namespace

void AdoptNodes(Adoption& adoption) { NodeAdoption(adoption).Run(); }
