// Test helpers for the collada tests: lookups in a TinyXML tree and small
// builders of in-memory model objects.
#pragma once

#include <tinyxml.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "collada/document.h"
#include "model/joints.h"
#include "model/model.h"

// The subtree as one line (no indentation, no line breaks).
inline std::string PrintXml(const TiXmlNode* node) {
    if (!node) return "<null>";
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    node->Accept(&printer);
    return printer.Str();
}

inline std::string Attr(const TiXmlElement* e, const char* name) {
    const char* v = e ? e->Attribute(name) : nullptr;
    return v ? v : "<none>";
}

inline std::string TextOf(const TiXmlElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "";
}

// Direct child elements, optionally only those with the given name.
inline std::vector<const TiXmlElement*> Kids(const TiXmlNode* parent, const char* name = nullptr) {
    std::vector<const TiXmlElement*> out;
    for (const TiXmlElement* e = parent ? parent->FirstChildElement() : nullptr; e; e = e->NextSiblingElement())
        if (!name || e->ValueStr() == name) out.push_back(e);
    return out;
}

// The element names of the direct children, or with `value` given, the
// `attr` attributes of the direct children of that name.
inline std::vector<std::string> ChildNames(const TiXmlNode* parent, const char* value = "node", const char* attr = "name") {
    std::vector<std::string> out;
    for (const TiXmlElement* e : Kids(parent, value)) out.push_back(value ? Attr(e, attr) : e->ValueStr());
    return out;
}
inline std::vector<std::string> KidNames(const TiXmlNode* parent) { return ChildNames(parent, nullptr); }

// The first element at or below root (document order) whose attribute equals
// value and, when given, whose element name is `elem`.
inline const TiXmlElement* Find(const TiXmlNode* root, const char* attr, const std::string& value,
                                const char* elem = nullptr) {
    const TiXmlElement* e = root ? root->ToElement() : nullptr;
    if (e && e->Attribute(attr) && value == e->Attribute(attr) && (!elem || e->ValueStr() == elem)) return e;
    for (const TiXmlNode* c = root ? root->FirstChild() : nullptr; c; c = c->NextSibling())
        if (const TiXmlElement* found = Find(c, attr, value, elem)) return found;
    return nullptr;
}
inline const TiXmlElement* FindNode(const TiXmlNode* root, const std::string& name) { return Find(root, "name", name, "node"); }

// The text of the node's child transform with the given sid.
inline std::string TransformText(const TiXmlElement* node, const char* sid) {
    for (const TiXmlElement* e : Kids(node))
        if (Attr(e, "sid") == sid) return TextOf(e);
    return "<none>";
}

// A node's name with its "SUB_PARAMS" groups joined back on with "_".
inline std::string JoinedName(const TiXmlElement* node) {
    std::string name = Attr(node, "name");
    for (const TiXmlElement* e : Kids(node, "node"))
        if (Attr(e, "name") == "SUB_PARAMS")
            for (const std::string& group : ChildNames(e)) name += "_" + group;
    return name;
}

// A fresh folder, removed with everything in it at the end of the scope.
struct TempDir {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("vorda-collada-" + std::to_string(std::random_device{}()) + std::to_string(std::random_device{}())))
                           .string();
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

template <typename T>
T& Push(OwnedList<T>& list, const char* name, const char* parent = "") {
    list.push_back(std::make_unique<T>());
    list.back()->name.Set(name);
    list.back()->parentName.Set(parent);
    return *list.back();
}
inline Joint& AddJoint(Model& model, const char* name, const char* parent) {
    Joint& joint = Push(model.joints, name, parent);
    joint.index = int32_t(model.joints.size() - 1);
    return joint;
}

inline Material& AddMaterial(Model& model, const char* name, const char* shader) {
    model.materials.push_back(std::make_unique<Material>());
    model.materials.back()->index = int32_t(model.materials.size() - 1);
    model.materials.back()->name.Set(name);
    model.materials.back()->shader.Set(shader);
    return *model.materials.back();
}

inline PrimitiveGroup Group(uint32_t type, std::vector<uint16_t> indices) {
    PrimitiveGroup g;
    g.type = type;
    g.indexCount = int32_t(indices.size());
    g.indices = std::move(indices);
    return g;
}

// A part holding positions only (format 0x0001, stride 4) from x y z triples.
inline MeshPart PosPart(int32_t material, const std::vector<float>& xyz, std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.format = 0x0001;
    part.stride = 4;
    part.vertexCount = int32_t(xyz.size() / 3);
    for (size_t i = 0; i + 2 < xyz.size(); i += 3) part.vertices.insert(part.vertices.end(), {xyz[i], xyz[i + 1], xyz[i + 2], 1});
    part.groups = std::move(groups);
    return part;
}

// The element as the saved file holds it (number texts are printed only
// while saving), parsed back.
inline std::unique_ptr<TiXmlDocument> Reparsed(const TiXmlElement& element) {
    FILE* f = std::tmpfile();
    element.Print(f, 0);
    std::string bytes(size_t(std::ftell(f)), '\0');
    std::rewind(f);
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
    std::fclose(f);
    auto doc = std::make_unique<TiXmlDocument>();
    TiXmlBase::SetCondenseWhiteSpace(false);  // number texts keep their spaces
    doc->Parse(bytes.c_str());
    return doc;
}

// A model written as a document (joints resolved first) into a private
// folder and read back.
struct WrittenDae {
    TempDir dir;
    TiXmlDocument doc;
    bool ok = false;
    explicit WrittenDae(Model& model, DaeOptions options = DaeOptions()) {
        ResolveJoints(model);
        TiXmlBase::SetCondenseWhiteSpace(false);  // number texts keep their spaces
        ok = WriteDocument(model, (dir / "m.dae").c_str(), options) && doc.LoadFile((dir / "m.dae").c_str());
    }
    const TiXmlElement* Library(const char* name) const { return doc.RootElement()->FirstChildElement(name); }
    const TiXmlElement* VisualScene() const {
        return Library("library_visual_scenes")->FirstChildElement("visual_scene");
    }
    const TiXmlElement* Node(const std::string& name) const { return FindNode(VisualScene(), name); }
};
