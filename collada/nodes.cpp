#include "collada/nodes.h"

#include <algorithm>
#include <cmath>

#include "collada/geometry.h"
#include "collada/make_node.h"
#include "collada/xml_blocks.h"
#include "model/joints.h"
#include "model/transform.h"

Bounds ComputeModelBounds(Model& model) {
    ResolveJoints(model);
    Bounds bounds;
    for (const auto& col : model.collisionMeshes) {
        if (!col) continue;
        const size_t n = std::min(size_t(col->vertexCount > 0 ? col->vertexCount : 0), col->vertices.size() / 3);
        for (size_t v = 0; v < n; ++v) AddPoint(bounds, &col->vertices[v * 3]);
    }
    auto addMeshes = [&](const OwnedList<MultiMesh>& list) {
        for (const auto& mm : list) {
            if (!mm) continue;
            const Joint* joint = FindJoint(model, mm->parentName);
            const Matrix world = joint ? joint->worldMatrix : IdentityMatrix();
            for (const auto& mesh : mm->meshes)
                if (mesh) AddMeshToBounds(*mesh, bounds, &world);
        }
    };
    addMeshes(model.multiMeshes);
    addMeshes(model.goblinMeshes);
    return bounds;
}

namespace {

std::string Bracketed(const char* kind, const std::string& name) { return std::string(kind) + "[" + name + "]"; }

// The saved file indents every element by its depth, so its size grows with
// the square of the nesting: a damaged file whose joints form one chain of
// tens of thousands would write gigabytes (and the XML library's recursive
// printing and freeing would run out of stack). Readers built on libxml2 also
// refuse a document nested deeper than 256 elements, and the joint nodes sit
// below the scene's own levels with their axis, instance and extra elements
// beneath them. Joints nested deeper than any real skeleton get no node, like
// joints outside the tree.
const int32_t kMaxJointNesting = 200;

float AbsSum(const float v[3]) { return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]); }

}  // namespace

void WriteJointNodes(DaeState& state, int32_t parentIndex, TiXmlElement* parent) {
    Model& model = *state.model;
    const size_t count = model.joints.size();
    if (state.jointNodes.size() < count) state.jointNodes.resize(count, nullptr);

    // Children lists built once (in list order), and an explicit stack instead
    // of recursion: a deep chain cannot overflow the call stack, and a joint
    // is never visited twice even if its parent links were to loop.
    std::vector<std::vector<int32_t>> children(count);
    std::vector<int32_t> roots;
    for (size_t i = 0; i < count; ++i) {
        const Joint* j = model.joints[i].get();
        if (!j) continue;
        if (j->parentIndex == parentIndex) roots.push_back(int32_t(i));
        else if (j->parentIndex >= 0 && size_t(j->parentIndex) < count) children[size_t(j->parentIndex)].push_back(int32_t(i));
    }
    std::vector<char> visited(count, 0);
    if (parentIndex >= 0 && size_t(parentIndex) < count) visited[size_t(parentIndex)] = 1;

    struct Pending {
        int32_t joint;
        TiXmlElement* parent;
        int32_t level;
    };
    std::vector<Pending> stack;
    for (size_t k = roots.size(); k-- > 0;) stack.push_back({roots[k], parent, 1});
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        const size_t i = size_t(item.joint);
        if (visited[i] || !item.parent || item.level > kMaxJointNesting) continue;
        visited[i] = 1;
        Joint& j = *model.joints[i];
        float rotation[3] = {j.rotation[0] + j.axis[0], j.rotation[1] + j.axis[1], j.rotation[2] + j.axis[2]};
        TiXmlElement* node = MakeNode(item.parent, Bracketed("JNT", j.name.value), j.position, rotation);
        if (!node) continue;
        node->SetUserData(&j);
        state.jointNodes[i] = node;
        if (AbsSum(j.axis) > 0) {
            static const float kZero[3] = {0, 0, 0};
            MakeNode(node, Bracketed("AXIS", j.name.value), kZero, j.axis);
        }
        // Child joints go under the "JNT" node, not under its "AXIS" node.
        const std::vector<int32_t>& kids = children[i];
        for (size_t k = kids.size(); k-- > 0;) stack.push_back({kids[k], node, item.level + 1});
    }
}

void WriteInstanceNode(DaeState& state, const std::string& name, const GeometryResult& geometry,
                       const Core_QStr& jointName, TiXmlElement* lodRoot, const char* target) {
    Model& model = *state.model;
    const Joint* joint = FindJoint(model, jointName);
    TiXmlElement* parent = nullptr;
    float translation[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};
    if (lodRoot) {
        parent = lodRoot;
        if (joint) {
            translation[0] = joint->worldMatrix.m[12];
            translation[1] = joint->worldMatrix.m[13];
            translation[2] = joint->worldMatrix.m[14];
            MatrixToEuler(joint->worldMatrix, rotation);
        }
    } else if (joint && joint->index >= 0 && size_t(joint->index) < state.jointNodes.size()) {
        parent = state.jointNodes[size_t(joint->index)];
    }
    if (!parent) return;

    TiXmlElement* node = MakeNode(parent, name, translation, rotation);
    if (!node) return;
    TiXmlElement instance("instance_geometry");
    TiXmlNode* extra = node->FirstChild("extra");
    TiXmlNode* placed = extra ? node->InsertBeforeChild(extra, instance) : node->InsertEndChild(instance);
    TiXmlElement* placedInstance = placed ? placed->ToElement() : nullptr;
    if (!placedInstance) return;
    SetAttr(placedInstance, "url", "#" + name + "-lib");

    if (target && target[0] == '#') {
        TiXmlElement* technique = AddChildElement(AddChildElement(placedInstance, "bind_material"), "technique_common");
        TiXmlElement* material = AddChildElement(technique, "instance_material");
        SetAttr(material, "symbol", target + 1);
        SetAttr(material, "target", target);
        return;
    }
    if (geometry.materials.empty()) return;
    TiXmlElement* technique = AddChildElement(AddChildElement(placedInstance, "bind_material"), "technique_common");
    for (int32_t index : geometry.materials) {
        if (index < 0 || size_t(index) >= model.materials.size() || !model.materials[size_t(index)]) continue;
        const Material& m = *model.materials[size_t(index)];
        const std::string bound = "#MAT[" + m.name.value + "]_SHD[" + m.shader.value + "]";
        TiXmlElement* material = AddChildElement(technique, "instance_material");
        SetAttr(material, "symbol", bound.substr(1));
        SetAttr(material, "target", bound);
    }
}

