// Building blocks every part of the COLLADA writer shares: elements,
// attributes, texts and parameter pairs, all safe for any XML reader.
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "scene/names.h"  // the number texts

// Makes an element and links it as the parent's last child; none without a parent.
TiXmlElement* AddChildElement(TiXmlElement* parent, const char* name);

// Text that any XML 1.0 parser accepts, whatever bytes a model holds: valid
// UTF-8 is kept, other bytes are read as Windows-1252, characters XML cannot
// hold become "_", and, where the XML library copies "&#x" into the file
// unescaped, "&#x" is written so that it reads back as itself. Plain printable
// ASCII comes back unchanged.
std::string XmlSafe(const char* text);
std::string XmlSafe(const std::string& text);

// Adds one text child. The string form moves the text into the node without
// any check (for number texts the writers build); the char form is made
// XmlSafe first (for anything that may hold names from a model).
void AddText(TiXmlElement* element, std::string&& text);
void AddText(TiXmlElement* element, const char* text);

// Attributes: every text value is made XmlSafe.
void SetAttr(TiXmlElement* element, const char* name, const std::string& value);
void SetAttr(TiXmlElement* element, const char* name, const char* value);
void SetAttr(TiXmlElement* element, const char* name, int64_t value);
inline void SetAttr(TiXmlElement* element, const char* name, int value) { SetAttr(element, name, int64_t(value)); }

// <name><type sid="name">text</type></name> as the parent's last child;
// returns the outer element.
TiXmlElement* AddParamElement(TiXmlElement* parent, const char* name, const char* type, const char* text);


// Buffered number output into the saved file.
class NumberPrinter {
public:
    explicit NumberPrinter(FILE* file) : file_(file) {}
    ~NumberPrinter();
    NumberPrinter(const NumberPrinter&) = delete;
    NumberPrinter& operator=(const NumberPrinter&) = delete;
    // " %f" (the widest finite float is 47 characters).
    void SpaceF6(double v) {
        char* p = Room(404);
        *p++ = ' ';
        used_ = size_t(PrintF6(p, v) - buf_);
    }
    // "%d ".
    void IntSpace(int64_t v) {
        char* p = Room(24);
        p = std::to_chars(p, p + 22, v).ptr;
        *p++ = ' ';
        used_ = size_t(p - buf_);
    }
    void Flush();

private:
    char* Room(size_t n) {
        if (used_ + n > sizeof buf_) Flush();
        return buf_ + used_;
    }
    FILE* file_;
    char buf_[65536];
    size_t used_ = 0;
};

// A text child printed by print while the document is saved (number texts
// only: nothing is escaped).
void AddPrintedText(TiXmlElement* element, std::function<void(NumberPrinter&)> print);
