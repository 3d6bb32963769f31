// The model's non-mesh objects as nodes whose names carry their parameters in
// the bracketed grammar: glows, collision meshes, navigation lights, markers,
// engine shapes and burns, material colour parameters and dock paths.
#include "collada/object_nodes.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "collada/geometry.h"
#include "collada/make_node.h"
#include "collada/nodes.h"
#include "collada/xml_blocks.h"
#include "model/joints.h"
#include "model/transform.h"

namespace {

// The node the node pass wrote for a joint, or null when it wrote none (or the
// joint index lies outside the table, as for joints in a parent loop).
TiXmlElement* JointNode(const DaeState& state, const Joint* joint) {
    if (!joint || joint->index < 0) return nullptr;
    size_t i = size_t(joint->index);
    return i < state.jointNodes.size() ? state.jointNodes[i] : nullptr;
}

TiXmlElement* JointNodeByName(const DaeState& state, const Core_QStr& name) {
    return JointNode(state, FindJoint(*state.model, name));
}

// "_Key[value]" with a "%g" value.
void AppendGroupG(std::string& out, const char* key, double v) {
    out += '_';
    out += key;
    out += '[';
    AppendG(out, v);
    out += ']';
}

// "_Key[text]".
void AppendGroupText(std::string& out, const char* key, const char* text) {
    out += '_';
    out += key;
    out += '[';
    out += text;
    out += ']';
}

// Flag words each followed by one space, the last space dropped; an empty list
// adds no group at all.
void AppendFlags(std::string& out, const std::string& words) {
    if (words.empty()) return;
    AppendGroupText(out, "Flags", words.substr(0, words.size() - 1).c_str());
}

void AddWord(std::string& words, bool set, const char* word) {
    if (!set) return;
    words += word;
    words += ' ';
}

// "%d" of a stored unsigned value: the bits read as a signed 32-bit number,
// as the name grammar has always printed it.
void AppendIntD(std::string& out, uint32_t v) { AppendInt(out, int64_t(int32_t(v))); }

// An "instance_geometry" referring to "#<name>-lib", placed before the node's
// "extra" so the node keeps the element order every node has.
void InsertInstanceGeometry(TiXmlElement* node, const std::string& name) {
    if (!node) return;
    TiXmlElement instance("instance_geometry");
    SetAttr(&instance, "url", "#" + name + "-lib");
    TiXmlNode* extra = node->FirstChild("extra");
    if (extra)
        node->InsertBeforeChild(extra, instance);
    else
        node->InsertEndChild(instance);
}

void LinkGeometry(DaeState& state, TiXmlElement* geometry) {
    if (!geometry) return;
    if (state.libraryGeometries)
        state.libraryGeometries->LinkEndChild(geometry);
    else
        delete geometry;
}

void WorldPlacement(const Joint& joint, float translation[3], float rotation[3]) {
    translation[0] = joint.worldMatrix.m[12];
    translation[1] = joint.worldMatrix.m[13];
    translation[2] = joint.worldMatrix.m[14];
    MatrixToEuler(joint.worldMatrix, rotation);
}

void WriteCollisionMeshes(DaeState& state) {
    for (const auto& col : state.model->collisionMeshes) {
        if (!col) continue;
        float translation[3] = {0, 0, 0};
        float rotation[3] = {0, 0, 0};
        const char* jointName = "Root";
        if (const Joint* joint = FindJoint(*state.model, col->parentName)) {
            WorldPlacement(*joint, translation, rotation);
            jointName = joint->name.CStr();
        }
        std::string name = "COL[";
        name += jointName;
        name += ']';
        LinkGeometry(state, WriteSimpleGeometry(name, col->vertices.data(), col->vertexCount, col->indices.data(),
                                                col->indexCount, kPrimTriList));
        if (!state.rootCol) continue;
        InsertInstanceGeometry(MakeNode(state.rootCol, name, translation, rotation), name);
    }
}

void WriteNavLights(DaeState& state) {
    for (const auto& light : state.model->navLights) {
        if (!light) continue;
        TiXmlElement* node = JointNodeByName(state, light->name);
        if (!node) continue;
        std::string name = NavLightName(*light);
        NameNode(node, std::move(name));
    }
}

void WriteMarkers(DaeState& state) {
    for (const auto& marker : state.model->markers) {
        if (!marker) continue;
        TiXmlElement* parent = JointNodeByName(state, marker->parentName);
        if (!parent) continue;
        const float translation[3] = {float(marker->position[0]), float(marker->position[1]),
                                      float(marker->position[2])};
        const float rotation[3] = {float(marker->rotation[0]), float(marker->rotation[1]),
                                   float(marker->rotation[2])};
        std::string name = "MARK[";
        name += marker->name.CStr();
        name += ']';
        MakeNode(parent, name, translation, rotation);
    }
}

void WriteEngineShapes(DaeState& state) {
    std::vector<uint16_t> fan;
    for (const auto& shape : state.model->engineShapes) {
        if (!shape) continue;
        TiXmlElement* parent = JointNodeByName(state, shape->parentName);
        if (!parent) continue;
        std::string name = "ETSH[";
        name += shape->name.CStr();
        name += ']';
        TiXmlElement* node = MakeNode(parent, name, nullptr, nullptr);
        // The fan indexes its points with 16 bits: a shape of more points than
        // that fans over the first 65536 only, rather than wrapping back to 0.
        int32_t points = std::max<int32_t>(0, std::min<int32_t>(shape->vertexCount, 65536));
        fan.resize(size_t(points));
        for (int32_t i = 0; i < points; ++i) fan[size_t(i)] = uint16_t(i);
        LinkGeometry(state, WriteSimpleGeometry(name, shape->vertices.data(), shape->vertexCount, fan.data(),
                                                points, kPrimTriFan));
        InsertInstanceGeometry(node, name);
    }
}

void WriteEngineBurns(DaeState& state) {
    for (const auto& burn : state.model->engineBurns) {
        if (!burn) continue;
        TiXmlElement* parent = JointNodeByName(state, burn->parentName);
        if (!parent) continue;
        std::string name = "BURN[";
        name += burn->name.CStr();
        name += ']';
        TiXmlElement* node = MakeNode(parent, name, nullptr, nullptr);
        if (!node || burn->divisions == 0) continue;
        // Walk the vertices that exist rather than flames x divisions: both
        // counts come from the file, and a burn cut short holds fewer points.
        uint64_t points = std::min<uint64_t>(uint64_t(std::max<int32_t>(burn->vertexCount, 0)),
                                             burn->vertices.size() / 3);
        points = std::min<uint64_t>(points, uint64_t(burn->divisions) * burn->flameCount);
        for (uint64_t v = 0; v < points; ++v) {
            std::string point = "Flame[";
            AppendIntD(point, uint32_t(v / burn->divisions));
            point += "]_Div[";
            AppendIntD(point, uint32_t(v % burn->divisions));
            point += ']';
            MakeNode(node, point, &burn->vertices[size_t(v) * 3], nullptr);
        }
    }
}

void WriteColourParams(DaeState& state) {
    TiXmlElement* root = state.lodRoots.empty() ? nullptr : state.lodRoots[0];
    if (!root) return;
    bool any = state.colourParamCount > 0;
    for (const auto& material : state.model->materials) {
        if (!material) continue;
        for (const MaterialParam& param : material->params) any = any || param.type == kParamColour;
    }
    if (!any) return;
    TiXmlElement* hold = MakeNode(root, "HOLD_PARAMS", nullptr, nullptr);
    for (const auto& material : state.model->materials) {
        if (!material) continue;
        for (const MaterialParam& param : material->params) {
            if (param.type != kParamColour) continue;
            MakeNode(hold, ColourParamName(*material, param), nullptr, nullptr);
        }
    }
}

void WriteDockPaths(DaeState& state) {
    TiXmlElement* root = state.lodRoots.empty() ? nullptr : state.lodRoots[0];
    if (!root || state.model->dockPaths.empty()) return;
    TiXmlElement* hold = MakeNode(root, "HOLD_DOCK", nullptr, nullptr);
    for (const auto& path : state.model->dockPaths) {
        if (!path) continue;
        TiXmlElement* pathNode = MakeNode(hold, DockPathName(*path), nullptr, nullptr);
        for (size_t i = 0; i < path->segments.size(); ++i) {
            const DockSegment& seg = path->segments[i];
            MakeNode(pathNode, DockSegmentName(seg, int32_t(i)), seg.position, seg.rotation);
        }
    }
}

}  // namespace

