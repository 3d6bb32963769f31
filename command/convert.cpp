#include "command/convert.h"

#include <vector>

#include "collada/document.h"
#include "command/variables.h"
#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "gltf/gltf_writer.h"
#include "import/dae_scene.h"
#include "import/gltf_import.h"
#include "model/joints.h"
#include "model/read_model.h"
#include "model/write_model.h"
#include "scene/finite_numbers.h"
#include "scene/foreign_scene.h"
#include "scene/layout.h"
#include "scene/model_from_scene.h"

namespace {

// The text from the last "." of the whole path to its end, or "".
const char* Extension(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? "" : path.c_str() + dot;
}

// The output formats by extension: the DAE, glTF as one binary file or as
// JSON with its buffer and textures beside it, or the game's own model (with
// its animation file beside it).
enum class OutputFormat { kNone, kDae, kGlb, kGltf, kZem };

// Every output the convert action writes, by extension (any letter case);
// the shorthand, the help text and the messages take the list from here.
template <typename Format>
struct ExtensionOf {
    const char* extension;
    Format format;
};

// The format of path's extension (any letter case) in a table; kNone when
// it has none of them.
template <typename Format, size_t kCount>
Format LookUp(const ExtensionOf<Format> (&table)[kCount], const std::string& path) {
    const char* extension = Extension(path);
    for (const auto& entry : table)
        if (EqualNoCase(extension, entry.extension)) return entry.format;
    return Format::kNone;
}

// The extensions of a table, joined by ", " and lastJoin before the last.
template <typename Format, size_t kCount>
std::string ListOf(const ExtensionOf<Format> (&table)[kCount], const char* lastJoin) {
    std::string list;
    for (size_t i = 0; i < kCount; ++i) {
        if (i) list += i + 1 == kCount ? lastJoin : ", ";
        list += table[i].extension;
    }
    return list;
}

const ExtensionOf<OutputFormat> kOutputs[] = {
    {".dae", OutputFormat::kDae},
    {".glb", OutputFormat::kGlb},
    {".gltf", OutputFormat::kGltf},
    {".zem", OutputFormat::kZem},
};

OutputFormat FormatOf(const std::string& path) { return LookUp(kOutputs, path); }

// The inputs: the game's model, or a document the tool writes (read back
// into its scene).
enum class InputFormat { kNone, kZem, kDae, kGltf };

const ExtensionOf<InputFormat> kInputs[] = {
    {".zem", InputFormat::kZem},
    {".dae", InputFormat::kDae},
    {".glb", InputFormat::kGltf},
    {".gltf", InputFormat::kGltf},
};

InputFormat InputFormatOf(const std::string& path) { return LookUp(kInputs, path); }

// A document read back into its scene; null with "<file> - <reason>" in error.
std::unique_ptr<Scene> ImportDocument(const std::string& path, InputFormat format, std::string& error) {
    ReadFailure failure;
    if (format != InputFormat::kDae) return ImportGltf(path.c_str(), &error);
    std::unique_ptr<Scene> scene = ImportDae(path, failure);
    if (!scene) error = failure.Text();
    return scene;
}

// The model a scene stands for, as the game's files: the ZEM at out and,
// when the model has animations, the MAD beside it, saved as one (a failure
// leaves both old files as they were). A MAD already there that the model
// does not need is named, never removed: the game would pair it with the
// model.
bool SaveGameFiles(const Scene& scene, const std::string& out) {
    WayBackReport report;
    const std::unique_ptr<Model> model = ModelFromScene(scene, report);
    for (const std::string& kind : report.defaults) Out("Note - Facts taken from defaults: %s\n", kind.c_str());
    const std::vector<unsigned char> zem = BuildZem(*model);
    std::vector<unsigned char> mad;
    const std::string madPath = MakeMadPath(out.c_str());
    auto writer = [](const std::vector<unsigned char>& bytes) {
        return [&bytes](FILE* file) {
            return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        };
    };
    std::vector<FileToSave> files;
    if (model->animation) {
        mad = BuildMad(*model->animation);
        files.push_back({madPath, writer(mad)});
    }
    files.push_back({out, writer(zem)});
    // A folder that cannot be made shows up as a failed save, reported once.
    MakeFolderTree(FolderPart(out));
    std::string failed;
    if (!SaveFilesReplacing(files, &failed)) {
        ReportFailedWrite(failed == out ? "ZEM" : "MAD", failed);
        return false;
    }
    if (model->animation) return true;
    // Where the model reader looks for animations (LoadAnimations).
    for (const std::string& stale : {madPath, madPath.substr(0, madPath.size() - 4) + ".mad"}) {
        if (!PathExists(stale.c_str()) || FolderExists(stale.c_str())) continue;
        Out("ALERT: Old animation file %s beside %s, which has no animations - the game would pair them; move it away\n",
            stale.c_str(), out.c_str());
        break;
    }
    return true;
}

// What reading the document (and making a game model of it) left out or
// assumed: notes, which leave the exit status alone.
void PrintNotes(const Scene& scene) {
    for (const std::string& line : scene.notes) Out("Note - %s\n", line.c_str());
}

// A scene read back, saved in the format decided: laid out as a direct
// conversion to that format builds it, then encoded.
bool SaveScene(Scene& scene, const CommandContext& context, const std::string& input, const std::string& out,
               OutputFormat format) {
    if (format == OutputFormat::kZem && IsForeignScene(scene)) {
        std::string error;
        if (!AdoptForeignScene(scene, &error)) {
            PrintNotes(scene);
            OutProblem(Problem::kFailure, "Error - No model made of %s - %s\n", input.c_str(), error.c_str());
            return false;
        }
    }
    PrintNotes(scene);
    if (format == OutputFormat::kZem) {
        Out("Saving %s\n", out.c_str());
        return SaveGameFiles(scene, out);
    }
    SceneOptions options;
    options.deduplicate = format == OutputFormat::kDae;
    SetVertexLayout(scene, options);
    Out("Saving %s\n", out.c_str());
    if (format != OutputFormat::kDae) return WriteGltf(scene, out.c_str(), format == OutputFormat::kGlb);
    DaeOptions dae = ReadDaeOptions(context);
    dae.model = input;
    return WriteDocument(scene, out.c_str(), dae);
}

// What a conversion hands its encoder: the scene, built once with the
// options of the format decided, and the DAE writer's options.
struct PreparedScene {
    std::unique_ptr<Scene> scene;  // null: nothing to write (reported)
    DaeOptions dae;
};

PreparedScene Prepare(Model& model, const CommandContext& context, const std::string& out, OutputFormat format) {
    PreparedScene prepared;
    if (format == OutputFormat::kNone) return prepared;
    if (model.version != kMultiMeshVersion || model.type != 0) {
        OutProblem(Problem::kFailure, "DAE not saved to %s\n", out.c_str());
        Out(" - Unknown type: %s\n", model.typeName.CStr());
        Out(" - Unknown version: %08X\n", model.version);
        return prepared;
    }
    ResolveJoints(model);
    SceneOptions options;
    DaeOptions& dae = prepared.dae;
    if (format == OutputFormat::kZem) {
        // The scene as a DAE takes it: the way back reads any.
    } else if (format == OutputFormat::kDae) {
        dae = ReadDaeOptions(context);
        dae.model = model.path.value;
        options.verboseTextures = dae.verboseTextures;
    } else {
        // glTF indexes whole vertices: the streams need no de-duplication
        // of their own.
        options.deduplicate = false;
    }
    Out("Saving %s\n", out.c_str());
    prepared.scene = BuildScene(model, options);
    return prepared;
}

// The encoder of the format decided writes the scene as it is.
bool Encode(const PreparedScene& prepared, const std::string& out, OutputFormat format) {
    if (!prepared.scene) return false;
    if (format == OutputFormat::kZem) return SaveGameFiles(*prepared.scene, out);
    if (format == OutputFormat::kDae) return WriteDocument(*prepared.scene, out.c_str(), prepared.dae);
    return WriteGltf(*prepared.scene, out.c_str(), format == OutputFormat::kGlb);
}

bool SaveAs(Model& model, const CommandContext& context, const std::string& out, OutputFormat format) {
    return Encode(Prepare(model, context, out, format), out, format);
}

}  // namespace

