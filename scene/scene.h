// The format-neutral scene: what a converted model holds, decided once from
// the model and encoded by each output writer. Node names carry the game's
// data in the bracketed name grammar; placement is a translation and Euler
// angles (radians, in the order scene/conventions.h states) relative to the
// parent node.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/mesh_info.h"  // ForEachGroupTriangle
#include "model/model.h"
#include "texture/pixel_image.h"

// Facts of the game's format that no visible element carries (a joint's
// scale and flags, a material's parameter order, an image's stored name and
// format, ...): a key and its text, keys unique within one list, in the order
// they were added. The encoders carry them unchanged; the way back to the
// model (scene/model_from_scene.h) reads them, and takes a stated default for
// a fact a document lost.
struct SceneFact {
    std::string key;
    std::string text;
};
using SceneFacts = std::vector<SceneFact>;

// The text of key, or null when the list has none.
const std::string* FindFact(const SceneFacts& facts, const char* key);
// Adds key (replacing its text when the list has it already).
void SetFact(SceneFacts& facts, const char* key, std::string text);

struct SceneNode {
    std::string name;
    // A name-only node: the groups of a long name listed under "SUB_PARAMS"
    // carry no placement of their own.
    bool nameOnly = false;
    float translation[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};
    int32_t parent = -1;
    std::vector<int32_t> children;
    int32_t mesh = -1;               // index into Scene::meshes, -1 none
    std::vector<int32_t> materials;  // the mesh's materials, in binding order
    SceneFacts facts;                // of the object the node stands for
};

// One triangle list of a mesh (one part of a level), bound to one material:
// `count` triangles whose corners are the vertices `corners` lists, three a
// triangle, every one below the part's vertex count (the bad-corner rule of
// scene/conventions.h). A vertex stands for one number per stream of the
// mesh (`components` of them, in the order positions, normals, texture
// coordinates): the entries of `table` from vertex x components on, or the
// vertex number itself when the table is empty. A mesh without positions
// lists no corners (its count still says how many triangles it has).
// A de-duplicated stream lists +0 and -0 as one value: `zeroSigns` names
// the zeros a vertex holds with the other sign than the value its table
// entry names, each as table entry x 4 + component, ascending (empty when
// every vertex keeps its own values).
struct SceneTriangles {
    int32_t material = -1;  // index into Scene::materials, -1 none
    int64_t count = 0;
    std::vector<int32_t> table;
    std::vector<uint32_t> corners;
    std::vector<uint64_t> zeroSigns;
};

// Calls visit(vertex) for every triangle corner of the list in order.
template <typename Visit>
void ForEachCorner(const SceneTriangles& list, Visit&& visit) {
    for (uint32_t corner : list.corners) visit(corner);
}

struct SceneMesh {
    std::string name;
    // Positions only, the values as stored, the vertex number as the one
    // index (engine shapes and collision meshes).
    bool positionsOnly = false;
    bool hasPositions = false, hasNormals = false, hasTexCoords = false;
    std::vector<float> positions;  // 3 per value
    std::vector<float> normals;    // 3 per value
    std::vector<float> texCoords;  // 2 per value, V as stored (0 at the bottom)
    int components = 0;
    std::vector<SceneTriangles> triangles;
};

// A picture the scene holds: a composed texture map or, with the verbose
// texture option, a decoded source of a map or an image no material used.
// Each encoder names its files from the stem, the output and the format.
enum class SceneImageKind { kMap, kSourceDump, kUnusedDump };

struct SceneImage {
    SceneImageKind kind = SceneImageKind::kMap;
    std::string stem;    // the texture's name stem (texture/texture_names.h)
    std::string output;  // a map's output ("DIFF", ...); a source dump's map name
    std::string key;     // "<stem>_<output>" for a map, "<stem>" for an unused image
    std::string format;  // the stored format code of its source
    bool hasAlpha = true;
    // Rows top row first as stored (an unused "8888" image); every other
    // picture holds its decoded rows, which viewers show bottom row first.
    bool topDown = false;
    PixelImage picture;
};

struct SceneMapRef {
    std::string output;  // "DIFF", "GLOW", "SPEC", "NORM", "TEAM", ...
    int32_t image = -1;  // index into Scene::images
};

struct SceneMaterial {
    std::string name;
    bool glow = false;  // the one shared material of every glow mesh
    // Its textures found no shader map entry: written with the default
    // colours and no maps, so the meshes binding it find it.
    bool unmapped = false;
    float emission[4] = {0, 0, 0, 1};
    float ambient[4] = {1, 1, 1, 1};
    float diffuse[4] = {0.5f, 0.5f, 0.5f, 1};
    float specular[4] = {0, 0, 0, 1};
    double transparency = 0;
    std::vector<SceneMapRef> maps;  // in the order they were composed
    const SceneMapRef* Map(const char* output) const;
};

enum class CurveProperty { kOther, kTranslateX, kTranslateY, kTranslateZ, kRotateX, kRotateY, kRotateZ };

// One animation curve driving one property of one node: the curve's own
// copy (name, index in the animation file, flags, keys).
struct SceneCurve {
    AnimationCurve data;
    std::string joint;       // the joint part of the curve name
    std::string targetName;  // the name of the node it drives (as joint nodes are named)
    int32_t node = -1;       // that node in Scene::nodes, -1 when the model has none
    CurveProperty property = CurveProperty::kOther;
};

// A clip of the animation file: its times and, per track, the scene curves
// its connected links name.
struct SceneTrack {
    std::string name;
    std::vector<int32_t> curves;  // indices into Scene::curves
};

struct SceneClip {
    std::string name;
    double start = 0, end = 0, loopStart = 0, loopEnd = 0;
    std::vector<SceneTrack> tracks;
};

struct Scene {
    std::vector<SceneNode> nodes;
    std::vector<int32_t> roots;
    std::vector<SceneMesh> meshes;
    std::vector<SceneMaterial> materials;
    std::vector<SceneImage> images;
    std::vector<SceneCurve> curves;
    std::vector<SceneClip> clips;
    double endTime = 0;  // seconds: the last clip end or key time, at least one frame
    int32_t version = 0;
    SceneFacts facts;  // of the model as a whole and of the animation file
    // What reading a document left out or assumed (a line primitive, a skin,
    // a default taken), one line each, printed as notes by the conversion.
    std::vector<std::string> notes;

    int32_t AddNode(int32_t parent, const std::string& name, const float* translation, const float* rotation);
};

struct SceneOptions {
    bool verboseTextures = false;
    // Each stream's values listed once, in order of first use. Without it
    // every vertex of a part keeps its own values (and the table numbers
    // them in order), for formats that index whole vertices anyway.
    bool deduplicate = true;
};

// Builds the scene of a model whose joints are resolved (ResolveJoints).
// Texture alerts are printed while the maps are composed. Null when the
// shader maps cannot be read.
std::unique_ptr<Scene> BuildScene(const Model& model, const SceneOptions& options);

// Called with every scene BuildScene makes, before it is returned: the tests
// and the fuzz targets run the invariant check (scene/check_scene.h) there.
// Null (the default) calls nothing.
using SceneBuiltHook = void (*)(const Scene& scene);
void SetSceneBuiltHook(SceneBuiltHook hook);
