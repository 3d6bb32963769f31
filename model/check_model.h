// The model's invariants: what model/model.h promises of a loaded Model,
// checked after every read by the tests and the fuzz targets.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"

// Every violated invariant of the model (and its animation set, when one is
// attached), one line each; empty when the model is sound.
std::vector<std::string> CheckModel(const Model& model);

// The same for an animation set on its own.
std::vector<std::string> CheckAnimationSet(const AnimationSet& set);
