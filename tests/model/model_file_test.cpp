// Whole model files from the fixture writer: a round trip of every HVMD
// object, and damaged copies (every prefix, every byte patched) that must all
// read without a fault and pass the invariant checker.
#include <gtest/gtest.h>

#include "tests/model/read_checked.h"

namespace {

Mesh MakeMesh(int32_t lod, uint32_t format, int32_t vertices) {
    Mesh mesh;
    mesh.lod = lod;
    MeshPart part;
    part.index = 0;
    part.materialIndex = 1;
    part.format = format;
    part.stride = 0;
    for (uint32_t bit : {1u, 2u}) part.stride += (format & bit) ? ((format & 0x8000) ? 3 : 4) : 0;
    part.stride += (format & 8) ? 2 : 0;
    part.vertexCount = vertices;
    for (int32_t i = 0; i < vertices * part.stride; ++i) part.vertices.push_back(float(i) * 0.25f);
    PrimitiveGroup list;
    list.index = 0;
    list.type = 0x0202;
    list.indices = {0, 1, 2, 2, 1, 3};
    list.indexCount = 6;
    PrimitiveGroup strip;
    strip.index = 1;
    strip.type = 0x0206;
    strip.indices = {3, 2, 1, 0};
    strip.indexCount = 4;
    part.groups = {list, strip};
    mesh.parts.push_back(part);
    return mesh;
}

Model SampleModel() {
    Model model;
    model.version = 512;
    for (uint32_t version : {0u, 2u}) {
        auto m = std::make_unique<Material>();
        m->version = version;
        m->name.Set(version ? "hull" : "old");
        m->shader.Set("ship");
        MaterialParam tex;
        tex.type = 5;
        tex.imageIndex = 0;
        tex.name.Set("$diffuse");
        MaterialParam colour;
        colour.type = 4;
        colour.colour[0] = 0.5f;
        colour.name.Set("$team");
        m->params = {tex, colour};
        model.materials.push_back(std::move(m));
    }
    auto image = std::make_unique<TextureImage>();
    image->name.Set("hull");
    image->format.Set("DXT1");
    for (int32_t side : {8, 4}) {
        MipLevel level;
        level.width = level.height = side;
        level.size = side * side / 2;
        for (int32_t i = 0; i < level.size; ++i) level.data.push_back(uint8_t(i * 7));
        image->levels.push_back(level);
    }
    model.images.push_back(std::move(image));
    for (uint8_t kind : {0, 1}) {
        auto mm = std::make_unique<MultiMesh>();
        mm->kind = kind;
        mm->name.Set(kind ? "goblin" : "hull_mesh");
        mm->parentName.Set("Root");
        mm->meshes.push_back(std::make_unique<Mesh>(MakeMesh(0, 0x000B, 4)));
        mm->meshes.push_back(std::make_unique<Mesh>(MakeMesh(1, 0x8003, 4)));
        (kind ? model.goblinMeshes : model.multiMeshes).push_back(std::move(mm));
    }
    auto info = std::make_unique<InfoEntry>();
    info->key.Set("AUTH");
    info->value.Set("someone");
    model.infoEntries.push_back(std::move(info));
    return model;
}

}  // namespace

TEST(ModelFile, FixtureRoundTrip) {
    Model in = SampleModel();
    auto out = ReadZemChecked(BuildZem(in));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->version, 512u);
    ASSERT_EQ(out->materials.size(), 2u);
    EXPECT_EQ(out->materials[0]->shader.value, "fx");  // old layout with a texture
    EXPECT_EQ(out->materials[0]->params[1].name.value, "Colour2");
    EXPECT_EQ(out->materials[1]->params[1].name.value, "$team");
    EXPECT_EQ(out->materials[1]->params[1].colour[0], 0.5f);
    ASSERT_EQ(out->images.size(), 1u);
    ASSERT_EQ(out->images[0]->levels.size(), 2u);
    EXPECT_EQ(out->images[0]->levels[0].data, in.images[0]->levels[0].data);
    EXPECT_EQ(out->images[0]->levels[1].data, in.images[0]->levels[1].data);
    ASSERT_EQ(out->multiMeshes.size(), 1u);
    ASSERT_EQ(out->goblinMeshes.size(), 1u);
    for (const OwnedList<MultiMesh>* list : {&out->multiMeshes, &out->goblinMeshes}) {
        const MultiMesh& mm = *(*list)[0];
        ASSERT_EQ(mm.meshes.size(), 2u);
        for (size_t l = 0; l < 2; ++l) {
            const MeshPart& got = mm.meshes[l]->parts[0];
            const MeshPart& want = in.multiMeshes[0]->meshes[l]->parts[0];
            EXPECT_EQ(got.format, want.format);
            EXPECT_EQ(got.stride, want.stride);
            EXPECT_EQ(got.vertices, want.vertices);
            ASSERT_EQ(got.groups.size(), 2u);
            EXPECT_EQ(got.groups[1].indices, want.groups[1].indices);
        }
    }
    ASSERT_EQ(out->infoEntries.size(), 1u);
    EXPECT_EQ(out->infoEntries[0]->value.value, "someone");
}

TEST(ModelFile, EveryTruncationStopsCleanly) {
    std::vector<unsigned char> whole = BuildZem(SampleModel());
    for (size_t len = 0; len < whole.size(); ++len) {
        SCOPED_TRACE(len);
        ReadZemChecked(std::vector<unsigned char>(whole.begin(), whole.begin() + long(len)));
    }
}

