#include "scene/scene.h"

#include <cmath>

#include "model/joints.h"
#include "scene/build.h"
#include "scene/conventions.h"
#include "scene/names.h"
#include "scene/object_facts.h"
#include "texture/shader_map.h"

namespace {

// "SUB_PARAMS" with one name-only node per further group of a long name.
void AddSubParams(Scene& scene, int32_t node, const std::vector<std::string>& groups, const std::string& full) {
    if (groups.empty()) return;
    RecordFullName(scene.nodes[size_t(node)].facts, full, groups);
    const int32_t holder = scene.AddNode(node, kSubParamsName, nullptr, nullptr);
    scene.nodes[size_t(holder)].nameOnly = true;
    for (const std::string& group : groups) {
        const int32_t sub = scene.AddNode(holder, group, nullptr, nullptr);
        scene.nodes[size_t(sub)].nameOnly = true;
    }
}

int32_t LinkNode(Scene& scene, int32_t parent, std::string name, const float* translation, const float* rotation) {
    SceneNode node;
    node.name = std::move(name);
    node.parent = parent;
    // The model's numbers are finite; a placement made from them (a world
    // matrix, its angles) can still overflow, and is then taken as 0.
    for (int i = 0; i < 3; ++i) {
        node.translation[i] = translation && std::isfinite(translation[i]) ? translation[i] : 0;
        node.rotation[i] = rotation && std::isfinite(rotation[i]) ? rotation[i] : 0;
    }
    scene.nodes.push_back(std::move(node));
    const int32_t index = int32_t(scene.nodes.size() - 1);
    if (parent >= 0) scene.nodes[size_t(parent)].children.push_back(index);
    else scene.roots.push_back(index);
    return index;
}

// "HOLD_ANIM" with one node per clip, and one curve per animation curve.
void BuildAnimationNodes(SceneBuild& build) {
    const AnimationSet* set = build.model.animation.get();
    if (!set) return;
    if (!build.lodRoots.empty() && build.lodRoots[0] >= 0) {
        static const float kZero[3] = {0, 0, 0};
        const int32_t hold = build.scene.AddNode(build.lodRoots[0], kHoldAnimName, kZero, kZero);
        for (const auto& clip : set->clips) {
            if (!clip) continue;
            const int32_t node = build.scene.AddNode(hold, ClipName(*clip), kZero, kZero);
            RecordClipFacts(build.scene.nodes[size_t(node)].facts, *clip);
        }
    }
    // Scene curve i is the set's curve i (null slots none, which a read set never has).
    std::vector<int32_t> curveOf(set->curves.size(), -1);
    for (size_t i = 0, n = 0; i < set->curves.size(); ++i)
        if (set->curves[i]) curveOf[i] = int32_t(n++);
    for (const auto& clip : set->clips) {
        if (!clip) continue;
        SceneClip copy;
        copy.name = clip->name.value;
        copy.start = double(clip->start), copy.end = double(clip->end);
        copy.loopStart = double(clip->loopStart), copy.loopEnd = double(clip->loopEnd);
        for (const auto& track : clip->tracks) {
            if (!track) continue;
            SceneTrack t;
            t.name = track->name.value;
            for (size_t k = 0; k < track->curveIndices.size(); ++k) {
                const int32_t c = track->curveIndices[k];
                const bool connected = k >= track->links.size() || track->links[k].connected;
                if (connected && c >= 0 && size_t(c) < curveOf.size() && curveOf[size_t(c)] >= 0)
                    t.curves.push_back(curveOf[size_t(c)]);
            }
            copy.tracks.push_back(std::move(t));
        }
        build.scene.clips.push_back(std::move(copy));
    }

    static const char* const kProperties[7] = {"", "translateX", "translateY", "translateZ",
                                               "rotateX", "rotateY", "rotateZ"};
    for (const auto& curve : set->curves) {
        if (!curve) continue;
        // "[prefix:]joint_property". A name without "_" has no property: the
        // whole name is the joint, and like any property not listed it keeps
        // kOther, so no curve is dropped.
        const std::string full = curve->name.CStr();
        const size_t cut = full.rfind('_');
        const std::string jointPart = cut == std::string::npos ? full : full.substr(0, cut);
        const std::string property = cut == std::string::npos ? std::string() : full.substr(cut + 1);
        const size_t colon = jointPart.find(':');
        SceneCurve scene;
        scene.data = *curve;
        scene.joint = colon == std::string::npos ? jointPart : jointPart.substr(colon + 1);
        scene.targetName = AnimationTargetName(scene.joint);
        for (int i = 1; i < 7; ++i)
            if (EqualNoCase(property, kProperties[i])) scene.property = CurveProperty(i);
        if (EqualNoCase(scene.joint, "Root")) scene.node = build.lodRoots.empty() ? -1 : build.lodRoots[0];
        else scene.node = build.JointNode(FindJoint(build.model, scene.joint.c_str()));
        build.scene.curves.push_back(std::move(scene));
    }
}

double EndTime(const Model& model) {
    double end = kFrameSeconds;
    if (!model.animation) return end;
    for (const auto& clip : model.animation->clips)
        if (clip && double(clip->end) > end) end = double(clip->end);
    for (const auto& curve : model.animation->curves)
        if (curve && !curve->keys.empty() && curve->keys.back().time > end) end = curve->keys.back().time;
    return end;
}

}  // namespace

const std::string* FindFact(const SceneFacts& facts, const char* key) {
    for (const SceneFact& fact : facts)
        if (fact.key == key) return &fact.text;
    return nullptr;
}

void SetFact(SceneFacts& facts, const char* key, std::string text) {
    for (SceneFact& fact : facts)
        if (fact.key == key) {
            fact.text = std::move(text);
            return;
        }
    facts.push_back({key, std::move(text)});
}

int32_t Scene::AddNode(int32_t parent, const std::string& name, const float* translation, const float* rotation) {
    std::string shortName = name;
    const std::vector<std::string> groups = SplitLongName(shortName);
    const int32_t node = LinkNode(*this, parent, std::move(shortName), translation, rotation);
    AddSubParams(*this, node, groups, name);
    return node;
}

void SceneBuild::Rename(int32_t node, std::string name) {
    const std::string full = name;
    const std::vector<std::string> groups = SplitLongName(name);
    scene.nodes[size_t(node)].name = std::move(name);
    AddSubParams(scene, node, groups, full);
}

namespace {
SceneBuiltHook g_sceneBuilt = nullptr;
}  // namespace

void SetSceneBuiltHook(SceneBuiltHook hook) { g_sceneBuilt = hook; }

std::unique_ptr<Scene> BuildScene(const Model& model, const SceneOptions& options) {
    std::unique_ptr<ShaderMapSet> shaderMaps = ParseShaderMaps();
    if (!shaderMaps) return nullptr;
    auto scene = std::make_unique<Scene>();
    scene->version = int32_t(model.version);
    scene->endTime = EndTime(model);
    SceneBuild build(model, *scene);
    build.deduplicate = options.deduplicate;
    BuildMaterials(build, options, *shaderMaps);
    BuildNodeHierarchy(build);
    BuildGlows(build);
    BuildSpecialNodes(build);
    BuildAnimationNodes(build);
    if (build.rootInfo >= 0) {
        scene->AddNode(build.rootInfo, kUvSetsName, nullptr, nullptr);
        scene->AddNode(build.rootInfo, VersionInfoName(scene->version), nullptr, nullptr);
    }
    RecordModelFacts(build);
    if (g_sceneBuilt) g_sceneBuilt(*scene);
    return scene;
}
