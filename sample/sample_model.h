// The bundled sample: a small ship that holds one or more of every object a
// model file can carry, and the animation set that goes with it.
#pragma once

#include <memory>
#include <vector>

#include "model/model.h"

// Materials (two under "ship", one under a shader only the wildcard maps
// know), DXT1, DXT5 and 8888 textures with mip chains, a multi mesh with
// three levels, a goblin mesh, a joint tree four levels deep with axis
// rotations, markers, dock paths, navigation lights, engine shapes and burns,
// glows, a collision mesh and colour parameters.
std::unique_ptr<Model> BuildSampleModel();

// A mesh of level `lod` of the parts, numbered in order.
std::unique_ptr<Mesh> MakeMesh(int32_t lod, std::vector<MeshPart> parts);

// Two clips and curves on translate and rotate channels, with and without
// tangents, for the joints of BuildSampleModel.
std::unique_ptr<AnimationSet> BuildSampleAnimation();
