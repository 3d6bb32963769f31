#include "command/convert.h"

#include <cstring>
#include <vector>

#include "collada/document.h"
#include "command/variables.h"
#include "core/output.h"
#include "gltf/gltf_writer.h"
#include "core/platform.h"
#include "model/joints.h"
#include "model/read_model.h"

namespace {

// The text from the last "." of the whole path to its end, or "".
const char* Extension(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? "" : path.c_str() + dot;
}

// The output formats by extension: the DAE, or glTF as one binary file or as
// JSON with its buffer and textures beside it.
enum class OutputFormat { kNone, kDae, kGltf };

OutputFormat FormatOf(const std::string& path) {
    const char* extension = Extension(path);
    if (EqualNoCase(extension, ".DAE")) return OutputFormat::kDae;
    if (EqualNoCase(extension, ".GLB") || EqualNoCase(extension, ".GLTF")) return OutputFormat::kGltf;
    return OutputFormat::kNone;
}

bool IsPrefixOfNoCase(const std::string& word, const char* whole) {
    if (word.empty() || word.size() > std::strlen(whole)) return false;
    return EqualNoCase(word, std::string(whole, word.size()).c_str());
}

}  // namespace

std::string MakeMadPath(const char* path) {
    std::string mad = path ? path : "";
    size_t dot = mad.rfind('.');
    if (dot != std::string::npos) mad.resize(dot);
    mad += ".MAD";
    return mad;
}

DaeOptions ReadDaeOptions(const CommandContext& context) {
    DaeOptions options;
    std::string text = Expand(context, "$[DAE_OUT_OPT]");
    size_t pos = 0;
    while (pos < text.size()) {
        size_t space = text.find(' ', pos);
        if (space == std::string::npos) space = text.size();
        if (IsPrefixOfNoCase(text.substr(pos, space - pos), "VerboseTextures")) options.verboseTextures = true;
        pos = space + 1;
    }
    return options;
}

std::unique_ptr<Model> LoadModel(const char* path) {
    Out("Converting %s\n", path);
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) return nullptr;
    std::unique_ptr<Model> model = ReadModelFile(bytes.data(), bytes.size());
    if (!model) return nullptr;
    model->path.Set(path);
    if (model->type == 0 && model->version == 512) {
        std::string madPath = MakeMadPath(path);
        std::unique_ptr<AnimationSet> animation = LoadMad(madPath.c_str());
        if (!animation) {
            // On a case-sensitive file system "<base>.mad" is the same file to
            // the user; without this fallback its animations would be lost
            // without a word.
            madPath.replace(madPath.size() - 4, 4, ".mad");
            animation = LoadMad(madPath.c_str());
        }
        if (animation) model->animation = std::move(animation);
    }
    return model;
}

bool SaveModel(Model& model, const CommandContext& context, const char* outPath) {
    std::string out = outPath ? outPath : "";
    const OutputFormat format = FormatOf(out);
    if (format == OutputFormat::kNone) return false;
    if (model.version == 512 && model.type == 0) {
        ResolveJoints(model);
        if (format == OutputFormat::kGltf) return WriteGltf(model, out.c_str());
        return WriteDocument(model, out.c_str(), ReadDaeOptions(context));
    }
    Out("DAE not saved to %s\n", out.c_str());
    Out(" - Unknown type: %s\n", model.typeName.CStr());
    Out(" - Unknown version: %08X\n", model.version);
    return false;
}

void Convert(CommandContext& context) {
    std::string input = Expand(context, "$[CONVERT_IN]");
    std::string output = Expand(context, "$[CONVERT_OUT]");
    if (input.empty()) Out("Error - Conversion Input not specified!\n");
    if (output.empty()) {
        Out("Error - Conversion Output not specified!\n");
        return;
    }
    if (input.empty()) return;
    if (!EqualNoCase(Extension(input), ".ZEM")) {
        Out("Error - Conversion Input must be ZEM!\n");
        return;
    }
    if (FormatOf(output) == OutputFormat::kNone) {
        Out("Error - Conversion Output must be DAE!\n");
        return;
    }
    std::unique_ptr<Model> model = LoadModel(input.c_str());
    if (!model) return;
    // A damaged file still converts as far as it could be read; the user is
    // told once, so a tree of conversions shows which results are partial.
    if (model->damaged) Out("ALERT: Damaged model file %s - converting what could be read\n", input.c_str());
    if (model->animation && model->animation->damaged)
        Out("ALERT: Damaged animation file %s - converting what could be read\n", model->animation->path.CStr());
    (void)SaveModel(*model, context, output.c_str());
}
