// One equality on scenes: every field an encoder reads, pixels included.
// The importers' tests compare a scene read back with the scene written.
#pragma once

#include <string>

#include "scene/scene.h"

// Empty when the scenes are equal; otherwise the first difference as text,
// the field's path and both values: "meshes[3].positions[17]: 1.5 != 1.25".
// Floats compare bit for bit (a NaN equals a NaN of the same bits).
std::string SceneDifference(const Scene& expected, const Scene& actual);
