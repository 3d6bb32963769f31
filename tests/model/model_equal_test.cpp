// The model comparison: each row changes one field of a copy of a small
// model and names the difference it must report, with and without the
// options that leave out what the way back from a document makes anew.
#include "model/model_equal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// One material, an image of two levels, a mesh part whose vertices have
// tangents and binormals drawn as one strip, a joint, a collision mesh and
// an animation file with a curve and a clip.
std::unique_ptr<Model> SmallModel() {
    auto model = std::make_unique<Model>();
    model->type = 0;
    model->version = 512;
    auto& material = *model->materials.emplace_back(std::make_unique<Material>());
    material.name.Set("hull");
    material.shader.Set("ship");
    for (const char* name : {"$diffuse", "$glow"}) {
        MaterialParam& param = material.params.emplace_back();
        param.name.Set(name);
        param.type = kParamTexture;
    }
    auto& image = *model->images.emplace_back(std::make_unique<TextureImage>());
    image.name.Set("hull");
    image.format.Set("8888");
    for (int32_t side : {2, 1})
        image.levels.push_back({std::vector<unsigned char>(size_t(side * side * 4), 7), side * side * 4, side, side});
    auto& multi = *model->multiMeshes.emplace_back(std::make_unique<MultiMesh>());
    multi.name.Set("hull");
    MeshPart& part = multi.meshes.emplace_back(std::make_unique<Mesh>())->parts.emplace_back();
    part.format = kFormatPosition | kFormatNormal | kFormatTexCoord | kFormatTangent | kFormatBinormal;
    part.stride = 4 + 4 + 2 + 3 + 3;
    part.vertexCount = 4;
    for (int i = 0; i < 4 * part.stride; ++i) part.vertices.push_back(float(i));
    part.groups.push_back({0, kPrimTriStrip, 4, {0, 1, 2, 3}});
    auto& joint = *model->joints.emplace_back(std::make_unique<Joint>());
    joint.name.Set("Root");
    joint.depth = 0;
    auto& collision = *model->collisionMeshes.emplace_back(std::make_unique<CollisionMesh>());
    collision.vertexCount = 3;
    collision.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    collision.indexCount = 3;
    collision.indices = {0, 1, 2};
    collision.bounds.count = 3;
    model->animation = std::make_unique<AnimationSet>();
    auto& curve = *model->animation->curves.emplace_back(std::make_unique<AnimationCurve>());
    curve.name.Set("Root_translateX");
    curve.keys.push_back({0.5, 2.0, 0, 0, 0, 0, 0});
    model->animation->clips.emplace_back(std::make_unique<AnimationClip>())->name.Set("idle");
    return model;
}

MeshPart& Part(Model& m) { return m.multiMeshes[0]->meshes[0]->parts[0]; }

}  // namespace

