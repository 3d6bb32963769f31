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
    // Valid UTF-8 first (other bytes stand for their Windows-1252
    // characters), then the characters XML cannot hold become "_".
    const std::string utf8 = ToUtf8(text);
    p = reinterpret_cast<const unsigned char*>(utf8.data());
    n = utf8.size();
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
        uint32_t cp = c;
        size_t len = c < 0x80 ? 1 : DecodeUtf8(p + i, n - i, cp);
        out.append(XmlAllows(cp) ? utf8.substr(i, len) : "_");
        i += len;
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
