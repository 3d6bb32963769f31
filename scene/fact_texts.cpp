#include "scene/fact_texts.h"

#include <unordered_set>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string HexOfBytes(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) hex += kHex[c >> 4], hex += kHex[c & 15];
    return hex;
}

bool BytesOfHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2) return false;
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out += char(high * 16 + low);
    }
    bytes = std::move(out);
    return true;
}

std::string FactBytes(const SceneFact& fact) { return HexOfBytes(fact.key) + ' ' + HexOfBytes(fact.text); }

bool FactOfBytes(const std::string& text, SceneFact& fact) {
    const size_t space = text.find(' ');
    if (space == std::string::npos) return false;
    SceneFact read;
    if (!BytesOfHex(text.substr(0, space), read.key) || !BytesOfHex(text.substr(space + 1), read.text)) return false;
    // A fact holds no NUL (as no name does).
    if (read.key.find('\0') != std::string::npos || read.text.find('\0') != std::string::npos) return false;
    fact = std::move(read);
    return true;
}

void KeepFirstOfEachKey(SceneFacts& facts) {
    std::unordered_set<std::string> seen;
    size_t kept = 0;
    for (size_t i = 0; i < facts.size(); ++i) {
        if (!seen.insert(facts[i].key).second) continue;
        if (kept != i) facts[kept] = std::move(facts[i]);
        ++kept;
    }
    facts.resize(kept);
}
