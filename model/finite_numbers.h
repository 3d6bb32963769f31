// The numbers of a model and its animations are finite: only a damaged file
// stores a NaN or an infinity. The readers replace each by 0 and note the
// object holding it as damaged, so no writer ever sees one.
#pragma once

#include <string>

#include "model/model.h"

// Replaces every NaN and infinity by 0, noting each object that held one
// ("multi mesh [hull]") in the damage record.
void ZeroNonFiniteNumbers(Model& model);
void ZeroNonFiniteNumbers(AnimationSet& set);

// The first object holding a NaN or an infinity, or "" when every number is
// finite (the invariant check).
std::string FirstNonFiniteNumber(const Model& model);
std::string FirstNonFiniteNumber(const AnimationSet& set);
