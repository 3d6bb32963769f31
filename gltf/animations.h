// The animations of a glTF document: one time range per clip (or the whole
// time line), the curves it plays grouped by node, each sampled every frame
// plus its key times into translation and rotation samplers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gltf/buffer.h"
#include "scene/curves.h"
#include "scene/scene.h"

namespace gltf {

using ::EulerToQuaternion;  // scene/curves.h

// The curves of one node, by property.
struct NodeCurves {
    int32_t node;
    const AnimationCurve* translate[3] = {nullptr, nullptr, nullptr};
    const AnimationCurve* rotate[3] = {nullptr, nullptr, nullptr};
};

struct AnimationRange {
    std::string name;
    double start, end;
    const SceneClip* clip;  // null: the whole timeline
    std::vector<NodeCurves> nodes;  // what it drives
};

// The property names a curve's extras give, by CurveProperty.
extern const char* const kCurvePropertyNames[7];

struct Sampler {
    int input, output;
    int32_t node;
    const char* path;
};

// One range per clip, driving the curves its tracks link that have keys; a curve without keys inside the clip holds its value over
// it. Without clips, one range over the whole time line driving every curve,
// when any curve drives a node.
std::vector<AnimationRange> AnimationRanges(const Scene& scene);

// The animation samplers of one time range, their data in the buffer; none
// when the range drives nothing.
std::vector<Sampler> AddAnimation(Buffer& buffer, const Scene& scene, const AnimationRange& range);

// In the scene's extras: "curves", every scene curve (keys, tangents,
// interpolation, the joint, node and property each drives); then "clips":
// every clip with its times, its tracks (names and the curves they link),
// and the index of its animation when it has one (a clip driving nothing
// has none, as glTF allows no animation without channels). No clips
// without clips.
void WriteClipsJson(Json& json, const Scene& scene, const std::vector<AnimationRange>& ranges,
                    const std::vector<std::vector<Sampler>>& animations);

// "animations": one per range that has samplers, its extras holding the
// range's times; nothing when none has.
void WriteAnimationsJson(Json& json, const std::vector<AnimationRange>& ranges,
                         const std::vector<std::vector<Sampler>>& animations);

}  // namespace gltf
