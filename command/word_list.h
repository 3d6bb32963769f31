// Word lists (comma-separated words in one text) and the word `echo`.
#pragma once

#include "command/context.h"

// Runs each comma-separated item of list through ProcessArgument, in order;
// with expandFirst every reference of the whole list is resolved before the
// first word runs. An empty item ends the list; "!" does not.
void RunWordList(CommandContext& context, const char* list, bool expandFirst);

// Prints the expanded text, with no line break of its own.
void Echo(const CommandContext& context, const char* text);
