// The tool over damaged, hostile and unwritable input: damage reported once
// and converted as far as it reads, any byte of the sample changed, huge
// claimed sizes in bounded memory, every failed save reported.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "model/check_model.h"
#include "model/joints.h"
#include "scene/check_scene.h"
#include "tests/support/test_util.h"

namespace fs = std::filesystem;

namespace {

// What a strict reader of the document would refuse: a number that is not
// one (nan, inf), or a material reference that names no material.
std::string DocumentFaults(const std::string& dae) {
    std::string faults;
    static const std::regex notANumber(R"([ >-](nan|inf)[ <])", std::regex::icase);
    if (std::regex_search(dae, notANumber)) faults += "a number that is not finite\n";
    std::set<std::string> ids;
    static const std::regex id(R"x(<material id="([^"]*)")x"), ref(R"x((?: material="|target="#)([^"]*)")x");
    for (std::sregex_iterator i(dae.begin(), dae.end(), id), end; i != end; ++i) ids.insert((*i)[1]);
    for (std::sregex_iterator i(dae.begin(), dae.end(), ref), end; i != end; ++i)
        if (!ids.count((*i)[1])) faults += "unresolved material " + std::string((*i)[1]) + "\n";
    return faults;
}

}  // namespace

TEST(DamageReport, EachDamagedFileIsOneAlertLine) {
    const Bytes good = BuildZem(*BuildSampleModel()), mad = BuildMad(*BuildSampleAnimation());
    AnimationSet oneClip;  // its "INFO" then claims two
    oneClip.clips.emplace_back(new AnimationClip);
    Bytes twoClaimed = BuildMad(oneClip);
    twoClaimed[size_t(std::search(twoClaimed.begin(), twoClaimed.end(), "INFO", "INFO" + 4) - twoClaimed.begin()) + 12] = 2;
    auto strayBytes = [](const char* form) { return ZemWithForm(form, [](ByteWriter& w) { PutText(w, "ab"); }); };
    auto countPastChunk = [](const char* kind) {  // a record list whose count its chunk cannot hold
        return ZemWithForm("DTRM", [=](ByteWriter& w) {
            Chunk(w, kind[0] == 'N' ? BeginNrml(w, kind, 0) : BeginBare(w, kind), [&] { PutU32(w, 0x7FFFFFFF); });
        });
    };
    // The sample changed by `change`, with the sample's animations changed by `changeSet`.
    auto sample = [](const std::function<void(Model&)>& change,
                     const std::function<void(AnimationSet&)>& changeSet = nullptr) {
        std::unique_ptr<Model> m = BuildSampleModel();
        std::unique_ptr<AnimationSet> a = BuildSampleAnimation();
        if (change) change(*m);
        if (changeSet) changeSet(*a);
        return std::make_pair(BuildZem(*m), BuildMad(*a));
    };
    const auto nanVertex = sample([](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].vertices[1] = std::nanf(""); });
    const auto infiniteLight = sample([](Model& m) { m.navLights[0]->colour[1] = INFINITY; });
    const auto nanKey = sample(nullptr, [](AnimationSet& a) { a.curves[0]->keys[0].value = std::nan(""); });
    const auto strayMarker = sample([](Model& m) {
        m.markers.emplace_back(new Marker);
        m.markers.back()->name.Set("Stray");
        m.markers.back()->parentName.Set("Gone");
    });
    const auto cutTexture = sample([](Model& m) {  // the canopy's texture, used by two materials
        m.images[4]->levels.resize(1);
        m.images[4]->levels[0].data.resize(16);
        m.materials.emplace_back(new Material(*m.materials[2]));
        m.materials.back()->name.Set("Canopy2");
    });
    // The sample's MAD with a NAME and VERS pair and `junk` after its chunks.
    auto madTail = [&](const char* name, const char* junk) {
        ByteWriter w;
        w.bytes = mad;
        Chunk(w, BeginBare(w, "NAME"), [&] { PutText(w, name); });
        Chunk(w, BeginBare(w, "VERS"), [&] { PutU32(w, 7); });
        PutText(w, junk);
        for (int i = 0; i < 4; ++i) w.bytes[size_t(4 + i)] = uint8_t((w.bytes.size() - 8) >> (24 - 8 * i));
        return w.bytes;
    };
    // A second pair of the format's own name keeps what was read; after
    // another format's name the chunks are not the set's: their damage is none of its.
    EXPECT_EQ(ReadMadChecked(madTail("Drelmarch2 MAD File", ""), nullptr)->curves.size(), BuildSampleAnimation()->curves.size());
    const Bytes foreignTail = madTail("Other File", "ab");
    const auto unknownShader = sample([](Model& m) {  // no diffuse texture to fall back on
        m.materials[2]->shader.Set("mystery");
        m.materials[2]->params[0].name.Set("$glowmap");
    });
    const struct {
        const char* name;
        Bytes zem, mad;
        bool damagedModel, damagedAnimation;
        std::string alert = "";  // a line printed once
        bool damaged = damagedModel || damagedAnimation;  // exit status 1
    } rows[] = {
        {"joint_count_past_its_chunk", countPastChunk("HIER"), {}, true, false},
        {"dock_count_past_its_chunk", countPastChunk("DOCK"), {}, true, false},
        {"light_count_past_its_chunk", countPastChunk("NAVL"), {}, true, false},
        {"clip_count_past_its_chunk", good, twoClaimed, false, true},
        {"model_form_children_short_of_it", strayBytes("HVMD"), {}, true, false},
        {"info_form_children_short_of_it", strayBytes("INFO"), {}, true, false},
        {"marker_head_cut_short", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginForm(w, "MRKR"), [&] { Chunk(w, BeginNrml(w, "HEAD", 0), [&] { PutText(w, "ab"); }); }); }), {}, true, false},
        {"marker_form_children_short_of_it", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginForm(w, "MRKR"), [&] { PutText(w, "ab"); }); }), {}, true, false},
        {"dock_path_cut_before_its_segments", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginBare(w, "DOCK"), [&] { PutU32(w, 1), PutCounted(w, "path"), PutCounted(w, "Root"), PutU32(w, 0), PutU32(w, 0); });
         }), {}, true, false},
        {"glow_info_cut_short", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginForm(w, "GLOW"), [&] { Chunk(w, BeginNrml(w, "INFO", 0), [&] { PutText(w, "ab"); }); }); }), {}, true, false},
        {"collision_sphere_cut_short", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginForm(w, "COLD"), [&] { PutCounted(w, "Root"), Chunk(w, BeginBare(w, "BSPH"), [&] { PutText(w, "ab"); }); }); }),
         {}, true, false},
        {"bounding_volume_count_past_its_chunk", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginBare(w, "BNDV"), [&] { PutCounted(w, "b"), PutCounted(w, "Root"), PutU32(w, 5); }); }), {}, true, false},
        {"info_entry_cut_short", ZemWithForm("INFO", [](ByteWriter& w) { Chunk(w, BeginBare(w, "AUTH"), [&] { PutText(w, "ab"); }); }),
         {}, true, false},
        {"light_of_the_least_size", ZemWithForm("DTRM", [](ByteWriter& w) {  // no name, no type
             Chunk(w, BeginNrml(w, "NAVL", 0), [&] { PutU32(w, 1), PutBytes(w, Bytes(46, 0).data(), 46); }); }), {}, false, false},
        {"animations_after_a_foreign_name", good, foreignTail, false, false},
        {"well_formed", good, mad, false, false},
        {"vertex_coordinate_not_a_number", nanVertex.first, {}, true, false, " - Damaged: multi mesh [Hull]\n"},
        {"light_colour_infinite", infiniteLight.first, {}, true, false, " - Damaged: navigation light [Light_Port]\n"},
        {"curve_key_not_a_number", nanKey.first, nanKey.second, false, true, " - Damaged: curve ["},
        {"marker_under_a_missing_joint", strayMarker.first, {}, false, false,
         "ALERT: Marker [Stray] names joint [Gone], which the model lacks - marker left out\n", true},
        {"texture_cut_short_for_two_materials", cutTexture.first, {}, true, false,
         "ALERT: Texture [ships\\sample\\canopy_diff.tga] of 8 x 8 pixels holds 16 of the 256 bytes it needs - not "
         "decoded\n"},
        {"unknown_shader_without_a_diffuse_texture", unknownShader.first, {}, false, false,
         "ALERT: Unable to find map for shader [mystery]\n"},
        {"rich_model", BuildZem(*RichModel()), {}, true, false},  // its odd part indexes past its vertices
        {"collision_index_out_of_range", [] {
             std::unique_ptr<Model> m = BuildSampleModel();
             m->collisionMeshes[0]->indices[0] = 60000;
             return BuildZem(*m);
         }(), {}, true, false},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        folder.Write("model.zem", row.zem);
        fs::remove(folder.File("model.MAD"));
        if (!row.mad.empty()) folder.Write("model.MAD", row.mad);
        CommandContext context;
        const std::string out = RunWords(context, {"$CONVERT_IN=" + folder.File("model.zem"),
                                                   "$CONVERT_OUT=" + folder.File("out/model.dae"), "do=convert"});
        EXPECT_EQ(CountLines(out, "ALERT: Damaged model file " + folder.File("model.zem") +
                                      " - converting what could be read"),
                  row.damagedModel ? 1u : 0u)
            << out;
        EXPECT_EQ(CountLines(out, "ALERT: Damaged animation file "), row.damagedAnimation ? 1u : 0u) << out;
        EXPECT_EQ(CountLines(out, "Saving "), 1u) << out;  // converted what could be read
        if (!row.alert.empty()) {
            EXPECT_EQ(CountLines(out, row.alert), 1u) << out;
        }
        EXPECT_EQ(context.run->damaged, row.damaged ? 1 : 0) << out;
        EXPECT_EQ(DocumentFaults(ReadText(folder.File("out/model.dae"))), "") << out;
    }
}

