#pragma once

#include "collada/dae_state.h"

// Builds the whole document for a model and saves it to outputPath (through a
// temporary file renamed over the target, so a failed save never leaves a
// truncated DAE). False when it stopped before building or the save failed
// (a failed save prints one "Error - " line).
bool WriteDocument(Model& model, const char* outputPath, const DaeOptions& options);
