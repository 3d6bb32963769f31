#include "gltf/json_text.h"

#include <cctype>
#include <cmath>

#include "core/str.h"
#include "scene/fact_texts.h"

namespace gltf {

void WriteNumbers(Json& json, const double* v, int n) {
    json.StartArray();
    for (int i = 0; i < n; ++i) json.Double(std::isfinite(v[i]) ? v[i] : 0.0);
    json.EndArray();
}

void WriteColour(Json& json, const float* c, int n) {
    double v[4];
    for (int i = 0; i < n; ++i) v[i] = double(c[i]);
    WriteNumbers(json, v, n);
}

void Key(Json& json, const char* key) { json.Key(key); }

void TextureRef(Json& json, const char* key, int texture) {
    json.Key(key);
    json.StartObject();
    json.Key("index");
    json.Int(texture);
    json.EndObject();
}

void String(Json& json, const std::string& text) {
    const std::string utf8 = ToUtf8(text);
    json.String(utf8.c_str(), rapidjson::SizeType(utf8.size()));
}

void WriteFacts(Json& json, const SceneFacts& facts) {
    if (facts.empty()) return;
    Key(json, "facts");
    json.StartObject();
    bool odd = false;
    for (const SceneFact& fact : facts) {
        String(json, fact.key);
        String(json, fact.text);
        odd = odd || ToUtf8(fact.key) != fact.key || ToUtf8(fact.text) != fact.text;
    }
    json.EndObject();
    if (!odd) return;
    Key(json, "fact_bytes");
    json.StartObject();
    for (const SceneFact& fact : facts) {
        if (ToUtf8(fact.key) == fact.key && ToUtf8(fact.text) == fact.text) continue;
        String(json, fact.key);
        String(json, FactBytes(fact));
    }
    json.EndObject();
}

std::string PercentEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace gltf
