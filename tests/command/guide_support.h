// Helpers of the tests that run the tool the way a user does: from a shell, in
// a fresh folder, on a generated sample model.
#pragma once

#include <string>

namespace guide {

// A fresh empty folder under the test temporary folder; removed by the
// destructor with everything in it.
struct ScratchFolder {
    std::string path;
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

// Writes the bundled sample model to path and its animations beside it
// (the same name with the extension ".MAD"), creating the folders. False on
// any failure.
bool WriteSampleModel(const std::string& path);

// Writes text to path, creating its folders. False on any failure.
bool WriteTextFile(const std::string& path, const std::string& text);

// Runs command with /bin/sh in folder, standard output and error together in
// output. Returns the exit status, or -1 when the shell could not be run or
// was killed.
int RunInShell(const std::string& folder, const std::string& command, std::string& output);

// True when a program of that name is on the PATH.
bool HaveProgram(const std::string& name);

// Single-quotes text for /bin/sh.
std::string ShellQuote(const std::string& text);

}  // namespace guide
