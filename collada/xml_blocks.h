// Building blocks every COLLADA writer shares: elements, parameter pairs, float
// sources, triangle index texts, and exact number text ("%f", "%g", "%d").
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <string>

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

// Fills an existing "source" element: id, float_array (id "<id>-array", count
// elements x stride, text " %f" per float) and technique_common/accessor with
// one "param" (type "float") per name.
void WriteFloatSource(TiXmlElement* source, size_t elementCount, const float* data, const char* id,
                      int stride, const char* const* paramNames);

// Appends the index text of one primitive group: per triangle corner and per
// component of mask (position 0x1, normal 0x2, texture coordinates 0x8, in
// that order) "%d " of the corner's slot in table (five slots per vertex), or
// the vertex number itself when table is null. Lists, fans and strips; other
// types and a mask without the position bit write nothing.
void WriteTriangleIndices(std::string& out, const int32_t* table, const uint16_t* indices, int32_t indexCount,
                          uint32_t type, uint32_t mask);

// Number text, byte-identical to the C library's printf in the "C" locale.
void AppendF6(std::string& out, double v);   // "%f"
void AppendG(std::string& out, double v);    // "%g"
void AppendInt(std::string& out, int64_t v); // "%d"
std::string FormatF6(double v);
std::string FormatG(double v);
