// The variable table and the "$[name]" expansion every word applies to the
// texts it uses as file names, masks, word lists or messages.
#pragma once

#include <string>

#include "command/context.h"

// Value of the first variable whose name matches (case-insensitively), or
// null. Without a user variable of that name, "CR" gives a line feed. The
// pointer stays valid until the table changes.
[[nodiscard]] const char* GetVariable(const CommandContext& context, const char* name);

// Sets, replaces or removes (empty value) one variable. A new variable reuses
// the highest null slot, else grows the table by one slot. With expandFirst
// the value is expanded before it is stored.
void SetVariable(CommandContext& context, const char* name, const char* value, bool expandFirst);

// Upper bounds of one expansion. A value that refers to itself would
// otherwise re-expand for ever; the work bound (bytes copied over all
// substitutions) keeps a runaway text from costing seconds before it stops.
constexpr int kMaxSubstitutions = 10000;
constexpr size_t kMaxExpandedSize = size_t(1) << 20;
constexpr size_t kMaxExpansionWork = size_t(64) << 20;

// Replaces every "$[name]" reference with the variable's value (nothing when
// undefined), re-scanning from the start after each substitution so values
// holding references resolve in turn. Inner brackets belong to the name.
// A reference without its "]" runs to the end of the text. When the bounds
// above are exceeded, prints one "Error - " line and returns "".
[[nodiscard]] std::string Expand(const CommandContext& context, const char* source);

// Saves the current THIS_PATH (or "" when it has none) into saveTo when given,
// then sets THIS_PATH to the folder part of path: up to and including its last
// "\" or "/" (either kind), else its last ":". No separator removes THIS_PATH.
void SetThisPath(CommandContext& context, const char* path, std::string* saveTo);
