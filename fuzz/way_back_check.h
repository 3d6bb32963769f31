// The way back of a scene a fuzz target read: the model it stands for is
// made whatever the scene's facts hold, and written, it reads as a model.
#pragma once

#include "model/read_model.h"
#include "model/write_model.h"
#include "scene/model_from_scene.h"

inline void CheckWayBack(const Scene& scene) {
    WayBackReport report;
    const std::unique_ptr<Model> model = ModelFromScene(scene, report);
    const std::vector<unsigned char> zem = BuildZem(*model);
    if (!ReadModelFile(zem.data(), zem.size())) __builtin_trap();
    if (model->animation) {
        const std::vector<unsigned char> mad = BuildMad(*model->animation);
        if (!ReadMad(mad.data(), mad.size())) __builtin_trap();
    }
}
