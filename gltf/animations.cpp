#include "gltf/animations.h"

#include <algorithm>
#include <cmath>

#include "scene/curves.h"
#include "scene/conventions.h"

namespace gltf {

const char* const kCurvePropertyNames[7] = {"other",   "translateX", "translateY", "translateZ",
                                            "rotateX", "rotateY",    "rotateZ"};

namespace {

// The curves that drive a node's translation or rotation, by node in order
// of first appearance: every such curve of the scene, or with a clip only
// those its tracks link (connected links) that have keys.
std::vector<NodeCurves> CurvesByNode(const Scene& scene, const SceneClip* clip) {
    std::vector<bool> tracked(scene.curves.size(), clip == nullptr);
    if (clip)
        for (const SceneTrack& track : clip->tracks)
            for (int32_t c : track.curves)
                if (c >= 0 && size_t(c) < tracked.size()) tracked[size_t(c)] = true;
    std::vector<NodeCurves> nodeCurves;
    for (size_t i = 0; i < scene.curves.size(); ++i) {
        const SceneCurve& curve = scene.curves[i];
        if (curve.node < 0 || curve.property == CurveProperty::kOther || !tracked[i]) continue;
        if (clip && curve.data.keys.empty()) continue;
        NodeCurves* entry = nullptr;
        for (NodeCurves& n : nodeCurves)
            if (n.node == curve.node) entry = &n;
        if (!entry) {
            nodeCurves.push_back(NodeCurves{curve.node});
            entry = &nodeCurves.back();
        }
        const int p = int(curve.property) - int(CurveProperty::kTranslateX);
        if (p < 3) entry->translate[p] = &curve.data;
        else entry->rotate[p - 3] = &curve.data;
    }
    return nodeCurves;
}

}  // namespace

std::vector<AnimationRange> AnimationRanges(const Scene& scene) {
    std::vector<AnimationRange> ranges;
    for (const SceneClip& clip : scene.clips) {
        const double start = std::isfinite(clip.start) ? clip.start : 0.0;
        const double end = std::isfinite(clip.end) && clip.end > clip.start ? clip.end : start;
        ranges.push_back({clip.name, start, end, &clip, CurvesByNode(scene, &clip)});
    }
    if (ranges.empty()) {
        std::vector<NodeCurves> all = CurvesByNode(scene, nullptr);
        if (!all.empty())
            ranges.push_back({"Timeline", 0.0, std::isfinite(scene.endTime) ? scene.endTime : 0.0, nullptr,
                              std::move(all)});
    }
    return ranges;
}

// The animation samplers of one time range, their data in the buffer.
std::vector<Sampler> AddAnimation(Buffer& buffer, const Scene& scene, const AnimationRange& range) {
    std::vector<Sampler> samplers;
    for (const NodeCurves& node : range.nodes) {
        const SceneNode& target = scene.nodes[size_t(node.node)];
        for (int kind = 0; kind < 2; ++kind) {
            const AnimationCurve* const* curves = kind == 0 ? node.translate : node.rotate;
            std::vector<const AnimationCurve*> used;
            for (int i = 0; i < 3; ++i)
                if (curves[i]) used.push_back(curves[i]);
            if (used.empty()) continue;
            const std::vector<double> times = SampleTimes(used, range.start, range.end);
            std::vector<float> input, output;
            std::vector<double> previous;
            for (double t : times) {
                input.push_back(float(t - range.start));
                double v[3];
                for (int i = 0; i < 3; ++i) {
                    const float fixed = kind == 0 ? target.translation[i] : target.rotation[i];
                    v[i] = curves[i] ? CurveValue(*curves[i], t) : double(fixed);
                    if (!std::isfinite(v[i])) v[i] = 0;
                }
                if (kind == 0) {
                    // A root node's place is in metres (see the node's scale).
                    for (double c : v) output.push_back(float(target.parent < 0 ? c * kMetresPerUnit : c));
                    continue;
                }
                double q[4];
                EulerToQuaternion(v[0], v[1], v[2], q);
                // Neighbouring keys on the same side, so the turn between
                // them takes the short way.
                if (!previous.empty() && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
                    for (double& c : q) c = -c;
                previous.assign(q, q + 4);
                for (double c : q) output.push_back(float(c));
            }
            // Times must rise strictly as floats too.
            size_t kept = 1;
            const size_t width = kind == 0 ? 3 : 4;
            for (size_t i = 1; i < input.size(); ++i) {
                if (!(input[i] > input[kept - 1])) continue;
                input[kept] = input[i];
                std::copy(output.begin() + long(i * width), output.begin() + long((i + 1) * width),
                          output.begin() + long(kept * width));
                ++kept;
            }
            input.resize(kept);
            output.resize(kept * width);
            Sampler s;
            s.input = buffer.AddFloats(input, 1, "SCALAR", 0, true);
            s.output = buffer.AddFloats(output, int(width), kind == 0 ? "VEC3" : "VEC4", 0, false);
            s.node = node.node;
            s.path = kind == 0 ? "translation" : "rotation";
            samplers.push_back(s);
        }
    }
    return samplers;
}

namespace {

// The range's times on the model's time line: start, end and a clip's loop.
void WriteTimes(Json& json, const AnimationRange& range) {
    Key(json, "start");
    json.Double(range.start);
    Key(json, "end");
    json.Double(range.end);
    if (range.clip) {
        const double loop[2] = {range.clip->loopStart, range.clip->loopEnd};
        Key(json, "loopStart");
        json.Double(std::isfinite(loop[0]) ? loop[0] : 0.0);
        Key(json, "loopEnd");
        json.Double(std::isfinite(loop[1]) ? loop[1] : 0.0);
    }
}

// One scene curve whole: its number in the scene ("index"), the curve's own
// name, numbers and flags, what it drives, and its keys as parallel lists
// (tangents four a key: in X, in Y, out X, out Y).
void WriteCurveJson(Json& json, const Scene& scene, int32_t c) {
    const SceneCurve& curve = scene.curves[size_t(c)];
    const AnimationCurve& data = curve.data;
    json.StartObject();
    Key(json, "index");
    json.Int(c);
    Key(json, "name");
    String(json, data.name.value);
    if (data.name.null) {
        Key(json, "nullName");
        json.Bool(true);
    }
    Key(json, "nameIndex");
    json.Int(data.nameIndex);
    Key(json, "curveIndex");
    json.Int(data.index);
    Key(json, "flags");
    json.Uint(data.flags);
    Key(json, "trailer");
    json.StartArray();
    json.Uint(data.trailer1);
    json.Uint(data.trailer2);
    json.EndArray();
    Key(json, "joint");
    String(json, curve.joint);
    Key(json, "target");
    String(json, curve.targetName);
    Key(json, "node");
    json.Int(curve.node);
    Key(json, "property");
    json.String(kCurvePropertyNames[int(curve.property)]);
    bool shaped = HasTangents(data);
    for (const CurveKey& k : data.keys)
        shaped = shaped || k.interpolation != 0 || k.inTangentX != 0 || k.inTangentY != 0 || k.outTangentX != 0 ||
                 k.outTangentY != 0;
    // Times and values exactly as held (the shortest text that reads back
    // to the same double).
    Key(json, "times");
    json.StartArray();
    for (const CurveKey& k : data.keys) json.Double(k.time);
    json.EndArray();
    Key(json, "values");
    json.StartArray();
    for (const CurveKey& k : data.keys) json.Double(k.value);
    json.EndArray();
    if (shaped) {
        Key(json, "tangents");
        json.StartArray();
        for (const CurveKey& k : data.keys)
            for (float v : {k.inTangentX, k.inTangentY, k.outTangentX, k.outTangentY}) json.Double(double(v));
        json.EndArray();
        Key(json, "interpolation");
        json.StartArray();
        for (const CurveKey& k : data.keys) json.Uint(k.interpolation);
        json.EndArray();
    }
    json.EndObject();
}

}  // namespace

void WriteClipsJson(Json& json, const Scene& scene, const std::vector<AnimationRange>& ranges,
                    const std::vector<std::vector<Sampler>>& animations) {
    // Every curve, keys and tangents as stored, in the scene's extras: a
    // modelling package that re-exports the document keeps those (Blender
    // 3.4 keeps scene and node extras) but resamples the animations and
    // drops their extras; the reader compares its samples with these.
    if (!scene.curves.empty()) {
        Key(json, "curves");
        json.StartArray();
        for (size_t c = 0; c < scene.curves.size(); ++c) WriteCurveJson(json, scene, int32_t(c));
        json.EndArray();
    }
    if (ranges.empty() || !ranges.front().clip) return;
    Key(json, "clips");
    json.StartArray();
    int animation = 0;
    for (size_t a = 0; a < ranges.size(); ++a) {
        json.StartObject();
        Key(json, "name");
        String(json, ranges[a].name);
        WriteTimes(json, ranges[a]);
        Key(json, "tracks");
        json.StartArray();
        for (const SceneTrack& track : ranges[a].clip->tracks) {
            json.StartObject();
            Key(json, "name");
            String(json, track.name);
            Key(json, "curves");
            json.StartArray();
            for (int32_t c : track.curves) json.Int(c);
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
        if (!animations[a].empty()) {
            Key(json, "animation");
            json.Int(animation++);
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteAnimationsJson(Json& json, const std::vector<AnimationRange>& ranges,
                         const std::vector<std::vector<Sampler>>& animations) {
    bool anyAnimation = false;
    for (const auto& samplers : animations) anyAnimation = anyAnimation || !samplers.empty();
    if (!anyAnimation) return;
    Key(json, "animations");
    json.StartArray();
    for (size_t a = 0; a < animations.size(); ++a) {
        if (animations[a].empty()) continue;
        const AnimationRange& range = ranges[a];
        json.StartObject();
        Key(json, "name");
        String(json, range.name);
        Key(json, "channels");
        json.StartArray();
        for (size_t s = 0; s < animations[a].size(); ++s) {
            json.StartObject();
            Key(json, "sampler");
            json.Int(int(s));
            Key(json, "target");
            json.StartObject();
            Key(json, "node");
            json.Int(animations[a][s].node);
            Key(json, "path");
            json.String(animations[a][s].path);
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        Key(json, "samplers");
        json.StartArray();
        for (const Sampler& s : animations[a]) {
            json.StartObject();
            Key(json, "input");
            json.Int(s.input);
            Key(json, "output");
            json.Int(s.output);
            Key(json, "interpolation");
            json.String("LINEAR");
            json.EndObject();
        }
        json.EndArray();
        // The clip's times on the model's time line (the keys start at 0).
        Key(json, "extras");
        json.StartObject();
        WriteTimes(json, range);
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace gltf