bool IsOutputPath(const std::string& path) { return FormatOf(path) != OutputFormat::kNone; }

bool IsInputPath(const std::string& path) { return InputFormatOf(path) != InputFormat::kNone; }

std::string InputExtensions(const char* lastJoin) { return ListOf(kInputs, lastJoin); }

bool IsShorthandOutputOf(const std::string& input, const std::string& word) {
    return IsOutputPath(word) && !(InputFormatOf(input) == InputFormat::kZem && FormatOf(word) == OutputFormat::kZem);
}

std::string ShorthandOutput(const std::string& input) {
    const std::string base = input.substr(0, input.rfind('.'));
    return base + (InputFormatOf(input) == InputFormat::kDae ? ".glb" : ".dae");
}

std::string OutputExtensions(const char* lastJoin) { return ListOf(kOutputs, lastJoin); }

std::string MakeMadPath(const char* path) {
    std::string mad = path ? path : "";
    size_t dot = mad.rfind('.');
    if (dot != std::string::npos) mad.resize(dot);
    mad += ".MAD";
    return mad;
}

DaeOptions ReadDaeOptions(const CommandContext& context) {
    DaeOptions options;
    options.writtenTextures = &context.run->textures;
    std::string text = Expand(context, "$[DAE_OUT_OPT]");
    size_t pos = 0;
    while (pos < text.size()) {
        size_t space = text.find(' ', pos);
        if (space == std::string::npos) space = text.size();
        const std::string word = text.substr(pos, space - pos);
        if (IsPrefixNoCase(word, "VerboseTextures")) options.verboseTextures = true;
        else if (!word.empty())
            OutProblem(Problem::kFailure, "Error - Unknown option in DAE_OUT_OPT - %s\n", word.c_str());
        pos = space + 1;
    }
    return options;
}

