// The tool over damaged, hostile and unwritable cases: a damaged file is
// reported on one line and converted as far as it reads, a file claiming huge
// sizes converts in bounded memory, any bytes in names give well-formed XML,
// and every failed write is reported while a good earlier result survives.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "command_test_util.h"
#include "hardening_support.h"
#include "model/read_model.h"
#include "sample/sample_model.h"
#include "tests/support/check_model.h"

namespace {

const char kDamagedModel[] = "ALERT: Damaged model file ";
const char kDamagedAnimation[] = "ALERT: Damaged animation file ";

size_t CountLines(const std::string& text, const char* start) {
    size_t n = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (text.compare(pos, std::strlen(start), start) == 0) ++n;
        pos = end + 1;
    }
    return n;
}

std::unique_ptr<Joint> MakeJoint(const std::string& name, const char* parent) {
    auto j = std::make_unique<Joint>();
    j->name.Set(name.c_str(), name.size());
    j->parentName.Set(parent);
    return j;
}

Mesh TriangleMesh(uint16_t lastIndex) {
    Mesh mesh;
    MeshPart part;
    part.index = 0;
    part.materialIndex = 0;
    part.format = 0x0001;  // four-wide positions
    part.stride = 4;
    part.vertexCount = 3;
    part.vertices = {0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1};
    PrimitiveGroup group;
    group.index = 0;
    group.type = 0x0202;
    group.indices = {0, 1, lastIndex};
    group.indexCount = 3;
    part.groups.push_back(group);
    mesh.parts.push_back(part);
    return mesh;
}

// A small well-formed model; `edit` may change it before it is written.
std::vector<unsigned char> SmallZem(const std::function<void(Model&)>& edit = nullptr) {
    Model m;
    m.version = 512;
    m.joints.push_back(MakeJoint("Root", ""));
    auto mm = std::make_unique<MultiMesh>();
    mm->name.Set("hull");
    mm->parentName.Set("Root");
    mm->meshes.push_back(std::make_unique<Mesh>(TriangleMesh(2)));
    m.multiMeshes.push_back(std::move(mm));
    auto col = std::make_unique<CollisionMesh>();
    col->parentName.Set("Root");
    col->vertexCount = 3;
    col->vertices.assign(9, 1.0f);
    col->indexCount = 3;
    col->indices = {0, 1, 2};
    m.collisionMeshes.push_back(std::move(col));
    if (edit) edit(m);
    return BuildZem(m);
}

