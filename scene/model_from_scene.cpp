#include "scene/model_from_scene.h"

#include <algorithm>

#include "model/joints.h"
#include "scene/names.h"
#include "scene/way_back.h"

void WayBackReport::Default(const std::string& kind) {
    if (std::find(defaults.begin(), defaults.end(), kind) == defaults.end()) defaults.push_back(kind);
}

std::unique_ptr<Model> ModelFromScene(const Scene& scene, WayBackReport& report) {
    auto model = std::make_unique<Model>();
    model->type = 0;
    model->version = uint32_t(scene.version);
    WayBack back(scene, *model, report);
    ObjectsFromScene(back);
    MeshesFromScene(back);
    ImagesFromScene(back);
    // A document that lost its version (a tool that drops empty nodes and
    // extras) still makes a model the game, and this tool, reads.
    int32_t shown = 0;
    const bool lost = std::none_of(scene.nodes.begin(), scene.nodes.end(),
                                   [&](const SceneNode& node) { return ParseVersionInfoName(node.name, shown); });
    if (model->version == 0 && lost) {
        model->version = kMultiMeshVersion;
        report.Default("model version");
    }
    ResolveJoints(*model);
    return model;
}
