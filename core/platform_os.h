// Pieces the platform module shares between its common part (platform.cpp)
// and its Windows side (platform_win.cpp). Nothing outside core/ includes this.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
constexpr char kForeignSeparator = '/';
#else
constexpr char kNativeSeparator = '/';
constexpr char kForeignSeparator = '\\';
#endif

// The path with every separator written the native way: "\" and "/" both
// separate folders on every platform.
std::string NativePath(const char* path);

// Sorts folder entries by name, ASCII case ignored, ties by raw bytes.
void SortFolderEntries(std::vector<FolderEntry>& entries);

// One mask without ";" or surrounding blanks against the whole path.
bool MatchesOneMask(const char* path, const std::string& mask);

// Tries to create one folder; whether it is there is checked afterwards.
void TryMakeFolder(const std::string& nativePath);