// Every byte of the sample's ZEM and MAD set to 0, 0xFF and one up and down,
// and the files cut at every length: each reads into a model that keeps its
// invariants; a cut inside a chunk is damaged, a cut between top-level forms
// is not; a spread of the patched models is written and parsed strictly.
TEST(BytePatchSweep, EveryPatchReadsSoundlyAndWritesWellFormedXml) {
    const Bytes zem = BuildZem(*BuildSampleModel()), mad = BuildMad(*BuildSampleAnimation());
    TempFolder folder;
    std::vector<std::string> written;
    size_t patches = 0, failures = 0;
    auto check = [&](const Bytes& z, const Bytes& m, const std::string& what, bool write) {
        ++patches;
        SCOPED_TRACE(what);
        std::vector<std::string> problems;
        std::unique_ptr<Model> model = ReadZemChecked(z, &problems);
        std::unique_ptr<AnimationSet> set = ReadMadChecked(m, &problems);
        for (const std::string& p : problems)
            if (++failures < 20) ADD_FAILURE() << what << ": " << p;
        if (!write || !model) return;
        model->animation = std::move(set);
        const std::string path = folder.File(std::to_string(written.size()) + ".dae");
        CapturedOutput quiet;
        if (ConvertInProcess(*model, path)) written.push_back(path);
    };
    for (int file = 0; file < 2; ++file) {
        const Bytes& original = file ? mad : zem;
        for (size_t at = 0; at < original.size(); ++at)
            for (int patch : {0x00, 0xFF, original[at] + 1, original[at] - 1}) {
                if (uint8_t(patch) == original[at]) continue;
                Bytes patched = original;
                patched[at] = uint8_t(patch);
                check(file ? zem : patched, file ? patched : mad,
                      (file ? "MAD byte " : "ZEM byte ") + std::to_string(at) + " = " + std::to_string(patch & 0xFF),
                      (at * 4 + size_t(patch & 3)) % 331 == 0);
            }
    }
    EXPECT_GT(written.size(), 100u);
    EXPECT_EQ(StrictXmlErrors(written), "");

    std::set<size_t> boundaries;  // ends of the top-level forms
    for (size_t at = 0; at + 8 <= zem.size(); boundaries.insert(at))
        at += 8 + (size_t(zem[at + 4]) << 24 | size_t(zem[at + 5]) << 16 | size_t(zem[at + 6]) << 8 | zem[at + 7]);
    const size_t nameEnd = *std::next(boundaries.begin());  // "VERS", then "NAME"
    for (size_t len = 0; len < zem.size(); ++len) {
        std::vector<std::string> problems;
        std::unique_ptr<Model> model = ReadZemChecked(Bytes(zem.begin(), zem.begin() + long(len)), &problems);
        EXPECT_EQ(problems, std::vector<std::string>()) << "ZEM cut at " << len;
        if (len > nameEnd) {
            ASSERT_TRUE(model) << len;
            EXPECT_EQ(bool(model->damage), boundaries.count(len) == 0) << "ZEM cut at " << len;
        }
    }
    for (size_t len = 0; len < mad.size(); ++len) {
        std::vector<std::string> problems;
        ReadMadChecked(Bytes(mad.begin(), mad.begin() + long(len)), &problems);
        EXPECT_EQ(problems, std::vector<std::string>()) << "MAD cut at " << len;
    }
}