std::vector<unsigned char> Appended(std::vector<unsigned char> bytes, const std::vector<unsigned char>& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

// Words that convert in/model.zem to out/model.dae.
std::string ConvertInProcess(const TempFolder& folder, const std::vector<unsigned char>& zem,
                             const std::vector<unsigned char>& mad = {}) {
    SaveBytes(folder.File("model.zem"), zem);
    std::filesystem::remove(folder.File("model.MAD"));
    if (!mad.empty()) SaveBytes(folder.File("model.MAD"), mad);
    CommandContext context;
    return RunWords(context, {"$CONVERT_IN=" + folder.File("model.zem"), "$CONVERT_OUT=" + folder.File("out/model.dae"),
                              "do=convert"});
}

TEST(DamageReport, EachDamagedFileIsOneAlertLine) {
    const std::vector<unsigned char> good = SmallZem();
    struct Row {
        const char* name;
        std::vector<unsigned char> zem;
        bool damaged;
    };
    ByteWriter negative;
    PutFourCC(negative, "JUNK");
    PutU32BE(negative, 0x80000010u);
    PutU32(negative, 0);
    const std::vector<Row> rows = {
        {"well_formed", good, false},
        {"sample_model", BuildZem(*BuildSampleModel()), false},
        {"file_cut_inside_the_last_chunk", std::vector<unsigned char>(good.begin(), good.end() - 5), true},
        {"chunk_length_with_top_bit_set", Appended(good, negative.bytes), true},
        {"group_index_out_of_range",
         SmallZem([](Model& m) { m.multiMeshes[0]->meshes[0] = std::make_unique<Mesh>(TriangleMesh(9)); }), true},
        {"collision_index_out_of_range", SmallZem([](Model& m) { m.collisionMeshes[0]->indices[2] = 3; }), true},
        {"engine_shape_count_past_its_chunk",
         ZemWithForm("DTRM",
                     [](ByteWriter& w) {
                         size_t at = BeginBare(w, "ETSH");
                         PutCounted(w, "shape");
                         PutCounted(w, "Root");
                         PutU32(w, 1000);
                         for (int i = 0; i < 3; ++i) PutF32(w, 1.0f);
                         EndChunk(w, at);
                     }),
         true},
        {"texture_level_cut_short",
         ZemWithForm("HVMD",
                     [](ByteWriter& w) {
                         size_t at = BeginBare(w, "LMIP");
                         PutCounted(w, "tex");
                         PutFourCC(w, "8888");
                         PutU32(w, 1);
                         PutI32(w, 4);
                         PutI32(w, 4);
                         for (int i = 0; i < 8; ++i) PutU8(w, 0x40);
                         EndChunk(w, at);
                     }),
         true},
        {"joint_count_past_its_chunk",
         ZemWithForm("DTRM",
                     [](ByteWriter& w) {
                         size_t at = BeginBare(w, "HIER");
                         PutU32(w, 2);
                         PutCounted(w, "Root");
                         PutCounted(w, "");
                         for (int i = 0; i < 12; ++i) PutF32(w, 1.0f);
                         for (int i = 0; i < 3; ++i) PutU8(w, 1);
                         EndChunk(w, at);
                     }),
         true},
    };
    TempFolder folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string out = ConvertInProcess(folder, row.zem);
        EXPECT_EQ(CountLines(out, kDamagedModel), row.damaged ? 1u : 0u) << out;
        EXPECT_EQ(CountLines(out, kDamagedAnimation), 0u) << out;
        EXPECT_EQ(CountLines(out, "Saving "), 1u) << out;  // converted what could be read
        if (row.damaged) {
            EXPECT_NE(out.find(std::string(kDamagedModel) + folder.File("model.zem") +
                               " - converting what could be read\n"),
                      std::string::npos)
                << out;
        }
    }
}

TEST(DamageReport, DamagedAnimationFileIsOneAlertLine) {
    const std::vector<unsigned char> mad = BuildMad(*BuildSampleAnimation());
    const std::vector<unsigned char> zem = BuildZem(*BuildSampleModel());
    TempFolder folder;
    std::string out = ConvertInProcess(folder, zem, mad);
    EXPECT_EQ(CountLines(out, "ALERT: Damaged"), 0u) << out;
    out = ConvertInProcess(folder, zem, std::vector<unsigned char>(mad.begin(), mad.end() - 7));
    EXPECT_EQ(CountLines(out, kDamagedAnimation), 1u) << out;
    EXPECT_EQ(CountLines(out, kDamagedModel), 0u) << out;
}

