// The model's objects back from a scene: joints from the joint nodes,
// markers, engine shapes and burns, navigation lights, dock paths and
// collision meshes from their nodes, materials, images, information entries
// and the animation set from the scene's facts, curves and clips. What a node
// name or placement shows wins over a recorded fact; a fact gives the exact
// stored value while the shown one still reads as that value did.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "model/read_model.h"
#include "model/transform.h"
#include "scene/names.h"
#include "scene/object_facts.h"
#include "scene/way_back.h"

namespace {

const char kDefaultAnimationName[] = "Drelmarch2 MAD File";

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool ParseFloat(const std::string& text, float& v) {
    const char* end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, v);
    return res.ec == std::errc() && res.ptr == end;
}

// A "%g" number of a name: the stored value while the text still reads as
// it printed, else the value the text says (fallback when it says none).
float Shown(const std::string* text, const float* stored, float fallback) {
    if (!text) return stored ? *stored : fallback;
    if (stored && FormatG(double(*stored)) == *text) return *stored;
    float v = 0;
    return ParseFloat(*text, v) ? v : stored ? *stored : fallback;
}

// The float near guess whose value through forward() prints as text ("%g"),
// guess itself when none within a few steps does.
template <typename Forward>
float PrintingAs(float guess, const std::string& text, Forward forward) {
    if (FormatG(double(forward(guess))) == text || !std::isfinite(guess)) return guess;
    float up = guess, down = guess;
    for (int step = 0; step < 64; ++step) {
        up = std::nextafter(up, INFINITY);
        if (FormatG(double(forward(up))) == text) return up;
        down = std::nextafter(down, -INFINITY);
        if (FormatG(double(forward(down))) == text) return down;
    }
    return guess;
}

bool HasWord(const std::string* flags, const char* word) {
    if (!flags) return false;
    for (const std::string& w : FlagWords(*flags))
        if (w == word) return true;
    return false;
}

// A flag word: the stored word while the name still shows it set, 1 for a
// flag newly set, 0 for one cleared.
uint32_t FlagWord(bool shown, uint32_t stored) { return shown ? (stored ? stored : 1) : 0; }

struct ObjectsBack {
    WayBack& back;
    const Scene& scene;
    Model& model;
    bool factsLost;
    std::vector<std::string> jointOf;  // by node: the joint it stands for
    std::vector<char> isJoint;
    std::vector<int32_t> lightOrder;  // by light: its place in the model's list

    explicit ObjectsBack(WayBack& b)
        : back(b), scene(b.scene), model(b.model), factsLost(!FindFact(b.scene.facts, "type_name")) {}

    const SceneNode& Node(int32_t i) const { return scene.nodes[size_t(i)]; }
    const std::string* Fact(int32_t node, const char* key) const { return FindFact(Node(node).facts, key); }

    // The node's name with the groups its (last) "SUB_PARAMS" child holds;
    // the recorded name while those still are the groups it was cut into.
    std::string FullName(int32_t node) const {
        const SceneNode& n = Node(node);
        std::vector<std::string> groups;
        for (int32_t c : n.children) {
            if (c < 0 || size_t(c) >= scene.nodes.size() || Node(c).name != kSubParamsName) continue;
            groups.clear();
            for (int32_t g : Node(c).children)
                if (g >= 0 && size_t(g) < scene.nodes.size()) groups.push_back(Node(g).name);
        }
        if (const std::string* full = Fact(node, "full_name")) {
            std::string first = *full;
            if (SplitLongName(first) == groups && first == n.name) return *full;
        }
        return JoinLongName(n.name, groups);
    }

    int32_t Parent(int32_t node) const { return Node(node).parent; }
    bool ParentNamed(int32_t node, const char* name) const {
        const int32_t p = Parent(node);
        return p >= 0 && size_t(p) < scene.nodes.size() && Node(p).name == name;
    }
    bool UnderJoint(int32_t node) const {
        const int32_t p = Parent(node);
        return p >= 0 && size_t(p) < scene.nodes.size() && isJoint[size_t(p)];
    }

    // A parent joint's name as stored: the fact while it still names the
    // joint the node hangs from.
    static std::string ParentName(const std::string* fact, const std::string& shown) {
        return fact && EqualNoCase(*fact, shown.c_str()) ? *fact : shown;
    }

