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
