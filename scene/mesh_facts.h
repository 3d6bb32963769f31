// The facts of a multi mesh, goblin mesh or glow level that no element of
// the scene shows, recorded by the scene build on the node instantiating the
// mesh and read by the way back (scene/meshes_from_scene.cpp). One home for
// both directions of their texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"

// The stored parent joint name (the node's parent shows the joint only in
// ASCII letter case, and a level above 0 hangs from its LOD root).
extern const char kMeshJointFact[];  // "joint"
// The level's position among its mesh's levels, where the LOD root it hangs
// from does not show it (a goblin level without a root of its own).
extern const char kMeshLevelFact[];  // "level"
// The level's stored LOD number, where the name does not show it (a goblin
// level whose number is not its position, a glow mesh whose number is not
// the glow's).
extern const char kMeshLodFact[];  // "lod"
// Per triangle list, in the scene's order (by material): the part's position
// among the level's parts, its model material index and vertex format.
extern const char kMeshPartsFact[];  // "parts"
// The parts the scene has no list for (a material index the model lacks),
// whole: their values and groups.
extern const char kMeshHiddenPartsFact[];  // "hidden_parts"

// In the scene's own facts: the multi meshes, goblin meshes and glows that
// have no level (nothing in the scene shows them), each with its kind, its
// position in its list, its LOD (a glow's), name and joint.
extern const char kEmptyMeshesFact[];  // "empty_meshes"

// The key a fact of a mesh no node instantiates (its joint is missing) has
// in the scene's own facts: "mesh<index>_<key>".
std::string UnplacedMeshFactKey(size_t mesh, const char* key);

struct PartFact {
    int32_t position = -1;
    int32_t material = -1;
    uint32_t format = 0;
    // Listed only when the list's table cannot show it (a mesh without
    // streams); -1 otherwise.
    int32_t vertexCount = -1;
};

// What the scene build knows of one level it instantiates.
struct MeshLevelFacts {
    const Mesh* mesh = nullptr;
    std::vector<int32_t> listedParts;  // the part of each triangle list, in list order
    int components = 0;                // numbers per table entry of the scene mesh
    const Core_QStr* joint = nullptr;  // the stored parent joint name
    int32_t level = 0, shownLevel = 0;
    int32_t lod = 0;
    bool lodShown = true;
};
SceneFacts MeshFacts(const MeshLevelFacts& level);

// The parts fact's lines; false when the text is damaged.
bool ReadPartFacts(const std::string& text, std::vector<PartFact>& parts);
// The hidden parts with their positions; false when the text is damaged.
struct HiddenPart {
    int32_t position = -1;
    MeshPart part;
};
bool ReadHiddenParts(const std::string& text, std::vector<HiddenPart>& parts);

struct EmptyMesh {
    int kind = 0;  // 0 multi mesh, 1 goblin mesh, 2 glow
    size_t position = 0;
    uint32_t lod = 0;
    std::string name, joint;
};
// Adds one to the scene's facts.
void AddEmptyMesh(SceneFacts& facts, const EmptyMesh& mesh);
// Those the fact lists, in order; false when its text is damaged.
bool ReadEmptyMeshes(const std::string& text, std::vector<EmptyMesh>& meshes);
