#include "command/process_argument.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command/convert.h"
#include "command/scan.h"
#include "command/script.h"
#include "command/text_scan.h"
#include "command/variables.h"
#include "command/word_list.h"
#include "core/output.h"
#include "core/platform.h"

namespace {

// Decimal value as atoi reads it (leading white space and a sign accepted,
// stops at the first non-digit, 0 without digits), but saturated instead of
// undefined when the digits overflow.
int32_t ReadInt(const char* text) {
    long v = std::strtol(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return int32_t(v);
}

void Pause(const char* value) {
    int32_t seconds = ReadInt(value);
    // A negative count of seconds means no pause at all.
    if (seconds <= 0) return;
    for (int32_t s = 0; s < seconds; ++s) SleepMilliseconds(1000);
}

// At most 61 checks, one second apart while nothing is attached; once a
// debugger is there the remaining checks pass at once.
void WaitForDebugger() {
    Out("DEBUG: Pause for Debugger Attach\n");
    OutFlush();
    for (int i = 0; i < 61; ++i)
        if (!IsDebuggerAttached()) SleepMilliseconds(1000);
}

bool IsConvert(const char* value) { return EqualNoCase(value, "convert"); }

// "convert" runs the conversion; "null" and an empty value do nothing. Any
// other value does nothing either, but is most likely a misspelt "convert".
bool IsKnownAction(const char* value) { return IsConvert(value) || EqualNoCase(value, "null") || !*value; }

void ReportUnknownAction(const char* name, const char* value) {
    if (!IsKnownAction(value)) OutProblem(Problem::kFailure, "Error - Unknown action - %s=%s\n", name, value);
}

bool RunValuedWord(CommandContext& context, const char* name, const char* value) {
    if (EqualNoCase(name, "params")) {
        RunParamsFile(context, value);
    } else if (EqualNoCase(name, "do")) {
        ReportUnknownAction(name, value);
        if (IsConvert(value)) {
            context.action = 1;
            Convert(context);
        }
        context.action = 0;
    } else if (EqualNoCase(name, "action")) {
        ReportUnknownAction(name, value);
        context.action = IsConvert(value) ? 1 : 0;
    } else if (EqualNoCase(name, "addmask")) {
        AddMask(context, value);
    } else if (EqualNoCase(name, "setmask")) {
        ClearMasks(context);
        AddMask(context, value);
    } else if (EqualNoCase(name, "exec")) {
        RunWordList(context, value, true);
    } else if (EqualNoCase(name, "scan")) {
        Scan(context, value);
    } else if (EqualNoCase(name, "script")) {
        RunScript(context, value);
    } else if (name[0] == '$') {
        if (name[1] == '$')
            SetVariable(context, name + 2, value, true);
        else
            SetVariable(context, name + 1, value, false);
    } else if (EqualNoCase(name, "echo")) {
        Echo(context, value);
    } else if (EqualNoCase(name, "dumplevel")) {
        context.dumpLevel = ReadInt(value);
    } else if (EqualNoCase(name, "loglevel")) {
        context.logLevel = ReadInt(value);
    } else if (EqualNoCase(name, "pause")) {
        Pause(value);
    } else {
        return false;
    }
    return true;
}

bool RunPlainWord(CommandContext& context, const char* name) {
    if (EqualNoCase(name, "dump")) {
        context.dumpLevel = 1;
    } else if (EqualNoCase(name, "nodump")) {
        context.dumpLevel = -1;
    } else if (EqualNoCase(name, "log")) {
        context.logLevel = 1;
    } else if (EqualNoCase(name, "nolog")) {
        context.logLevel = -1;
    } else if (EqualNoCase(name, "debugger")) {
        WaitForDebugger();
    } else if (EqualNoCase(name, "wait")) {
        // The prompt goes to the terminal directly: earlier lines come first.
        OutFlush();
        WaitForEnter();
    } else if (EqualNoCase(name, "help") || EqualNoCase(name, "-help") || EqualNoCase(name, "h")) {
        PrintHelp();
    } else if (EqualNoCase(name, "V") || EqualNoCase(name, "-version") || EqualNoCase(name, "version")) {
        PrintVersion();
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ProcessArgument(CommandContext& context, const char* word) {
    std::string copy = word ? word : "";
    char* p = &copy[0];
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '-') ++p;
    if (*p == '!') return false;
    if (*p == '#') return true;
    char* equals = std::strchr(p, '=');
    bool known;
    if (equals) {
        *equals = '\0';
        known = RunValuedWord(context, p, equals + 1);
    } else {
        known = RunPlainWord(context, p);
    }
    if (!known) OutProblem(Problem::kFailure, "Error - Unknown parameter - %s\n", p);
    return true;
}

void RunParamsFile(CommandContext& context, const char* fileName) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(fileName, bytes)) {
        OutProblem(Problem::kFailure, "Error - Cannot read params file %s - %s\n", fileName ? fileName : "",
                   LastErrorText().c_str());
        return;
    }
    NestingGuard guard(context, fileName);
    if (!guard.Entered()) return;
    const char* pos = reinterpret_cast<const char*>(bytes.data());
    const char* end = pos + bytes.size();
    std::string line;
    while (NextLine(pos, end, line, 0)) {
        if (line.empty()) continue;
        if (!ProcessArgument(context, line.c_str())) break;
        if (IsUnwinding(context)) break;
    }
}

void PrintUsage() {
    Out("VORDA [-]action [[-]params]\n");
    Out("-- 1.0\n");
}

void PrintUsagePointer() { Out("Run 'vorda help' for the words and an example.\n"); }

void PrintVersion() { Out("VORDA 1.0\n"); }

void PrintHelp() {
    PrintUsage();
    const std::string outputs = OutputExtensions(", ");
    const std::string inputs = InputExtensions(", ");
    Out("Words (names are case-insensitive; one leading \"-\" is allowed):\n"
        "  $NAME=text        set variable NAME to text as written (empty text removes it)\n"
        "  $$NAME=text       set variable NAME to the expanded text\n"
        "  do=convert        convert $[CONVERT_IN] (%s) to $[CONVERT_OUT] (%s) now\n"
        "  action=convert    convert after every script data row (action=null: stop)\n"
        "  params=file       run the words of a file, one per line\n"
        "  script=file       run a script file (@header, data rows, =word, ^ end)\n"
        "  exec=w1,w2,...    run a comma-separated word list\n"
        "  addmask=mask      add a file mask (* ? and ; alternatives); setmask=mask: only this\n"
        "  scan=folder       run $[SCAN_PARAMS] for every matching file under folder\n"
        "  echo=text         print the expanded text ($[CR] is a line break)\n"
        "  pause=seconds     wait; wait: wait for Enter; debugger: wait for a debugger\n"
        "  log nolog loglevel=n dump nodump dumplevel=n   accepted, no effect\n"
        "  !                 stop reading words; #...: comment\n"
        "  help -h --help    this text; -V --version: the version\n"
        "Variables: $[NAME] in a text is replaced by the value of NAME.\n"
        "  CONVERT_IN CONVERT_OUT DAE_OUT_OPT (VerboseTextures) SCRIPT_POSTLINE THIS_PATH\n"
        "  SCAN_PARAMS SCAN_ROOT SCAN_FULL_PATH SCAN_SUB_PATH SCAN_REL_PATH SCAN_FILE SCAN_TYPE CR\n"
        "Example (single quotes keep the shell from replacing the $ words):\n"
        "  vorda '$CONVERT_IN=ships/hull.zem' '$CONVERT_OUT=out/hull.dae' do=convert\n"
        "Shorthand: vorda ships/hull.zem [out/hull.dae]   (output beside the model when not given)\n"
        "  the output may end in any of %s, e.g. vorda ships/hull.zem out/hull.glb\n"
        "  the input may be a document the tool wrote, e.g. vorda out/hull.glb out/hull.dae (a .dae alone gives .glb)\n"
        "  a .zem output writes the game's model and its .MAD, e.g. vorda out/hull.glb mods/hull.zem\n"
        "Exit status: 0 all went well, 1 something failed or was damaged, 255 no words.\n",
        inputs.c_str(), outputs.c_str(), outputs.c_str());
}
