// The model file container: byte orders, the top-level forms, the dispatch of
// form children, info entries, and a whole file read back and cut short.
#include <gtest/gtest.h>

#include "tests/model/model_test_support.h"

namespace {

// A file from tokens: "V" the VERS form (512), "V7" VERS 7, "N" the multi mesh
// NAME form, "N:text" another NAME, "M:x" an HVMD form holding one material x,
// "J" a chunk whose length has the top bit set (it would move the walk back).
Bytes TopLevel(std::initializer_list<std::string> tokens) {
    ByteWriter w;
    for (const std::string& t : tokens) {
        size_t at = 0;
        if (t[0] == 'V') {
            at = BeginForm(w, "VERS");
            PutU32(w, t.size() > 1 ? uint32_t(std::stoul(t.substr(1))) : 512u);
        } else if (t[0] == 'N') {
            at = BeginForm(w, "NAME");
            PutText(w, t.size() > 1 ? t.c_str() + 2 : "Drelmarch2 Multi Mesh File");
        } else if (t[0] == 'M') {
            at = BeginForm(w, "HVMD");
            size_t stat = BeginNrml(w, "STAT", 2);
            PutCounted(w, t.substr(2));
            PutCounted(w, "s");
            PutU32(w, 0);
            EndChunk(w, stat);
        } else {
            PutFourCC(w, "JUNK");
            PutU32BE(w, 0x80000004u);
            PutU32(w, 0);
            continue;
        }
        EndChunk(w, at);
    }
    return w.bytes;
}

template <typename T>
T& Add(OwnedList<T>& list) {
    list.push_back(std::make_unique<T>());
    return *list.back();
}

Mesh MakeMesh(int32_t lod, uint32_t format, int32_t stride) {
    Mesh mesh;
    mesh.lod = lod;
    MeshPart part;
    part.index = 0;
    part.materialIndex = 1;
    part.format = format;
    part.stride = stride;
    part.vertexCount = 4;
    for (int32_t i = 0; i < 4 * stride; ++i) part.vertices.push_back(float(i) * 0.25f);
    part.groups.resize(2);
    part.groups[0] = {0, kPrimTriList, 6, {0, 1, 2, 2, 1, 3}};
    part.groups[1] = {1, kPrimTriStrip, 4, {3, 2, 1, 0}};
    mesh.parts.push_back(part);
    return mesh;
}

// One of every object kind, both header forms of the material, and a glow
// mesh stored with LOD -1.
Model SampleModel() {
    Model model;
    model.version = 512;
    for (uint32_t version : {0u, 2u}) {
        Material& m = Add(model.materials);
        m.version = version;
        m.name.Set(version ? "hull" : "old");
        m.shader.Set("ship");
        m.params.resize(2);
        m.params[0].type = kParamTexture;
        m.params[0].name.Set("$diffuse");
        m.params[1].type = kParamColour;
        m.params[1].colour[0] = 0.5f;
        m.params[1].name.Set("$team");
    }
    TextureImage& image = Add(model.images);
    image.name.Set("hull");
    image.format.Set("DXT1");
    for (int32_t side : {8, 4}) {
        MipLevel level;
        level.width = level.height = side;
        level.size = side * side / 2;
        for (int32_t i = 0; i < level.size; ++i) level.data.push_back(uint8_t(i * 7));
        image.levels.push_back(level);
    }
    for (uint8_t kind : {0, 1}) {
        MultiMesh& mm = Add(kind ? model.goblinMeshes : model.multiMeshes);
        mm.kind = kind;
        mm.name.Set(kind ? "goblin" : "hull_mesh");
        mm.parentName.Set("Root");
        mm.meshes.push_back(std::make_unique<Mesh>(MakeMesh(0, 0x000B, 10)));
        mm.meshes.push_back(std::make_unique<Mesh>(MakeMesh(1, 0x8003, 6)));
    }
    Add(model.infoEntries).key.Set("AUTH");
    model.infoEntries[0]->value.Set("someone");
    for (const char* j : {"Hull", "Root", "Nozzle"}) Add(model.joints).name.Set(j);
    model.joints[0]->parentName.Set("Root");
    model.joints[2]->parentName.Set("hull");
    EngineShape& shape = Add(model.engineShapes);
    shape.parentName.Set("Nozzle");
    shape.vertexCount = 2;
    shape.vertices = {1, 2, 3, 4, 5, 6};
    EngineBurn& burn = Add(model.engineBurns);
    burn.divisions = 2;
    burn.flameCount = 1;
    burn.vertexCount = 2;
    burn.vertices = {0, 0, 0, 0, 0, -1};
    Glow& glow = Add(model.glows);
    glow.name.Set("g");
    glow.lod = 1;
    glow.mesh = std::make_unique<Mesh>(MakeMesh(-1, 0x0009, 6));
    Add(model.markers).position[2] = 0.1;
    CollisionMesh& col = Add(model.collisionMeshes);
    col.parentName.Set("Hull");
    col.vertexCount = 3;
    col.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    col.indexCount = 3;
    col.indices = {0, 1, 2};
    NavLight& light = Add(model.navLights);
    light.name.Set("Nozzle");
    light.type.Set("default");
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
    struct Row {
        const char* name;
        Bytes bytes;
        bool made;
        uint32_t version;
        std::vector<std::string> materials;
    };
    const Row rows[] = {
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
    for (const Row& row : rows) {
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
    PutFourCC(w, "NRML");
    PutU32BE(w, 22);
    PutFourCC(w, "STAT");
    PutBytes(w, "\x00\x00\x03\xE9", 4);
    PutCounted(w, "m");
    PutCounted(w, "s");
    PutU32(w, 0);
    PutFourCC(w, "NRML");
    PutU32BE(w, 100);
    PutFourCC(w, "STAT");
    PutU8(w, 0);
    PutU8(w, 0);
    auto model = ReadZemChecked(ZemWithHvmd(w.bytes));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 2u);
    EXPECT_EQ(model->materials[0]->version, 1001u);
    EXPECT_EQ(model->materials[0]->name.value, "m");
    EXPECT_EQ(model->materials[1]->version, 0u);
    EXPECT_TRUE(model->materials[1]->params.empty());
}

TEST(ModelFile, TruncatedChildDoesNotStopTopLevelWalk) {
    ByteWriter w;
    size_t at = BeginNrml(w, "STAT", 2);
    PutCounted(w, "kept");
    PutCounted(w, "s");
    PutU32(w, 0);
    EndChunk(w, at);
    PutText(w, "LMI");  // a child header cut after three bytes
    Bytes bytes = ZemWithHvmd(w.bytes);
    ByteWriter info;
    size_t form = BeginForm(info, "INFO");
    at = BeginBare(info, "AUTH");
    PutCounted(info, "after");
    EndChunk(info, at);
    EndChunk(info, form);
    bytes.insert(bytes.end(), info.bytes.begin(), info.bytes.end());

    auto model = ReadZemChecked(bytes);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 1u);
    EXPECT_EQ(model->materials[0]->name.value, "kept");
    ASSERT_EQ(model->infoEntries.size(), 1u);
    EXPECT_EQ(model->infoEntries[0]->value.value, "after");
}

TEST(ModelFile, InfoEntriesInFileOrder) {
    ByteWriter w;
    size_t form = BeginForm(w, "INFO");
    for (const char* key : {"AUTH", "DATE", "CMNT", "EMPT"}) {
        size_t at = BeginBare(w, key);
        if (key[0] == 'A') PutCounted(w, "Jane");
        if (key[0] == 'D') PutCounted(w, "2004");
        if (key[0] == 'C') {  // the string claims more than its chunk holds
            PutU32(w, 40);
            PutText(w, "ab");
        }
        EndChunk(w, at);  // EMPT: not even a count
    }
    EndChunk(w, form);
    Bytes bytes = TopLevel({"V", "N"});
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
    ASSERT_EQ(out->images.size(), 1u);
    ASSERT_EQ(out->images[0]->levels.size(), 2u);
    EXPECT_EQ(out->images[0]->levels[1].data, in.images[0]->levels[1].data);
    ASSERT_EQ(out->multiMeshes.size(), 1u);
    ASSERT_EQ(out->goblinMeshes.size(), 1u);
    for (const MultiMesh* mm : {out->multiMeshes[0].get(), out->goblinMeshes[0].get()}) {
        ASSERT_EQ(mm->meshes.size(), 2u);
        for (size_t l = 0; l < 2; ++l) {
            const MeshPart& got = mm->meshes[l]->parts[0];
            const MeshPart& want = in.multiMeshes[0]->meshes[l]->parts[0];
            EXPECT_EQ(got.stride, want.stride);
            EXPECT_EQ(got.vertices, want.vertices);
            ASSERT_EQ(got.groups.size(), 2u);
            EXPECT_EQ(got.groups[1].indices, want.groups[1].indices);
        }
    }
    ASSERT_EQ(out->infoEntries.size(), 1u);
    ASSERT_EQ(out->joints.size(), 3u);
    EXPECT_EQ(out->joints[2]->parentName.value, "hull");
    ASSERT_EQ(out->engineShapes.size(), 1u);
    EXPECT_EQ(out->engineShapes[0]->vertices[5], 6.0f);
    ASSERT_EQ(out->engineBurns.size(), 1u);
    EXPECT_EQ(out->engineBurns[0]->vertices[5], -1.0f);
    ASSERT_EQ(out->markers.size(), 1u);
    EXPECT_EQ(out->markers[0]->position[2], 0.1);
    ASSERT_EQ(out->collisionMeshes.size(), 1u);
    EXPECT_EQ(out->collisionMeshes[0]->indices, in.collisionMeshes[0]->indices);
    ASSERT_EQ(out->navLights.size(), 1u);
    ASSERT_EQ(out->dockPaths.size(), 1u);
    EXPECT_EQ(out->dockPaths[0]->segments[1].speed, 4.0f);
    // Found by fuzzing: a glow mesh stored with LOD -1 broke the "no negative
    // LOD" invariant; it takes the glow's own LOD.
    ASSERT_EQ(out->glows.size(), 1u);
    ASSERT_TRUE(out->glows[0]->mesh);
    EXPECT_EQ(out->glows[0]->mesh->lod, 1);

    for (size_t len = 0; len < whole.size(); ++len) {
        SCOPED_TRACE(len);
        ReadZemChecked(Bytes(whole.begin(), whole.begin() + long(len)));
    }
}
