// Animations: curve names to node targets, the value texts of each source,
// the clip marker names and the scene's end time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collada/animations.h"
#include "collada/make_node.h"
#include "collada/xml_blocks.h"
#include "core/output.h"
#include "tests/collada/node_lookup.h"

namespace {

struct AnimScene {
    Model model;
    TiXmlDocument doc;
    TiXmlElement* collada = nullptr;
    DaeState state;

    AnimScene() {
        collada = new TiXmlElement("COLLADA");
        doc.LinkEndChild(collada);
        state.model = &model;
        state.libraryAnimations = AddChildElement(collada, "library_animations");
        state.visualScene = AddChildElement(collada, "visual_scene");
        state.lodRoots.push_back(MakeNode(state.visualScene, "ROOT_LOD[0]", nullptr, nullptr));
        model.animation = std::make_unique<AnimationSet>();
    }

    AnimationCurve& AddCurve(const char* name, uint16_t flags = 0) {
        auto curve = std::make_unique<AnimationCurve>();
        curve->name.Set(name);
        curve->flags = flags;
        curve->index = int32_t(model.animation->curves.size());
        model.animation->curves.push_back(std::move(curve));
        return *model.animation->curves.back();
    }

    void AddClip(const char* name, float start, float end, float loopStart, float loopEnd) {
        auto clip = std::make_unique<AnimationClip>();
        clip->name.Set(name);
        clip->start = start;
        clip->end = end;
        clip->loopStart = loopStart;
        clip->loopEnd = loopEnd;
        model.animation->clips.push_back(std::move(clip));
    }

    TiXmlElement* Source(TiXmlElement* animation, const std::string& id) {
        return FindElement(animation, "source", "id", id);
    }
};

void AddKey(AnimationCurve& curve, double time, double value, uint32_t interpolation = 0, float inX = 0,
            float inY = 0, float outX = 0, float outY = 0) {
    CurveKey key;
    key.time = time;
    key.value = value;
    key.interpolation = interpolation;
    key.inTangentX = inX;
    key.inTangentY = inY;
    key.outTangentX = outX;
    key.outTangentY = outY;
    curve.keys.push_back(key);
}

}  // namespace

TEST(Animations, CurveNamesToTargets) {
    struct Row {
        const char* curve;
        const char* sampler;   // the id prefix
        const char* target;    // the channel target
        const char* emptyAnim; // the "-anim" element before it, or null
    };
    const Row rows[] = {
        {"Gun_rotateX", "JNT[Gun]-rotateX.ANGLE", "JNT[Gun]/rotateX.ANGLE", nullptr},
        {"Gun_rotateY", "JNT[Gun]-rotateY.ANGLE", "JNT[Gun]/rotateY.ANGLE", nullptr},
        {"Gun_ROTATEZ", "JNT[Gun]-rotateZ.ANGLE", "JNT[Gun]/rotateZ.ANGLE", nullptr},
        {"ns:Turret_translateY", "JNT[Turret]-translate.Y", "JNT[Turret]/translate.Y", nullptr},
        {"a:b:c_translateZ", "JNT[b:c]-translate.Z", "JNT[b:c]/translate.Z", nullptr},
        {"Root_rotateZ", "ROOT_LOD[0]-rotateZ.ANGLE", "ROOT_LOD[0]/rotateZ.ANGLE", nullptr},
        {"x:rOOT_translateY", "ROOT_LOD[0]-translate.Y", "ROOT_LOD[0]/translate.Y", nullptr},
        {"Gun_translateX", "JNT[Gun]-translate.X", "JNT[Gun]/translate.X", "Gun"},
        {"Gun_scaleX", "JNT[Gun]-translate.X", "JNT[Gun]/translate.X", "Gun"},
        {"Root_visibility", "ROOT_LOD[0]-translate.X", "ROOT_LOD[0]/translate.X", "Root"},
        {"Hull_Gun_rotateX", "JNT[Hull_Gun]-rotateX.ANGLE", "JNT[Hull_Gun]/rotateX.ANGLE", nullptr},
        // Only the last "-" joins node id and target.
        {"gun-1_rotateY", "JNT[gun-1]-rotateY.ANGLE", "JNT[gun-1]/rotateY.ANGLE", nullptr},
        // No "_": the whole name is the joint, on the fallback channel.
        {"ns:Lonely", "JNT[Lonely]-translate.X", "JNT[Lonely]/translate.X", "Lonely"},
        {"Gun_", "JNT[Gun]-translate.X", "JNT[Gun]/translate.X", "Gun"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.curve);
        AnimScene s;
        AnimationCurve& curve = s.AddCurve(row.curve);
        AddKey(curve, 0, 0);
        CapturedOutput out;
        WriteAnimations(s.state);
        EXPECT_EQ(out.Text(), "");
        std::vector<std::string> ids = ChildNames(s.state.libraryAnimations, "animation", "id");
        TiXmlElement* animation = s.state.libraryAnimations->FirstChildElement("animation");
        if (row.emptyAnim) {
            ASSERT_EQ(ids.size(), 2u);
            EXPECT_EQ(ids[0], std::string(row.emptyAnim) + "-anim");
            EXPECT_EQ(Attr(animation, "name"), row.emptyAnim);
            EXPECT_FALSE(animation->FirstChild());
            animation = animation->NextSiblingElement("animation");
        } else {
            ASSERT_EQ(ids.size(), 1u);
        }
        ASSERT_TRUE(animation);
        EXPECT_EQ(Attr(animation->FirstChildElement("sampler"), "id"), row.sampler);
        TiXmlElement* channel = animation->FirstChildElement("channel");
        EXPECT_EQ(Attr(channel, "source"), std::string("#") + row.sampler);
        EXPECT_EQ(Attr(channel, "target"), row.target);
    }
}

