// How the documents carry the scene's facts (scene/scene.h) byte for byte:
// a fact is written as its key and text, and one whose key or text the
// document cannot hold as they are (bytes that are not UTF-8, characters
// XML cannot hold) also as "<key in hexadecimal> <text in hexadecimal>"
// beside it, which the reader takes instead of the texts shown.
#pragma once

#include <string>

#include "scene/scene.h"

// The bytes as lower-case hexadecimal digits, two a byte.
std::string HexOfBytes(const std::string& bytes);
// The bytes of a hexadecimal text; false when it is not one (an odd count
// or another character).
bool BytesOfHex(const std::string& hex, std::string& bytes);

// "<key in hexadecimal> <text in hexadecimal>".
std::string FactBytes(const SceneFact& fact);
// The fact of a FactBytes text; false when it is damaged.
bool FactOfBytes(const std::string& text, SceneFact& fact);

// The facts a document holds, in order, with each key's first kept and a
// repeat (a damaged document) left out.
void KeepFirstOfEachKey(SceneFacts& facts);
