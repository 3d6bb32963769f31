// Helpers shared by the command tests: a temporary folder that removes itself,
// file writing, and running words on a context while capturing the output.
#pragma once

#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "command/context.h"
#include "command/process_argument.h"
#include "command/variables.h"
#include "core/output.h"

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vorda_cmd_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" + std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
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
