#include "collada/nodes.h"

#include "collada/extras.h"
#include "collada/ids.h"
#include "collada/xml_blocks.h"
#include "scene/conventions.h"

namespace {

void AddRotate(TiXmlElement* node, const char* sid, const char* axis, float radians) {
    TiXmlElement* rotate = AddChildElement(node, "rotate");
    SetAttr(rotate, "sid", sid);
    std::string text = axis;
    AppendF6(text, double(ToDegrees(radians)));
    AddText(rotate, std::move(text));
}

void AddInstance(TiXmlElement* node, const Scene& scene, const SceneNode& source, const std::string& stem) {
    TiXmlElement* instance = AddChildElement(node, "instance_geometry");
    SetAttr(instance, "url", Uri(GeometryId(stem)));
    if (source.materials.empty()) return;
    TiXmlElement* technique = AddChildElement(AddChildElement(instance, "bind_material"), "technique_common");
    for (int32_t index : source.materials) {
        if (index < 0 || size_t(index) >= scene.materials.size()) continue;
        const std::string& name = scene.materials[size_t(index)].name;
        TiXmlElement* material = AddChildElement(technique, "instance_material");
        SetAttr(material, "symbol", name);
        SetAttr(material, "target", Uri(name));
    }
}

// Nested no deeper than the scene's joint limit allows, so recursion is safe.
void AddNode(TiXmlElement* parent, const Scene& scene, const std::vector<std::string>& stems, int32_t index) {
    const SceneNode& source = scene.nodes[size_t(index)];
    TiXmlElement* node = AddChildElement(parent, "node");
    if (source.nameOnly) {
        SetAttr(node, "name", source.name);
        SetAttr(node, "id", source.name);
    } else {
        TiXmlElement* translate = AddChildElement(node, "translate");
        SetAttr(translate, "sid", "translate");
        std::string text;
        for (int i = 0; i < 3; ++i) {
            if (i) text.push_back(' ');
            AppendF6(text, double(source.translation[i]));
        }
        AddText(translate, std::move(text));
        AddRotate(node, "rotateZ", "0 0 1 ", source.rotation[2]);
        AddRotate(node, "rotateY", "0 1 0 ", source.rotation[1]);
        AddRotate(node, "rotateX", "1 0 0 ", source.rotation[0]);
        if (source.mesh >= 0) AddInstance(node, scene, source, stems[size_t(source.mesh)]);
        TiXmlElement* technique = AddChildElement(AddChildElement(node, "extra"), "technique");
        SetAttr(technique, "profile", "FCOLLADA");
        AddText(AddChildElement(technique, "visibility"), "1.000000");
        SetAttr(node, "name", source.name);
        SetAttr(node, "id", source.name);
        SetAttr(node, "sid", source.name);
    }
    for (int32_t child : source.children) AddNode(node, scene, stems, child);
    AddNodeExtra(node, source);
}

}  // namespace

void AddNodes(TiXmlElement* visualScene, const Scene& scene, const std::vector<std::string>& stems) {
    for (int32_t root : scene.roots) AddNode(visualScene, scene, stems, root);
}
