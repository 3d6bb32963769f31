// The JSON text of the glTF document and the shapes of values it writes often.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

#include "scene/scene.h"

namespace gltf {

using Json = rapidjson::Writer<rapidjson::StringBuffer>;

void Key(Json& json, const char* key);
// The text in UTF-8.
void String(Json& json, const std::string& text);
// An array of n numbers; one that is not finite is written as 0.
void WriteNumbers(Json& json, const double* v, int n);
void WriteColour(Json& json, const float* c, int n);
// "key": {"index": texture}.
void TextureRef(Json& json, const char* key, int texture);
// The facts (scene/fact_texts.h) as "facts": {"<key>": "<text>", ...} in
// their order, and for those whose key or text is not UTF-8 also
// "fact_bytes": {"<key>": "<key in hexadecimal> <text in hexadecimal>"};
// nothing for none.
void WriteFacts(Json& json, const SceneFacts& facts);
// The text as a URI: every byte but letters, digits and "-_.~" as %XX.
std::string PercentEncoded(const std::string& text);

}  // namespace gltf
