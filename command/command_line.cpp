#include "command/command_line.h"

#include "command/context.h"
#include "command/convert.h"
#include "command/process_argument.h"
#include "core/output.h"
#include "core/str.h"

namespace {

// A word that is no word of the language: no "=", no leading "-", "$", "#" or "!".
bool IsBarePath(const std::string& word) {
    if (word.empty() || word.find('=') != std::string::npos) return false;
    const char first = word[0];
    return first != '-' && first != '$' && first != '#' && first != '!';
}

bool IsShorthandModel(const std::string& word) { return IsBarePath(word) && IsInputPath(word); }

// Any output the convert action writes: the shorthand follows its list.
bool IsShorthandOutput(const std::string& input, const std::string& word) {
    return IsBarePath(word) && IsShorthandOutputOf(input, word);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& words) {
    if (words.empty()) {
        PrintUsage();
        PrintUsagePointer();
        OutFlush();
        return kExitUsage;
    }
    CommandContext context;
    for (size_t i = 0; i < words.size(); ++i) {
        if (IsShorthandModel(words[i])) {
            const std::string& input = words[i];
            std::string output = ShorthandOutput(input);
            if (i + 1 < words.size() && IsShorthandOutput(input, words[i + 1])) output = words[++i];
            ConvertFiles(context, input, output);
            continue;
        }
        if (!ProcessArgument(context, words[i].c_str())) break;
    }
    PrintRunSummary(context);
    OutFlush();
    const ProblemCounts problems = ProblemsSoFar();
    return problems.failures > 0 || problems.damages > 0 ? kExitFailed : kExitOk;
}
