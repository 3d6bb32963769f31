// How texture files are named: the stem of an image name and the three file
// name patterns. Every name here is a bare file name or a folder + "/" + name.
#pragma once

#include <string>

// Cuts known suffixes (extensions, ".psd[n]", "_diff", "_glow", "_n", ...)
// from the end of text, ignoring letter case, starting again from the first
// suffix after every cut, until none matches.
std::string StripTextureSuffixes(const std::string& text);

#include "core/paths.h"  // FileNamePart: the part of a name after its last separator

// The stem of an image name: its file name part, stripped of suffixes.
std::string TextureStem(const std::string& imageName);

// folder + "/" + name; the name alone when the folder is "" (current folder).
std::string JoinFolder(const std::string& folder, const std::string& name);

// A stored format code made safe for a file name: separators and control
// bytes become "_" so a damaged code cannot lead the file into another folder.
std::string FormatForFileName(const std::string& format);

// "<stem>_<output>.TGA": a composed output map.
std::string OutputFileName(const std::string& stem, const std::string& outputName);
// "<stem>_FMT[<format>]_<map name without its first character>_LMIP.TGA":
// the decoded source dump.
std::string SourceDumpFileName(const std::string& stem, const std::string& format, const std::string& mapName);
// "<stem>_FMT[<format>]_UNUSED_LMIP.TGA": an image no material used.
std::string UnusedDumpFileName(const std::string& stem, const std::string& format);
