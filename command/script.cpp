#include "command/script.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "command/convert.h"
#include "command/process_argument.h"
#include "command/text_scan.h"
#include "command/variables.h"
#include "command/word_list.h"
#include "core/output.h"
#include "core/platform.h"

namespace {

struct ScriptColumns {
    std::vector<std::string> names;
    bool wordList = false;  // the header ended with "--"
};

void ReadHeader(ScriptColumns& columns, const char* pos) {
    columns.names.clear();
    columns.wordList = false;
    std::string name;
    while (NextItem(pos, name)) {
        if (columns.names.size() == size_t(kMaxScriptColumns)) {
            OutProblem(Problem::kFailure, "PARSE SCRIPT: More than %d columns, ignored from %s\n", kMaxScriptColumns,
                       name.c_str());
            return;
        }
        columns.names.push_back(name);
        if (name == "--") {
            // The word-list column takes the rest of each row, so it is last.
            columns.wordList = true;
            return;
        }
    }
}

void RunDataRow(CommandContext& outer, const ScriptColumns& columns, std::unique_ptr<CommandContext>& priv,
                const char* pos) {
    CommandContext* run = &outer;
    if (columns.wordList) {
        // A fresh copy for every row: nothing one row sets reaches the next.
        if (!priv) priv = std::make_unique<CommandContext>();
        CopyContext(*priv, outer);
        run = priv.get();
    }
    std::string value, word;
    for (size_t i = 0; i < columns.names.size(); ++i) {
        if (columns.wordList && i + 1 == columns.names.size()) {
            RunWordList(*run, pos, false);
            break;
        }
        if (!NextItem(pos, value)) break;
        word = columns.names[i];
        word += '=';
        word += value;
        ProcessArgument(*run, word.c_str());
        if (IsUnwinding(outer)) return;
    }
    if (IsUnwinding(outer)) return;
    std::string post = Expand(*run, "$[SCRIPT_POSTLINE]");
    RunWordList(*run, post.c_str(), false);
    if (IsUnwinding(outer)) return;
    if (run->action == 1) Convert(*run);
}

}  // namespace

void RunScript(CommandContext& context, const char* fileName) {
    std::string name = Expand(context, fileName);
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(name.c_str(), bytes)) {
        const std::string reason = LastErrorText();
        OutProblem(Problem::kFailure, "PARSE SCRIPT: Failed to load %s (was %s)\n", name.c_str(),
                   fileName ? fileName : "");
        Out("Error - Cannot read script file %s - %s\n", name.c_str(), reason.c_str());
        return;
    }
    NestingGuard guard(context, name.c_str());
    if (!guard.Entered()) return;
    std::string savedFolder;
    SetThisPath(context, name.c_str(), &savedFolder);

    ScriptColumns columns;
    std::unique_ptr<CommandContext> priv;
    const char* pos = reinterpret_cast<const char*>(bytes.data());
    const char* end = pos + bytes.size();
    std::string line;
    while (NextLine(pos, end, line, kMaxScriptLine)) {
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        if (line.empty()) continue;
        if (line[0] == '^') break;
        if (line[0] == '=')
            ProcessArgument(context, line.c_str() + 1);
        else if (line[0] == '@')
            ReadHeader(columns, line.c_str() + 1);
        else
            RunDataRow(context, columns, priv, line.c_str());
        if (IsUnwinding(context)) break;
    }
    priv.reset();
    SetThisPath(context, savedFolder.c_str(), nullptr);
}