TEST(Animations, ValueTextsAndFactors) {
    struct Row {
        const char* curve;
        std::vector<double> times, values;
        const char* input;
        const char* output;
    };
    const Row rows[] = {
        // 1.5708 x 57.2957763671875 (the float nearest 180/pi) prints 90.0002.
        {"Gun_rotateX", {0, 1}, {0, 1.5708}, "0 1 ", "0 90.0002 "},
        {"Gun_rotateZ", {0.5}, {-3.14159265}, "0.5 ", "-180 "},
        // The float factor, not the double 180/pi (which gives 4.41178).
        {"Gun_rotateY", {0}, {0.077}, "0 ", "4.41177 "},
        {"Gun_translateY", {0, 0.0333333, 123.4567}, {0.1, 2, 1e-7}, "0 0.0333333 123.457 ", "0.1 2 1e-07 "},
        {"Gun_scaleZ", {2}, {1.5708}, "2 ", "1.5708 "},
        {"Gun_rotateY", {}, {}, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.curve);
        AnimScene s;
        AnimationCurve& curve = s.AddCurve(row.curve);
        for (size_t i = 0; i < row.times.size(); ++i) AddKey(curve, row.times[i], row.values[i]);
        WriteAnimations(s.state);
        TiXmlElement* animation = s.state.libraryAnimations->LastChild("animation")->ToElement();
        const std::string p = Attr(animation->FirstChildElement("sampler"), "id");
        const std::string k = std::to_string(row.times.size());
        std::string linear;
        for (size_t i = 0; i < row.times.size(); ++i) linear += "LINEAR ";
        struct Source {
            const char* suffix;
            const char* array;
            const char* type;
            std::string text;
        };
        const Source sources[] = {{"-input", "float_array", "float", row.input},
                                  {"-output", "float_array", "float", row.output},
                                  {"-interpolation", "Name_array", "name", linear}};
        for (const Source& src : sources) {
            SCOPED_TRACE(src.suffix);
            TiXmlElement* source = s.Source(animation, p + src.suffix);
            ASSERT_TRUE(source);
            TiXmlElement* array = source->FirstChildElement(src.array);
            ASSERT_TRUE(array);
            EXPECT_EQ(Attr(array, "id"), p + src.suffix + "-array");
            EXPECT_EQ(Attr(array, "count"), k);
            EXPECT_EQ(Text(array), src.text);
            TiXmlElement* accessor = FindElement(source, "accessor", "source", "#" + p + src.suffix + "-array");
            ASSERT_TRUE(accessor);
            EXPECT_EQ(Attr(accessor, "count"), k);
            EXPECT_EQ(Attr(accessor, "stride"), "1");
            EXPECT_EQ(ChildNames(accessor, "param", "type"), std::vector<std::string>{src.type});
            EXPECT_EQ(Attr(accessor->FirstChildElement("param"), "name"), "<none>");
        }
    }
}

