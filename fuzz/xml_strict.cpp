#include "fuzz/xml_strict.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <tinyxml.h>

#include "core/platform.h"
#include "core/str.h"

namespace {

bool XmlChar(uint32_t cp) {
    if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    return cp != 0xFFFE && cp != 0xFFFF && cp <= 0x10FFFF;
}

// Length of the UTF-8 sequence at p, 0 when invalid.
size_t Utf8At(const unsigned char* p, size_t n, uint32_t& cp) {
    if (p[0] < 0x80) {
        cp = p[0];
        return 1;
    }
    return DecodeUtf8(p, n, cp);
}

// The reference starting at p[0] == '&': its length, 0 when it is not one a
// strict parser accepts.
size_t ReferenceAt(const char* p, size_t n) {
    static const char* const kNames[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    for (const char* name : kNames) {
        size_t len = std::strlen(name);
        if (n >= len && std::memcmp(p, name, len) == 0) return len;
    }
    if (n < 4 || p[1] != '#') return 0;
    size_t i = 2;
    bool hex = p[2] == 'x';
    if (hex) ++i;
    uint32_t cp = 0;
    size_t digits = 0;
    for (; i < n && p[i] != ';'; ++i, ++digits) {
        char c = p[i];
        int d = c >= '0' && c <= '9' ? c - '0'
              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0 || digits > 8) return 0;
        cp = cp * (hex ? 16 : 10) + uint32_t(d);
    }
    if (i >= n || digits == 0 || !XmlChar(cp)) return 0;
    return i + 1;
}

}  // namespace

std::string CheckWrittenXml(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path.c_str(), bytes)) return "cannot read " + path;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        uint32_t cp = 0;
        size_t len = Utf8At(bytes.data() + i, n - i, cp);
        if (!len) return "invalid UTF-8 at byte " + std::to_string(i);
        if (!XmlChar(cp)) return "character not allowed in XML at byte " + std::to_string(i);
        if (cp == '&' && !ReferenceAt(reinterpret_cast<const char*>(bytes.data()) + i, n - i))
            return "bad reference at byte " + std::to_string(i);
        i += len;
    }
    TiXmlDocument doc;
    if (!doc.LoadFile(path.c_str())) return std::string("TinyXML: ") + doc.ErrorDesc();
    return "";
}
