// The model file container: byte orders, the top-level forms, the dispatch of
// form children, info entries, and a whole file read back and cut short.
#include <gtest/gtest.h>

#include "model/chunk_walk.h"
#include "tests/model/model_test_support.h"

namespace {

// A file from tokens: "V" the VERS form (512), "V7" VERS 7, "N" the multi mesh
// NAME form, "N:text" another NAME, "M:x" an HVMD form holding one material x,
// "J" a chunk whose length has the top bit set (it would move the walk back).
Bytes TopLevel(std::initializer_list<std::string> tokens) {
    ByteWriter w;
    for (const std::string& t : tokens) {
        if (t[0] == 'V') Chunk(w, BeginForm(w, "VERS"), [&] { PutU32(w, t.size() > 1 ? 7 : 512); });
        if (t[0] == 'N')
            Chunk(w, BeginForm(w, "NAME"), [&] { PutText(w, t.size() > 1 ? t.c_str() + 2 : "Drelmarch2 Multi Mesh File"); });
        if (t[0] == 'M') {
            Chunk(w, BeginForm(w, "HVMD"), [&] {
                Chunk(w, BeginNrml(w, "STAT", 2), [&] {
                    PutCounted(w, t.substr(2));
                    PutCounted(w, "s");
                    PutU32(w, 0);
                });
            });
        }
        if (t[0] == 'J') {
            PutFourCC(w, "JUNK");
            PutU32BE(w, 0x80000004u);
            PutU32(w, 0);
        }
    }
    return w.bytes;
}

template <typename T>
T& Add(OwnedList<T>& list) {
    list.push_back(std::make_unique<T>());
    return *list.back();
}

Mesh* MakeMesh(int32_t lod, uint32_t format, int32_t stride) {
    Mesh* mesh = new Mesh;
    mesh->lod = lod;
    mesh->parts.resize(1);
    MeshPart& part = mesh->parts[0];
    part = {0, 1, format, stride, 4, {}, {{0, kPrimTriList, 6, {0, 1, 2, 2, 1, 3}}}};
    for (int32_t i = 0; i < 4 * stride; ++i) part.vertices.push_back(float(i) * 0.25f);
    return mesh;
}

// One of every object kind, both layouts of the material, and a glow mesh
// stored with LOD -1.
Model SampleModel() {
    Model model;
    model.version = 512;
    for (uint32_t version : {0u, 2u}) {
        Material& m = Add(model.materials);
        m.version = version;
        m.name.Set("hull");
        m.shader.Set("ship");
        m.params.resize(2);
        m.params[0].type = kParamTexture;
        m.params[0].name.Set("$diffuse");
        m.params[1].type = kParamColour;
        m.params[1].name.Set("$team");
    }
    TextureImage& image = Add(model.images);
    image.format.Set("DXT1");
    image.levels.resize(2);
    for (int32_t l = 0; l < 2; ++l) {
        image.levels[size_t(l)].width = image.levels[size_t(l)].height = 8 >> l;
        image.levels[size_t(l)].size = 32 >> (2 * l);
        image.levels[size_t(l)].data.assign(size_t(32 >> (2 * l)), uint8_t(l + 7));
    }
    for (uint8_t kind : {0, 1}) {
        MultiMesh& mm = Add(kind ? model.goblinMeshes : model.multiMeshes);
        mm.kind = kind;
        mm.meshes.emplace_back(MakeMesh(0, 0x000B, 10));
        mm.meshes.emplace_back(MakeMesh(1, 0x8003, 6));
    }
    Add(model.infoEntries).value.Set("someone");
    for (const char* j : {"Hull", "Root"}) Add(model.joints).name.Set(j);
    Add(model.engineShapes).vertices = {1, 2, 3, 4, 5, 6};
    model.engineShapes[0]->vertexCount = 2;
    EngineBurn& burn = Add(model.engineBurns);
    burn.divisions = 2;
    burn.flameCount = 1;
    burn.vertexCount = 2;
    burn.vertices = {0, 0, 0, 0, 0, -1};
    Glow& glow = Add(model.glows);
    glow.lod = 1;
    glow.mesh.reset(MakeMesh(-1, 0x0009, 6));
    Add(model.markers).position[2] = 0.1;
    CollisionMesh& col = Add(model.collisionMeshes);
    col.vertexCount = col.indexCount = 3;
    col.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    col.indices = {0, 1, 2};
    Add(model.navLights).type.Set("default");
    DockPath& dock = Add(model.dockPaths);
    dock.segmentCount = 2;
    dock.segments.resize(2);
    dock.segments[1].speed = 4;
    return model;
}

}  // namespace

