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

// The folder part of a path, written with "/" separators: "" when the path
// has no folder, "/" for a file in the root folder.
inline std::string FolderPart(const std::string& path) {
    const size_t sep = LastSeparator(path);
    if (sep == std::string::npos) return "";
    if (sep == 0) return "/";
    std::string folder = path.substr(0, sep);
    for (char& c : folder)
        if (c == '\\') c = '/';
    return folder;
}

// The file name without its extension (the text after its last dot).
inline std::string BaseNamePart(const std::string& path) {
    const std::string name = FileNamePart(path);
    return name.substr(0, name.rfind('.'));
}