std::string NavLightName(const NavLight& light) {
    std::string name = "NAVL[";
    name += light.name.CStr();
    name += ']';
    if (!EqualNoCase(light.type.CStr(), "default")) AppendGroupText(name, "Type", light.type.CStr());
    if (light.section != 0) {
        name += "_Sect[";
        AppendIntD(name, light.section);
        name += ']';
    }
    AppendGroupG(name, "Sz", double(light.size));
    AppendGroupG(name, "Ph", double(light.phase));
    AppendGroupG(name, "Fr", double(light.frequency));
    name += "_Col[";
    AppendG(name, double(light.colour[0]));
    name += ',';
    AppendG(name, double(light.colour[1]));
    name += ',';
    AppendG(name, double(light.colour[2]));
    name += ']';
    AppendGroupG(name, "Dist", double(light.distance));
    std::string words;
    AddWord(words, light.sprite != 0, "Sprite");
    AddWord(words, light.highEnd != 0, "HighEnd");
    AppendFlags(name, words);
    return name;
}

std::string ColourParamName(const Material& material, const MaterialParam& param) {
    std::string name = "MAT[";
    name += material.name.CStr();
    name += "]_PARAM[";
    name += param.name.CStr();
    name += "]_Type[RGBA]_Data[";
    for (int i = 0; i < 4; ++i) {
        if (i) name += ',';
        AppendG(name, double(param.colour[i]));
    }
    name += ']';
    return name;
}

