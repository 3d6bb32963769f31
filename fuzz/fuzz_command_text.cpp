// libFuzzer target: any bytes as lines of a command text. Lines starting with
// "$" set a variable ("$$" expands the value first); every other line is
// expanded and split into word-list items. Expansion, line reading and item
// reading must stay in bounds and always end, whatever the references hold.
#include <cstdio>
#include <cstring>
#include <string>

#include "command/context.h"
#include "command/text_scan.h"
#include "command/variables.h"
#include "core/output.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    // Error lines of runaway expansions are expected; keep them off the log.
    static FILE* sink = std::fopen("/dev/null", "w");
    SetOutputStream(sink);
    CommandContext context;
    const char* pos = reinterpret_cast<const char*>(data);
    const char* end = pos + size;
    std::string line, item;
    for (int lines = 0; lines < 32 && NextLine(pos, end, line, 4095); ++lines) {
        if (line.empty()) continue;
        if (line[0] == '$') {
            size_t equals = line.find('=');
            if (equals == std::string::npos) continue;
            line[equals] = '\0';
            bool expandFirst = line.size() > 1 && line[1] == '$';
            SetVariable(context, line.c_str() + (expandFirst ? 2 : 1), line.c_str() + equals + 1, expandFirst);
            continue;
        }
        std::string text = Expand(context, line.c_str());
        if (text.size() > kMaxExpandedSize + 4096) __builtin_trap();
        const char* p = text.c_str();
        while (NextItem(p, item))
            if (item.empty() || item.find(',') != std::string::npos) __builtin_trap();
    }
    return 0;
}
