// The animations of a glTF document: one time range per clip (or the whole
// time line), the curves it plays grouped by node, each sampled every frame
// plus its key times into translation and rotation samplers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gltf/buffer.h"
#include "scene/scene.h"

namespace gltf {

// A node's Euler angles (in the order scene/conventions.h states) as a
// quaternion x, y, z, w.
void EulerToQuaternion(double x, double y, double z, double q[4]);

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
    // The scene curves its animation carries whole in its extras: those
    // the clip's tracks link (each once), or every curve for the timeline.
    std::vector<int32_t> curves;
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

// "clips" in the scene's extras: every clip with its times, its tracks
// (names and the curves they link), and the index of its animation when it
// has one (a clip driving nothing has none, as glTF allows no animation
// without channels). Nothing without clips. Then "curves": every scene curve
// no animation carries, as the animations' extras hold theirs.
void WriteClipsJson(Json& json, const Scene& scene, const std::vector<AnimationRange>& ranges,
                    const std::vector<std::vector<Sampler>>& animations);

// "animations": one per range that has samplers, its extras holding the
// original curves it plays (keys, tangents, interpolation, the joint, node
// and property each drives); nothing when none has.
void WriteAnimationsJson(Json& json, const Scene& scene, const std::vector<AnimationRange>& ranges,
                         const std::vector<std::vector<Sampler>>& animations);

}  // namespace gltf
