// The way back from a scene to the model: every object the scene build
// shows or records comes back as it was stored, through the model writer and
// the readers; and the scene built again from it is the scene it came from.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "model/joints.h"
#include "model/read_model.h"
#include "scene/check_scene.h"
#include "scene/model_from_scene.h"
#include "scene/names.h"
#include "scene/object_facts.h"
#include "scene/scene_equal.h"
#include "tests/support/edge_models.h"
#include "tests/support/test_util.h"

namespace {

// BuildScene runs the scene hook; here only the invariants, so the way back
// is tested apart from the documents.
struct InvariantsOnly {
    InvariantsOnly() {
        SetSceneBuiltHook([](const Scene& scene) {
            for (const std::string& problem : CheckScene(scene)) ADD_FAILURE() << "scene invariant: " << problem;
        });
    }
    ~InvariantsOnly() { SetSceneBuiltHook(CheckSceneBuilt); }
};

struct Files {
    Bytes zem, mad;
};

Files Write(const Model& model) {
    return {BuildZem(model), model.animation ? BuildMad(*model.animation) : Bytes()};
}

// A model read as the tool reads it; whole unless the test model holds damage.
std::unique_ptr<Model> Read(const Files& files, bool whole = true) {
    std::vector<std::string> problems;
    std::unique_ptr<Model> model = ReadZemChecked(files.zem, &problems);
    EXPECT_TRUE(model && problems.empty() && (!whole || !model->damage)) << (model ? model->damage.first : "no model");
    if (!model) return model;
    if (!files.mad.empty()) {
        model->animation = ReadMadChecked(files.mad, &problems);
        EXPECT_TRUE(model->animation && problems.empty() && !model->animation->damage) << "animation";
    }
    ResolveJoints(*model);
    return model;
}

Bytes Chunk(const std::function<void(ByteWriter&)>& write) {
    ByteWriter w;
    write(w);
    return w.bytes;
}

// Every object of the kinds the way back rebuilds, in the file's layout
// (collision bounds aside: they are regenerated), one text per kind.
std::vector<std::pair<std::string, Bytes>> Objects(const Model& m) {
    std::vector<std::pair<std::string, Bytes>> out;
    out.push_back({"version and type", Chunk([&](ByteWriter& w) {
                       PutU32(w, m.version);
                       PutCounted(w, m.typeName.value);
                   })});
    out.push_back({"joints", Chunk([&](ByteWriter& w) { AppendJointsChunk(w, m.joints); })});
    out.push_back({"markers", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.markers) AppendMarkerForm(w, *x);
                   })});
    out.push_back({"dock paths", Chunk([&](ByteWriter& w) { AppendDockChunk(w, m.dockPaths); })});
    out.push_back({"navigation lights", Chunk([&](ByteWriter& w) { AppendNavLightsChunk(w, m.navLights); })});
    out.push_back({"engine shapes", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.engineShapes) AppendEngineShapeChunk(w, *x);
                   })});
    out.push_back({"engine burns", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.engineBurns) AppendEngineBurnChunk(w, *x);
                   })});
    out.push_back({"collision meshes", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.collisionMeshes) {
                           CollisionMesh col = *x;
                           col.bounds = Bounds();
                           AppendCollisionForm(w, col);
                       }
                   })});
    out.push_back({"information entries", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.infoEntries) PutCounted(w, x->key.value), PutCounted(w, x->value.value);
                   })});
    out.push_back({"materials", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.materials) AppendMaterialChunk(w, *x);
                   })});
    out.push_back({"image facts", Chunk([&](ByteWriter& w) {
                       for (const auto& x : m.images) {
                           PutCounted(w, x->name.value);
                           PutCounted(w, x->format.value);
                           PutU32(w, uint32_t(x->levels.empty()));
                           if (!x->levels.empty()) PutI32(w, x->levels[0].width), PutI32(w, x->levels[0].height);
                       }
                   })});
    out.push_back({"animation set", m.animation ? BuildMad(*m.animation) : Bytes()});
    out.push_back({"animation names", Chunk([&](ByteWriter& w) {
                       if (!m.animation) return;
                       PutBytes(w, m.animation->stringTable.data(), m.animation->stringTable.size());
                       for (const AnimationName& n : m.animation->names) PutCounted(w, n.name.value);
                       for (const auto& clip : m.animation->clips) {
                           PutI32(w, clip->nameIndex);
                           for (const auto& t : clip->tracks) {
                               PutI32(w, t->nameIndex);
                               for (const CurveLink& link : t->links)
                                   PutCounted(w, link.curveName.value), PutU32(w, link.connected);
                           }
                       }
                       for (const auto& curve : m.animation->curves) PutI32(w, curve->nameIndex);
                   })});
    return out;
}

void ExpectSameObjects(const Model& expected, const Model& actual, const std::string& where) {
    const auto a = Objects(expected), b = Objects(actual);
    for (size_t k = 0; k < a.size(); ++k) {
        const Bytes& x = a[k].second;
        const Bytes& y = b[k].second;
        if (x == y) continue;
        const size_t at = size_t(std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin());
        ADD_FAILURE() << where << ": " << a[k].first << " differ from byte " << at << " of " << x.size() << " / "
                      << y.size();
    }
}

