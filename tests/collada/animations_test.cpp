// Animations: curve names to node targets, the value texts of each source,
// the clip marker names and the scene's end time.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <tuple>

#include "scene/names.h"
#include "core/output.h"
#include "tests/collada/xml_query.h"

namespace {

struct AnimScene {
    Model model;
    std::unique_ptr<WrittenDae> dae;
    const TiXmlElement* library = nullptr;

    AnimScene() { model.animation = std::make_unique<AnimationSet>(); }
    // Keys of (time, value, interpolation, in x, in y, out x, out y).
    AnimationCurve& Curve(const char* name, std::vector<std::array<double, 7>> keys, uint16_t flags = 0) {
        model.animation->curves.push_back(std::make_unique<AnimationCurve>());
        AnimationCurve& curve = *model.animation->curves.back();
        curve.name.Set(name);
        curve.flags = flags;
        curve.index = int32_t(model.animation->curves.size() - 1);
        for (const auto& k : keys)
            curve.keys.push_back({k[0], k[1], float(k[3]), float(k[4]), float(k[5]), float(k[6]), uint32_t(k[2])});
        return curve;
    }
    void Clip(const char* name, float start, float end, float loopStart, float loopEnd) {
        model.animation->clips.push_back(std::make_unique<AnimationClip>());
        AnimationClip& c = *model.animation->clips.back();
        c.name.Set(name);
        std::tie(c.start, c.end, c.loopStart, c.loopEnd) = std::tie(start, end, loopStart, loopEnd);
    }
    // What the write printed besides its "Saving" line.
    std::string Write() {
        CapturedOutput out;
        dae = std::make_unique<WrittenDae>(model);
        library = dae->Library("library_animations");
        const std::string text = out.Text();
        return text.substr(text.find('\n') + 1);
    }
    std::string EndTime() {
        Write();
        return TextOf(TiXmlHandle(const_cast<TiXmlElement*>(dae->VisualScene()))
                          .FirstChild("extra")
                          .Child("technique", 1)
                          .FirstChild("end_time")
                          .ToElement());
    }
};

}  // namespace

TEST(Animations, CurveNamesToTargets) {
    struct Row {
        const char* curve;
        const char* target;     // the channel target; the sampler id has the last "/" as "-"
        const char* emptyAnim;  // the "-anim" element before it, or null
    };
    const Row rows[] = {
        {"Gun_rotateX", "JNT[Gun]/rotateX.ANGLE", nullptr},
        {"Gun_ROTATEZ", "JNT[Gun]/rotateZ.ANGLE", nullptr},
        {"ns:Turret_translateY", "JNT[Turret]/translate.Y", nullptr},
        {"a:b:c_translateZ", "JNT[b:c]/translate.Z", nullptr},
        {"Root_rotateZ", "ROOT_LOD[0]/rotateZ.ANGLE", nullptr},
        {"x:rOOT_translateY", "ROOT_LOD[0]/translate.Y", nullptr},
        {"Gun_translateX", "JNT[Gun]/translate.X", "Gun"},
        {"Gun_scaleX", "JNT[Gun]/translate.X", "Gun"},
        {"Hull_Gun_rotateX", "JNT[Hull_Gun]/rotateX.ANGLE", nullptr},
        {"gun-1_rotateY", "JNT[gun-1]/rotateY.ANGLE", nullptr},  // only the last "-" is replaced
        // No "_": the whole name is the joint, on the fallback channel.
        {"ns:Lonely", "JNT[Lonely]/translate.X", "Lonely"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.curve);
        AnimScene s;
        s.Curve(row.curve, {{0, 0}});
        EXPECT_EQ(s.Write(), "");
        std::string sampler = row.target;
        sampler[sampler.rfind('/')] = '-';
        ASSERT_EQ(Kids(s.library).size(), row.emptyAnim ? 2u : 1u);
        if (row.emptyAnim) {
            EXPECT_EQ(PrintXml(s.library->FirstChildElement()),
                      std::string("<animation id=\"") + row.emptyAnim + "-anim\" name=\"" + row.emptyAnim + "\" />");
        }
        const TiXmlElement* animation = s.library->LastChild()->ToElement();
        EXPECT_EQ(Attr(animation->FirstChildElement("sampler"), "id"), sampler);
        EXPECT_EQ(PrintXml(animation->FirstChildElement("channel")),
                  "<channel source=\"#" + sampler + "\" target=\"" + row.target + "\" />");
    }
}

