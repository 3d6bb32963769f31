#pragma once

#include "model/model.h"
#include "texture/tga_writer.h"

// Options the convert action reads from DAE_OUT_OPT and hands to the writer.
struct DaeOptions {
    bool verboseTextures = false;
    // The texture files written earlier in the run; null: no such check.
    WrittenTextures* writtenTextures = nullptr;
};

// Builds the scene of a model whose joints are resolved, writes its texture
// maps as TGA files beside the document and saves the document to outputPath
// (through a temporary file renamed over the target, so a failed save never
// leaves a truncated DAE). False when it stopped before building or the save
// failed (a failed save prints one "Error - " line).
bool WriteDocument(const Model& model, const char* outputPath, const DaeOptions& options);
