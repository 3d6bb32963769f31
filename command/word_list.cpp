#include "command/word_list.h"

#include <string>

#include "command/process_argument.h"
#include "command/text_scan.h"
#include "command/variables.h"
#include "core/output.h"

void RunWordList(CommandContext& context, const char* list, bool expandFirst) {
    std::string text = expandFirst ? Expand(context, list) : std::string(list ? list : "");
    NestingGuard guard(context, text.c_str());
    if (!guard.Entered()) return;
    const char* pos = text.c_str();
    std::string item;
    while (NextItem(pos, item)) {
        ProcessArgument(context, item.c_str());
        if (IsUnwinding(context)) break;
    }
}

void Echo(const CommandContext& context, const char* text) { OutText(Expand(context, text).c_str()); }