TEST(Animations, SourcesTextsAndFactors) {
    struct Row {
        const char* curve;
        uint16_t flags;
        std::vector<std::array<double, 7>> keys;
        std::vector<std::string> texts;  // input, output, interpolation[, intan, outtan]
        const char* component;           // the output param's name
    };
    const Row rows[] = {
        // 1.5708 x 57.2957763671875 (the float nearest 180/pi) prints 90.0002;
        // the double 180/pi would give 4.41178 for 0.077.
        {"Gun_rotateX", 0, {{0, 1.5708}, {1, 0.077}}, {"0 1 ", "90.0002 4.41177 ", "LINEAR LINEAR "}, "ANGLE"},
        {"Gun_translateY", 2, {{0, 0.1}, {0.0333333, 2}, {123.4567, 1e-7}},
         {"0 0.0333333 123.457 ", "0.1 2 1e-07 ", "LINEAR LINEAR LINEAR "}, "Y"},
        {"Gun_scaleZ", 0, {{2, 1.5708}}, {"2 ", "1.5708 ", "LINEAR "}, "X"},
        {"Gun_rotateY", 0, {}, {"", "", ""}, "ANGLE"},
        {"Gun_rotateY", 1, {{0, 0, 0, 0.25, 1.5708, -0.5, 1}, {1, 1, 7, 2, 0, 123.4567, -1.5708}},
         {"0 1 ", "0 57.2958 ", "LINEAR BEZIER ", "0.25 90.0002 2 0 ", "-0.5 57.2958 123.457 -90.0002 "}, "ANGLE"},
        {"Gun_rotateY", 0xFFFF, {{0, 0, 0, 1, 1, 1, 1}},
         {"0 ", "0 ", "LINEAR ", "1 57.2958 ", "1 57.2958 "}, "ANGLE"},
    };
    const char* suffixes[5] = {"-input", "-output", "-interpolation", "-intan", "-outtan"};
    const char* semantics[5] = {"INPUT", "OUTPUT", "INTERPOLATION", "IN_TANGENT", "OUT_TANGENT"};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.curve) + " flags " + std::to_string(row.flags));
        AnimScene s;
        s.Curve(row.curve, row.keys, row.flags);
        s.Write();
        const TiXmlElement* animation = s.library->LastChild("animation")->ToElement();
        const std::string p = Attr(animation->FirstChildElement("sampler"), "id");
        const std::string k = std::to_string(row.keys.size());
        std::vector<std::string> ids, refs, sems;
        for (size_t i = 0; i < row.texts.size(); ++i) {
            ids.push_back(p + suffixes[i]);
            refs.push_back("#" + ids.back());
            sems.push_back(semantics[i]);
            const TiXmlElement* source = Find(animation, "id", ids[i], "source");
            ASSERT_TRUE(source) << ids[i];
            const bool tangent = i >= 3, names = i == 2;
            const TiXmlElement* array = source->FirstChildElement();
            // (An empty text reads back as an empty element.)
            const std::string tag = names ? "Name_array" : "float_array";
            const std::string head = "<" + tag + " id=\"" + ids[i] + "-array\" count=\"" +
                                     std::to_string(row.keys.size() * (tangent ? 2 : 1)) + "\"";
            EXPECT_EQ(PrintXml(array), row.texts[i].empty() ? head + " />" : head + ">" + row.texts[i] + "</" + tag + ">");
            // Params named for what a reader binds: TIME, the target's
            // component, INTERPOLATION, X and Y of a tangent.
            const std::string params =
                tangent ? "<param name=\"X\" type=\"float\" /><param name=\"Y\" type=\"float\" />"
                : names ? "<param name=\"INTERPOLATION\" type=\"name\" />"
                        : "<param name=\"" + std::string(i == 0 ? "TIME" : row.component) + "\" type=\"float\" />";
            EXPECT_EQ(PrintXml(source->FirstChildElement("technique_common")),
                      "<technique_common><accessor source=\"#" + ids[i] + "-array\" count=\"" + k + "\" stride=\"" +
                          (tangent ? "2" : "1") + "\">" + params + "</accessor></technique_common>");
        }
        EXPECT_EQ(ChildNames(animation, "source", "id"), ids);
        EXPECT_EQ(KidNames(animation).back(), "channel");
        EXPECT_EQ(ChildNames(animation->FirstChildElement("sampler"), "input", "semantic"), sems);
        EXPECT_EQ(ChildNames(animation->FirstChildElement("sampler"), "input", "source"), refs);
    }
}

