// The one interpreter of command words: the command line, params files, word
// lists, script rows and scans all hand their words to ProcessArgument.
#pragma once

#include "command/context.h"

// Runs one word: blanks and one "-" before it are skipped; "!" stops (returns
// false, honoured by the command line and params files); "#" is a comment;
// "name=value" or a plain name is matched case-insensitively against the
// word tables. An unknown name prints "Error - Unknown parameter - %s\n" and
// returns true, as does every other word.
bool ProcessArgument(CommandContext& context, const char* word);

// Runs a params file: one word per line; a "!" line ends only this file. A
// file that cannot be read prints one "Error - " line with the reason.
void RunParamsFile(CommandContext& context, const char* fileName);

// The two usage lines the entry point prints when it has no word.
void PrintUsage();

// The line after the usage lines that points to `vorda help`.
void PrintUsagePointer();

// "VORDA 1.0": the words -V, --version and version.
void PrintVersion();

// The usage lines plus a short reference of the words and variables, an
// example command line and the exit status.
void PrintHelp();
