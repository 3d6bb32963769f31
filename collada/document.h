#pragma once

#include <string>

#include "scene/scene.h"
#include "texture/tga_writer.h"

// Options the convert action reads from DAE_OUT_OPT, and what the writer
// needs of the run.
struct DaeOptions {
    // The decoded sources and unused images go into the scene as well (a
    // scene option: the convert action hands it on).
    bool verboseTextures = false;
    // The texture files written earlier in the run; null: no such check.
    WrittenTextures* writtenTextures = nullptr;
    std::string model;  // the model converted, named when a texture file is replaced
};

// Writes the scene's pictures as TGA files beside the document and saves
// the document to outputPath (through a temporary file renamed over the
// target, so a failed save never leaves a truncated DAE). False when the
// save failed (reported with one "Error - " line and the reason).
[[nodiscard]] bool WriteDocument(const Scene& scene, const char* outputPath, const DaeOptions& options);