void WriteNodeHierarchy(DaeState& state) {
    Model& model = *state.model;
    const Bounds bounds = ComputeModelBounds(model);
    Bounds scene = bounds;
    for (const auto& path : model.dockPaths) {
        if (!path) continue;
        for (const DockSegment& segment : path->segments) AddPoint(scene, segment.position);
    }
    size_t lodCount = 1;
    for (const auto& mm : model.multiMeshes)
        if (mm && mm->meshes.size() > lodCount) lodCount = mm->meshes.size();

    // A model without a single measured point has no extent: lay the roots out
    // from zero instead of printing the infinities of an empty box.
    float minX = 0, maxX = 0, sceneMinX = 0, sceneMaxX = 0;
    if (bounds.count > 0) {
        minX = bounds.boxMin[0];
        maxX = bounds.boxMax[0];
    }
    if (scene.count > 0) {
        sceneMinX = scene.boxMin[0];
        sceneMaxX = scene.boxMax[0];
    }
    const float width = maxX - minX;

    state.rootCol = nullptr;
    if (!model.collisionMeshes.empty()) {
        const float at[3] = {sceneMinX - maxX - 1.5f * width, 0, 0};
        state.rootCol = MakeNode(state.visualScene, "ROOT_COL", at, nullptr);
    }
    state.rootInfo = MakeNode(state.visualScene, "ROOT_INFO", nullptr, nullptr);

    state.jointNodes.assign(model.joints.size(), nullptr);
    state.lodRoots.clear();
    float x = 0;
    for (size_t i = 0; i < lodCount; ++i) {
        if (i == 1) x = (sceneMaxX - minX) + 0.5f * width;
        else if (i > 1) x = x + 1.5f * width;
        const float at[3] = {x, 0, 0};
        TiXmlElement* root = MakeNode(state.visualScene, "ROOT_LOD[" + std::to_string(i) + "]", at, nullptr);
        state.lodRoots.push_back(root);
        if (i == 0 && root) {
            if (Joint* joint = FindJoint(model, "Root")) {
                if (joint->index >= 0 && size_t(joint->index) < state.jointNodes.size())
                    state.jointNodes[size_t(joint->index)] = root;
                root->SetUserData(joint);
            }
        }
    }

    // The tree hangs from the first root joint of the sorted list. Joints in a
    // parent loop sort before every root, so the joint at position 0 is not
    // necessarily the root "Root"; starting there would drop the whole tree.
    for (const auto& joint : model.joints) {
        if (joint && joint->depth == 0) {
            WriteJointNodes(state, joint->index, state.lodRoots[0]);
            break;
        }
    }

    uint32_t unionMask = 0;
    auto orFormats = [&](const OwnedList<MultiMesh>& list) {
        for (const auto& mm : list) {
            if (!mm) continue;
            for (const auto& mesh : mm->meshes)
                if (mesh)
                    for (const MeshPart& part : mesh->parts) unionMask |= part.format;
        }
    };
    orFormats(model.multiMeshes);
    orFormats(model.goblinMeshes);
    state.unionMask = unionMask;

    auto writeLevels = [&](const MultiMesh& mm, bool goblin) {
        for (size_t i = 0; i < mm.meshes.size(); ++i) {
            const Mesh* mesh = mm.meshes[i].get();
            if (!mesh) continue;
            const std::string name = goblin ? Bracketed("GOBG", mm.name.value)
                                            : Bracketed("MULT", mm.name.value) + "_LOD[" + std::to_string(mesh->lod) + "]";
            GeometryResult geometry = WriteMeshGeometry(model, *mesh, name, nullptr, unionMask);
            if (state.libraryGeometries) state.libraryGeometries->LinkEndChild(geometry.geometry);
            else delete geometry.geometry;
            // A level without a LOD root of its own (goblin meshes do not
            // count towards the levels) is placed as level 0.
            TiXmlElement* lodRoot = (i > 0 && i < state.lodRoots.size()) ? state.lodRoots[i] : nullptr;
            WriteInstanceNode(state, name, geometry, mm.parentName, lodRoot, nullptr);
        }
    };
    for (const auto& mm : model.multiMeshes)
        if (mm) writeLevels(*mm, false);
    for (const auto& mm : model.goblinMeshes)
        if (mm) writeLevels(*mm, true);
}
