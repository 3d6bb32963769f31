// The steps of AdoptForeignScene, one file each, sharing this working state.
#pragma once

#include <string>

#include "scene/foreign_scene.h"

struct Adoption {
    Scene& scene;
    std::string error;  // set by a step when no model can be made
    explicit Adoption(Scene& s) : scene(s) {}
    void Note(std::string line) { scene.notes.push_back(std::move(line)); }
};

// The node tree: empty nodes become joints, mesh nodes multi meshes hanging
// from a joint of their name, all under the joint "Root"; names already in
// the bracket grammar keep their meaning. The curves are retargeted to the
// joints they drive and every clip lists its tracks.
void AdoptNodes(Adoption& adoption);
// The geometry: normals where the file has none, parts the format's 16-bit
// indices can hold; no triangle at all is an error.
void AdoptMeshes(Adoption& adoption);
// Materials of the game's ship shader with their maps, and the images those
// maps are made from (power-of-two sizes, the format their alpha needs).
void AdoptMaterials(Adoption& adoption);
