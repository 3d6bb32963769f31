// The convert action: CONVERT_IN (a ZEM model, or a DAE, GLB or .gltf the
// tool or another program wrote) becomes CONVERT_OUT, in the format its
// extension names: a DAE document with TGA textures beside it
// (".dae"), glTF 2.0 as one binary file (".glb") or as JSON with its
// buffer and PNG textures beside it (".gltf"), or the game's model with its
// animation file beside it (".zem", the model the scene stands for:
// scene/model_from_scene.h). The action decides the format, builds the one
// scene of the model (or reads the document's scene) and hands it to that
// format's encoder.
#pragma once

#include <memory>
#include <string>

#include "collada/document.h"
#include "command/context.h"
#include "model/model.h"

// Reads CONVERT_IN and CONVERT_OUT (expanded), checks their ".ZEM" and
// output extensions, loads and saves the model. Every failure prints its
// line and returns; the context is not changed.
void Convert(CommandContext& context);

// What one conversion came to: whether the output was saved, and the
// problems reported on the way. Failed when nothing was saved or any failure
// was reported, damaged when only damage was, converted otherwise.
struct ConversionOutcome {
    bool saved = false;
    long failures = 0;
    long damages = 0;
    enum class Result { kConverted, kDamaged, kFailed };
    Result Of() const;
};

// Converts input to output as Convert does (printing nothing more) and
// returns the outcome.
[[nodiscard]] ConversionOutcome ConvertOnce(CommandContext& context, const std::string& input,
                                            const std::string& output);

// ConvertOnce, with the outcome counted in the run record.
ConversionOutcome ConvertFiles(CommandContext& context, const std::string& input, const std::string& output);

// The closing line of a run with more than one conversion:
// "Summary - N models: C converted, D damaged, F failed".
void PrintRunSummary(const CommandContext& context);

// Prints "Converting %s\n", reads the model file and, for a multi-mesh model
// of version 512, attaches the animations of the MAD file beside it. Null
// when the file cannot be read or holds no model (one "Error - " line says
// why). A MAD file that exists but cannot be read or is no MAD file is
// reported on one "ALERT: " line; a missing one is not.
[[nodiscard]] std::unique_ptr<Model> LoadModel(const char* path);

// The animations beside a model: "<base>.MAD", else "<base>.mad". Null when
// neither exists (nothing printed) or the one there could not be used
// (reported).
[[nodiscard]] std::unique_ptr<AnimationSet> LoadAnimations(const char* modelPath);

// Writes the output for a multi-mesh model of version 512 in the format the
// extension of outPath names; any other model prints the three "DAE not
// saved" lines. False when nothing was written (an outPath of no known
// extension gives false silently).
[[nodiscard]] bool SaveModel(Model& model, const CommandContext& context, const char* outPath);

// True when the path ends in an extension the convert action writes
// (".dae", ".glb", ".gltf", ".zem", any letter case).
[[nodiscard]] bool IsOutputPath(const std::string& path);

// Those extensions as a list for people: ".dae, .glb" + lastJoin + ".gltf".
[[nodiscard]] std::string OutputExtensions(const char* lastJoin);

// True when the path ends in an extension the convert action reads: ".zem"
// (a model), or ".dae", ".glb", ".gltf" (a document read back), any case.
[[nodiscard]] bool IsInputPath(const std::string& path);
// Those as a list for people: ".zem, .dae, .glb" + lastJoin + ".gltf".
[[nodiscard]] std::string InputExtensions(const char* lastJoin);
// True when the shorthand takes word, after input, as input's output: an
// output path, except a model after a model (the next model to convert).
[[nodiscard]] bool IsShorthandOutputOf(const std::string& input, const std::string& word);
// The shorthand's output when none is given: beside the input, a DAE, or a
// GLB for a DAE input.
[[nodiscard]] std::string ShorthandOutput(const std::string& input);

// The MAD file name for a model path: the text from the path's last "." is
// replaced by ".MAD" (appended when there is no dot).
[[nodiscard]] std::string MakeMadPath(const char* path);

// Options of the document writer from the expanded DAE_OUT_OPT: words split
// at spaces; verboseTextures when a word is a beginning of "VerboseTextures"
// (any case). Any other word prints "Error - Unknown option in DAE_OUT_OPT".
// The run's record of written textures goes along, so the writer can refuse
// to replace a texture another model of the run wrote.
[[nodiscard]] DaeOptions ReadDaeOptions(const CommandContext& context);