std::unique_ptr<AnimationSet> LoadAnimations(const char* modelPath) {
    std::string madPath = MakeMadPath(modelPath);
    if (!PathExists(madPath.c_str())) {
        // On a case-sensitive file system "<base>.mad" is the same file to
        // the user; without this fallback its animations would be lost
        // without a word.
        madPath.replace(madPath.size() - 4, 4, ".mad");
        if (!PathExists(madPath.c_str())) return nullptr;
    }
    std::vector<unsigned char> bytes;
    std::unique_ptr<AnimationSet> set;
    if (!ReadFileBytes(madPath.c_str(), bytes)) {
        OutProblem(Problem::kDamage, "ALERT: Cannot read animation file %s - %s - converting without animations\n",
                   madPath.c_str(), LastErrorText().c_str());
    } else if (!(set = ReadMad(bytes.data(), bytes.size()))) {
        OutProblem(Problem::kDamage, "ALERT: Not an animation file %s - %s - converting without animations\n",
                   madPath.c_str(), bytes.empty() ? "the file is empty" : "no animation header");
    } else {
        set->path.Set(madPath.c_str());
    }
    return set;
}

std::unique_ptr<Model> LoadModel(const char* path) {
    Out("Converting %s\n", path);
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) {
        OutProblem(Problem::kFailure, "Error - Cannot read model file %s - %s\n", path, LastErrorText().c_str());
        return nullptr;
    }
    std::unique_ptr<Model> model = ReadModelFile(bytes.data(), bytes.size());
    if (!model) {
        OutProblem(Problem::kFailure, "Error - Not a model file %s - %s\n", path,
                   bytes.empty() ? "the file is empty" : "no model header");
        return nullptr;
    }
    model->path.Set(path);
    if (model->type == 0 && model->version == kMultiMeshVersion) model->animation = LoadAnimations(path);
    return model;
}

bool SaveModel(Model& model, const CommandContext& context, const char* outPath) {
    const std::string out = outPath ? outPath : "";
    return SaveAs(model, context, out, FormatOf(out));
}