    void Run() {
        jointOf.assign(scene.nodes.size(), std::string());
        isJoint.assign(scene.nodes.size(), 0);
        Joints();
        // Node order is the order the scene build made the objects in.
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            const int32_t node = int32_t(i);
            const std::string& name = Node(node).name;
            if (isJoint[i] && name.compare(0, 5, "NAVL[") == 0) NavLightFrom(node);
            else if (UnderJoint(node) && name.compare(0, 5, "MARK[") == 0) MarkerFrom(node);
            else if (UnderJoint(node) && name.compare(0, 5, "ETSH[") == 0) ShapeFrom(node);
            else if (UnderJoint(node) && name.compare(0, 5, "BURN[") == 0) BurnFrom(node);
            else if (ParentNamed(node, kRootColName) && name.compare(0, 4, "COL[") == 0) CollisionFrom(node);
            else if (ParentNamed(node, kHoldDockName)) DockPathFrom(node);
            else if (ParentNamed(node, kRootInfoName)) VersionFrom(node);
        }
        Unplaced();
        SortLights();
        ModelFacts();
        Materials();
        Images();
        Animation();
        ReportDefaults();
    }

    // ---- joints --------------------------------------------------------------

    // The joint a joint node's name stands for ("JNT[...]", or the joint a
    // navigation light renamed).
    bool JointName(int32_t node, std::string& joint) const {
        if (ParseJointNodeName(Node(node).name, joint)) return true;
        NameGroups light;
        if (!ParseNavLightName(FullName(node), light)) return false;
        const std::string* fact = Fact(node, "joint_name");
        joint = fact && EqualNoCase(*fact, light.value.c_str()) ? *fact : light.value;
        return true;
    }

    void Joints() {
        const int32_t root = LodRootNode(scene);
        if (root < 0) return;
        // The tree's root joint is ROOT_LOD[0] itself; a scene without its
        // facts (or a model without joints) has one when joints hang below.
        const std::string* rootName = Fact(root, "joint_name");
        bool anyJoint = false;
        for (int32_t c : Node(root).children) {
            std::string name;
            anyJoint = anyJoint || (c >= 0 && size_t(c) < scene.nodes.size() && JointName(c, name));
        }
        if (!rootName && !anyJoint) return;
        std::string rootJoint = rootName ? *rootName : "Root";
        if (!JointName(root, rootJoint) && !rootName) back.report.Default("root joint name and placement");
        isJoint[size_t(root)] = 1;
        jointOf[size_t(root)] = rootJoint;
        AddJoint(root, true);
        // Depth first in child order: the order the build made the nodes in.
        std::vector<int32_t> stack(1, root);
        while (!stack.empty()) {
            const int32_t node = stack.back();
            stack.pop_back();
            const std::vector<int32_t>& kids = Node(node).children;
            for (size_t k = kids.size(); k-- > 0;) {
                const int32_t c = kids[k];
                std::string name;
                if (c < 0 || size_t(c) >= scene.nodes.size() || isJoint[size_t(c)] || !JointName(c, name)) continue;
                isJoint[size_t(c)] = 1;
                jointOf[size_t(c)] = name;
                stack.push_back(c);
            }
            if (node != root) AddJoint(node, false);
        }
    }

    void AddJoint(int32_t node, bool root) {
        const SceneNode& n = Node(node);
        auto joint = std::make_unique<Joint>();
        joint->index = int32_t(model.joints.size());
        joint->name.Set(jointOf[size_t(node)]);
        const std::string* parentFact = Fact(node, "joint_parent");
        if (root) joint->parentName.Set(parentFact ? *parentFact : std::string());
        else joint->parentName.Set(ParentName(parentFact, jointOf[size_t(n.parent)]));
        if (const std::string* scale = Fact(node, "joint_scale")) ReadFloats(*scale, joint->scale, 3);
        if (const std::string* flags = Fact(node, "joint_flags")) {
            uint32_t words[3] = {1, 1, 1};
            if (ReadWords(*flags, words, 3))
                for (int i = 0; i < 3; ++i) joint->flags[i] = uint8_t(words[i]);
        }
        if (root) {
            // ROOT_LOD[0] shows no placement of the joint.
            if (const std::string* p = Fact(node, "joint_position")) ReadFloats(*p, joint->position, 3);
            if (const std::string* r = Fact(node, "joint_rotation")) ReadFloats(*r, joint->rotation, 3);
            if (const std::string* a = Fact(node, "joint_axis")) ReadFloats(*a, joint->axis, 3);
        } else {
            std::copy(n.translation, n.translation + 3, joint->position);
            bool axisNode = false;
            for (int32_t c : n.children) {
                std::string axisOf;
                if (c < 0 || size_t(c) >= scene.nodes.size() || !ParseAxisNodeName(Node(c).name, axisOf)) continue;
                std::copy(Node(c).rotation, Node(c).rotation + 3, joint->axis);
                axisNode = true;
                break;
            }
            if (!axisNode)
                if (const std::string* a = Fact(node, "joint_axis")) ReadFloats(*a, joint->axis, 3);
            float stored[3];
            const std::string* r = Fact(node, "joint_rotation");
            const bool haveStored = r && ReadFloats(*r, stored, 3);
            for (int i = 0; i < 3; ++i)
                joint->rotation[i] = haveStored && SameBits(stored[i] + joint->axis[i], n.rotation[i])
                                         ? stored[i]
                                         : JointRotationFrom(n.rotation[i], joint->axis[i]);
        }
        model.joints.push_back(std::move(joint));
    }

    // ---- objects hanging from joints ------------------------------------------

    void NavLightFrom(int32_t node) {
        NameGroups g;
        if (!ParseNavLightName(FullName(node), g)) return;
        auto light = std::make_unique<NavLight>();
        light->name.Set(g.value);
        const std::string shownType = g.Get(kLightType) ? *g.Get(kLightType) : std::string("default");
        const std::string* typeFact = Fact(node, "light_type");
        light->type.Set(typeFact && EqualNoCase(*typeFact, shownType.c_str()) ? *typeFact : shownType);
        int64_t section = 0;
        if (const std::string* s = g.Get(kLightSection)) {
            const auto res = std::from_chars(s->data(), s->data() + s->size(), section);
            if (res.ec != std::errc()) section = 0;
        }
        light->section = uint32_t(section);
        float stored[8];
        const std::string* values = Fact(node, "light_values");
        const bool have = values && ReadFloats(*values, stored, 8);
        auto shown = [&](const std::string* text, int k, float fallback) {
            return Shown(text, have ? &stored[k] : nullptr, fallback);
        };
        light->size = shown(g.Get(kLightSize), 0, 0);
        light->phase = shown(g.Get(kLightPhase), 1, 0);
        light->frequency = shown(g.Get(kLightFrequency), 2, 0);
        std::vector<std::string> colour(3);
        if (const std::string* c = g.Get(kLightColour)) {
            size_t at = 0;
            for (int i = 0; i < 3; ++i) {
                const size_t comma = std::min(c->find(',', at), c->size());
                colour[size_t(i)] = c->substr(std::min(at, c->size()), comma - std::min(at, c->size()));
                at = comma + 1;
            }
        }
        for (int i = 0; i < 3; ++i) light->colour[i] = shown(&colour[size_t(i)], 3 + i, 0);
        light->colour[3] = have ? stored[6] : 1;
        light->distance = shown(g.Get(kLightDistance), 7, 0);
        uint32_t bytes[2] = {1, 1};
        if (const std::string* b = Fact(node, "light_bytes")) ReadWords(*b, bytes, 2);
        light->sprite = uint8_t(FlagWord(HasWord(g.Get(kLightFlags), "Sprite"), bytes[0]));
        light->highEnd = uint8_t(FlagWord(HasWord(g.Get(kLightFlags), "HighEnd"), bytes[1]));
        uint32_t order = uint32_t(model.navLights.size());
        if (const std::string* o = Fact(node, "light_order")) ReadWords(*o, &order, 1);
        lightOrder.push_back(int32_t(order));
        model.navLights.push_back(std::move(light));
    }

    // The lights in the model's order (the scene shows them on their joints,
    // in the order of the joint tree).
    void SortLights() {
        std::vector<size_t> order(model.navLights.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return lightOrder[a] < lightOrder[b]; });
        OwnedList<NavLight> sorted;
        for (size_t i : order) sorted.push_back(std::move(model.navLights[i]));
        model.navLights = std::move(sorted);
        for (size_t i = 0; i < model.navLights.size(); ++i) model.navLights[i]->index = int32_t(i);
    }

    void MarkerFrom(int32_t node) {
        std::string name;
        if (!ParseMarkerName(FullName(node), name)) return;
        const SceneNode& n = Node(node);
        auto marker = std::make_unique<Marker>();
        marker->index = int32_t(model.markers.size());
        marker->name.Set(name);
        marker->parentName.Set(ParentName(Fact(node, "marker_parent"), jointOf[size_t(n.parent)]));
        if (const std::string* head = Fact(node, "marker_head")) ReadFloats(*head, marker->headValues, 2);
        else if (factsLost) back.report.Default("marker head values");
        double stored[3];
        const std::string* p = Fact(node, "marker_position");
        const bool haveP = p && ReadDoubles(*p, stored, 3);
        for (int i = 0; i < 3; ++i)
            marker->position[i] =
                haveP && SameBits(float(stored[i]), n.translation[i]) ? stored[i] : double(n.translation[i]);
        const std::string* r = Fact(node, "marker_rotation");
        const bool haveR = r && ReadDoubles(*r, stored, 3);
        for (int i = 0; i < 3; ++i)
            marker->rotation[i] =
                haveR && SameBits(float(stored[i]), n.rotation[i]) ? stored[i] : double(n.rotation[i]);
        model.markers.push_back(std::move(marker));
    }

    // The positions of a positions-only mesh, one point per vertex.
    std::vector<float> Points(int32_t node) const {
        const int32_t m = Node(node).mesh;
        std::vector<float> points;
        if (m < 0 || size_t(m) >= scene.meshes.size()) return points;
        const SceneMesh& mesh = scene.meshes[size_t(m)];
        const std::vector<int32_t>* table = nullptr;
        for (const SceneTriangles& list : mesh.triangles)
            if (!list.table.empty()) table = &list.table;
        if (!table || mesh.components <= 0) return mesh.positions;
        for (size_t v = 0; v + size_t(mesh.components) <= table->size(); v += size_t(mesh.components)) {
            const int64_t at = int64_t((*table)[v]) * 3;
            for (int i = 0; i < 3; ++i)
                points.push_back(at >= 0 && size_t(at) + 2 < mesh.positions.size()
                                     ? mesh.positions[size_t(at) + size_t(i)]
                                     : 0.0f);
        }
        return points;
    }

    void ShapeFrom(int32_t node) {
        std::string name;
        if (!ParseEngineShapeName(FullName(node), name)) return;
        auto shape = std::make_unique<EngineShape>();
        shape->index = int32_t(model.engineShapes.size());
        shape->name.Set(name);
        shape->parentName.Set(ParentName(Fact(node, "shape_parent"), jointOf[size_t(Parent(node))]));
        shape->vertices = Points(node);
        shape->vertexCount = int32_t(shape->vertices.size() / 3);
        model.engineShapes.push_back(std::move(shape));
    }

    void BurnFrom(int32_t node) {
        std::string name;
        if (!ParseEngineBurnName(FullName(node), name)) return;
        auto burn = std::make_unique<EngineBurn>();
        burn->index = int32_t(model.engineBurns.size());
        burn->name.Set(name);
        burn->parentName.Set(ParentName(Fact(node, "burn_parent"), jointOf[size_t(Parent(node))]));
        uint32_t maxFlame = 0, maxDivision = 0;
        bool fits = true;
        uint32_t counts[2] = {0, 0};
        const std::string* countFact = Fact(node, "burn_counts");
        const bool haveCounts = countFact && ReadWords(*countFact, counts, 2);
        for (int32_t c : Node(node).children) {
            uint32_t flame = 0, division = 0;
            if (c < 0 || size_t(c) >= scene.nodes.size() || !ParseFlamePointName(Node(c).name, flame, division))
                continue;
            burn->vertices.insert(burn->vertices.end(), Node(c).translation, Node(c).translation + 3);
            maxFlame = std::max(maxFlame, flame + 1);
            maxDivision = std::max(maxDivision, division + 1);
            fits = fits && flame < counts[1] && division < counts[0];
        }
        burn->vertexCount = int32_t(burn->vertices.size() / 3);
        // The stored counts while the points still fill them exactly.
        if (haveCounts && fits && uint64_t(counts[0]) * counts[1] == uint64_t(burn->vertexCount)) {
            burn->divisions = counts[0];
            burn->flameCount = counts[1];
        } else {
            burn->divisions = maxDivision;
            burn->flameCount = maxFlame;
        }
        model.engineBurns.push_back(std::move(burn));
    }

    bool JointNamed(const std::string& name) const {
        for (const auto& j : model.joints)
            if (EqualNoCase(j->name.value, name.c_str())) return true;
        return false;
    }

    void CollisionFrom(int32_t node) {
        std::string joint;
        if (!ParseCollisionName(FullName(node), joint)) return;
        auto col = std::make_unique<CollisionMesh>();
        col->index = int32_t(model.collisionMeshes.size());
        // A parent the model lacked shows as "Root".
        const std::string* parent = Fact(node, "col_parent");
        const bool lacked = parent && EqualNoCase(joint, "Root") && !JointNamed(*parent);
        col->parentName.Set(lacked ? *parent : ParentName(parent, joint));
        col->vertices = Points(node);
        col->vertexCount = int32_t(col->vertices.size() / 3);
        std::vector<uint32_t> corners;
        const int32_t m = Node(node).mesh;
        if (m >= 0 && size_t(m) < scene.meshes.size())
            for (const SceneTriangles& list : scene.meshes[size_t(m)].triangles)
                corners.insert(corners.end(), list.corners.begin(), list.corners.end());
        // The stored indices while their triangles are still the ones shown.
        std::vector<int32_t> stored;
        if (const std::string* s = Fact(node, "col_indices"); s && ReadInts(*s, stored)) {
            std::vector<uint32_t> shown;
            for (size_t t = 0; t + 2 < stored.size(); t += 3) {
                bool inRange = true;
                for (size_t k = 0; k < 3; ++k)
                    inRange = inRange && stored[t + k] >= 0 && stored[t + k] < col->vertexCount;
                if (inRange)
                    shown.insert(shown.end(), stored.begin() + std::ptrdiff_t(t), stored.begin() + std::ptrdiff_t(t + 3));
            }
            if (shown == corners) corners.assign(stored.begin(), stored.end());
        }
        for (uint32_t c : corners) col->indices.push_back(uint16_t(c));
        col->indexCount = int32_t(col->indices.size());
        // Regenerated from the vertices.
        for (int32_t v = 0; v < col->vertexCount; ++v) AddPoint(col->bounds, &col->vertices[size_t(v) * 3]);
        model.collisionMeshes.push_back(std::move(col));
    }

    void DockPathFrom(int32_t node) {
        NameGroups g;
        if (!ParseDockPathName(FullName(node), g)) return;
        auto path = std::make_unique<DockPath>();
        path->index = int32_t(model.dockPaths.size());
        path->name.Set(g.value);
        if (const std::string* p = Fact(node, "dock_parent")) path->parentName.Set(*p);
        else if (factsLost) back.report.Default("dock path words and parent joints");
        if (const std::string* f = g.Get(kDockFamily)) path->family.Set(*f);
        if (const std::string* l = g.Get(kDockLink)) path->link.Set(*l);
        float tolerance = 0;
        const std::string* t = Fact(node, "dock_tolerance");
        const bool haveTolerance = t && ReadFloats(*t, &tolerance, 1);
        // A tolerance of 0 (of either sign) shows no group.
        if (const std::string* shown = g.Get(kDockTolerance))
            path->tolerance = Shown(shown, haveTolerance ? &tolerance : nullptr, 0);
        else
            path->tolerance = haveTolerance && tolerance == 0 ? tolerance : 0;
        uint32_t words[3] = {0, 0, 0};
        if (const std::string* w = Fact(node, "dock_words")) ReadWords(*w, words, 3);
        const std::string* flags = g.Get(kDockFlags);
        path->exit = FlagWord(HasWord(flags, "Exit"), words[0]);
        path->latch = FlagWord(HasWord(flags, "Latch"), words[1]);
        path->animFlags = (words[2] & ~1u) | (HasWord(flags, "Anim") ? 1u : 0u);
        for (int32_t c : Node(node).children) {
            NameGroups s;
            if (c < 0 || size_t(c) >= scene.nodes.size() || !ParseDockSegmentName(FullName(c), s)) continue;
            DockSegment seg;
            seg.index = int32_t(path->segments.size());
            std::copy(Node(c).translation, Node(c).translation + 3, seg.position);
            std::copy(Node(c).rotation, Node(c).rotation + 3, seg.rotation);
            float values[2];
            const std::string* v = Fact(c, "seg_values");
            const bool haveValues = v && ReadFloats(*v, values, 2);
            seg.tolerance = Shown(s.Get(kSegmentTolerance), haveValues ? &values[0] : nullptr, 0);
            seg.speed = Shown(s.Get(kSegmentSpeed), haveValues ? &values[1] : nullptr, 0);
            uint32_t w[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            if (const std::string* f = Fact(c, "seg_words")) ReadWords(*f, w, 8);
            const std::string* segFlags = s.Get(kSegmentFlags);
            static const char* const kWords[8] = {"UseRot", "Unfocus", "Check", "Close",
                                                  "Player", "Queue",   "Clip",  "ClearRes"};
            uint32_t* fields[8] = {&seg.useRot, &seg.unfocus, &seg.check, &seg.close,
                                   &seg.player, &seg.queue,   &seg.clip,  &seg.clearRes};
            for (int k = 0; k < 8; ++k) *fields[k] = FlagWord(HasWord(segFlags, kWords[k]), w[k]);
            path->segments.push_back(seg);
        }
        path->segmentCount = int32_t(path->segments.size());
        model.dockPaths.push_back(std::move(path));
    }

    void VersionFrom(int32_t node) {
        int32_t version = 0;
        if (ParseVersionInfoName(Node(node).name, version)) model.version = uint32_t(version);
    }

    // The objects the scene had no node for, at their places in the lists.
    template <typename T>
    static void InsertAt(OwnedList<T>& list, const std::string& position, std::unique_ptr<T> item) {
        size_t at = list.size();
        std::from_chars(position.data(), position.data() + position.size(), at);
        list.insert(list.begin() + std::ptrdiff_t(std::min(at, list.size())), std::move(item));
        for (size_t i = 0; i < list.size(); ++i) list[i]->index = int32_t(i);
    }

    void Unplaced() {
        const auto lines = [&](const char* key) {
            const std::string* text = FindFact(scene.facts, key);
            return text ? FactLines(*text) : std::vector<std::vector<std::string>>();
        };
        for (const auto& f : lines("unplaced_joints")) {
            float values[12];
            uint32_t flags[3];
            if (f.size() != 5 || !ReadFloats(f[3], values, 12) || !ReadWords(f[4], flags, 3)) continue;
            auto joint = std::make_unique<Joint>();
            joint->name.Set(f[1]);
            joint->parentName.Set(f[2]);
            std::copy(values, values + 3, joint->position);
            std::copy(values + 3, values + 6, joint->rotation);
            std::copy(values + 6, values + 9, joint->scale);
            std::copy(values + 9, values + 12, joint->axis);
            for (int i = 0; i < 3; ++i) joint->flags[i] = uint8_t(flags[i]);
            model.joints.push_back(std::move(joint));
        }
        for (const auto& f : lines("unplaced_lights")) {
            float values[8];
            uint32_t words[3];
            if (f.size() != 5 || !ReadFloats(f[3], values, 8) || !ReadWords(f[4], words, 3)) continue;
            auto light = std::make_unique<NavLight>();
            light->name.Set(f[1]);
            light->type.Set(f[2]);
            light->section = words[0], light->sprite = uint8_t(words[1]), light->highEnd = uint8_t(words[2]);
            light->size = values[0], light->phase = values[1], light->frequency = values[2];
            std::copy(values + 3, values + 7, light->colour);
            light->distance = values[7];
            uint32_t order = 0;
            ReadWords(f[0], &order, 1);
            lightOrder.push_back(int32_t(order));
            model.navLights.push_back(std::move(light));
        }
        for (const auto& f : lines("unplaced_markers")) {
            auto marker = std::make_unique<Marker>();
            if (f.size() != 6 || !ReadFloats(f[3], marker->headValues, 2) || !ReadDoubles(f[4], marker->position, 3) ||
                !ReadDoubles(f[5], marker->rotation, 3))
                continue;
            marker->name.Set(f[1]);
            marker->parentName.Set(f[2]);
            InsertAt(model.markers, f[0], std::move(marker));
        }
        for (const auto& f : lines("unplaced_shapes")) {
            auto shape = std::make_unique<EngineShape>();
            if (f.size() != 4 || !ReadFloatList(f[3], shape->vertices)) continue;
            shape->name.Set(f[1]);
            shape->parentName.Set(f[2]);
            shape->vertexCount = int32_t(shape->vertices.size() / 3);
            InsertAt(model.engineShapes, f[0], std::move(shape));
        }
        for (const auto& f : lines("unplaced_burns")) {
            auto burn = std::make_unique<EngineBurn>();
            uint32_t counts[2];
            if (f.size() != 5 || !ReadWords(f[3], counts, 2) || !ReadFloatList(f[4], burn->vertices)) continue;
            burn->name.Set(f[1]);
            burn->parentName.Set(f[2]);
            burn->divisions = counts[0], burn->flameCount = counts[1];
            burn->vertexCount = int32_t(burn->vertices.size() / 3);
            InsertAt(model.engineBurns, f[0], std::move(burn));
        }
    }

    // ---- the model's lists ---------------------------------------------------------

    void ModelFacts() {
        // Only the letter case may differ: the game reads no other name.
        const std::string* typeName = FindFact(scene.facts, "type_name");
        model.typeName.Set(typeName && EqualNoCase(*typeName, kMultiMeshFileName) ? *typeName
                                                                                 : std::string(kMultiMeshFileName));
        if (const std::string* info = FindFact(scene.facts, "info"))
            for (const std::vector<std::string>& line : FactLines(*info)) {
                if (line.size() != 2) continue;
                auto entry = std::make_unique<InfoEntry>();
                entry->key.Set(line[0]);
                entry->value.Set(line[1]);
                model.infoEntries.push_back(std::move(entry));
            }
    }

    struct ColourNode {
        std::string material, param;
        std::vector<std::string> data;
        bool used = false;
    };

    // "HOLD_PARAMS" lists every colour parameter of every material in order.
    std::vector<ColourNode> ColourNodes() const {
        std::vector<ColourNode> list;
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            if (!ParentNamed(int32_t(i), kHoldParamsName)) continue;
            ColourNode c;
            std::string data;
            if (!ParseColourParamName(FullName(int32_t(i)), c.material, c.param, data)) continue;
            size_t at = 0;
            while (at <= data.size()) {
                const size_t comma = std::min(data.find(',', at), data.size());
                c.data.push_back(data.substr(at, comma - at));
                at = comma + 1;
            }
            list.push_back(std::move(c));
        }
        return list;
    }

    static void ColourFrom(std::vector<ColourNode>& nodes, const std::string& material, MaterialParam& param,
                           bool haveStored) {
        for (ColourNode& c : nodes) {
            if (c.used || c.material != material || c.param != param.name.value) continue;
            c.used = true;
            for (size_t i = 0; i < 4; ++i)
                param.colour[i] = Shown(i < c.data.size() ? &c.data[i] : nullptr,
                                        haveStored ? &param.colour[i] : nullptr, param.colour[i]);
            return;
        }
    }

    void Materials() {
        std::vector<ColourNode> colours = ColourNodes();
        const std::string* fact = FindFact(scene.facts, "materials");
        if (!fact) {
            // Without the facts: each scene material with its colour parameters.
            for (const SceneMaterial& sm : scene.materials) {
                std::string name, shader;
                if (sm.glow || !ParseMaterialName(sm.name, name, shader)) continue;
                back.report.Default("material versions and parameters");
                auto m = std::make_unique<Material>();
                m->index = int32_t(model.materials.size());
                m->version = 2;
                m->name.Set(name);
                m->shader.Set(shader);
                for (const ColourNode& c : colours) {
                    if (c.material != name) continue;
                    MaterialParam param;
                    param.name.Set(c.param);
                    param.type = kParamColour;
                    m->params.push_back(param);
                }
                for (MaterialParam& param : m->params) ColourFrom(colours, name, param, false);
                model.materials.push_back(std::move(m));
            }
            return;
        }
        const std::vector<std::vector<std::string>> lines = FactLines(*fact);
        std::vector<std::string> storedNames;
        // (A document holds UTF-8 names: a stored byte that is not comes
        // back as its Windows-1252 character, and is the same name.)
        for (const auto& line : lines)
            if (line.size() >= 4) {
                storedNames.push_back("MAT[" + line[2] + "]_SHD[" + line[3] + "]");
                storedNames.push_back(ToUtf8(storedNames.back()));
            }
        for (const auto& line : lines) {
            if (line.size() < 4) continue;
            auto m = std::make_unique<Material>();
            m->index = int32_t(model.materials.size());
            int64_t sceneIndex = -1;
            std::from_chars(line[0].data(), line[0].data() + line[0].size(), sceneIndex);
            uint32_t version = 2;
            ReadWords(line[1], &version, 1);
            m->version = version;
            std::string name = line[2], shader = line[3];
            // A material renamed in the scene: its scene material bears a name
            // no stored material has.
            if (sceneIndex >= 0 && size_t(sceneIndex) < scene.materials.size()) {
                const std::string& shown = scene.materials[size_t(sceneIndex)].name;
                std::string n, s;
                if (std::find(storedNames.begin(), storedNames.end(), shown) == storedNames.end() &&
                    ParseMaterialName(shown, n, s))
                    name = n, shader = s;
            }
            m->name.Set(name);
            m->shader.Set(shader);
            for (size_t f = 4; f + 3 < line.size(); f += 4) {
                MaterialParam param;
                param.name.Set(line[f]);
                int64_t type = -1, image = 0;
                std::from_chars(line[f + 1].data(), line[f + 1].data() + line[f + 1].size(), type);
                std::from_chars(line[f + 2].data(), line[f + 2].data() + line[f + 2].size(), image);
                param.type = int32_t(type);
                param.imageIndex = int32_t(image);
                ReadFloats(line[f + 3], param.colour, 4);
                if (param.type == kParamColour) ColourFrom(colours, line[2], param, true);
                m->params.push_back(std::move(param));
            }
            model.materials.push_back(std::move(m));
        }
    }

    void Images() {
        const std::string* fact = FindFact(scene.facts, "images");
        if (!fact) {
            if (!scene.images.empty()) back.report.Default("image names and formats");
            return;
        }
        for (const auto& line : FactLines(*fact)) {
            if (line.size() != 5 && line.size() != 6) continue;
            back.imagesCut.push_back(line.size() == 6 && line[5] == "cut");
            auto image = std::make_unique<TextureImage>();
            image->index = int32_t(model.images.size());
            image->name.Set(line[0]);
            image->format.Set(line[1]);
            int32_t size[3] = {0, 0, 0};
            for (int i = 0; i < 3; ++i)
                std::from_chars(line[size_t(2 + i)].data(), line[size_t(2 + i)].data() + line[size_t(2 + i)].size(),
                                size[i]);
            // The stored levels' sizes, without bytes: ImagesFromScene fills
            // them from the scene's pictures. One that nothing fills stays
            // empty, as an image stored without its bytes reads. A 32-bit
            // size halves to 1 within 32 levels.
            const int32_t levels = std::min<int32_t>(size[2], 32);
            for (int32_t i = 0; i < levels; ++i) {
                MipLevel level;
                level.width = std::max<int32_t>(i == 0 ? size[0] : 1, size[0] >> i);
                level.height = std::max<int32_t>(i == 0 ? size[1] : 1, size[1] >> i);
                const uint64_t bytes = LevelByteCount(image->format, level.width, level.height);
                level.size = bytes > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(bytes);
                image->levels.push_back(std::move(level));
            }
            model.images.push_back(std::move(image));
        }
    }

    // ---- the animation set -----------------------------------------------------

    struct ClipNode {
        int32_t node;
        NameGroups groups;
    };

    void Animation() {
        std::vector<ClipNode> clipNodes;
        for (size_t i = 0; i < scene.nodes.size(); ++i) {
            ClipNode c{int32_t(i), {}};
            if (ParentNamed(c.node, kHoldAnimName) && ParseClipName(FullName(c.node), c.groups))
                clipNodes.push_back(std::move(c));
        }
        const std::string* header = FindFact(scene.facts, "animation");
        if (!header && scene.curves.empty() && scene.clips.empty() && clipNodes.empty()) return;
        auto set = std::make_unique<AnimationSet>();
        set->path.Set("");
        uint32_t words[4] = {1, 0, 0, 0};
        if (header) ReadWords(*header, words, 4);
        else if (factsLost) back.report.Default("animation file header and clip tracks");
        set->version = words[0], set->infoWord0 = words[1], set->infoWord3 = words[2], set->infoWord4 = words[3];
        const std::string* formatName = FindFact(scene.facts, "animation_name");
        set->formatName.Set(formatName && EqualNoCase(*formatName, kDefaultAnimationName)
                                ? *formatName
                                : std::string(kDefaultAnimationName));

        for (const SceneCurve& sc : scene.curves) {
            auto curve = std::make_unique<AnimationCurve>(sc.data);
            curve->index = int32_t(set->curves.size());
            set->curves.push_back(std::move(curve));
        }
        if (clipNodes.empty()) {
            for (const SceneClip& sc : scene.clips) set->clips.push_back(ClipFrom(nullptr, &sc));
        } else {
            std::vector<char> used(scene.clips.size(), 0);
            for (size_t k = 0; k < clipNodes.size(); ++k) {
                // The scene clip of the same name, the one at the same place first.
                const std::string& name = clipNodes[k].groups.value;
                const SceneClip* match = nullptr;
                if (k < scene.clips.size() && !used[k] && scene.clips[k].name == name)
                    match = &scene.clips[k], used[k] = 1;
                for (size_t c = 0; !match && c < scene.clips.size(); ++c)
                    if (!used[c] && scene.clips[c].name == name) match = &scene.clips[c], used[c] = 1;
                set->clips.push_back(ClipFrom(&clipNodes[k], match));
            }
        }
        LinkAndName(*set);
        model.animation = std::move(set);
    }

    std::unique_ptr<AnimationClip> ClipFrom(const ClipNode* node, const SceneClip* shown) {
        auto clip = std::make_unique<AnimationClip>();
        float stored[4] = {0, 0, 0, 0};
        const std::string* times = node ? Fact(node->node, "clip_times") : nullptr;
        const bool have = times && ReadFloats(*times, stored, 4);
        if (node) {
            const NameGroups& g = node->groups;
            clip->name.Set(g.value);
            clip->start = Shown(g.Get(kClipStart), have ? &stored[0] : nullptr, 0);
            clip->end = Shown(g.Get(kClipEnd), have ? &stored[1] : nullptr, 0);
            // The loops show as differences from the clip's ends.
            const float start = clip->start, end = clip->end;
            const std::string* in = g.Get(kClipLoopIn);
            const std::string* out = g.Get(kClipLoopOut);
            if (have && SameBits(start, stored[0]) && (!in || FormatG(double(stored[2] - start)) == *in))
                clip->loopStart = stored[2];
            else if (in)
                clip->loopStart = PrintingAs(start + Shown(in, nullptr, 0), *in, [&](float v) { return v - start; });
            if (have && SameBits(end, stored[1]) && (!out || FormatG(double(end - stored[3])) == *out))
                clip->loopEnd = stored[3];
            else if (out)
                clip->loopEnd = PrintingAs(end - Shown(out, nullptr, 0), *out, [&](float v) { return end - v; });
        } else if (shown) {
            clip->name.Set(shown->name);
            clip->start = float(shown->start), clip->end = float(shown->end);
            clip->loopStart = float(shown->loopStart), clip->loopEnd = float(shown->loopEnd);
        }
        // The tracks as stored (disconnected links too) while the scene's
        // clip still links the same curves; else the scene's.
        const std::string* tracks = node ? Fact(node->node, "clip_tracks") : nullptr;
        std::vector<std::unique_ptr<ClipTrack>> stored_tracks;
        bool fits = tracks != nullptr;
        if (tracks) {
            const auto lines = FactLines(*tracks);
            for (size_t t = 0; t < lines.size(); ++t) {
                auto track = std::make_unique<ClipTrack>();
                track->name.Set(lines[t][0]);
                if (lines[t].size() != 2 || !ReadInts(lines[t][1], track->curveIndices)) fits = false;
                if (shown) {
                    std::vector<int32_t> linked;
                    for (int32_t c : track->curveIndices)
                        if (c >= 0 && size_t(c) < scene.curves.size()) linked.push_back(c);
                    fits = fits && t < shown->tracks.size() && shown->tracks[t].name == track->name.value &&
                           shown->tracks[t].curves == linked;
                }
                stored_tracks.push_back(std::move(track));
            }
            fits = fits && (!shown || shown->tracks.size() == lines.size());
        }
        if (fits) {
            clip->tracks = std::move(stored_tracks);
        } else if (shown) {
            for (const SceneTrack& st : shown->tracks) {
                auto track = std::make_unique<ClipTrack>();
                track->name.Set(st.name);
                track->curveIndices = st.curves;
                clip->tracks.push_back(std::move(track));
            }
        }
        return clip;
    }

    // Name indices, the string table and the links, as reading the MAD file
    // the writer makes from the set gives them.
    static void LinkAndName(AnimationSet& set) {
        std::unordered_map<std::string, int32_t> byLowerName;
        std::map<std::string, bool> inTable;
        auto intern = [&](const Core_QStr& name) {
            if (inTable.emplace(name.value, true).second) {
                set.stringTable.insert(set.stringTable.end(), name.value.begin(), name.value.end());
                set.stringTable.push_back(0);
            }
            std::string key = name.value;
            for (char& c : key)
                if (c >= 'A' && c <= 'Z') c = char(c + 32);
            const auto found = byLowerName.emplace(key, int32_t(set.names.size()));
            if (found.second) {
                AnimationName entry;
                entry.name = name;
                set.names.push_back(std::move(entry));
            }
            return found.first->second;
        };
        for (const auto& clip : set.clips) {
            clip->nameIndex = intern(clip->name);
            for (const auto& track : clip->tracks) track->nameIndex = intern(track->name);
        }
        for (const auto& curve : set.curves) curve->nameIndex = intern(curve->name);
        set.stringTable.push_back(0);
        LinkClips(set);
        set.clipCount = int32_t(set.clips.size());
        set.curveCount = int32_t(set.curves.size());
    }

    void ReportDefaults() {
        if (!factsLost) return;
        if (!model.joints.empty()) back.report.Default("joint scale and flags");
        if (!model.navLights.empty()) back.report.Default("navigation light colour alpha and flag bytes");
        if (!model.engineBurns.empty()) back.report.Default("engine burn counts");
        if (model.typeName.value == kMultiMeshFileName) back.report.Default("model type name and information entries");
    }
};

}  // namespace

void ObjectsFromScene(WayBack& back) { ObjectsBack(back).Run(); }
