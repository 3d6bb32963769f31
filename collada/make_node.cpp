#include "collada/make_node.h"

#include "collada/xml_blocks.h"

float ToDegrees(float radians) { return radians * 57.2957763671875f; }

namespace {

void AddRotate(TiXmlElement* node, const char* sid, const char* axis, float radians) {
    TiXmlElement* rotate = AddChildElement(node, "rotate");
    SetAttr(rotate, "sid", sid);
    std::string text = axis;
    AppendF6(text, double(ToDegrees(radians)));
    AddText(rotate, std::move(text));
}

}  // namespace

void SplitLongName(TiXmlElement* node, std::string& name) {
    if (name.size() <= 60) return;
    size_t pos = 0;
    TiXmlElement* holder = nullptr;
    std::string first;
    bool haveFirst = false;
    while (pos < name.size()) {
        size_t close = name.find(']', pos);
        if (close == std::string::npos) break;
        std::string group = name.substr(pos, close + 1 - pos);
        pos = close + 2;  // the "]" and the separator after it
        if (!haveFirst) {
            first = group;
            haveFirst = true;
            continue;
        }
        if (!holder) {
            holder = AddChildElement(node, "node");
            SetAttr(holder, "name", "SUB_PARAMS");
            SetAttr(holder, "id", "SUB_PARAMS");
        }
        TiXmlElement* sub = AddChildElement(holder, "node");
        SetAttr(sub, "name", group.c_str());
        SetAttr(sub, "id", group.c_str());
    }
    if (haveFirst) name = first;
}

void NameNode(TiXmlElement* node, std::string name) {
    SplitLongName(node, name);
    SetAttr(node, "name", name.c_str());
    SetAttr(node, "id", name.c_str());
    SetAttr(node, "sid", name.c_str());
}

TiXmlElement* MakeNode(TiXmlElement* parent, const std::string& name, const float* translation,
                       const float* rotation) {
    static const float kZero[3] = {0, 0, 0};
    const float* t = translation ? translation : kZero;
    const float* r = rotation ? rotation : kZero;
    TiXmlElement* node = AddChildElement(parent, "node");
    if (!node) return nullptr;
    TiXmlElement* translate = AddChildElement(node, "translate");
    SetAttr(translate, "sid", "translate");
    std::string text;
    AppendF6(text, double(t[0]));
    text.push_back(' ');
    AppendF6(text, double(t[1]));
    text.push_back(' ');
    AppendF6(text, double(t[2]));
    AddText(translate, std::move(text));
    AddRotate(node, "rotateZ", "0 0 1 ", r[2]);
    AddRotate(node, "rotateY", "0 1 0 ", r[1]);
    AddRotate(node, "rotateX", "1 0 0 ", r[0]);
    TiXmlElement* extra = AddChildElement(node, "extra");
    TiXmlElement* technique = AddChildElement(extra, "technique");
    SetAttr(technique, "profile", "FCOLLADA");
    TiXmlElement* visibility = AddChildElement(technique, "visibility");
    AddText(visibility, "1.000000");
    NameNode(node, name);
    return node;
}