struct Case {
    const char* name;
    std::function<std::unique_ptr<Model>()> build;
};

std::vector<Case> Cases() {
    return {
        {"sample",
         [] {
             auto m = BuildSampleModel();
             m->animation = BuildSampleAnimation();
             return m;
         }},
        {"rich",
         [] {
             auto m = RichModel();
             m->animation = BuildSampleAnimation();
             return m;
         }},
        {"edge", ObjectEdgeModel},
        {"joints only",
         [] {
             auto m = std::make_unique<Model>();
             Add(m->joints).name.Set("Base");  // a root joint not named "Root"
             Joint& child = Add(m->joints);
             child.name.Set("Child");
             child.parentName.Set("base");
             // No node: a second root, and a parent loop.
             for (const char* names : {"Extra", "LoopA:LoopB", "LoopB:LoopA"}) {
                 const std::string pair = names;
                 Joint& j = Add(m->joints);
                 j.name.Set(pair.substr(0, pair.find(':')));
                 if (pair.find(':') != std::string::npos) j.parentName.Set(pair.substr(pair.find(':') + 1));
                 j.scale[1] = 0.5f, j.axis[2] = 0.25f, j.flags[2] = 3;
             }
             return m;
         }},
    };
}

// The model and the scene a test model stands for, read as the tool reads it.
struct Original {
    Files files;
    std::unique_ptr<Model> model;
    std::unique_ptr<Scene> scene;
};

Original Prepare(const Case& c) {
    Original o;
    o.files = Write(*c.build());
    o.model = Read(o.files, false);
    if (o.model) o.scene = BuildScene(*o.model, SceneOptions());
    return o;
}

}  // namespace

TEST(WayBack, ObjectsComeBackThroughTheFiles) {
    InvariantsOnly hook;
    CapturedOutput quiet;
    for (const Case& c : Cases()) {
        Original o = Prepare(c);
        ASSERT_TRUE(o.scene) << c.name;
        WayBackReport report;
        std::unique_ptr<Model> back = ModelFromScene(*o.scene, report);
        // The rich model's image stored without its bytes has no pixels to
        // give back.
        const std::vector<std::string> defaults =
            std::string(c.name) == "rich" ? std::vector<std::string>{"image pixels"} : std::vector<std::string>{};
        EXPECT_EQ(report.defaults, defaults) << c.name;
        // A holder node only for a model with objects of its kind.
        bool colours = false;
        for (const auto& material : o.model->materials)
            for (const MaterialParam& param : material->params) colours = colours || param.type == kParamColour;
        for (const auto& [holder, held] : {std::make_pair(kHoldDockName, !o.model->dockPaths.empty()),
                                           std::make_pair(kHoldParamsName, colours)})
            EXPECT_EQ(std::count_if(o.scene->nodes.begin(), o.scene->nodes.end(),
                                    [&](const SceneNode& n) { return n.name == holder; }),
                      held ? 1 : 0) << c.name << " " << holder;
        // As rebuilt (the names, table and links as a read gives them) and
        // as written and read again.
        ExpectSameObjects(*o.model, *back, std::string(c.name) + " rebuilt");
        // (An image stored without its bytes comes back so.)
        std::unique_ptr<Model> again = Read(Write(*back), !o.model->damage);
        ASSERT_TRUE(again) << c.name;
        ExpectSameObjects(*o.model, *again, std::string(c.name) + " read back");

        // The scene again, with the meshes, glows and pixels this step leaves
        // to the others taken from the original.
        std::unique_ptr<Model> fresh = Read(o.files, false);
        again->multiMeshes = std::move(fresh->multiMeshes);
        again->goblinMeshes = std::move(fresh->goblinMeshes);
        again->glows = std::move(fresh->glows);
        ASSERT_EQ(again->images.size(), fresh->images.size()) << c.name;
        for (size_t i = 0; i < fresh->images.size(); ++i) again->images[i]->levels = fresh->images[i]->levels;
        const std::unique_ptr<Scene> scene = BuildScene(*again, SceneOptions());
        ASSERT_TRUE(scene) << c.name;
        EXPECT_EQ(SceneDifference(*o.scene, *scene), "") << c.name;
    }
}