// The smallest model file, laid out byte by byte: lengths big-endian, the
// version inside "VERS" little-endian.
TEST(ModelFile, ByteOrdersOfHandBuiltHeader) {
    const unsigned char bytes[] = {
        'F', 'O', 'R', 'M', 0x00, 0x00, 0x00, 0x08, 'V', 'E', 'R', 'S', 0x00, 0x02, 0x00, 0x00,
        'F', 'O', 'R', 'M', 0x00, 0x00, 0x00, 0x1E, 'N', 'A', 'M', 'E', 'D', 'r', 'e', 'l', 'm', 'a',
        'r', 'c', 'h', '2', ' ', 'M', 'u', 'l', 't', 'i', ' ', 'M', 'e', 's', 'h', ' ', 'F', 'i', 'l', 'e',
    };
    auto model = ReadZemChecked(Bytes(bytes, bytes + sizeof bytes));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->version, 512u);
    EXPECT_EQ(model->typeName.value, "Drelmarch2 Multi Mesh File");
}

TEST(ModelFile, HeaderFormOrders) {
    const struct {
        const char* name;
        Bytes bytes;
        bool made;
        uint32_t version;
        std::vector<std::string> materials;
    } rows[] = {
        {"lower_case_name", TopLevel({"V", "N:drelmarch2 multi mesh file", "M:a"}), true, 512, {"a"}},
        {"name_before_vers_keeps_version_0", TopLevel({"N", "V", "M:a"}), true, 0, {"a"}},
        {"foreign_name_stops_before_any_model", TopLevel({"V", "N:Drelmarch2 Single Mesh File", "N", "M:a"}),
         false, 0, {}},
        {"foreign_name_after_model_returns_it", TopLevel({"V", "N", "M:a", "N:other", "M:b"}), true, 512, {"a"}},
        {"second_name_keeps_first_model", TopLevel({"V", "N", "M:a", "V7", "N", "M:b"}), true, 512, {"a", "b"}},
        {"data_form_before_name_skipped", TopLevel({"V", "M:early", "N", "M:a"}), true, 512, {"a"}},
        {"negative_length_ends_walk", TopLevel({"V", "N", "J", "M:after"}), true, 512, {}},
        {"empty_file", {}, false, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto model = ReadZemChecked(row.bytes);
        ASSERT_EQ(bool(model), row.made);
        if (!model) continue;
        EXPECT_EQ(model->version, row.version);
        std::vector<std::string> names;
        for (const auto& m : model->materials) names.push_back(m->name.value);
        EXPECT_EQ(names, row.materials);
    }
}

TEST(ModelFile, NrmlVersionBigEndianOrCutOff) {
    // Version 1001 stored big-endian; then a chunk whose version the file cuts
    // two bytes in: still dispatched, with version 0 and an empty body.
    ByteWriter w;
    PutBytes(w, "NRML\0\0\0\x16STAT\0\0\x03\xE9", 16);
    PutCounted(w, "m");
    PutCounted(w, "s");
    PutU32(w, 0);
    PutBytes(w, "NRML\0\0\0\x64STAT\0\0", 14);
    auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 2u);
    EXPECT_EQ(model->materials[0]->version, 1001u);
    EXPECT_EQ(model->materials[0]->name.value, "m");
    EXPECT_EQ(model->materials[1]->version, 0u);
    EXPECT_TRUE(model->materials[1]->params.empty());
}

