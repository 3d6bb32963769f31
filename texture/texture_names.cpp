#include "texture/texture_names.h"

#include "core/str.h"

namespace {

// Tried in this order; after every cut the walk starts again at the top, so
// "hull_n_glow.tga.dds" loses ".dds", ".tga", "_glow" and "_n" in turn.
const char* const kSuffixes[] = {
    ".dds",        ".tga",        ".psd[9]",     ".psd[8]",     ".psd[7]",     ".psd[6]",    ".psd[5]",
    ".psd[4]",     ".psd[3]",     ".psd[2]",     ".psd[1]",     ".psd",        " DiffuseOn", " DiffuseOff",
    "_diffuse",    " diffuse",    "_diff",       "_difx",       "_glow",       " glow",      "_glox",
    "_mask",       "_norm",       "_nrm",        "_spec",       "_strp",       "_refl",      "_team",
    "_n",          "_export",     "-export",     "_tex",        "_autogen_0",  "_autogen_1", "_autogen_2",
    "_autogen_3",  "_autogen_4",
};

bool EndsWithNoCase(const std::string& text, const char* suffix, size_t suffixLength) {
    if (text.size() < suffixLength) return false;
    return EqualNoCase(text.c_str() + (text.size() - suffixLength), suffix);
}

}  // namespace

std::string StripTextureSuffixes(const std::string& text) {
    std::string out = text;
    bool cut = true;
    while (cut) {  // ends: every cut shortens the text
        cut = false;
        for (const char* suffix : kSuffixes) {
            const size_t n = std::char_traits<char>::length(suffix);
            if (EndsWithNoCase(out, suffix, n)) {
                out.resize(out.size() - n);
                cut = true;
                break;
            }
        }
    }
    return out;
}

std::string TextureStem(const std::string& imageName) { return StripTextureSuffixes(FileNamePart(imageName)); }

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string path = folder;
    path += '/';
    path += name;
    return path;
}

std::string FormatForFileName(const std::string& format) {
    std::string out = format;
    for (char& c : out)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return out;
}

std::string OutputFileName(const std::string& stem, const std::string& outputName) {
    return stem + "_" + outputName + ".TGA";
}

std::string SourceDumpFileName(const std::string& stem, const std::string& format, const std::string& mapName) {
    return stem + "_FMT[" + FormatForFileName(format) + "]_" + (mapName.empty() ? mapName : mapName.substr(1)) +
           "_LMIP.TGA";
}

std::string UnusedDumpFileName(const std::string& stem, const std::string& format) {
    return stem + "_FMT[" + FormatForFileName(format) + "]_UNUSED_LMIP.TGA";
}
