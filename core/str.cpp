#include "core/str.h"

#include <cstring>

namespace {

struct CrcTable {
    uint32_t entry[256];
    CrcTable() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[i] = c;
        }
    }
};

const CrcTable kCrc;

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

uint32_t NameHash(const char* text, size_t length) {
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = FoldAscii(static_cast<unsigned char>(text[i]));
        reg = (reg >> 8) ^ kCrc.entry[(reg ^ c) & 0xFF];
    }
    return reg;
}

uint32_t NameHash(const char* text) { return text ? NameHash(text, std::strlen(text)) : 0; }

int CompareNoCase(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;; ++p, ++q) {
        int x = FoldAscii(*p), y = FoldAscii(*q);
        if (x != y || x == 0) return x - y;
    }
}

bool EqualNoCase(const char* a, const char* b) { return CompareNoCase(a, b) == 0; }
bool EqualNoCase(const std::string& a, const char* b) { return CompareNoCase(a.c_str(), b) == 0; }

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return text;
}

bool IsPrefixNoCase(const std::string& word, const char* full) {
    if (word.empty() || word.size() > std::strlen(full)) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char a = word[i], b = full[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

void Core_Str::Set(const char* source) {
    if (!source) {
        value.clear();
        null = true;
        return;
    }
    value.assign(source);
    null = false;
}

void Core_Str::Set(const char* data, size_t length) {
    if (!data) return Set(nullptr);
    const void* zero = std::memchr(data, 0, length);
    value.assign(data, zero ? static_cast<const char*>(zero) - data : length);
    null = false;
}

void Core_QStr::Set(const char* source) {
    if (!source) {
        value.clear();
        null = true;
        hash = 0;
        return;
    }
    value.assign(source);
    null = false;
    hash = NameHash(value.c_str(), value.size());
}

void Core_QStr::Set(const char* data, size_t length) {
    if (!data) return Set(nullptr);
    const void* zero = std::memchr(data, 0, length);
    value.assign(data, zero ? static_cast<const char*>(zero) - data : length);
    null = false;
    hash = NameHash(value.c_str(), value.size());
}

bool NameMatch(const Core_QStr& a, const Core_QStr& b) {
    if (a.null || b.null || a.hash != b.hash) return false;
    return CompareNoCase(a.value.c_str(), b.value.c_str()) == 0;
}

namespace {

// Windows-1252 bytes 0x80-0x9F; 0 marks the five bytes with no character.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

// Length of a valid UTF-8 sequence at p (n bytes left) and its code point; 0
// when the bytes are not valid UTF-8 (overlong forms and surrogates included).
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& cp) {
    unsigned char c = p[0];
    size_t len;
    uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
    else return 0;
    if (n < len) return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}


std::string ToUtf8(const std::string& text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    std::string out;
    out.reserve(n + 8);
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        uint32_t cp = 0;
        const size_t len = c < 0x80 ? 1 : DecodeUtf8(p + i, n - i, cp);
        if (len) {
            out.append(text, i, len);
            i += len;
            continue;
        }
        // Not UTF-8: the byte stands for its Windows-1252 character.
        const uint32_t w = c < 0xA0 ? kCp1252High[c - 0x80] : c;
        if (w) AppendUtf8(out, w);
        else out.push_back('_');
        ++i;
    }
    return out;
}