std::string DockPathName(const DockPath& path) {
    std::string name = "DOCK[";
    name += path.name.CStr();
    name += ']';
    if (!path.family.Empty()) AppendGroupText(name, "Fam", path.family.CStr());
    if (!path.link.Empty()) AppendGroupText(name, "Link", path.link.CStr());
    if (path.tolerance != 0) AppendGroupG(name, "Tol", double(path.tolerance));
    std::string words;
    AddWord(words, path.exit != 0, "Exit");
    AddWord(words, path.latch != 0, "Latch");
    AddWord(words, (path.animFlags & 1) != 0, "Anim");
    AppendFlags(name, words);
    return name;
}

std::string DockSegmentName(const DockSegment& seg, int32_t position) {
    std::string name = "SEG[";
    AppendInt(name, position);
    name += ']';
    AppendGroupG(name, "Tol", double(seg.tolerance));
    AppendGroupG(name, "Spd", double(seg.speed));
    std::string words;
    AddWord(words, seg.useRot != 0, "UseRot");
    AddWord(words, seg.unfocus != 0, "Unfocus");
    AddWord(words, seg.check != 0, "Check");
    AddWord(words, seg.close != 0, "Close");
    AddWord(words, seg.player != 0, "Player");
    AddWord(words, seg.queue != 0, "Queue");
    AddWord(words, seg.clip != 0, "Clip");
    AddWord(words, seg.clearRes != 0, "ClearRes");
    AppendFlags(name, words);
    return name;
}

void WriteGlowGeometries(DaeState& state) {
    if (!state.model) return;
    for (const auto& glow : state.model->glows) {
        if (!glow || !glow->mesh) continue;
        std::string name = "GLOW[";
        name += glow->name.CStr();
        name += "]_LOD[";
        AppendIntD(name, glow->lod);
        name += ']';
        GeometryResult geometry =
            WriteMeshGeometry(*state.model, *glow->mesh, name, state.glowTarget.c_str(), state.unionMask);
        LinkGeometry(state, geometry.geometry);
        // Level 0, and a level the model has no root for, hang from the
        // glow's joint; every other level goes under its own root.
        TiXmlElement* lodRoot = nullptr;
        if (glow->lod != 0 && glow->lod < state.lodRoots.size()) lodRoot = state.lodRoots[glow->lod];
        WriteInstanceNode(state, name, geometry, glow->parentName, lodRoot, state.glowTarget.c_str());
    }
}

void WriteSpecialNodes(DaeState& state) {
    if (!state.model) return;
    WriteCollisionMeshes(state);
    WriteNavLights(state);
    WriteMarkers(state);
    WriteEngineShapes(state);
    WriteEngineBurns(state);
    WriteColourParams(state);
    WriteDockPaths(state);
}
