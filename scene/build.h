// The working state of one scene build, shared by its steps.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

// The saved DAE indents every element by its depth, so its size grows with
// the square of the nesting: a damaged file whose joints form one chain of
// tens of thousands would write gigabytes. Readers built on libxml2 also
// refuse a document nested deeper than 256 elements, and the joint nodes sit
// below the scene's own levels with their axis, instance and extra elements
// beneath them. Joints nested deeper than any real skeleton get no node, like
// joints outside the tree (and a foreign tree nested deeper is refused).
constexpr int32_t kMaxJointNesting = 200;

struct SceneBuild {
    const Model& model;
    Scene& scene;
    std::vector<int32_t> materialOf;  // model material index -> scene material, -1 none
    int32_t glowMaterial = -1;
    int32_t rootCol = -1;
    int32_t rootInfo = -1;
    std::vector<int32_t> lodRoots;    // one per LOD level, [0] = "ROOT_LOD[0]"
    std::vector<int32_t> jointNodes;  // by joint index; -1 = no node
    uint32_t unionMask = 0;           // every vertex format bit of the multi and goblin meshes
    bool deduplicate = true;          // SceneOptions::deduplicate

    SceneBuild(const Model& m, Scene& s) : model(m), scene(s) {}
    // The node of a joint, or -1 when it has none.
    int32_t JointNode(const Joint* joint) const;
    int32_t JointNodeByName(const Core_QStr& name) const;
    // Gives a node a new name (split as AddNode does; the "SUB_PARAMS" node
    // goes after the node's other children).
    void Rename(int32_t node, std::string name);
};

struct ShaderMapSet;
void BuildMaterials(SceneBuild& build, const SceneOptions& options, const ShaderMapSet& maps);
void BuildNodeHierarchy(SceneBuild& build);
void BuildGlows(SceneBuild& build);
void BuildSpecialNodes(SceneBuild& build);

// The mesh of one level: de-duplicated streams of the components in mask,
// one triangle list per part (parts ordered by material; a part whose
// material index the model lacks has none). With material >= 0 every part
// is bound to that scene material. listedParts (when given) gets the part
// of each list.
SceneMesh BuildMesh(const SceneBuild& build, const Mesh& mesh, std::string name, int32_t material, uint32_t mask,
                    std::vector<int32_t>& boundMaterials, std::vector<int32_t>* listedParts = nullptr);
// Positions as stored, the vertex number as the index; one list or fan.
SceneMesh BuildPositionsMesh(std::string name, const float* positions, int32_t vertexCount,
                             std::vector<uint16_t> indices, uint32_t type);
