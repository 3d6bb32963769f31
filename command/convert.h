// The convert action: CONVERT_IN (a ZEM model) becomes CONVERT_OUT (a DAE
// document with its textures beside it).
#pragma once

#include <memory>
#include <string>

#include "collada/document.h"
#include "command/context.h"
#include "model/model.h"

// Reads CONVERT_IN and CONVERT_OUT (expanded), checks their ".ZEM" and ".DAE"
// extensions, loads and saves the model. Every failure prints its line and
// returns; the context is not changed.
void Convert(CommandContext& context);

// Prints "Converting %s\n", reads the model file and, for a multi-mesh model
// of version 512, attaches the animations of the MAD file beside it. Null
// when the file cannot be read or holds no model (nothing more is printed).
[[nodiscard]] std::unique_ptr<Model> LoadModel(const char* path);

// Writes the document for a multi-mesh model of version 512; any other model
// prints the three "DAE not saved" lines. False when nothing was written
// (an outPath without the ".DAE" extension gives false silently).
bool SaveModel(Model& model, const CommandContext& context, const char* outPath);

// The MAD file name for a model path: the text from the path's last "." is
// replaced by ".MAD" (appended when there is no dot).
[[nodiscard]] std::string MakeMadPath(const char* path);

// Options of the document writer from the expanded DAE_OUT_OPT: words split
// at spaces; verboseTextures when a word is a beginning of "VerboseTextures"
// (any case).
[[nodiscard]] DaeOptions ReadDaeOptions(const CommandContext& context);