namespace {

// The line after a damage alert: what was damaged first, and how much more.
void PrintDamagedParts(const Damage& damage) {
    if (damage.parts > 1)
        Out(" - Damaged: %s and %d more part%s\n", damage.first.c_str(), damage.parts - 1,
            damage.parts > 2 ? "s" : "");
    else
        Out(" - Damaged: %s\n", damage.first.c_str());
}

// The checks and the conversion itself; true when the document was saved.
bool ConvertAndSave(CommandContext& context, const std::string& input, const std::string& output) {
    if (input.empty()) OutProblem(Problem::kFailure, "Error - Conversion Input not specified!\n");
    if (output.empty()) {
        OutProblem(Problem::kFailure, "Error - Conversion Output not specified!\n");
        return false;
    }
    if (input.empty()) return false;
    const InputFormat inputFormat = InputFormatOf(input);
    if (inputFormat == InputFormat::kNone) {
        OutProblem(Problem::kFailure, "Error - Conversion Input must be ZEM!\n");
        Out("Error - Not converted: %s does not end in %s\n", input.c_str(), InputExtensions(" or ").c_str());
        return false;
    }
    const OutputFormat format = FormatOf(output);
    if (format == OutputFormat::kNone) {
        OutProblem(Problem::kFailure, "Error - Conversion Output must be DAE!\n");
        Out("Error - Not converted: %s does not end in %s\n", output.c_str(), OutputExtensions(" or ").c_str());
        return false;
    }
    if (inputFormat != InputFormat::kZem) {
        // Read whole before anything is written: a bad document leaves the
        // output as it was.
        Out("Converting %s\n", input.c_str());
        std::string error;
        std::unique_ptr<Scene> scene = ImportDocument(input, inputFormat, error);
        if (!scene) {
            OutProblem(Problem::kFailure, "Error - Cannot read %s\n", error.c_str());
            return false;
        }
        // Numbers a format cannot mean (a "nan" text) become 0, as in a
        // damaged model: the user is told, the encoders write sound files.
        Damage damage;
        ZeroNumbersNotFinite(*scene, damage);
        if (damage) {
            OutProblem(Problem::kDamage, "ALERT: Damaged model file %s - converting what could be read\n", input.c_str());
            PrintDamagedParts(damage);
        }
        return SaveScene(*scene, context, input, output, format);
    }
    std::unique_ptr<Model> model = LoadModel(input.c_str());
    if (!model) return false;
    // A damaged file still converts as far as it could be read; the user is
    // told once, so a tree of conversions shows which results are partial.
    if (model->damage) {
        OutProblem(Problem::kDamage, "ALERT: Damaged model file %s - converting what could be read\n", input.c_str());
        PrintDamagedParts(model->damage);
    }
    if (model->animation && model->animation->damage) {
        OutProblem(Problem::kDamage, "ALERT: Damaged animation file %s - converting what could be read\n",
                   model->animation->path.CStr());
        PrintDamagedParts(model->animation->damage);
    }
    PreparedScene prepared = Prepare(*model, context, output, format);
    // The scene holds all it needs: the model goes before the encoder runs,
    // so a conversion's peak memory is the larger of the two, not their sum.
    model.reset();
    return Encode(prepared, output, format);
}

}  // namespace

ConversionOutcome::Result ConversionOutcome::Of() const {
    if (!saved || failures > 0) return Result::kFailed;
    return damages > 0 ? Result::kDamaged : Result::kConverted;
}

ConversionOutcome ConvertOnce(CommandContext& context, const std::string& input, const std::string& output) {
    ConversionOutcome outcome;
    ProblemTally tally;
    outcome.saved = ConvertAndSave(context, input, output);
    outcome.failures = tally.Counts().failures;
    outcome.damages = tally.Counts().damages;
    return outcome;
}

ConversionOutcome ConvertFiles(CommandContext& context, const std::string& input, const std::string& output) {
    const ConversionOutcome outcome = ConvertOnce(context, input, output);
    RunRecord& run = *context.run;
    ++run.conversions;
    switch (outcome.Of()) {
        case ConversionOutcome::Result::kFailed: ++run.failed; break;
        case ConversionOutcome::Result::kDamaged: ++run.damaged; break;
        case ConversionOutcome::Result::kConverted: ++run.converted; break;
    }
    return outcome;
}

void Convert(CommandContext& context) {
    (void)ConvertFiles(context, Expand(context, "$[CONVERT_IN]"), Expand(context, "$[CONVERT_OUT]"));
}

void PrintRunSummary(const CommandContext& context) {
    const RunRecord& run = *context.run;
    if (run.conversions < 2) return;
    Out("Summary - %d models: %d converted, %d damaged, %d failed\n", run.conversions, run.converted, run.damaged,
        run.failed);
}