// Files whose counts and sizes claim far more than they hold. Each must
// convert in a child limited to 64 MiB plus 100 times the input size.
TEST(HostileModels, ConvertInBoundedMemoryAndTime) {
    if (UnderAddressSanitizer()) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    auto level = [](const char* format, int32_t width, int32_t height) {
        return ZemWithForm("HVMD", [=](ByteWriter& w) {
            size_t at = BeginNrml(w, "STAT", 1001);
            PutCounted(w, "hull");
            PutCounted(w, "ship");
            PutU32(w, 1);
            PutI32(w, 5);
            PutI32(w, 4);
            PutI32(w, 0);
            PutCounted(w, "$diffuse");
            EndChunk(w, at);
            at = BeginBare(w, "LMIP");
            PutCounted(w, "huge");
            PutFourCC(w, format);
            PutU32(w, 1);
            PutI32(w, width);
            PutI32(w, height);
            for (int i = 0; i < 8; ++i) PutU8(w, 0x11);
            EndChunk(w, at);
        });
    };
    auto detail = [](const std::function<void(ByteWriter&)>& body) { return ZemWithForm("DTRM", body); };
    struct Row {
        const char* name;
        std::vector<unsigned char> zem;
    };
    const std::vector<Row> rows = {
        {"raw_level_of_a_million_squared_pixels", level("8888", 1000000, 1000000)},
        {"dxt1_level_of_a_million_squared_pixels", level("DXT1", 1000000, 1000000)},
        {"dxt5_level_of_the_largest_size", level("DXT5", 0x7FFFFFFF, 0x7FFFFFFF)},
        {"burn_of_2_to_the_64_points", detail([](ByteWriter& w) {
             size_t at = BeginBare(w, "HIER");
             PutU32(w, 1);
             PutCounted(w, "Root");
             PutCounted(w, "");
             for (int i = 0; i < 12; ++i) PutF32(w, 1.0f);
             for (int i = 0; i < 3; ++i) PutU8(w, 1);
             EndChunk(w, at);
             at = BeginBare(w, "BURN");
             PutCounted(w, "flame");
             PutCounted(w, "Root");
             PutU32(w, 0xFFFFFFFFu);
             PutU32(w, 0xFFFFFFFFu);
             for (int i = 0; i < 6; ++i) PutF32(w, 2.0f);
             EndChunk(w, at);
         })},
        {"engine_shape_of_2_to_the_31_points", detail([](ByteWriter& w) {
             size_t at = BeginBare(w, "ETSH");
             PutCounted(w, "shape");
             PutCounted(w, "Root");
             PutU32(w, 0x7FFFFFFF);
             for (int i = 0; i < 3; ++i) PutF32(w, 1.0f);
             EndChunk(w, at);
         })},
        {"dock_path_of_2_to_the_31_segments", detail([](ByteWriter& w) {
             size_t at = BeginBare(w, "DOCK");
             PutU32(w, 1);
             PutCounted(w, "path");
             PutCounted(w, "Root");
             PutU32(w, 0);
             PutU32(w, 0x7FFFFFFF);
             PutU32(w, 0x7FFFFFFF);
             EndChunk(w, at);
         })},
        {"mesh_of_huge_counts", ZemWithForm("HVMD", [](ByteWriter& w) {
             size_t at = BeginNrml(w, "MULT", 1);
             PutCounted(w, "hull");
             PutCounted(w, "Root");
             PutU32(w, 0);
             size_t mesh = BeginNrml(w, "BMSH", 1);
             PutI32(w, 0);
             PutI32(w, 0x7FFFFFFF);  // parts
             PutI32(w, 0);
             PutU32(w, 0xE00B);
             PutI32(w, 0x7FFFFFFF);  // vertices
             for (int i = 0; i < 14; ++i) PutF32(w, 0.5f);
             EndChunk(w, mesh);
             EndChunk(w, at);
         })},
        {"material_of_4_billion_parameters", ZemWithForm("HVMD", [](ByteWriter& w) {
             size_t at = BeginNrml(w, "STAT", 1001);
             PutCounted(w, "m");
             PutCounted(w, "ship");
             PutU32(w, 0xFFFFFFFFu);
             PutI32(w, 5);
             PutI32(w, 0x7FFFFFFF);
             PutI32(w, 0);
             EndChunk(w, at);
         })},
    };
    TempFolder folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SaveBytes(folder.File("hostile.zem"), row.zem);
        std::filesystem::remove(folder.File("hostile.dae"));
        const size_t limit = (size_t(64) << 20) + 100 * row.zem.size();
        ToolRun run = RunToolLimited({"$CONVERT_IN=hostile.zem", "$CONVERT_OUT=hostile.dae", "do=convert"},
                                     folder.Path(), limit, 30);
        EXPECT_FALSE(run.timedOut) << run.output;
        EXPECT_LE(run.status, 1) << run.output;  // 1: damage was reported
        EXPECT_NE(run.output.find("Saving hostile.dae"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Error - Cannot write"), std::string::npos) << run.output;
        EXPECT_EQ(StrictXmlErrors({folder.File("hostile.dae")}), "");
    }
}

// Names holding bytes of every kind: Latin-1, control bytes, markup, the
// reference the XML library would copy through, a CDATA end, quotes.
TEST(XmlNames, AnyBytesInNamesGiveWellFormedXml) {
    const std::vector<std::string> names = {
        std::string("caf\xE9 \xA9\x80\x9F"), std::string("ctl\x01\x02\x1F\x7F", 8), "&#x3C;b&#x3e;&#60;&amp;",
        "]]><x a=\"1\">", "it's \"quoted\" <tag> & more", std::string("bad\xC3(\xF0\x90\x80", 8), "&#x",
        std::string("tab\tcr\rlf\n", 10)};
    Model m;
    m.version = 512;
    m.joints.push_back(MakeJoint("Root", ""));
    m.joints.push_back(MakeJoint("Plain_Name-1", "Root"));
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        m.joints.push_back(MakeJoint(name + std::to_string(i), "Root"));
        auto mat = std::make_unique<Material>();
        mat->name.Set(name.c_str(), name.size());
        mat->shader.Set(name.c_str(), name.size());
        MaterialParam colour;
        colour.type = kParamColour;
        colour.name.Set(name.c_str(), name.size());
        mat->params.push_back(colour);
        m.materials.push_back(std::move(mat));
        auto mm = std::make_unique<MultiMesh>();
        mm->name.Set((name + "mesh" + std::to_string(i)).c_str());
        mm->parentName.Set("Root");
        mm->meshes.push_back(std::make_unique<Mesh>(TriangleMesh(2)));
        mm->meshes[0]->parts[0].materialIndex = int32_t(i);
        m.multiMeshes.push_back(std::move(mm));
        auto marker = std::make_unique<Marker>();
        marker->name.Set(name.c_str(), name.size());
        marker->parentName.Set("Root");
        m.markers.push_back(std::move(marker));
        auto dock = std::make_unique<DockPath>();
        dock->name.Set(name.c_str(), name.size());
        dock->parentName.Set("Root");
        dock->family.Set(name.c_str(), name.size());
        dock->link.Set(name.c_str(), name.size());
        m.dockPaths.push_back(std::move(dock));
        auto light = std::make_unique<NavLight>();
        light->name.Set((name + std::to_string(i)).c_str());
        light->type.Set(name.c_str(), name.size());
        m.navLights.push_back(std::move(light));
        auto shape = std::make_unique<EngineShape>();
        shape->name.Set(name.c_str(), name.size());
        shape->parentName.Set("Root");
        shape->vertexCount = 1;
        shape->vertices = {1, 2, 3};
        m.engineShapes.push_back(std::move(shape));
        auto burn = std::make_unique<EngineBurn>();
        burn->name.Set(name.c_str(), name.size());
        burn->parentName.Set("Root");
        m.engineBurns.push_back(std::move(burn));
        auto glow = std::make_unique<Glow>();
        glow->name.Set(name.c_str(), name.size());
        glow->parentName.Set("Root");
        glow->mesh = std::make_unique<Mesh>(TriangleMesh(2));
        m.glows.push_back(std::move(glow));
        auto info = std::make_unique<InfoEntry>();
        info->key.Set("AUTH");
        info->value.Set(name.c_str(), name.size());
        m.infoEntries.push_back(std::move(info));
    }
    auto set = std::make_unique<AnimationSet>();
    set->version = 1;
    for (const std::string& name : names) {
        auto clip = std::make_unique<AnimationClip>();
        clip->name.Set(name.c_str(), name.size());
        clip->end = 1;
        set->clips.push_back(std::move(clip));
        auto curve = std::make_unique<AnimationCurve>();
        curve->name.Set((name + "_translateX").c_str());
        curve->keys.resize(2);
        curve->keys[1].time = 1;
        set->curves.push_back(std::move(curve));
    }
    TempFolder folder;
    SaveBytes(folder.File("names.zem"), BuildZem(m));
    SaveBytes(folder.File("names.MAD"), BuildMad(*set));
    ToolRun run = RunToolLimited({"$CONVERT_IN=names.zem", "$CONVERT_OUT=names.dae", "do=convert"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(StrictXmlErrors({folder.File("names.dae")}), "") << run.output;
    const std::vector<unsigned char> bytes = FileBytes(folder.File("names.dae"));
    const std::string dae(bytes.begin(), bytes.end());
    // Latin-1 bytes become their characters; plain ASCII names stay as they were.
    EXPECT_NE(dae.find("caf\xC3\xA9 \xC2\xA9\xE2\x82\xAC\xC5\xB8"), std::string::npos);
    EXPECT_NE(dae.find("name=\"JNT[Plain_Name-1]\""), std::string::npos);
    EXPECT_EQ(dae.find("<x a="), std::string::npos);
    EXPECT_EQ(dae.find("<b>"), std::string::npos);
}

TEST(WriteFailures, EveryFailedWriteIsReportedAndGoodFilesSurvive) {
    TempFolder folder;
    SaveBytes(folder.File("ship.zem"), BuildZem(*BuildSampleModel()));
    // A regular file where the output folder should be: nothing can be made
    // below it.
    folder.Write("blocked", "a file, not a folder");
    ToolRun run = RunToolLimited({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=blocked/sub/ship.dae", "do=convert"},
                                 folder.Path());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(CountLines(run.output, "Error - Cannot write blocked/sub/ship.dae"), 1u) << run.output;
    const size_t textureFailures = CountLines(run.output, "ALERT: Unable to write texture file [blocked/sub/");
    EXPECT_GT(textureFailures, 0u) << run.output;

    // The same conversion into a good folder writes a DAE and as many TGAs.
    run = RunToolLimited({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=good/ship.dae", "do=convert"}, folder.Path());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(CountLines(run.output, "ALERT: Unable to write"), 0u) << run.output;
    size_t tgas = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.File("good")))
        tgas += entry.path().extension() == ".TGA" ? 1 : 0;
    EXPECT_EQ(tgas, textureFailures);
    const std::vector<unsigned char> goodDae = FileBytes(folder.File("good/ship.dae"));
    ASSERT_FALSE(goodDae.empty());

    // A second run that cannot write its files (the temporary names are taken
    // by folders) reports every failure and leaves the earlier files whole.
    std::filesystem::create_directory(folder.File("good/ship.dae.saving"));
    std::vector<std::pair<std::string, std::vector<unsigned char>>> tgaBytes;
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.File("good")))
        written.push_back(entry.path());
    for (const std::filesystem::path& path : written) {
        if (path.extension() != ".TGA") continue;
        std::filesystem::create_directory(path.string() + ".saving");
        tgaBytes.emplace_back(path.string(), FileBytes(path.string()));
    }
    run = RunToolLimited({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=good/ship.dae", "do=convert"}, folder.Path());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(CountLines(run.output, "Error - Cannot write good/ship.dae"), 1u) << run.output;
    EXPECT_EQ(CountLines(run.output, "ALERT: Unable to write texture file"), textureFailures) << run.output;
    EXPECT_EQ(FileBytes(folder.File("good/ship.dae")), goodDae);
    for (const auto& [path, bytes] : tgaBytes) EXPECT_EQ(FileBytes(path), bytes) << path;
}

// A full file system, when this sandbox lets a tmpfs be mounted: the DAE
// and the TGAs fail part way, each failure is reported, nothing half
// written is left under a target name.
TEST(WriteFailures, FullDiskIsReported) {
    TempFolder folder;
    const std::string mountPoint = folder.File("small");
    std::filesystem::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=48k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    SaveBytes(folder.File("ship.zem"), BuildZem(*BuildSampleModel()));
    ToolRun run = RunToolLimited({"$CONVERT_IN=ship.zem", "$CONVERT_OUT=small/ship.dae", "do=convert"},
                                 folder.Path());
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(mountPoint)) left.push_back(entry.path().string());
    const std::vector<unsigned char> dae = FileBytes(mountPoint + "/ship.dae");
    umount(mountPoint.c_str());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(CountLines(run.output, "Error - Cannot write small/ship.dae"), 1u) << run.output;
    EXPECT_TRUE(dae.empty());
    for (const std::string& path : left) EXPECT_EQ(path.find(".saving"), std::string::npos) << path;
}

}  // namespace

namespace {

// Inputs the fuzz targets found, kept as files: each must finish quickly.
TEST(FuzzRegressions, ParamsFilesEndQuickly) {
    const std::string folder = std::string(VORDA_SOURCE_DIR) + "/tests/command/regressions";
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".params") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        TempFolder work;
        CommandContext context;
        const std::clock_t start = std::clock();
        RunWords(context, {"$CONVERT_IN=" + work.File("none.zem"), "params=" + entry.path().string()});
        EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 5.0);
    }
    EXPECT_GT(files, 0u);
}