TEST(ModelDifference, NamesTheFirstChangedFieldUnlessItIsMadeAnew) {
    ModelCompareOptions none, anew;
    anew.skipLowerMips = anew.skipTangents = anew.skipCollisionBounds = anew.groupsAsTriangles =
        anew.skipJointResolution = true;
    struct Row {
        const char* what;
        std::function<void(Model&)> change;
        const char* difference;  // with no option: "" equal, else the path, or "=" and the whole text
        const char* madeAnew;    // with every option
    };
    const Row rows[] = {
        {"nothing", [](Model&) {}, "", ""},
        {"where it was read from",
         [](Model& m) {
             m.path.Set("other.zem");
             m.damage.parts = 1;
         },
         "", ""},
        {"a vertex's zero sign", [](Model& m) { Part(m).vertices[0] = -0.0f; },
         "=multiMeshes[0].meshes[0].parts[0].vertices[0]: 0 != -0", "multiMeshes[0].meshes[0].parts[0].vertices[0]"},
        {"a tangent", [](Model& m) { Part(m).vertices[10] += 1; }, "multiMeshes[0].meshes[0].parts[0].vertices[10]",
         ""},
        {"a binormal of the last vertex", [](Model& m) { Part(m).vertices[4 * 16 - 1] += 1; },
         "multiMeshes[0].meshes[0].parts[0].vertices[63]", ""},
        {"a texture coordinate", [](Model& m) { Part(m).vertices[16 + 9] += 1; },
         "multiMeshes[0].meshes[0].parts[0].vertices[25]", "multiMeshes[0].meshes[0].parts[0].vertices[25]"},
        {"the strip as the list of its triangles",
         [](Model& m) {
             Part(m).groups = {{0, kPrimTriList, 6, {0, 1, 2, 1, 3, 2}}};
         },
         "=multiMeshes[0].meshes[0].parts[0].groups[0].type: 518 != 514", ""},
        {"a triangle turned",
         [](Model& m) {
             Part(m).groups = {{0, kPrimTriList, 6, {0, 1, 2, 2, 1, 3}}};
         },
         "multiMeshes[0].meshes[0].parts[0].groups[0].type",
         "multiMeshes[0].meshes[0].parts[0].groups triangle corner[3]"},
        {"a lower mip level", [](Model& m) { m.images[0]->levels[1].data[0] = 8; }, "images[0].levels[1].data[0]", ""},
        {"the first mip level", [](Model& m) { m.images[0]->levels[0].width = 3; }, "images[0].levels[0].width",
         "images[0].levels[0].width"},
        {"the levels gone", [](Model& m) { m.images[0]->levels.clear(); }, "images[0].levels.size()",
         "images[0].levels.empty()"},
        {"collision bounds", [](Model& m) { m.collisionMeshes[0]->bounds.sphereRadius = 2; },
         "collisionMeshes[0].bounds.sphereRadius", ""},
        {"a joint's depth and matrix",
         [](Model& m) {
             m.joints[0]->depth = 1;
             m.joints[0]->worldMatrix.m[12] = 5;
         },
         "joints[0].depth", ""},
        {"a joint's scale", [](Model& m) { m.joints[0]->scale[1] = 2; }, "joints[0].scale[1]", "joints[0].scale[1]"},
        {"parameter order", [](Model& m) { std::swap(m.materials[0]->params[0], m.materials[0]->params[1]); },
         "=materials[0].params[0].name: \"$diffuse\" != \"$glow\"", "materials[0].params[0].name"},
        {"a name's hash alone", [](Model& m) { m.materials[0]->name.hash ^= 1; }, "materials[0].name.hash",
         "materials[0].name.hash"},
        {"a null entry", [](Model& m) { m.materials[0].reset(); }, "=materials[0] present: 1 != 0",
         "materials[0] present"},
        {"a key's tangent", [](Model& m) { m.animation->curves[0]->keys[0].outTangentY = 1; },
         "animation.curves[0].keys[0].outTangentY", "animation.curves[0].keys[0].outTangentY"},
        {"a clip's loop", [](Model& m) { m.animation->clips[0]->loopEnd = 1; }, "animation.clips[0].loopEnd",
         "animation.clips[0].loopEnd"},
        {"no animation file", [](Model& m) { m.animation.reset(); }, "animation present", "animation present"},
        {"an info entry", [](Model& m) { m.infoEntries.emplace_back(std::make_unique<InfoEntry>()); },
         "infoEntries.size()", "infoEntries.size()"},
    };
    const std::unique_ptr<Model> original = SmallModel();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<Model> changed = SmallModel();
        row.change(*changed);
        for (const bool skip : {false, true}) {
            const std::string want = skip ? row.madeAnew : row.difference;
            const std::string got = ModelDifference(*original, *changed, skip ? anew : none);
            if (want.empty())
                EXPECT_EQ(got, "") << (skip ? "made anew" : "compared");
            else if (want[0] == '=')
                EXPECT_EQ(got, want.substr(1));
            else
                EXPECT_EQ(got.substr(0, want.size() + 1), want + ":") << got;
        }
    }
}
