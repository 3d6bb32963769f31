// The steps of ModelFromScene, one file each, sharing this working state.
#pragma once

#include "scene/model_from_scene.h"

struct WayBack {
    const Scene& scene;
    Model& model;
    WayBackReport& report;
    // Per model image: stored without all the bytes of its first level.
    std::vector<bool> imagesCut;
    WayBack(const Scene& s, Model& m, WayBackReport& r) : scene(s), model(m), report(r) {}
};

// Joints, markers, dock paths, navigation lights, engine shapes and burns,
// collision meshes, information entries, materials, the images' stored
// facts (name, format, size; no levels yet) and the animation set.
void ObjectsFromScene(WayBack& back);
// Multi meshes, goblin meshes and glows: their levels, parts, vertex formats
// and triangle lists.
void MeshesFromScene(WayBack& back);
// Every image's levels: the maps turned back into the image channels they
// came from, encoded in the image's format with a full mip chain.
void ImagesFromScene(WayBack& back);
