// Script files: a header line names the columns, every data line gives one
// value per column and so becomes a series of words.
#pragma once

#include "command/context.h"

// Most columns one header can name ("--" included). Further names are
// ignored with one "PARSE SCRIPT: " line.
constexpr int kMaxScriptColumns = 16;
// Longest script line; the rest of a longer line is read as the next line.
constexpr size_t kMaxScriptLine = 4095;

// Runs the script named by fileName (expanded) in context. Lines: "^" ends
// the script, "=word" runs one word in context, "@a,b,..." is a header,
// anything else a data row; "#" starts a comment. After each row the list in
// SCRIPT_POSTLINE runs and, while action is convert, the convert action.
// Rows under a header ending in "--" run in a fresh private copy of context.
// THIS_PATH is the script's folder during the run and restored after it.
void RunScript(CommandContext& context, const char* fileName);
