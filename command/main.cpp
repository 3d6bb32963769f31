// Program entry: every argument is one word of the command language.
#include "command/context.h"
#include "command/process_argument.h"
#include "core/output.h"

int main(int argc, char** argv) {
    CommandContext context;
    if (argc < 2) {
        PrintUsage();
        OutFlush();
        return -1;
    }
    for (int i = 1; i < argc; ++i)
        if (!ProcessArgument(context, argv[i])) break;
    OutFlush();
    return 0;
}