// A value that refers to itself and grows a little per round: the expansion
// gives up after a bounded amount of copying, not after gigabytes.
TEST(FuzzRegressions, SelfGrowingVariableStopsAfterBoundedWork) {
    CommandContext context;
    SetVariable(context, "A", ("$[A]" + std::string(100, 'x')).c_str(), false);
    const std::clock_t start = std::clock();
    std::string out;
    {
        CapturedOutput captured;
        EXPECT_EQ(Expand(context, "$[A]"), "");
        out = captured.Text();
    }
    EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 2.0);
    EXPECT_EQ(out, "Error - Variable expansion does not end, text dropped - $[A]\n");
}

}  // namespace

namespace {

// Model files the fuzz targets found: each reads into a model that keeps the
// invariants and converts into a well-formed document.
TEST(FuzzRegressions, ModelFilesReadCheckAndConvert) {
    const std::string folder = std::string(VORDA_SOURCE_DIR) + "/tests/model/regressions";
    TempFolder work;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".zem") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<unsigned char> bytes = FileBytes(entry.path().string());
        std::unique_ptr<Model> model = ReadModelFile(bytes.data(), bytes.size());
        if (model) {
            EXPECT_EQ(CheckModel(*model), std::vector<std::string>());
        }
        ToolRun run = RunToolLimited({"$CONVERT_IN=" + entry.path().string(), "$CONVERT_OUT=out.dae", "do=convert"},
                                     work.Path());
        EXPECT_LE(run.status, 1) << run.output;  // 1: damage was reported
        if (model) {
            EXPECT_EQ(StrictXmlErrors({work.File("out.dae")}), "") << run.output;
        }
        std::filesystem::remove(work.File("out.dae"));
    }
    EXPECT_GT(files, 0u);
}

}  // namespace