TEST(ModelFile, EveryBytePatchedReadsSafely) {
    std::vector<unsigned char> whole = BuildZem(SampleModel());
    for (size_t at = 0; at < whole.size(); ++at) {
        for (int patch : {1, -1, 0x100, 0x1FF}) {  // +1, -1, set 0, set 0xFF
            std::vector<unsigned char> bytes = whole;
            if (patch == 0x100) bytes[at] = 0;
            else if (patch == 0x1FF) bytes[at] = 0xFF;
            else bytes[at] = uint8_t(bytes[at] + patch);
            SCOPED_TRACE(testing::Message() << "offset " << at << " patch " << patch);
            ReadZemChecked(bytes);
        }
    }
}

TEST(ReadMad, EveryBytePatchedReadsSafely) {
    AnimationSet set;
    for (int c = 0; c < 3; ++c) {
        auto curve = std::make_unique<AnimationCurve>();
        curve->name.Set(c == 2 ? "Gun_rotateY" : "Hull_translateX");
        curve->flags = uint16_t(c & 1);
        curve->keys.resize(2);
        set.curves.push_back(std::move(curve));
    }
    auto clip = std::make_unique<AnimationClip>();
    clip->name.Set("fire");
    auto track = std::make_unique<ClipTrack>();
    track->name.Set("Gun_rotateY");
    track->curveIndices = {2, 0, 7};
    clip->tracks.push_back(std::move(track));
    set.clips.push_back(std::move(clip));
    std::vector<unsigned char> whole = BuildMad(set);
    ASSERT_TRUE(ReadMadChecked(whole));
    for (size_t at = 0; at < whole.size(); ++at) {
        for (int patch : {1, -1, 0x100, 0x1FF}) {
            std::vector<unsigned char> bytes = whole;
            if (patch == 0x100) bytes[at] = 0;
            else if (patch == 0x1FF) bytes[at] = 0xFF;
            else bytes[at] = uint8_t(bytes[at] + patch);
            SCOPED_TRACE(testing::Message() << "offset " << at << " patch " << patch);
            ReadMadChecked(bytes);
        }
    }
}

// Found by fuzzing: a glow's mesh stored with LOD -1 broke the "no negative
// LOD" invariant; it now takes the glow's own LOD, as a multi mesh's takes its
// position.
TEST(ModelFile, GlowMeshWithNegativeLodTakesGlowLod) {
    Model in = SampleModel();
    auto glow = std::make_unique<Glow>();
    glow->name.Set("g");
    glow->parentName.Set("Root");
    glow->lod = 1;
    glow->mesh = std::make_unique<Mesh>(MakeMesh(-1, 0x0009, 4));
    in.glows.push_back(std::move(glow));
    auto out = ReadZemChecked(BuildZem(in));
    ASSERT_TRUE(out);
    ASSERT_EQ(out->glows.size(), 1u);
    ASSERT_TRUE(out->glows[0]->mesh);
    EXPECT_EQ(out->glows[0]->mesh->lod, 1);
    EXPECT_EQ(out->glows[0]->lod, 1u);
}

// The checker itself must see broken models, or every sweep above passes
// vacuously.
TEST(CheckModel, FlagsBrokenModels) {
    struct Row {
        const char* name;
        void (*breakIt)(Model&);
    };
    const Row rows[] = {
        {"index_beyond_vertices", [](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].groups[0].indices[2] = 4; }},
        {"vertex_array_short", [](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].vertices.pop_back(); }},
        {"stride_mismatch", [](Model& m) { m.goblinMeshes[0]->meshes[1]->parts[0].stride = 8; }},
        {"negative_lod", [](Model& m) { m.multiMeshes[0]->meshes[1]->lod = -1; }},
        {"index_count_mismatch", [](Model& m) { m.multiMeshes[0]->meshes[0]->parts[0].groups[1].indexCount = 9; }},
        {"level_data_past_size", [](Model& m) { m.images[0]->levels[1].size = 1; }},
        {"material_position", [](Model& m) { m.materials[1]->index = 0; }},
        {"null_name", [](Model& m) { m.materials[0]->name.Set(nullptr); }},
        {"null_slot", [](Model& m) { m.infoEntries.push_back(nullptr); }},
        {"disconnected_link_named", [](Model& m) {
             m.animation = std::make_unique<AnimationSet>();
             auto clip = std::make_unique<AnimationClip>();
             clip->name.Set("c");
             clip->nameIndex = 0;
             m.animation->names.resize(1);
             m.animation->names[0].name.Set("c");
             auto track = std::make_unique<ClipTrack>();
             track->name.Set("c");
             track->nameIndex = 0;
             track->curveIndices = {0};
             track->links.resize(1);
             track->links[0].curveName.Set("c");
             track->links[0].connected = 1;  // no curve 0 exists
             clip->tracks.push_back(std::move(track));
             m.animation->clips.push_back(std::move(clip));
             m.animation->clipCount = 1;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto model = ReadZemChecked(BuildZem(SampleModel()));
        ASSERT_TRUE(model);
        ASSERT_TRUE(CheckModel(*model).empty());
        row.breakIt(*model);
        EXPECT_FALSE(CheckModel(*model).empty());
    }
}
