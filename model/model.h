// The in-memory model: everything one ZEM file (and the MAD file beside it)
// carries. Plain structs owned from the top: the Model owns its lists, every
// object owns its strings and arrays. Nothing here knows about any output.
//
// Invariants every reader guarantees, whatever the input bytes are, checked
// after every read by the tests and the fuzz targets (model/check_model.h).
// The scene build may rely on them; where it still bounds a loop by a stored
// size, that only guards the models the tests and tools build by hand:
// - vertices.size() == vertexCount * stride (MeshPart), == 3 * vertexCount
//   (EngineShape, EngineBurn, CollisionMesh);
// - indices.size() == indexCount, and every index is below its owner's
//   vertexCount (a group or collision mesh holding an index out of range is
//   emptied: indexCount 0, no indices);
// - MipLevel::data holds what was stored (at most `size` bytes; fewer when
//   the chunk was cut short); readers of pixels use data.size();
// - counts are never negative;
// - every number read is finite (a NaN or an infinity becomes 0, and the
//   object holding it is noted as damaged).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/str.h"

// ---- Transform math -------------------------------------------------------

// Row-major 4 x 4, row-vector convention: p' = p x M, translation in row 4
// (elements 12, 13, 14).
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct Bounds {
    int32_t count = 0;
    float boxMin[3] = {3.4028235e38f, 3.4028235e38f, 3.4028235e38f};
    float boxMax[3] = {-3.4028235e38f, -3.4028235e38f, -3.4028235e38f};
    float sphereCentre[3] = {0, 0, 0};
    float sphereRadius = 0;
    float sphereRadiusSq = 0;
};

// ---- Materials and texture images -----------------------------------------

enum : int32_t { kParamColour = 4, kParamTexture = 5 };

struct MaterialParam {
    Core_QStr name;
    int32_t type = -1;
    int32_t imageIndex = 0;  // texture parameters only; unchecked index into Model::images
    float colour[4] = {0, 0, 0, 1};
};

struct Material {
    int32_t index = -1;
    uint32_t version = 1001;
    Core_QStr name;
    Core_QStr shader;
    std::vector<MaterialParam> params;
};

struct MipLevel {
    std::vector<unsigned char> data;  // the bytes as stored (see invariants)
    int32_t size = 0;                 // byte count the format and size imply
    int32_t width = 0;
    int32_t height = 0;
};

struct TextureImage {
    int32_t index = -1;
    Core_QStr name;
    Core_QStr format;  // the 4 stored bytes: "DXT1", "DXT3", "DXT5", "8888", ...
    std::vector<MipLevel> levels;
};

// ---- Meshes ----------------------------------------------------------------

enum : uint32_t {
    kFormatPosition = 0x0001,
    kFormatNormal = 0x0002,
    kFormatTexCoord = 0x0008,
    kFormatTangent = 0x2000,
    kFormatBinormal = 0x4000,
    kFormatThreeWide = 0x8000,
};

enum : uint32_t { kPrimTriList = 0x0202, kPrimTriFan = 0x0205, kPrimTriStrip = 0x0206 };

struct PrimitiveGroup {
    int32_t index = -1;
    uint32_t type = 0xFFFFFFFFu;
    int32_t indexCount = 0;
    std::vector<uint16_t> indices;
};

struct MeshPart {
    int32_t index = -1;
    int32_t materialIndex = -1;
    uint32_t format = 0x000B;  // after folding
    int32_t stride = 10;       // floats per vertex
    int32_t vertexCount = 0;
    std::vector<float> vertices;  // vertexCount * stride
    std::vector<PrimitiveGroup> groups;
};

struct Mesh {
    int32_t lod = 0;
    std::vector<MeshPart> parts;
};

struct MultiMesh {
    uint8_t kind = 0;  // 0 multi mesh (MULT), 1 goblin mesh (GOBG)
    Core_QStr name;
    Core_QStr parentName;
    OwnedList<Mesh> meshes;  // position i = LOD level i
};

// Component offsets (in floats) and stride of a folded vertex format.
struct VertexLayoutInfo {
    int32_t position = 0, normal = 0, texCoord = 0, tangent = 0, binormal = 0;
    int32_t stride = 0;
};

// ---- Joints ----------------------------------------------------------------

struct Joint {
    int32_t index = -1;
    int32_t parentIndex = -1;
    Core_QStr name;
    Core_QStr parentName;
    float position[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};  // radians
    float scale[3] = {1, 1, 1};
    float axis[3] = {0, 0, 0};  // radians
    uint8_t flags[3] = {1, 1, 1};
    int32_t depth = -1;
    uint8_t hasChildren = 0;
    Matrix localMatrix;
    Matrix worldMatrix;
};

// ---- Markers, dock paths, navigation lights --------------------------------

struct Marker {
    int32_t index = -1;
    int32_t parentIndex = -1;
    Core_QStr name;
    Core_QStr parentName;
    float headValues[2] = {0, 0};
    double position[3] = {0, 0, 0};
    double rotation[3] = {0, 0, 0};
};

struct DockSegment {
    int32_t index = -1;
    float position[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};
    uint32_t useRot = 0;
    float tolerance = 0;
    uint32_t unfocus = 0;
    float speed = 0;
    uint32_t check = 0, close = 0, player = 0, queue = 0, clip = 0, clearRes = 0;
};

