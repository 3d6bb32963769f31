// Program entry: every argument is one word of the command language.
#include <string>
#include <vector>

#include "command/command_line.h"

int main(int argc, char** argv) { return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc)); }
