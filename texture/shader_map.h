// The shader map language: which texture parameters a shader takes and which
// output maps are composed from their channels.
#pragma once

#include <memory>

struct ShaderMapSet {
    int placeholder = 0;
};

// Parses the built-in shader map text; null when it yields no entry.
std::unique_ptr<ShaderMapSet> ParseShaderMaps();