struct DockPath {
    int32_t index = -1;
    int32_t parentIndex = -1;
    Core_QStr name;
    Core_QStr parentName;
    uint32_t exit = 0;
    uint32_t latch = 0;
    uint32_t animFlags = 0;
    float tolerance = 0;
    Core_Str family;
    Core_Str link;
    int32_t segmentCount = 0;
    std::vector<DockSegment> segments;
};

struct NavLight {
    int32_t index = -1;
    Core_QStr name;
    Core_QStr type;
    uint32_t section = 0;
    float size = 0, phase = 0, frequency = 0;
    float colour[4] = {0, 0, 0, 1};
    float distance = 0;
    uint8_t sprite = 0;
    uint8_t highEnd = 0;
};

// ---- Engine shapes, burns, glows, collision --------------------------------

struct EngineShape {
    int32_t index = -1;
    int32_t parentIndex = -1;
    Core_QStr name;
    Core_QStr parentName;
    int32_t vertexCount = 0;
    std::vector<float> vertices;  // 3 per vertex
};

struct EngineBurn {
    int32_t index = -1;
    Core_QStr name;
    Core_QStr parentName;
    uint32_t divisions = 0;
    uint32_t flameCount = 0;
    int32_t vertexCount = 0;  // divisions * flameCount (fewer when clipped)
    std::vector<float> vertices;
};

struct Glow {
    int32_t index = -1;
    int32_t parentIndex = -1;
    Core_QStr name;
    Core_QStr parentName;
    uint32_t lod = 0;
    std::unique_ptr<Mesh> mesh;
};

struct CollisionMesh {
    int32_t index = -1;
    Core_QStr parentName;
    Bounds bounds;
    int32_t vertexCount = 0;
    std::vector<float> vertices;  // 3 per vertex
    int32_t indexCount = 0;
    std::vector<uint16_t> indices;
};

struct InfoEntry {
    Core_QStr key;
    Core_QStr value;
};

// ---- Animations (MAD file) -------------------------------------------------

struct AnimationName {
    Core_QStr name;
};

struct CurveLink {
    Core_QStr curveName;
    uint32_t connected = 0;
};

struct ClipTrack {
    Core_QStr name;
    int32_t nameIndex = -1;
    std::vector<int32_t> curveIndices;
    std::vector<CurveLink> links;
};

struct AnimationClip {
    Core_QStr name;
    int32_t nameIndex = -1;
    float start = 0, end = 0, loopStart = 0, loopEnd = 0;
    OwnedList<ClipTrack> tracks;
};

struct CurveKey {
    double time = 0;
    double value = 0;
    float inTangentX = 0, inTangentY = 0, outTangentX = 0, outTangentY = 0;
    uint32_t interpolation = 0;  // 0 linear, anything else Bezier
};

enum : uint16_t { kCurveTangents = 0x0001 };

struct AnimationCurve {
    Core_QStr name;
    int32_t nameIndex = -1;
    int32_t index = -1;
    uint16_t flags = 0;  // kCurveTangents: keys carry tangents and interpolation words
    std::vector<CurveKey> keys;
    uint32_t trailer1 = 0, trailer2 = 0;
};

// Damage the readers found in one file: a value cut short, a count clipped to
// what its chunk holds, an index out of range, a chunk walk that could not go
// on, a number that is not finite. What could be read is kept either way.
// Readers record it only through NoteDamage, naming the object for the user;
// a part noted twice (cut short and holding a NaN) counts once.
struct Damage {
    int parts = 0;      // damaged parts noted
    std::string first;  // the first of them, e.g. "multi mesh [hull]"
    std::set<std::string> named;
    explicit operator bool() const { return parts > 0; }
};

inline void NoteDamage(Damage& damage, const std::string& part) {
    if (!damage.named.insert(part).second) return;
    if (damage.parts++ == 0) damage.first = part;
}

struct AnimationSet {
    Core_QStr path;
    uint32_t version = 0;
    Core_Str formatName;
    uint32_t infoWord0 = 0, infoWord3 = 0, infoWord4 = 0;
    int32_t clipCount = 0, curveCount = 0;
    std::vector<unsigned char> stringTable;  // "STRI" body plus a zero byte
    std::vector<AnimationName> names;
    OwnedList<AnimationClip> clips;
    OwnedList<AnimationCurve> curves;
    Damage damage;
};

// ---- The model ---------------------------------------------------------------

// The name a multi mesh file gives its "NAME" form.
inline constexpr char kMultiMeshFileName[] = "Drelmarch2 Multi Mesh File";
// The one version of it the tool reads and writes.
inline constexpr uint32_t kMultiMeshVersion = 512;

struct Model {
    Core_Str path;
    std::unique_ptr<AnimationSet> animation;
    int32_t type = -1;  // 0 once the "NAME" form is accepted (multi mesh file)
    uint32_t version = 0;
    Core_Str typeName;
    OwnedList<Material> materials;
    OwnedList<TextureImage> images;
    OwnedList<MultiMesh> multiMeshes;
    OwnedList<MultiMesh> goblinMeshes;
    OwnedList<Joint> joints;
    OwnedList<EngineShape> engineShapes;
    OwnedList<EngineBurn> engineBurns;
    OwnedList<Glow> glows;
    OwnedList<NavLight> navLights;
    OwnedList<DockPath> dockPaths;
    OwnedList<Marker> markers;
    OwnedList<CollisionMesh> collisionMeshes;
    OwnedList<InfoEntry> infoEntries;
    Damage damage;
};
