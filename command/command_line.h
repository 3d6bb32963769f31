// The command line as a whole: the usage case, the shorthand for one model,
// the words in order, the closing line and the exit status.
#pragma once

#include <string>
#include <vector>

// Exit status of a run: every conversion and every file it touched worked.
constexpr int kExitOk = 0;
// Something failed or was damaged (the run still went on to its end).
constexpr int kExitFailed = 1;
// No words at all: the usage lines were printed.
constexpr int kExitUsage = 255;

// Runs the words (the arguments after the program name) and returns the
// exit status. Without words it prints the usage lines and a pointer to
// `vorda help`. A shorthand model ("vorda hull.zem [out/hull.dae]": a bare
// path ending in an input extension (IsInputPath), any case, with no "=" and
// not starting with "-", "$", "#" or "!", which no command word can be)
// converts to the bare output path after it, or to ShorthandOutput; every other
// word goes to ProcessArgument, and "!" stops. A run with more than one
// conversion ends with the summary line.
[[nodiscard]] int RunCommandLine(const std::vector<std::string>& words);
