#include "collada/xml_blocks.h"

#include <cstdio>

#include "scene/names.h"

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


namespace {

// A number text printed straight into the file while the document is saved,
// from the numbers the scene holds: a large mesh's arrays never exist as text
// in memory.
class PrintedText : public TiXmlText {
public:
    explicit PrintedText(std::function<void(NumberPrinter&)> print) : TiXmlText(""), print_(std::move(print)) {}
    void Print(FILE* file, int /*depth*/) const override {
        NumberPrinter printer(file);
        print_(printer);
    }

private:
    std::function<void(NumberPrinter&)> print_;
};

}  // namespace

NumberPrinter::~NumberPrinter() { Flush(); }

void NumberPrinter::Flush() {
    if (used_) std::fwrite(buf_, 1, used_, file_);
    used_ = 0;
}

void AddPrintedText(TiXmlElement* element, std::function<void(NumberPrinter&)> print) {
    if (element) element->LinkEndChild(new PrintedText(std::move(print)));
}
