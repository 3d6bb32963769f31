// Helpers shared by the command tests: a temporary folder that removes itself,
// running words in process, and running programs from a shell as a user does.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "command/context.h"
#include "command/process_argument.h"
#include "command/variables.h"
#include "core/output.h"
#include "sample/sample_model.h"
#include "tests/support/fixture_writer.h"

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() / ("vorda_cmd_" + std::to_string(::getpid()) + "_" +
                                                         std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
    TempFolder(const TempFolder&) = delete;
    std::string Path() const { return path_.string(); }
    std::string File(const std::string& relative) const { return (path_ / relative).string(); }
    // Writes text to a file below the folder, making the folders above it.
    std::string Write(const std::string& relative, const std::string& text) const {
        std::filesystem::path p = path_ / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

private:
    std::filesystem::path path_;
};

// Runs the words in order (as the command line does: a false result stops)
// and returns everything they printed.
inline std::string RunWords(CommandContext& context, const std::vector<std::string>& words) {
    CapturedOutput out;
    for (const std::string& w : words)
        if (!ProcessArgument(context, w.c_str())) break;
    return out.Text();
}

// The value of a variable, or "<none>" when it is not defined.
inline std::string VariableOrNone(const CommandContext& context, const char* name) {
    const char* v = GetVariable(context, name);
    return v ? v : "<none>";
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Single-quotes text for /bin/sh, so "$" and blanks reach the program as is.
inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs command with /bin/sh in folder, input empty, standard output and error
// together in output. Returns the exit status, -1 when it did not exit.
inline int Shell(const std::string& folder, const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen(("cd " + Quote(folder) + " && ( " + command + " ) 2>&1 </dev/null").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the built tool in folder with the words, each quoted for the shell.
inline int RunTool(const std::string& folder, const std::vector<std::string>& words, std::string& output) {
    std::string command = Quote(VORDA_BINARY);
    for (const std::string& w : words) command += " " + Quote(w);
    return Shell(folder, command, output);
}

// The bytes of a model file holding only its version.
inline std::string ZemOfVersion(uint32_t version) {
    Model m;
    m.version = version;
    const std::vector<unsigned char> bytes = BuildZem(m);
    return std::string(bytes.begin(), bytes.end());
}

// Writes the bundled sample model to path (which must end in ".zem") and its
// animations where the tool looks for them: the same name ending in ".MAD".
inline bool WriteSampleModel(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return SaveBytes(path, BuildZem(*BuildSampleModel())) &&
           SaveBytes(path.substr(0, path.size() - 4) + ".MAD", BuildMad(*BuildSampleAnimation()));
}
