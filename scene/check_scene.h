// The scene's invariants: what scene/scene.h promises of a built Scene,
// checked after every scene build by the tests and the fuzz targets, as
// model/check_model.h checks every read model.
#pragma once

#include <string>
#include <vector>

#include "scene/scene.h"

// Every violated invariant, one line each; empty when the scene is sound:
// - the node tree: every parent, child, root and mesh index in range, each
//   node listed once (as a root or as its parent's child), no node its own
//   ancestor;
// - every material, image and curve index in range (-1 where "none" is
//   allowed), every map naming an image, every track naming a curve;
// - each triangle list: three corners a triangle, `count` of them (a mesh
//   without positions lists none), every corner a vertex of its list;
// - material names unique (the encoders bind meshes by them);
// - every number finite.
std::vector<std::string> CheckScene(const Scene& scene);
