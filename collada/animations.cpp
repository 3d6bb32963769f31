// The animation set in the document: clip markers under "HOLD_ANIM", one
// COLLADA animation per curve driving a joint node's translate or rotate
// value, and the end time of the scene.
#include "collada/animations.h"

#include <string>

#include "collada/make_node.h"
#include "collada/xml_blocks.h"
#include "core/output.h"

namespace {

struct Channel {
    const char* name;
    const char* target;
    const char* component;  // the output value's param name: the part of the target after "."
    double factor;
};

// The rotate factor is the float nearest 180/pi widened to double, not the
// double constant: curve values are radians and the degrees written must
// match what the node pass writes for the same angle.
constexpr double kDegrees = double(57.2957763671875f);

// Index 0 is the fallback for every name not listed and is never compared.
const Channel kChannels[6] = {
    {"translateX", "translate.X", "X", 1.0},         {"translateY", "translate.Y", "Y", 1.0},
    {"translateZ", "translate.Z", "Z", 1.0},         {"rotateX", "rotateX.ANGLE", "ANGLE", kDegrees},
    {"rotateY", "rotateY.ANGLE", "ANGLE", kDegrees}, {"rotateZ", "rotateZ.ANGLE", "ANGLE", kDegrees},
};

int FindChannel(const std::string& name) {
    for (int i = 1; i < 6; ++i)
        if (EqualNoCase(name, kChannels[i].name)) return i;
    return 0;
}

// The texts used to be built in a work buffer of 30 bytes per key; the alert
// still tells when a text would not have fitted, but the text is never cut.
void CheckWorkBuffer(const std::string& text, size_t keyCount) {
    if (text.size() > 30 * keyCount) OutText("ALERT: Work buffer overflow!\n");
}

// An accessor with one param per name, each of the given type. A reader binds
// the values by these names (a value whose param has no name is skipped):
// "TIME" for the key times, the target's component for the values,
// "INTERPOLATION" for the interpolation names, "X" (time) and "Y" (value) for
// a tangent pair.
struct Params {
    const char* type;
    const char* name;
    const char* second = nullptr;  // a tangent pair's second param
};

void AddAccessor(TiXmlElement* source, const std::string& arrayId, size_t count, int stride, const Params& params) {
    TiXmlElement* technique = AddChildElement(source, "technique_common");
    TiXmlElement* accessor = AddChildElement(technique, "accessor");
    SetAttr(accessor, "source", "#" + arrayId);
    SetAttr(accessor, "count", int64_t(count));
    SetAttr(accessor, "stride", stride);
    TiXmlElement* param = AddChildElement(accessor, "param");
    SetAttr(param, "name", params.name);
    SetAttr(param, "type", params.type);
    if (params.second) {
        param = AddChildElement(accessor, "param");
        SetAttr(param, "name", params.second);
        SetAttr(param, "type", params.type);
    }
}

// One "source" with its array (float_array or Name_array) and accessor.
void AddSource(TiXmlElement* animation, const std::string& id, const char* arrayName, std::string&& text,
               size_t arrayCount, size_t keyCount, int stride, const Params& params) {
    CheckWorkBuffer(text, keyCount);
    TiXmlElement* source = AddChildElement(animation, "source");
    SetAttr(source, "id", id);
    TiXmlElement* array = AddChildElement(source, arrayName);
    SetAttr(array, "id", id + "-array");
    SetAttr(array, "count", int64_t(arrayCount));
    AddText(array, std::move(text));
    AddAccessor(source, id + "-array", keyCount, stride, params);
}

void AddInput(TiXmlElement* sampler, const char* semantic, const std::string& source) {
    TiXmlElement* input = AddChildElement(sampler, "input");
    SetAttr(input, "semantic", semantic);
    SetAttr(input, "source", "#" + source);
}

// Tangent pairs: X on the time axis as stored, Y on the value axis scaled.
std::string TangentText(const AnimationCurve& curve, double factor, bool in) {
    std::string text;
    text.reserve(curve.keys.size() * 28);
    for (const CurveKey& key : curve.keys) {
        AppendG(text, double(in ? key.inTangentX : key.outTangentX));
        text += ' ';
        AppendG(text, double(in ? key.inTangentY : key.outTangentY) * factor);
        text += ' ';
    }
    return text;
}

void WriteCurveAnimation(TiXmlElement* library, const std::string& prefix, const AnimationCurve& curve,
                         const Channel& channel) {
    const double factor = channel.factor;
    TiXmlElement* animation = AddChildElement(library, "animation");
    if (!animation) return;
    const size_t k = curve.keys.size();
    const bool tangents = (curve.flags & 1) != 0;

    std::string text;
    text.reserve(k * 14);
    for (const CurveKey& key : curve.keys) {
        AppendG(text, key.time);
        text += ' ';
    }
    AddSource(animation, prefix + "-input", "float_array", std::move(text), k, k, 1, {"float", "TIME"});

    text.clear();
    text.reserve(k * 14);
    for (const CurveKey& key : curve.keys) {
        AppendG(text, key.value * factor);
        text += ' ';
    }
    AddSource(animation, prefix + "-output", "float_array", std::move(text), k, k, 1,
              {"float", channel.component});

    text.clear();
    text.reserve(k * 7);
    for (const CurveKey& key : curve.keys) text += key.interpolation != 0 ? "BEZIER " : "LINEAR ";
    AddSource(animation, prefix + "-interpolation", "Name_array", std::move(text), k, k, 1, {"name", "INTERPOLATION"});

    // A tangent is a pair over a stride of 2: two float params, X and Y.
    if (tangents) {
        const Params pair = {"float", "X", "Y"};
        AddSource(animation, prefix + "-intan", "float_array", TangentText(curve, factor, true), 2 * k, k, 2, pair);
        AddSource(animation, prefix + "-outtan", "float_array", TangentText(curve, factor, false), 2 * k, k, 2, pair);
    }

    TiXmlElement* sampler = AddChildElement(animation, "sampler");
    SetAttr(sampler, "id", prefix);
    AddInput(sampler, "INPUT", prefix + "-input");
    AddInput(sampler, "OUTPUT", prefix + "-output");
    AddInput(sampler, "INTERPOLATION", prefix + "-interpolation");
    if (tangents) {
        AddInput(sampler, "IN_TANGENT", prefix + "-intan");
        AddInput(sampler, "OUT_TANGENT", prefix + "-outtan");
    }

    // The node id may hold "-" itself (a joint named "gun-1"); only the one
    // joining it to the target becomes the path separator.
    std::string target = prefix;
    target[target.rfind('-')] = '/';
    TiXmlElement* binding = AddChildElement(animation, "channel");
    SetAttr(binding, "source", "#" + prefix);
    SetAttr(binding, "target", target);
}

void WriteClipMarkers(TiXmlElement* lodRoot, const AnimationSet& set) {
    static const float kZero[3] = {0, 0, 0};
    TiXmlElement* hold = MakeNode(lodRoot, "HOLD_ANIM", kZero, kZero);
    if (!hold) return;
    for (const auto& clip : set.clips) {
        if (!clip) continue;
        // The loop lengths are float differences, as the clip times are stored.
        const float loopIn = clip->loopStart - clip->start;
        const float loopOut = clip->end - clip->loopEnd;
        std::string name = "ANIM[";
        name += clip->name.CStr();
        name += "]_ST[";
        AppendG(name, double(clip->start));
        name += "]_EN[";
        AppendG(name, double(clip->end));
        name += "]_LS[";
        AppendG(name, double(loopIn));
        name += "]_LE[";
        AppendG(name, double(loopOut));
        name += ']';
        MakeNode(hold, name, kZero, kZero);
    }
}

}  // namespace

