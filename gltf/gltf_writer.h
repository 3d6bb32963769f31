#pragma once

#include "scene/scene.h"

// Saves the scene as glTF 2.0: binary, one self-contained GLB file; else the
// JSON, one ".bin" file beside it and a PNG file per texture map (the convert
// action decides which by the extension). Every file is saved through a
// temporary file renamed over the target. False when a save failed (a
// failed save prints one "Error - " line; a texture file that cannot be
// written prints an alert).
[[nodiscard]] bool WriteGltf(const Scene& scene, const char* outputPath, bool binary);