namespace {

// A file cut anywhere inside a chunk is damaged; cut at the end of a
// top-level form it is a shorter well-formed file.
TEST(DamageFlag, SetByEveryCutInsideAChunk) {
    const std::vector<unsigned char> whole = BuildZem(*BuildSampleModel());
    std::set<size_t> boundaries;
    for (size_t at = 0; at + 8 <= whole.size();) {
        const size_t length = size_t(whole[at + 4]) << 24 | size_t(whole[at + 5]) << 16 |
                              size_t(whole[at + 6]) << 8 | whole[at + 7];
        at += 8 + length;
        boundaries.insert(at);
    }
    std::unique_ptr<Model> full = ReadModelFile(whole.data(), whole.size());
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->damage);
    const size_t nameEnd = *std::next(boundaries.begin());  // "VERS", then "NAME"
    size_t cuts = 0;
    for (size_t len = nameEnd + 1; len < whole.size(); len += 7) {
        std::vector<unsigned char> part(whole.begin(), whole.begin() + long(len));
        std::unique_ptr<Model> model = ReadModelFile(part.data(), part.size());
        ASSERT_TRUE(model) << len;
        EXPECT_EQ(bool(model->damage), boundaries.count(len) == 0) << "cut at " << len;
        ++cuts;
    }
    EXPECT_GT(cuts, 100u);
}

}  // namespace
