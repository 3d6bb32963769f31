// A scene read back made sound for the encoders, as model/finite_numbers.h
// makes a read model sound.
#pragma once

#include "scene/scene.h"

// Sets every number of the scene that is not finite to 0 (a document read
// back may hold "nan" texts, or values a unit scale took past a float's
// range) and notes each part that held one: "mesh [name]", "node [name]",
// "material [name]", "curve [name]", "clip [name]", "end time".
void ZeroNumbersNotFinite(Scene& scene, Damage& damage);