void WriteAnimations(DaeState& state) {
    if (!state.model || !state.model->animation) return;
    const AnimationSet& set = *state.model->animation;
    if (!state.lodRoots.empty() && state.lodRoots[0]) WriteClipMarkers(state.lodRoots[0], set);
    if (!state.libraryAnimations) return;

    for (const auto& curve : set.curves) {
        if (!curve) continue;
        // "[prefix:]joint_channel". A name without "_" has no channel: the
        // whole name is the joint and the fallback channel applies, as for
        // any channel the table does not know, so no curve is dropped.
        const std::string full = curve->name.CStr();
        const size_t cut = full.rfind('_');
        const std::string jointPart = cut == std::string::npos ? full : full.substr(0, cut);
        const std::string channelName = cut == std::string::npos ? std::string() : full.substr(cut + 1);
        const size_t colon = jointPart.find(':');
        const std::string joint = colon == std::string::npos ? jointPart : jointPart.substr(colon + 1);

        const int channel = FindChannel(channelName);
        const std::string nodeId = EqualNoCase(joint, "Root") ? std::string("ROOT_LOD[0]") : "JNT[" + joint + "]";
        const std::string prefix = nodeId + "-" + kChannels[channel].target;

        if (channel == 0) {
            TiXmlElement* marker = AddChildElement(state.libraryAnimations, "animation");
            SetAttr(marker, "id", joint + "-anim");
            SetAttr(marker, "name", joint);
        }
        WriteCurveAnimation(state.libraryAnimations, prefix, *curve, kChannels[channel]);
    }
}

double AnimationEndTime(const Model& model) {
    double end = 1.0 / 30.0;
    if (!model.animation) return end;
    for (const auto& clip : model.animation->clips)
        if (clip && double(clip->end) > end) end = double(clip->end);
    for (const auto& curve : model.animation->curves)
        if (curve && !curve->keys.empty() && curve->keys.back().time > end) end = curve->keys.back().time;
    return end;
}
