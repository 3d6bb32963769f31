// The animations of a glTF document: the scene's curves grouped by node,
// one time range per clip (or the whole time line), each sampled at 30
// frames per second plus its key times into translation and rotation
// samplers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gltf/buffer.h"
#include "scene/scene.h"

namespace gltf {

// The DAE's unit, the centimetre, in glTF's metres.
constexpr double kMetresPerUnit = 0.01;

// Rotation about X, then Y, then Z (the node's rotate order) as a quaternion x, y, z, w.
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
    const AnimationClip* clip;  // null: the whole timeline
};

struct Sampler {
    int input, output;
    int32_t node;
    const char* path;
};

// The scene's curves that drive a node's translation or rotation, by node
// in order of first appearance.
std::vector<NodeCurves> CurvesByNode(const Scene& scene);

// One range per clip; without clips, one over the whole time line when any
// curve drives a node.
std::vector<AnimationRange> AnimationRanges(const Scene& scene, const std::vector<NodeCurves>& nodeCurves);

// The animation samplers of one time range, their data in the buffer.
std::vector<Sampler> AddAnimation(Buffer& buffer, const Scene& scene, const std::vector<NodeCurves>& nodes,
                                  const AnimationRange& range);

// "animations": one per range that has samplers; nothing when none has.
void WriteAnimationsJson(Json& json, const std::vector<AnimationRange>& ranges,
                         const std::vector<std::vector<Sampler>>& animations);

}  // namespace gltf