// Every failed save of the document or of a texture is reported with the
// file's name, leaves an earlier good file whole and no temporary file behind.
// The full disk is a temporary name linked to /dev/full (no privileges needed).
TEST(FailedSaves, EveryObstacleForTheDocumentAndATexture) {
    enum Obstacle { kBlockedFolder, kTemporaryNameTaken, kFullDisk };
    for (const Obstacle obstacle : {kBlockedFolder, kTemporaryNameTaken, kFullDisk})
        for (const char* target : {"ship.dae", "hull_DIFF.TGA"}) {
            SCOPED_TRACE(std::string(target) + " obstacle " + std::to_string(obstacle));
            TempFolder t;
            ASSERT_TRUE(WriteSampleModel(t.File("ship.zem")));
            ASSERT_EQ(RunTool({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=out/ship.dae", "do=convert"}, t.Path()).status, 0);
            const Bytes before = ReadBytes(t.File("out/" + std::string(target)));
            ASSERT_FALSE(before.empty());
            std::string folder = "out/";
            if (obstacle == kBlockedFolder) {
                folder = "blocked/sub/";  // a regular file where a folder should be
                t.Write("blocked", "a file, not a folder");
            } else if (obstacle == kTemporaryNameTaken) {
                fs::create_directory(t.File(folder + target + ".saving"));
            } else {
                fs::create_symlink("/dev/full", t.File(folder + target + ".saving"));
            }
            const RunResult run = RunTool({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=" + folder + "ship.dae", "do=convert"},
                                          t.Path());
            EXPECT_EQ(run.status, 1) << run.output;
            const std::string path = folder + target;
            const bool dae = std::string(target) == "ship.dae";
            // A first line, then one naming the file and the system's reason.
            const char* reasons[] = {"Not a directory", "Is a directory", "No space left on device"};
            EXPECT_EQ(CountLines(run.output, dae ? "Error - Cannot write " + path + "\n"
                                                 : "ALERT: Unable to write texture file [" + path + "]\n"), 1u)
                << run.output;
            EXPECT_EQ(CountLines(run.output, std::string("Error - Cannot write ") + (dae ? "DAE" : "texture") +
                                                 " file " + path + " - " + reasons[obstacle] + "\n"), 1u)
                << run.output;
            EXPECT_EQ(ReadBytes(t.File("out/" + std::string(target))), before);
            for (const auto& e : fs::recursive_directory_iterator(t.Path()))
                EXPECT_TRUE(obstacle == kTemporaryNameTaken || e.path().string().find(".saving") == std::string::npos);
        }
}

// Files whose counts and sizes claim far more than they hold. Each must
// convert in a child limited to 64 MiB plus 100 times the input size.
TEST(HostileModels, ConvertInBoundedMemoryAndTime) {
    if (UnderAddressSanitizer()) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    auto level = [](const char* format, int32_t width, int32_t height) {
        return ZemWithForm("HVMD", [=](ByteWriter& w) {
            Chunk(w, BeginNrml(w, "STAT", 1001), [&] {
                PutCounted(w, "hull");
                PutCounted(w, "ship");
                for (int32_t v : {1, 5, 4, 0}) PutI32(w, v);
                PutCounted(w, "$diffuse");
            });
            Chunk(w, BeginBare(w, "LMIP"), [&] {
                PutCounted(w, "huge");
                PutFourCC(w, format);
                for (int32_t v : {1, width, height, 0x11111111, 0x11111111}) PutI32(w, v);
            });
        });
    };
    const struct {
        const char* name;
        Bytes zem;
    } rows[] = {
        {"raw_level_of_a_million_squared_pixels", level("8888", 1000000, 1000000)},
        {"dxt1_level_of_a_million_squared_pixels", level("DXT1", 1000000, 1000000)},
        {"dxt5_level_of_the_largest_size", level("DXT5", 0x7FFFFFFF, 0x7FFFFFFF)},
        {"mesh_of_huge_counts", ZemWithForm("HVMD", [](ByteWriter& w) {
             Chunk(w, BeginNrml(w, "MULT", 1), [&] {
                 PutCounted(w, "hull");
                 PutCounted(w, "Root");
                 PutU32(w, 0);
                 Chunk(w, BeginNrml(w, "BMSH", 1), [&] {
                     for (uint32_t v : {0u, 0x7FFFFFFFu, 0u, 0xE00Bu, 0x7FFFFFFFu}) PutU32(w, v);  // parts, vertices
                     for (int i = 0; i < 14; ++i) PutF32(w, 0.5f);
                 });
             });
         })},
        {"joint_chain_of_3000", ZemWithForm("DTRM", [](ByteWriter& w) {
             Chunk(w, BeginBare(w, "HIER"), [&] {
                 PutU32(w, 3000);
                 for (int i = 0; i < 3000; ++i) {
                     PutCounted(w, "J" + std::to_string(i));
                     PutCounted(w, i ? "J" + std::to_string(i - 1) : "");
                     for (int k = 0; k < 12; ++k) PutF32(w, k < 6 ? 0.0f : 1.0f);
                     for (int k = 0; k < 3; ++k) PutU8(w, 1);
                 }
             });
         })},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        folder.Write("hostile.zem", row.zem);
        fs::remove(folder.File("hostile.dae"));
        const size_t limit = (size_t(64) << 20) + 100 * row.zem.size();
        const RunResult run =
            RunTool({"$CONVERT_IN=hostile.zem", "$CONVERT_OUT=hostile.dae", "do=convert"}, folder.Path(), limit, 30);
        EXPECT_FALSE(run.timedOut) << run.output;
        EXPECT_LE(run.status, 1) << run.output;  // 1: damage was reported
        EXPECT_EQ(CountLines(run.output, "Saving hostile.dae"), 1u) << run.output;
        EXPECT_EQ(run.output.find("Error - Cannot write"), std::string::npos) << run.output;
        EXPECT_EQ(StrictXmlErrors({folder.File("hostile.dae")}), "");
        // Joint nodes nest less deep than XML readers accept; the size is not quadratic.
        EXPECT_LT(ReadBytes(folder.File("hostile.dae")).size(), size_t(8) << 20);
        EXPECT_EQ(ReadText(folder.File("hostile.dae")).find("HOLD_PARAMS"), std::string::npos);  // no colour parameters
    }
}

// Inputs the fuzz targets found, kept as files: each params file finishes
// quickly; each model file reads into a sound model and converts into a
// well-formed document.
TEST(FuzzRegressions, KeptInputsEndQuicklyAndConvert) {
    size_t files = 0;
    TempFolder work;
    for (const char* dir : {"/tests/command/regressions", "/tests/model/regressions"})
        for (const auto& entry : fs::directory_iterator(std::string(VORDA_SOURCE_DIR) + dir)) {
            ++files;
            const std::string path = entry.path().string();
            SCOPED_TRACE(path);
            if (entry.path().extension() == ".params") {
                CommandContext context;
                const std::clock_t start = std::clock();
                RunWords(context, {"$CONVERT_IN=" + work.File("none.zem"), "params=" + path});
                EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 5.0);
                continue;
            }
            std::vector<std::string> problems;
            ReadZemChecked(ReadBytes(path), &problems);
            EXPECT_EQ(problems, std::vector<std::string>());
            const RunResult run = RunTool({"$CONVERT_IN=" + path, "$CONVERT_OUT=out.dae", "do=convert"}, work.Path());
            EXPECT_LE(run.status, 1) << run.output;  // 1: damage was reported
            EXPECT_EQ(StrictXmlErrors({work.File("out.dae")}), "") << run.output;
        }
    EXPECT_GE(files, 2u);
}

// The scene check finds each broken invariant planted into the sample's
// scene, and nothing in the scene as built.
TEST(SceneCheck, FindsEachBrokenInvariant) {
    std::unique_ptr<Model> model = BuildSampleModel();
    model->animation = BuildSampleAnimation();
    ResolveJoints(*model);
    CapturedOutput quiet;
    const std::unique_ptr<Scene> built = BuildScene(*model, SceneOptions());
    ASSERT_TRUE(built);
    ASSERT_EQ(CheckScene(*built), std::vector<std::string>());
    auto firstMeshed = [](Scene& s) -> SceneTriangles& {
        for (SceneMesh& mesh : s.meshes)
            if (!mesh.positionsOnly && !mesh.triangles.empty()) return mesh.triangles[0];
        return s.meshes[0].triangles[0];
    };
    const struct {
        const char* name;
        std::function<void(Scene&)> plant;
    } rows[] = {
        {"parent_out_of_range", [](Scene& s) { s.nodes[1].parent = 99999; }},
        {"child_listed_twice", [](Scene& s) { s.nodes[0].children.push_back(s.nodes[0].children[0]); }},
        {"mesh_out_of_range", [](Scene& s) { s.nodes[0].mesh = int32_t(s.meshes.size()); }},
        {"corner_past_the_vertices", [&](Scene& s) { firstMeshed(s).corners[0] = 1u << 30; }},
        {"count_not_the_corners", [&](Scene& s) { ++firstMeshed(s).count; }},
        {"table_entry_past_its_stream", [&](Scene& s) { firstMeshed(s).table[0] = 1 << 30; }},
        {"zero_sign_past_the_table", [&](Scene& s) { firstMeshed(s).zeroSigns.push_back(firstMeshed(s).table.size() * 4); }},
        {"material_out_of_range", [&](Scene& s) { firstMeshed(s).material = int32_t(s.materials.size()); }},
        {"material_name_twice", [](Scene& s) { s.materials[1].name = s.materials[0].name; }},
        {"map_without_image", [](Scene& s) { s.materials[0].maps[0].image = -1; }},
        {"picture_of_the_wrong_size", [](Scene& s) { s.images[0].picture.pixels.pop_back(); }},
        {"position_not_finite", [](Scene& s) { s.meshes[0].positions[0] = std::nanf(""); }},
        {"curve_key_not_finite", [](Scene& s) { s.curves[0].data.keys[0].value = INFINITY; }},
        {"track_naming_no_curve", [](Scene& s) { s.clips[0].tracks[0].curves.push_back(99999); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Scene scene = *built;
        row.plant(scene);
        EXPECT_FALSE(CheckScene(scene).empty());
    }
}

// The model check finds each broken invariant planted into the sample, by
// its own words, and nothing in the sample as built.
TEST(ModelCheck, FindsEachBrokenInvariant) {
    auto plainCurve = [](Model& m) -> AnimationCurve& {
        for (auto& c : m.animation->curves)
            if (!(c->flags & kCurveTangents) && !c->keys.empty()) return *c;
        return *m.animation->curves[0];
    };
    auto group = [](Model& m) -> PrimitiveGroup& { return m.multiMeshes[0]->meshes[0]->parts[0].groups[0]; };
    const struct {
        std::function<void(Model&)> plant;
        const char* problem;
    } rows[] = {
        {[](Model& m) { m.type = 5; }, "type 5"},
        {[](Model& m) { m.materials[1]->index = 7; }, "material 1: index 7"},
        {[](Model& m) { m.materials[0]->name.value += "x"; }, "material name: stale hash"},
        {[](Model& m) { m.materials[0]->shader.value += std::string(1, '\0'); }, "material shader: zero byte inside"},
        {[](Model& m) { m.materials.emplace_back(); }, "]: null slot"},
        {[](Model& m) { m.images[0]->format.Set("DXT15"); }, "image 0: format longer than 4"},
        {[](Model& m) { m.images[0]->levels[1].size = 1; }, "image 0 level 1:"},
        {[](Model& m) { m.multiMeshes[0]->kind = 1; }, "multi mesh: kind 1"},
        {[](Model& m) { m.multiMeshes[0]->meshes[0]->lod = -1; }, "multi mesh: negative lod -1"},
        {[](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].index = 4; }, "multi mesh part 0: index 4"},
        {[](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].stride = 4; }, "multi mesh part 0: stride 4"},
        {[](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].vertices.pop_back(); }, "multi mesh part 0: "},
        {[&](Model& m) { group(m).index = 3; }, "multi mesh part 0 group 0: index 3"},
        {[&](Model& m) { ++group(m).indexCount; }, "multi mesh part 0 group 0: count"},
        {[&](Model& m) { group(m).indices[0] = 60000; }, "multi mesh part 0 group 0: index 60000 of"},
        {[](Model& m) { m.engineShapes[0]->index = 2; }, "engine shape 0: index 2"},
        {[](Model& m) { m.engineShapes[0]->vertexCount = -1; }, "engine shape[0]: negative vertex count"},
        {[](Model& m) { m.engineBurns[0]->vertices.push_back(0); }, "engine burn[0]: "},
        {[](Model& m) { m.engineBurns[0]->divisions = 0; }, "engine burn 0: more vertices than divisions x flames"},
        {[](Model& m) { m.glows[0]->index = 9; }, "glow 0: index 9"},
        {[](Model& m) { m.dockPaths[0]->segmentCount += 1; }, "dock path: segmentCount"},
        {[](Model& m) { m.dockPaths[0]->segments[0].index = 5; }, "dock segment 0: index 5"},
        {[](Model& m) { m.markers[0]->index = 6; }, "marker 0: index 6"},
        {[](Model& m) { ++m.collisionMeshes[0]->indexCount; }, "collision mesh 0: count"},
        {[](Model& m) { m.collisionMeshes[0]->indices[0] = 60000; }, "collision mesh 0: index 60000 of"},
        {[](Model& m) { m.joints[0]->position[1] = NAN; }, "a number that is not finite"},
        {[](Model& m) { m.animation->curves[1]->index = 0; }, "animation: curve 1: index 0"},
        {[&](Model& m) { plainCurve(m).keys[0].interpolation = 1; }, "interpolation word without flag"},
        {[](Model& m) { ++m.animation->clipCount; }, "animation: clipCount"},
        {[](Model& m) { m.animation->names.push_back(m.animation->names[0]); }, "interned twice"},
        {[](Model& m) { m.animation->clips[0]->tracks[0]->links[0].connected = 0; }, "connected 0"},
        {[](Model& m) { m.animation->curves[0]->nameIndex = -1; }, "curve: name index -1"},
        {[](Model& m) { m.animation->stringTable.push_back('x'); }, "string table not zero-terminated"},
    };
    auto sample = [] {
        std::unique_ptr<Model> model = BuildSampleModel();
        model->animation = BuildSampleAnimation();
        return model;
    };
    ASSERT_EQ(CheckModel(*sample()), std::vector<std::string>());
    for (const auto& row : rows) {
        std::unique_ptr<Model> model = sample();
        row.plant(*model);
        const std::vector<std::string> found = CheckModel(*model);
        const bool named = std::any_of(found.begin(), found.end(), [&](const std::string& p) { return p.find(row.problem) != std::string::npos; });
        EXPECT_TRUE(named) << row.problem << " not among " << ::testing::PrintToString(found);
    }
}

// A triangle with a corner past its part's vertices (only a hand-made model
// has one: the reader empties such a group) is left out whole, in the scene
// and so in the DAE, and the rest of the list keeps its corners.
TEST(SceneBuild, TriangleWithABadCornerIsLeftOutWhole) {
    std::unique_ptr<Model> model = BuildSampleModel();
    MeshPart& part = model->multiMeshes[0]->meshes[0]->parts[0];
    const uint16_t past = uint16_t(part.vertexCount);
    part.groups = {MakeGroup(kPrimTriList, {0, 1, 2, 0, past, 1, 2, 1, 0})};
    TempFolder folder;
    CapturedOutput quiet;
    ASSERT_TRUE(ConvertInProcess(*model, folder.File("bad.dae")));
    const std::string dae = ReadText(folder.File("bad.dae"));
    const size_t at = dae.find("<triangles count=\"2\" material=\"MAT[Hull]");
    ASSERT_NE(at, std::string::npos) << dae.substr(0, 4000);
    const size_t p = dae.find("<p>", at), end = dae.find("</p>", at);
    std::istringstream numbers(dae.substr(p + 3, end - p - 3));
    std::vector<int> n;
    for (int v; numbers >> v;) n.push_back(v);
    ASSERT_EQ(n.size(), 18u);  // two whole triangles of three streams
    // The first triangle (0, 1, 2) comes back reversed as the last (2, 1, 0).
    for (size_t corner = 0; corner < 3; ++corner)
        for (size_t k = 0; k < 3; ++k) EXPECT_EQ(n[corner * 3 + k], n[(5 - corner) * 3 + k]) << corner;
}

// The tests' process runner ends a child that prints without end or hangs,
// with whatever it started, and fails the test there: one child may neither
// fill the memory nor hold up the run.
TEST(TestRunner, EndsChildrenThatPrintOrHangWithoutEnd) {
    const struct {
        const char* name;
        std::vector<std::string> argv;
        bool timedOut, overflowed;
    } rows[] = {
        {"prints without end", {"/usr/bin/yes"}, false, true},
        {"sleeps", {"/bin/sleep", "60"}, true, false},
        {"a shell whose child sleeps", {"/bin/sh", "-c", "sleep 60; echo done"}, true, false},
        {"a shell whose child prints", {"/bin/sh", "-c", "yes | cat; echo done"}, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunResult run;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NONFATAL_FAILURE(run = RunProcess(row.argv, "", 0, 2), row.timedOut ? "ran past" : "printed more");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
        EXPECT_EQ(run.timedOut, row.timedOut);
        EXPECT_EQ(run.droppedBytes > 0, row.overflowed);
        EXPECT_LE(run.output.size(), kMaxKeptOutput + 100);  // plus the note of the signal
        EXPECT_EQ(run.output.find("done"), std::string::npos);
    }
}