TEST(Animations, ExtremeValuesNeverTripTheWorkBufferAlert) {
    AnimScene s;
    const double big = -1.234567e+300;
    s.Curve("Gun_rotateX", std::vector<std::array<double, 7>>(50, {-1e-300, big, 1, -3.4e38, -1.17e-38, -3.4e38, -3.4e38}), 1);
    EXPECT_EQ(s.Write(), "");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g ", big * double(57.2957763671875f));
    std::string want;
    for (int i = 0; i < 50; ++i) want += buf;
    EXPECT_EQ(TextOf(Find(&s.dae->doc, "id", "JNT[Gun]-rotateX.ANGLE-output-array")), want);
}

TEST(Animations, ClipMarkerNames) {
    AnimScene s;
    s.Clip("Fire", 1, 3, 1.5f, 2.5f);
    s.Clip("Idle", 0, 0.1f, 0, 0.1f);
    // The differences are taken in single precision: in double the loop start
    // would print 83.5828.
    s.Clip("Open", 26.234f, 200, 109.81675f, 109.81675f);
    s.Write();
    const TiXmlElement* hold = s.dae->Node("HOLD_ANIM");
    ASSERT_TRUE(hold);
    EXPECT_EQ(Attr(hold, "sid"), "HOLD_ANIM");
    std::vector<std::string> names;
    for (const TiXmlElement* node : Kids(hold, "node")) {
        names.push_back(JoinedName(node));
        EXPECT_EQ(TransformText(node, "translate"), "0.000000 0.000000 0.000000");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ANIM[Fire]_ST[1]_EN[3]_LS[0.5]_LE[0.5]",
                                               "ANIM[Idle]_ST[0]_EN[0.1]_LS[0]_LE[0]",
                                               "ANIM[Open]_ST[26.234]_EN[200]_LS[83.5827]_LE[90.1833]"}));
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
        {"no set", false, {}, {}, "0.0333333"},
        {"empty set", true, {}, {}, "0.0333333"},
        {"curve after clips", true, {2, 1}, {{0, 4.5}, {1}}, "4.5"},
        {"clip after curves", true, {2}, {{0, 1}}, "2"},
        {"last key counts, not the largest", true, {}, {{9, 3}}, "3"},
        {"keyless curve", true, {}, {{}}, "0.0333333"},
        {"all before one frame", true, {0.01f}, {{0.02}}, "0.0333333"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        AnimScene s;
        for (float end : row.clipEnds) s.Clip("c", 0, end, 0, end);
        for (const auto& times : row.curveTimes) {
            std::vector<std::array<double, 7>> keys;
            for (double t : times) keys.push_back({t});
            s.Curve("Gun_translateX", keys);
        }
        if (!row.withSet) s.model.animation.reset();
        EXPECT_EQ(s.EndTime(), row.want);
    }
}
