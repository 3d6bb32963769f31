// A strict well-formedness check of a written document, for the fuzz targets:
// the whole file must be UTF-8 holding only characters XML 1.0 allows, every
// "&" must start a predefined entity or a character reference to an allowed
// character, and TinyXML must parse it back.
#pragma once

#include <string>

// Empty when the file is well-formed, else what is wrong with it.
std::string CheckWrittenXml(const std::string& path);
