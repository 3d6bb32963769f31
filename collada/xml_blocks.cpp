#include "collada/xml_blocks.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// A text node that takes its string by move: TinyXML's own constructors copy.
// Saving prints a text by escaping it into a second string first; the number
// texts of a large mesh run to tens of megabytes each and need no escaping,
// so a text without any character the library would escape is written
// straight to the file (the same bytes, without the copy).
class MovedText : public TiXmlText {
public:
    explicit MovedText(std::string&& text) : TiXmlText("") { value = std::move(text); }

    void Print(FILE* file, int depth) const override {
        static const NeedsEscape table;
        for (unsigned char c : value) {
            if (table.byte[c]) {
                TiXmlText::Print(file, depth);
                return;
            }
        }
        std::fwrite(value.data(), 1, value.size(), file);
    }

private:
    // The bytes the library's printer would not copy as they are.
    struct NeedsEscape {
        bool byte[256] = {};
        NeedsEscape() {
            for (int c = 0; c < 0x20; ++c) byte[c] = true;
            for (unsigned char c : {'&', '<', '>', '"', '\''}) byte[c] = true;
        }
    };
};

// Number texts are built through a small buffer and appended in blocks:
// appending each number on its own costs more than formatting it.
struct TextSink {
    std::string& out;
    char buf[16384];
    size_t used = 0;
    explicit TextSink(std::string& target) : out(target) {}
    ~TextSink() { Flush(); }
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;
    void Flush() {
        out.append(buf, used);
        used = 0;
    }
    // Room for n more characters.
    char* Room(size_t n) {
        if (used + n > sizeof buf) Flush();
        return buf + used;
    }
};

}  // namespace

TiXmlElement* AddChildElement(TiXmlElement* parent, const char* name) {
    if (!parent) return nullptr;
    return parent->LinkEndChild(new TiXmlElement(name))->ToElement();
}

void AddText(TiXmlElement* element, std::string&& text) {
    if (!element) return;
    element->LinkEndChild(new MovedText(std::move(text)));
}

void AddText(TiXmlElement* element, const char* text) {
    if (!element) return;
    element->LinkEndChild(new MovedText(XmlSafe(text)));
}

void SetAttr(TiXmlElement* element, const char* name, const std::string& value) {
    if (element) element->SetAttribute(name, XmlSafe(value).c_str());
}

void SetAttr(TiXmlElement* element, const char* name, const char* value) {
    if (element) element->SetAttribute(name, XmlSafe(value).c_str());
}

void SetAttr(TiXmlElement* element, const char* name, int64_t value) {
    if (!element) return;
    std::string text;
    AppendInt(text, value);
    element->SetAttribute(name, text.c_str());
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

// Some builds of the XML library copy "&#x...;" into the file verbatim when
// printing (so it reads back as the referenced character); others escape the
// "&" like any other. Ask the library once which kind this is.
bool LibraryPassesHexReferences() {
    static const bool passes = [] {
        std::string out;
        TiXmlBase::EncodeString(std::string("&#x41;"), &out);
        return out == "&#x41;";
    }();
    return passes;
}

bool XmlAllows(uint32_t cp) {
    if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    return cp != 0xFFFE && cp != 0xFFFF;
}

}  // namespace

std::string XmlSafe(const std::string& text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    const bool guardHex = LibraryPassesHexReferences();
    bool plain = true;
    for (size_t i = 0; i < n && plain; ++i)
        plain = (p[i] >= 0x20 && p[i] < 0x80) &&
                !(guardHex && p[i] == '&' && i + 2 < n && p[i + 1] == '#' && p[i + 2] == 'x');
    if (plain) return text;
    std::string out;
    out.reserve(n + 16);
    for (size_t i = 0; i < n;) {
        unsigned char c = p[i];
        if (guardHex && c == '&' && i + 2 < n && p[i + 1] == '#' && p[i + 2] == 'x') {
            // This library copies "&#x...;" verbatim; start it with a
            // reference to "&" itself so the text reads back unchanged.
            out += "&#x26;";
            ++i;
            continue;
        }
        if (c < 0x80) {
            out.push_back(XmlAllows(c) ? char(c) : '_');
            ++i;
            continue;
        }
        uint32_t cp = 0;
        size_t len = DecodeUtf8(p + i, n - i, cp);
        if (len) {
            if (XmlAllows(cp)) out.append(text, i, len);
            else out.push_back('_');
            i += len;
            continue;
        }
        // Not UTF-8: the byte stands for its Windows-1252 character.
        uint32_t w = c < 0xA0 ? kCp1252High[c - 0x80] : c;
        if (w) AppendUtf8(out, w);
        else out.push_back('_');
        ++i;
    }
    return out;
}

