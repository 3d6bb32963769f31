#pragma once

#include "model/model.h"
#include "scene/scene.h"

// Builds the scene of a model whose joints are resolved and saves it as glTF
// 2.0: a path ending in ".glb" (any letter case) gets one self-contained
// binary file, any other path the JSON, one ".bin" file beside it and a PNG
// file per texture map. Every file is saved through a temporary file renamed
// over the target. False when it stopped before building or a save failed
// (a failed save prints one "Error - " line; a texture file that cannot be
// written prints an alert).
bool WriteGltf(const Model& model, const char* outputPath);
// The same from a scene already built (with SceneOptions::deduplicate off,
// as glTF indexes whole vertices) or read back from a document.
bool WriteGltfScene(const Scene& scene, const char* outputPath);
