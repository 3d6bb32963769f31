// Test-only helpers to find nodes and read names, attributes and texts in an
// in-memory DAE tree.
#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

// The first element (depth first, document order) named `value` whose
// attribute `attr` equals `text`, or null.
inline TiXmlElement* FindElement(TiXmlElement* root, const char* value, const char* attr, const std::string& text) {
    if (!root) return nullptr;
    for (TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* a = e->Attribute(attr);
        if (e->ValueStr() == value && a && text == a) return e;
        if (TiXmlElement* found = FindElement(e, value, attr, text)) return found;
    }
    return nullptr;
}

inline TiXmlElement* FindNode(TiXmlElement* root, const std::string& name) {
    return FindElement(root, "node", "name", name);
}

// A direct child "node" with that name, or null.
inline TiXmlElement* ChildNode(TiXmlElement* parent, const std::string& name) {
    if (!parent) return nullptr;
    for (TiXmlElement* e = parent->FirstChildElement("node"); e; e = e->NextSiblingElement("node")) {
        const char* a = e->Attribute("name");
        if (a && name == a) return e;
    }
    return nullptr;
}

inline std::string Attr(const TiXmlElement* e, const char* name) {
    const char* a = e ? e->Attribute(name) : nullptr;
    return a ? a : "<none>";
}

inline std::string Text(const TiXmlElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "";
}

// The "name" attributes of the direct children named `value`, in order.
inline std::vector<std::string> ChildNames(const TiXmlElement* parent, const char* value = "node",
                                           const char* attr = "name") {
    std::vector<std::string> out;
    if (!parent) return out;
    for (const TiXmlElement* e = parent->FirstChildElement(value); e; e = e->NextSiblingElement(value))
        out.push_back(Attr(e, attr));
    return out;
}

// The element names of the direct children, in order.
inline std::vector<std::string> ChildValues(const TiXmlElement* parent) {
    std::vector<std::string> out;
    if (!parent) return out;
    for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement())
        out.push_back(e->ValueStr());
    return out;
}

// The text of the node's child "rotate" or "translate" with the given sid.
inline std::string TransformText(const TiXmlElement* node, const char* sid) {
    if (!node) return "";
    for (const TiXmlElement* e = node->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* s = e->Attribute("sid");
        if (s && std::string(s) == sid) return Text(e);
    }
    return "";
}

// A node's name with its "SUB_PARAMS" groups joined back on with "_": the
// whole name it was given, whether or not it was split.
inline std::string JoinedName(const TiXmlElement* node) {
    std::string name = Attr(node, "name");
    for (const TiXmlElement* e = node->FirstChildElement("node"); e; e = e->NextSiblingElement("node")) {
        if (Attr(e, "name") != "SUB_PARAMS") continue;
        for (const std::string& group : ChildNames(e)) name += "_" + group;
    }
    return name;
}
