// The "DTRM" objects through a whole file: the fixture writer lays every kind
// out inside one form, the model reader dispatches each to its reader.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "model/joints.h"
#include "model/read_model.h"
#include "tests/support/check_model.h"
#include "tests/support/fixture_writer.h"

namespace {

Model SceneModel() {
    Model m;
    m.version = 512;
    const char* joints[3][2] = {{"Hull", "Root"}, {"Root", ""}, {"Nozzle", "hull"}};
    for (auto& j : joints) {
        auto joint = std::make_unique<Joint>();
        joint->name.Set(j[0]);
        joint->parentName.Set(j[1]);
        joint->position[1] = 2;
        m.joints.push_back(std::move(joint));
    }
    auto shape = std::make_unique<EngineShape>();
    shape->name.Set("Shape");
    shape->parentName.Set("Nozzle");
    shape->vertexCount = 2;
    shape->vertices = {1, 2, 3, 4, 5, 6};
    m.engineShapes.push_back(std::move(shape));
    auto burn = std::make_unique<EngineBurn>();
    burn->name.Set("Burn");
    burn->parentName.Set("Nozzle");
    burn->divisions = 2;
    burn->flameCount = 1;
    burn->vertexCount = 2;
    burn->vertices = {0, 0, 0, 0, 0, -1};
    m.engineBurns.push_back(std::move(burn));
    auto glow = std::make_unique<Glow>();
    glow->name.Set("Glow");
    glow->parentName.Set("Nozzle");
    m.glows.push_back(std::move(glow));
    auto marker = std::make_unique<Marker>();
    marker->name.Set("Mark");
    marker->parentName.Set("HULL");
    marker->position[2] = 0.1;
    m.markers.push_back(std::move(marker));
    for (int i = 0; i < 2; ++i) {
        auto col = std::make_unique<CollisionMesh>();
        col->parentName.Set("Hull");
        col->vertexCount = 1;
        col->vertices = {float(i), 0, 0};
        m.collisionMeshes.push_back(std::move(col));
    }
    auto light = std::make_unique<NavLight>();
    light->name.Set("Nozzle");
    light->type.Set("default");
    m.navLights.push_back(std::move(light));
    auto dock = std::make_unique<DockPath>();
    dock->name.Set("Path");
    dock->parentName.Set("Hull");
    dock->segmentCount = 1;
    dock->segments.resize(1);
    dock->segments[0].speed = 4;
    m.dockPaths.push_back(std::move(dock));
    return m;
}

}  // namespace

TEST(DetailForm, EveryObjectKindReadsThroughTheFile) {
    const std::vector<unsigned char> file = BuildZem(SceneModel());
    std::unique_ptr<Model> model = ReadModelFile(file.data(), file.size());
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->joints.size(), 3u);
    ASSERT_EQ(model->engineShapes.size(), 1u);
    ASSERT_EQ(model->engineBurns.size(), 1u);
    ASSERT_EQ(model->glows.size(), 1u);
    ASSERT_EQ(model->markers.size(), 1u);
    ASSERT_EQ(model->collisionMeshes.size(), 2u);
    ASSERT_EQ(model->navLights.size(), 1u);
    ASSERT_EQ(model->dockPaths.size(), 1u);
    EXPECT_EQ(model->engineShapes[0]->vertices[5], 6.0f);
    EXPECT_EQ(model->engineBurns[0]->vertices[5], -1.0f);
    EXPECT_EQ(model->markers[0]->position[2], 0.1);
    EXPECT_EQ(model->collisionMeshes[1]->index, 1);
    EXPECT_EQ(model->collisionMeshes[1]->vertices[0], 1.0f);
    EXPECT_EQ(model->dockPaths[0]->segments[0].speed, 4.0f);

    EXPECT_TRUE(CheckModel(*model).empty());
    ResolveJoints(*model);
    EXPECT_TRUE(CheckModel(*model).empty());
    EXPECT_STREQ(model->joints[2]->name.CStr(), "Nozzle");
    EXPECT_EQ(model->joints[2]->depth, 2);
    // World Y of the nozzle: three joints each 2 up.
    EXPECT_EQ(model->joints[2]->worldMatrix.m[13], 6.0f);
    // Every object finds its joint by name, whatever the letter case.
    EXPECT_EQ(FindJoint(*model, model->markers[0]->parentName), model->joints[1].get());
    EXPECT_EQ(FindJoint(*model, model->navLights[0]->name), model->joints[2].get());
    EXPECT_EQ(FindJoint(*model, model->glows[0]->parentName), model->joints[2].get());
}
