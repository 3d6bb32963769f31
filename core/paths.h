// Path pieces the tool takes apart. A backslash separates folders as a slash
// does, so paths written for either platform split the same way.
#pragma once

#include <cstddef>
#include <string>

// Position of the last "/" or "\" (whichever comes later), or npos.
inline size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

// The text after the last separator (the whole text when there is none).
inline std::string FileNamePart(const std::string& path) {
    const size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}
