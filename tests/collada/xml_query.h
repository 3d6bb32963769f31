// Test helpers to look into a TinyXML tree: compact printing and lookups by
// element name and attribute.
#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

// The subtree as one line (no indentation, no line breaks).
inline std::string PrintXml(const TiXmlNode* node) {
    if (!node) return "<null>";
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    node->Accept(&printer);
    return printer.Str();
}

// Direct child elements, optionally only those with the given name.
inline std::vector<const TiXmlElement*> Kids(const TiXmlNode* parent, const char* name = nullptr) {
    std::vector<const TiXmlElement*> out;
    if (!parent) return out;
    for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement())
        if (!name || e->ValueStr() == name) out.push_back(e);
    return out;
}

inline std::vector<std::string> KidNames(const TiXmlNode* parent) {
    std::vector<std::string> out;
    for (const TiXmlElement* e : Kids(parent)) out.push_back(e->ValueStr());
    return out;
}

// The first element at or below root (document order) whose attribute equals value.
inline const TiXmlElement* FindByAttr(const TiXmlNode* root, const char* attr, const std::string& value) {
    if (!root) return nullptr;
    if (const TiXmlElement* e = root->ToElement()) {
        const char* v = e->Attribute(attr);
        if (v && value == v) return e;
    }
    for (const TiXmlNode* c = root->FirstChild(); c; c = c->NextSibling())
        if (const TiXmlElement* found = FindByAttr(c, attr, value)) return found;
    return nullptr;
}

// Every element at or below root whose attribute equals value.
inline void FindAllByAttr(const TiXmlNode* root, const char* attr, const std::string& value,
                          std::vector<const TiXmlElement*>& out) {
    if (!root) return;
    if (const TiXmlElement* e = root->ToElement()) {
        const char* v = e->Attribute(attr);
        if (v && value == v) out.push_back(e);
    }
    for (const TiXmlNode* c = root->FirstChild(); c; c = c->NextSibling()) FindAllByAttr(c, attr, value, out);
}

inline std::string TextOf(const TiXmlElement* e) {
    if (!e) return "<null>";
    const char* t = e->GetText();
    return t ? t : "";
}

inline std::string Attr(const TiXmlElement* e, const char* name) {
    if (!e) return "<null>";
    const char* v = e->Attribute(name);
    return v ? v : "<none>";
}

// Names of the attributes in the order they were set.
inline std::vector<std::string> AttrNames(const TiXmlElement* e) {
    std::vector<std::string> out;
    if (!e) return out;
    for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) out.push_back(a->Name());
    return out;
}

// Node (element named "node") children's "name" attributes.
inline std::vector<std::string> ChildNodeNames(const TiXmlNode* parent) {
    std::vector<std::string> out;
    for (const TiXmlElement* e : Kids(parent, "node")) out.push_back(Attr(e, "name"));
    return out;
}