TEST(ModelFile, TruncatedChildDoesNotStopTopLevelWalkAndInfoEntries) {
    ByteWriter w;
    PutText(w, "LMI");  // the HVMD form's only child: a header cut after three bytes
    Bytes bytes = ZemWithHvmd(w.bytes);
    w.bytes.clear();
    Chunk(w, BeginForm(w, "INFO"), [&] {
        Chunk(w, BeginBare(w, "AUTH"), [&] { PutCounted(w, "Jane"); });
        Chunk(w, BeginBare(w, "DATE"), [&] { PutCounted(w, "2004"); });
        Chunk(w, BeginBare(w, "CMNT"), [&] {  // the string claims more than its chunk holds
            PutU32(w, 40);
            PutText(w, "ab");
        });
        Chunk(w, BeginBare(w, "EMPT"), [] {});  // not even a count
    });
    bytes.insert(bytes.end(), w.bytes.begin(), w.bytes.end());
    auto model = ReadZemChecked(bytes);
    ASSERT_TRUE(model);
    const std::pair<const char*, const char*> want[] = {
        {"AUTH", "Jane"}, {"DATE", "2004"}, {"CMNT", "ab"}, {"EMPT", ""}};
    ASSERT_EQ(model->infoEntries.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(want[i].first);
        EXPECT_EQ(model->infoEntries[i]->key.value, want[i].first);
        EXPECT_EQ(model->infoEntries[i]->value.value, want[i].second);
        EXPECT_EQ(model->infoEntries[i]->value.hash, NameHash(want[i].second));
    }
}

TEST(ModelFile, WholeFileReadsBackAndEveryTruncationStopsCleanly) {
    const Model in = SampleModel();
    const Bytes whole = BuildZem(in);
    auto out = ReadZemChecked(whole);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->materials.size(), 2u);
    EXPECT_EQ(out->materials[0]->shader.value, "fx");  // bare layout with a texture
    EXPECT_EQ(out->materials[0]->params[1].name.value, "Colour2");
    EXPECT_EQ(out->materials[1]->params[1].name.value, "$team");
    EXPECT_EQ(out->images.at(0)->levels.at(1).data, in.images[0]->levels[1].data);
    EXPECT_EQ(out->goblinMeshes.at(0)->meshes.at(1)->parts.at(0).vertices, in.goblinMeshes[0]->meshes[1]->parts[0].vertices);
    // Every object kind is dispatched to its reader.
    EXPECT_EQ(out->multiMeshes.size() + out->infoEntries.size() + out->navLights.size() + out->markers.size() +
                  out->joints.size() + out->engineShapes.size() + out->engineBurns.size() +
                  out->collisionMeshes.size() + out->dockPaths.size(),
              10u);
    EXPECT_EQ(out->dockPaths.at(0)->segments.at(1).speed, 4.0f);
    // Found by fuzzing: a glow mesh stored with LOD -1 broke the "no negative
    // LOD" invariant; it takes the glow's own LOD.
    ASSERT_TRUE(out->glows.at(0)->mesh);
    EXPECT_EQ(out->glows[0]->mesh->lod, 1);

    for (size_t len = 0; len < whole.size(); ++len) {
        SCOPED_TRACE(len);
        ReadZemChecked(Bytes(whole.begin(), whole.begin() + long(len)));
    }
}

// The walk tells whether its chunks filled the block exactly; the readers
// turn a false into the model's damage flag.
TEST(WalkChunks, ReportsWhetherTheChunksFillTheBlock) {
    ByteWriter good;
    Chunk(good, BeginBare(good, "ABCD"), [&] { PutU32(good, 7); });
    Chunk(good, BeginNrml(good, "NAME", 3), [&] { PutU32(good, 1); });
    auto with = [&](Bytes tail) {
        tail.insert(tail.begin(), good.bytes.begin(), good.bytes.end());
        return tail;
    };
    const struct {
        const char* name;
        Bytes bytes;
        bool whole;
        int visits;
    } rows[] = {
        {"exact", good.bytes, true, 2},
        {"empty", {}, true, 0},
        {"header_cut_short", with({'X', 'Y', 'Z', 'W', 0, 0}), false, 2},
        {"length_with_top_bit", with({'X', 'Y', 'Z', 'W', 0x80, 0, 0, 4, 1, 2, 3, 4}), false, 2},
        {"chunk_past_the_end", with({'X', 'Y', 'Z', 'W', 0, 0, 0, 9, 1, 2}), false, 3},
        {"nrml_version_cut_short", with({'N', 'R', 'M', 'L', 0, 0, 0, 8, 'H', 'E', 'A', 'D', 0}), false, 3},
        {"form_shorter_than_its_type", with({'F', 'O', 'R', 'M', 0, 0, 0, 2, 'T', 'Y', 'P', 'E'}), false, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes copy(row.bytes);  // own allocation: ASan sees over-reads
        int visits = 0;
        EXPECT_EQ(WalkChunks(ReaderOf(copy), [&](const ChunkHeader&, ByteReader) { ++visits; }), row.whole);
        EXPECT_EQ(visits, row.visits);
    }
}
