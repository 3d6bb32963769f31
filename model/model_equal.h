// One equality on models: every field of a Model and its AnimationSet, for
// the tests that compare a model with one rebuilt from a document.
#pragma once

#include <string>

#include "model/model.h"

// What the way back from a document makes anew rather than carries, left out
// of the comparison when set.
struct ModelCompareOptions {
    bool skipLowerMips = false;        // an image's mip levels below the first
    bool skipTangents = false;         // the tangent and binormal values of part vertices
    bool skipCollisionBounds = false;  // a collision mesh's bounds
    // Primitive groups compared by the triangles they make, in order (a
    // strip and the list of its triangles are alike), not by index, type
    // and indices.
    bool groupsAsTriangles = false;
    // What joint resolution sets: depth, parent index, children flag and
    // matrices.
    bool skipJointResolution = false;
};

// Empty when the models are equal; otherwise the first difference as text,
// the field's path and both values: "images[0].levels[1].width: 64 != 32".
// Floats compare bit for bit. Where each model was read from (the paths) and
// the damage its reading found are not compared.
std::string ModelDifference(const Model& expected, const Model& actual, const ModelCompareOptions& options);