TEST(Animations, TangentSourcesOnlyWithFlagBit0) {
    struct Row {
        uint16_t flags;
        std::vector<std::string> sources;
        std::vector<std::string> semantics;
    };
    const Row rows[] = {
        {0, {"-input", "-output", "-interpolation"}, {"INPUT", "OUTPUT", "INTERPOLATION"}},
        {2, {"-input", "-output", "-interpolation"}, {"INPUT", "OUTPUT", "INTERPOLATION"}},
        {1,
         {"-input", "-output", "-interpolation", "-intan", "-outtan"},
         {"INPUT", "OUTPUT", "INTERPOLATION", "IN_TANGENT", "OUT_TANGENT"}},
        {0xFFFF,
         {"-input", "-output", "-interpolation", "-intan", "-outtan"},
         {"INPUT", "OUTPUT", "INTERPOLATION", "IN_TANGENT", "OUT_TANGENT"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        AnimScene s;
        AnimationCurve& curve = s.AddCurve("Gun_rotateY", row.flags);
        AddKey(curve, 0, 0, 0, 0.25f, 1.5708f, -0.5f, 1);
        AddKey(curve, 1, 1, 7, 2, 0, 123.4567f, -1.5708f);
        WriteAnimations(s.state);
        TiXmlElement* animation = s.state.libraryAnimations->FirstChildElement("animation");
        const std::string p = "JNT[Gun]-rotateY.ANGLE";
        std::vector<std::string> want;
        for (const std::string& suffix : row.sources) want.push_back(p + suffix);
        EXPECT_EQ(ChildNames(animation, "source", "id"), want);
        EXPECT_EQ(ChildValues(animation).back(), "channel");
        TiXmlElement* sampler = animation->FirstChildElement("sampler");
        EXPECT_EQ(ChildNames(sampler, "input", "semantic"), row.semantics);
        std::vector<std::string> refs;
        for (const std::string& id : want) refs.push_back("#" + id);
        EXPECT_EQ(ChildNames(sampler, "input", "source"), refs);
        EXPECT_EQ(Text(FindElement(animation, "Name_array", "id", p + "-interpolation-array")), "LINEAR BEZIER ");
        if (!(row.flags & 1)) continue;
        struct Tangent {
            const char* suffix;
            const char* text;  // X as stored, Y scaled to degrees
        };
        const Tangent tangents[] = {{"-intan", "0.25 90.0002 2 0 "}, {"-outtan", "-0.5 57.2958 123.457 -90.0002 "}};
        for (const Tangent& t : tangents) {
            SCOPED_TRACE(t.suffix);
            TiXmlElement* source = s.Source(animation, p + t.suffix);
            TiXmlElement* array = FindElement(source, "float_array", "id", p + t.suffix + "-array");
            ASSERT_TRUE(array);
            EXPECT_EQ(Attr(array, "count"), "4");
            EXPECT_EQ(Text(array), t.text);
            TiXmlElement* accessor = FindElement(source, "accessor", "source", "#" + p + t.suffix + "-array");
            ASSERT_TRUE(accessor);
            EXPECT_EQ(Attr(accessor, "count"), "2");
            EXPECT_EQ(Attr(accessor, "stride"), "2");
            // One param of type "name": the shape these files have always had.
            EXPECT_EQ(ChildNames(accessor, "param", "type"), std::vector<std::string>{"name"});
        }
    }
}

TEST(Animations, ExtremeValuesNeverTripTheWorkBufferAlert) {
    AnimScene s;
    AnimationCurve& curve = s.AddCurve("Gun_rotateX", 1);
    for (int i = 0; i < 50; ++i)
        AddKey(curve, -1.234567e-300, -1.234567e+300, 1, -3.4e38f, -1.17e-38f, -3.4e38f, -3.4e38f);
    CapturedOutput out;
    WriteAnimations(s.state);
    EXPECT_EQ(out.Text(), "");
    TiXmlElement* out_array =
        FindElement(s.collada, "float_array", "id", "JNT[Gun]-rotateX.ANGLE-output-array");
    std::string want;
    for (int i = 0; i < 50; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g ", -1.234567e+300 * double(57.2957763671875f));
        want += buf;
    }
    EXPECT_EQ(Text(out_array), want);
}

TEST(Animations, ClipMarkerNames) {
    struct Row {
        const char* name;
        float start, end, loopStart, loopEnd;
        const char* want;
    };
    const Row rows[] = {
        {"Fire", 1, 3, 1.5f, 2.5f, "ANIM[Fire]_ST[1]_EN[3]_LS[0.5]_LE[0.5]"},
        {"Idle", 0, 0.1f, 0, 0.1f, "ANIM[Idle]_ST[0]_EN[0.1]_LS[0]_LE[0]"},
        // The differences are taken in single precision: in double the
        // loop start would print 83.5828.
        {"Open", 26.234f, 200, 109.81675f, 109.81675f, "ANIM[Open]_ST[26.234]_EN[200]_LS[83.5827]_LE[90.1833]"},
    };
    AnimScene s;
    for (const Row& row : rows) s.AddClip(row.name, row.start, row.end, row.loopStart, row.loopEnd);
    WriteAnimations(s.state);
    TiXmlElement* hold = ChildNode(s.state.lodRoots[0], "HOLD_ANIM");
    ASSERT_TRUE(hold);
    EXPECT_EQ(Attr(hold, "sid"), "HOLD_ANIM");
    TiXmlElement* node = hold->FirstChildElement("node");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(node);
        EXPECT_EQ(JoinedName(node), row.want);
        EXPECT_EQ(TransformText(node, "translate"), "0.000000 0.000000 0.000000");
        node = node->NextSiblingElement("node");
    }
    EXPECT_FALSE(node);
}

TEST(Animations, NothingWithoutAnAnimationSet) {
    AnimScene s;
    s.model.animation.reset();
    WriteAnimations(s.state);
    EXPECT_FALSE(s.state.libraryAnimations->FirstChild());
    EXPECT_FALSE(s.state.lodRoots[0]->FirstChildElement("node"));
}

TEST(Animations, EndTime) {
    struct Row {
        const char* label;
        bool withSet;
        std::vector<float> clipEnds;
        std::vector<std::vector<double>> curveTimes;
        const char* want;  // "%g"
    };
    const Row rows[] = {
        {"no_set", false, {}, {}, "0.0333333"},
        {"empty_set", true, {}, {}, "0.0333333"},
        {"curve_after_clips", true, {2, 1}, {{0, 4.5}, {1}}, "4.5"},
        {"clip_after_curves", true, {2}, {{0, 1}}, "2"},
        {"last_key_counts_not_the_largest", true, {}, {{9, 3}}, "3"},
        {"keyless_curve", true, {}, {{}}, "0.0333333"},
        {"all_before_one_frame", true, {0.01f}, {{0.02}}, "0.0333333"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        AnimScene s;
        if (!row.withSet) s.model.animation.reset();
        for (float end : row.clipEnds) s.AddClip("c", 0, end, 0, end);
        for (const auto& times : row.curveTimes) {
            AnimationCurve& curve = s.AddCurve("Gun_translateX");
            for (double t : times) AddKey(curve, t, 0);
        }
        EXPECT_EQ(FormatG(AnimationEndTime(s.model)), row.want);
    }
}