// What the user changed in a modelling package comes back; a document that
// lost every fact still gives the objects its nodes show, with the kinds
// taken from defaults named.
TEST(WayBack, EditsComeBackAndLostFactsAreNamed) {
    InvariantsOnly hook;
    CapturedOutput quiet;
    Original o = Prepare(Cases()[2]);
    ASSERT_TRUE(o.scene);
    Scene edited = *o.scene;
    for (SceneNode& node : edited.nodes) {
        if (node.name == "NAVL[arm]") node.translation[0] = 9.5f;  // the joint Arm, renamed by its light
        if (node.name == "MARK[Tip]") node.name = "MARK[Top]";
        if (node.name.compare(0, 11, "ANIM[Swing]") == 0) node.name = "ANIM[Swing]_ST[0.2]_EN[1.7]_LS[0.2]_LE[0.4]";
        // The light's long name is split: its size is a group below it (a
        // text that is not a number leaves the size as stored).
        if (node.name == "Sz[1.23457]" && node.parent >= 0) {
            const std::string& light = edited.nodes[size_t(edited.nodes[size_t(node.parent)].parent)].name;
            if (light == "NAVL[arm]") node.name = "Sz[2]";
            if (light == "NAVL[Root]") node.name = "Sz[0.4x]";
        }
    }
    edited.materials[0].name = "MAT[Paint]_SHD[shinier]";
    WayBackReport report;
    std::unique_ptr<Model> back = ModelFromScene(edited, report);
    EXPECT_TRUE(report.defaults.empty());
    for (const auto& material : back->materials) {  // the model's two materials of that scene material
        EXPECT_EQ(material->name.value + " " + material->shader.value, "Paint shinier");
        EXPECT_EQ(material->params[1].colour[0], 0.123456789f);  // its colour as stored
    }
    const Joint* arm = FindJoint(*back, "Arm");
    ASSERT_TRUE(arm);
    EXPECT_EQ(arm->position[0], 9.5f);
    EXPECT_EQ(back->markers[0]->name.value, "Top");
    EXPECT_EQ(back->navLights[1]->size, 2.0f);
    EXPECT_EQ(back->navLights[2]->size, 1.2345678f);
    EXPECT_EQ(back->navLights[1]->colour[3], 0.5f);
    const AnimationClip& clip = *back->animation->clips[0];
    EXPECT_EQ(clip.start, 0.2f);
    EXPECT_EQ(FormatG(double(clip.loopStart - clip.start)), "0.2");
    EXPECT_EQ(FormatG(double(clip.end - clip.loopEnd)), "0.4");
    EXPECT_EQ(clip.tracks.size(), 2u);

    Scene bare = *o.scene;
    bare.facts.clear();
    for (SceneNode& node : bare.nodes) node.facts.clear();
    WayBackReport lost;
    back = ModelFromScene(bare, lost);
    EXPECT_EQ(back->joints.size(), o.model->joints.size());
    EXPECT_EQ(back->markers.size(), o.model->markers.size());
    EXPECT_EQ(back->dockPaths.size(), o.model->dockPaths.size());
    EXPECT_EQ(back->typeName.value, "Drelmarch2 Multi Mesh File");
    for (const char* kind : {"joint scale and flags", "marker head values", "dock path words and parent joints",
                             "navigation light colour alpha and flag bytes", "animation file header and clip tracks"})
        EXPECT_NE(std::find(lost.defaults.begin(), lost.defaults.end(), kind), lost.defaults.end()) << kind;
}

// Facts a document damaged or an editor mangled give defaults, never a crash
// nor an allocation the text chose.
TEST(WayBack, MangledFactsAreSafe) {
    InvariantsOnly hook;
    CapturedOutput quiet;
    Original o = Prepare(Cases()[2]);
    ASSERT_TRUE(o.scene);
    for (const char* text : {"", "x", "1 2", "-1\t-1\t-1\t-1\t-1", "99999999999 1e999 nan",
                             "n\tDXT1\t2000000000\t2000000000\t1", "\\\t\n\t"}) {
        Scene mangled = *o.scene;
        for (SceneNode& node : mangled.nodes)
            for (SceneFact& fact : node.facts) fact.text = text;
        for (SceneFact& fact : mangled.facts) fact.text = text;
        WayBackReport report;
        const std::unique_ptr<Model> back = ModelFromScene(mangled, report);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(back->joints.size(), o.model->joints.size()) << text;
        Read(Write(*back), false);  // an image of a size past the budget is written without pixels
    }
}

// A fact's numbers are taken only when its whole text is them, each after
// one space; anything else leaves the values as they were.
TEST(FactTexts, NumbersReadOnlyFromTheWholeText) {
    const std::pair<const char*, bool> rows[] = {{"1 -2.5 3e2", true}, {"1,2,3", false}, {"1  2 3", false},
                                                 {"1 2", false},        {"1 2 3 ", false}, {" 1 2 3", false},
                                                 {"1 2 3 4", false},    {"1 2 x", false}};
    for (const auto& [text, whole] : rows) {
        float v[3] = {9, 9, 9};
        EXPECT_EQ(ReadFloats(text, v, 3), whole) << text;
        EXPECT_EQ(v[2], whole ? 300 : 9) << text;
    }
    uint32_t w[2] = {};
    EXPECT_TRUE(ReadWords("4294967295 0", w, 2) && w[0] == 4294967295u);
    EXPECT_FALSE(ReadWords("4294967296 0", w, 2) || ReadWords("-1 0", w, 2));
    const std::string name = "a\\b\tc\nd";
    EXPECT_EQ(FactLines(FactField(name) + "\t" + FactField("")), (std::vector<std::vector<std::string>>{{name, ""}}));
}