std::string XmlSafe(const char* text) { return XmlSafe(std::string(text ? text : "")); }

TiXmlElement* AddParamElement(TiXmlElement* parent, const char* name, const char* type, const char* text) {
    TiXmlElement* outer = AddChildElement(parent, name);
    TiXmlElement* inner = AddChildElement(outer, type);
    if (inner) {
        SetAttr(inner, "sid", name);
        AddText(inner, text);
    }
    return outer;
}

// to_chars, not snprintf: identical bytes, no locale dependence, ~4x faster on
// large arrays. Non-finite values go through snprintf so "nan"/"-nan" match.
void AppendF6(std::string& out, double v) {
    char buf[400];
    if (!std::isfinite(v)) {
        int n = std::snprintf(buf, sizeof buf, "%f", v);
        out.append(buf, size_t(n));
        return;
    }
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, res.ptr);
}

void AppendG(std::string& out, double v) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%g", v);
    out.append(buf, size_t(n));
}

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

std::string FormatF6(double v) {
    std::string s;
    AppendF6(s, v);
    return s;
}

std::string FormatG(double v) {
    std::string s;
    AppendG(s, v);
    return s;
}

void WriteFloatSource(TiXmlElement* source, size_t elementCount, const float* data, const char* id, int stride,
                      const char* const* paramNames) {
    if (!source) return;
    std::string base = id ? id : "";
    SetAttr(source, "id", base.c_str());
    TiXmlElement* array = AddChildElement(source, "float_array");
    SetAttr(array, "id", (base + "-array").c_str());
    SetAttr(array, "count", int64_t(elementCount * size_t(stride)));
    TiXmlElement* technique = AddChildElement(source, "technique_common");
    TiXmlElement* accessor = AddChildElement(technique, "accessor");
    SetAttr(accessor, "source", ("#" + base + "-array").c_str());
    SetAttr(accessor, "count", int64_t(elementCount));
    SetAttr(accessor, "stride", stride);
    for (int i = 0; i < stride; ++i) {
        TiXmlElement* param = AddChildElement(accessor, "param");
        SetAttr(param, "name", paramNames ? paramNames[i] : "");
        SetAttr(param, "type", "float");
    }
    std::string text;
    size_t total = elementCount * size_t(stride);
    text.reserve(total * 12);
    {
        TextSink sink(text);
        for (size_t i = 0; i < total; ++i) {
            const double v = double(data[i]);
            if (!std::isfinite(v)) {
                sink.Flush();
                text.push_back(' ');
                AppendF6(text, v);
                continue;
            }
            // The widest finite float in "%f" is 47 characters.
            char* p = sink.Room(64);
            *p++ = ' ';
            auto res = std::to_chars(p, sink.buf + sizeof sink.buf, v, std::chars_format::fixed, 6);
            sink.used = size_t(res.ptr - sink.buf);
        }
    }
    AddText(array, std::move(text));
}

namespace {

inline void AppendCorner(TextSink& sink, const int32_t* table, uint16_t vertex, uint32_t mask) {
    static const uint32_t kBits[3] = {0x0001, 0x0002, 0x0008};
    char* p = sink.Room(3 * 13);
    for (int c = 0; c < 3; ++c) {
        if (!(mask & kBits[c])) continue;
        int64_t v = table ? table[size_t(vertex) * 5 + size_t(c)] : vertex;
        p = std::to_chars(p, p + 12, v).ptr;
        *p++ = ' ';
    }
    sink.used = size_t(p - sink.buf);
}

}  // namespace

void WriteTriangleIndices(std::string& out, const int32_t* table, const uint16_t* indices, int32_t n,
                          uint32_t type, uint32_t mask) {
    if (!(mask & 0x0001) || !indices || n < 1) return;
    TextSink sink(out);
    auto corner = [&](int32_t i) { AppendCorner(sink, table, indices[i], mask); };
    if (type == 0x0202) {
        for (int32_t t = 0; t < n / 3; ++t) {
            corner(3 * t);
            corner(3 * t + 1);
            corner(3 * t + 2);
        }
    } else if (type == 0x0205) {
        for (int32_t i = 2; i < n; ++i) {
            corner(0);
            corner(i - 1);
            corner(i);
        }
    } else if (type == 0x0206) {
        for (int32_t i = 2; i < n; ++i) {
            if (i % 2 == 0) {
                corner(i - 2);
                corner(i - 1);
                corner(i);
            } else {
                corner(i - 2);
                corner(i);
                corner(i - 1);
            }
        }
    }
}
