#include "collada/animations.h"

#include <string>

#include "collada/extras.h"
#include "collada/ids.h"
#include "collada/xml_blocks.h"
#include "core/output.h"
#include "scene/conventions.h"

namespace {

// The rotate factor is the single precision one widened to double: curve
// values are radians and the degrees written must match what the nodes
// carry for the same angle.
constexpr double kDegrees = double(kDegreesPerRadian);

// The "<node>-<target>" text of each property (kOther drives translate.X),
// and the output value's param name: the part of the target after ".".
struct Target {
    const char* path;
    const char* component;
    double factor;
};
Target TargetOf(CurveProperty property) {
    switch (property) {
        case CurveProperty::kTranslateY: return {"translate.Y", "Y", 1.0};
        case CurveProperty::kTranslateZ: return {"translate.Z", "Z", 1.0};
        case CurveProperty::kRotateX: return {"rotateX.ANGLE", "ANGLE", kDegrees};
        case CurveProperty::kRotateY: return {"rotateY.ANGLE", "ANGLE", kDegrees};
        case CurveProperty::kRotateZ: return {"rotateZ.ANGLE", "ANGLE", kDegrees};
        case CurveProperty::kOther:
        case CurveProperty::kTranslateX: break;
    }
    return {"translate.X", "X", 1.0};
}

// An accessor's params: one per name, each of the given type. A reader binds
// the values by these names (a value whose param has no name is skipped):
// "TIME" for the key times, the target's component for the values,
// "INTERPOLATION" for the interpolation names, "X" (time) and "Y" (value) for
// a tangent pair.
struct Params {
    const char* type;
    const char* name;
    const char* second = nullptr;  // a tangent pair's second param
};

// The texts used to be built in a work buffer of 30 bytes per key; the alert
// still tells when a text would not have fitted, but the text is never cut.
void CheckWorkBuffer(const std::string& text, size_t keyCount) {
    if (text.size() > 30 * keyCount) OutText("ALERT: Work buffer overflow!\n");
}

// One "source" with its array (float_array or Name_array) and accessor.
void AddSource(TiXmlElement* animation, const std::string& id, const char* arrayName, std::string&& text,
               size_t arrayCount, size_t keyCount, int stride, const Params& params) {
    CheckWorkBuffer(text, keyCount);
    TiXmlElement* source = AddChildElement(animation, "source");
    SetAttr(source, "id", id);
    TiXmlElement* array = AddChildElement(source, arrayName);
    SetAttr(array, "id", ArrayId(id));
    SetAttr(array, "count", int64_t(arrayCount));
    AddText(array, std::move(text));
    TiXmlElement* accessor = AddChildElement(AddChildElement(source, "technique_common"), "accessor");
    SetAttr(accessor, "source", Uri(ArrayId(id)));
    SetAttr(accessor, "count", int64_t(keyCount));
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

void AddInput(TiXmlElement* sampler, const char* semantic, const std::string& source) {
    TiXmlElement* input = AddChildElement(sampler, "input");
    SetAttr(input, "semantic", semantic);
    SetAttr(input, "source", Uri(source));
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

void AddCurve(TiXmlElement* library, const SceneCurve& scene) {
    const AnimationCurve& curve = scene.data;
    const Target target = TargetOf(scene.property);
    const std::string prefix = scene.targetName + "-" + target.path;
    const double factor = target.factor;
    TiXmlElement* animation = AddChildElement(library, "animation");
    const size_t k = curve.keys.size();
    const bool tangents = HasTangents(curve);

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
    AddSource(animation, prefix + "-output", "float_array", std::move(text), k, k, 1, {"float", target.component});

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
    TiXmlElement* channel = AddChildElement(animation, "channel");
    SetAttr(channel, "source", Uri(prefix));
    SetAttr(channel, "target", scene.targetName + "/" + target.path);
    AddCurveExtra(animation, scene, factor);
}

}  // namespace

void AddAnimations(TiXmlElement* library, const Scene& scene) {
    for (const SceneCurve& curve : scene.curves) {
        // translate.X doubles as the target of every property not listed, and
        // each curve driving it is preceded by a marker naming its joint.
        if (curve.property == CurveProperty::kOther || curve.property == CurveProperty::kTranslateX) {
            TiXmlElement* marker = AddChildElement(library, "animation");
            SetAttr(marker, "id", curve.joint + "-anim");
            SetAttr(marker, "name", curve.joint);
        }
        AddCurve(library, curve);
    }
}
