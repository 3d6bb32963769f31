// The way back to the game: the model (and the animation set of the MAD file
// beside it) that a scene stands for, the inverse of BuildScene. What the
// scene shows (node names and placements, vertices, maps, curves) is taken
// from the scene, so an edit made in a modelling package comes back; what no
// visible element carries comes from the facts the scene build recorded
// (SceneNode::facts, Scene::facts), or from a stated default where a document
// lost them. build(ModelFromScene(scene)) == scene for every scene BuildScene
// makes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/model.h"
#include "scene/scene.h"

struct WayBackReport {
    // One line per kind of fact taken from a default because the scene did
    // not carry it ("joint scale and flags", ...), each kind once, in the
    // order first met.
    std::vector<std::string> defaults;
    void Default(const std::string& kind);
};

// The model with its animation set (null when the scene has no curves and
// no clips). Joints are resolved (ResolveJoints), as a read model's are.
std::unique_ptr<Model> ModelFromScene(const Scene& scene, WayBackReport& report);
