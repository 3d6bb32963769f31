// A COLLADA 1.4 document read back. The typed view holds what the tool's
// own DAE writer produces and what ordinary COLLADA files hold; every id
// reference in it is resolved to an index (or refused with a reason), every
// count checked against the values really present, and every polygon form
// turned into a triangle list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "import/read_failure.h"

namespace pugi {
class xml_document;
struct xml_node_struct;
}  // namespace pugi

// The <extra> elements directly below an element, parsed: copies of them
// (out of the file's text, which the reader does not keep) stand under one
// element of DaeDocument::extras; none when the element has none.
struct DaeExtras {
    pugi::xml_node_struct* holder = nullptr;
    bool empty() const { return holder == nullptr; }
};

// A <source>: its numbers (float_array) or names (Name_array / IDREF_array),
// read through its accessor: `count` elements of `stride` values each.
struct DaeSource {
    std::string id, name;
    std::vector<float> floats;
    std::vector<std::string> names;
    uint64_t count = 0;
    uint32_t stride = 1;
    std::vector<std::string> params;  // the accessor's param names ("X", "S", "TIME", ...)
};

struct DaeInput {
    std::string semantic;  // "VERTEX", "POSITION", "NORMAL", "TEXCOORD", ...
    int source = -1;       // index into the geometry's (or animation's) sources; -1 for VERTEX
    uint32_t offset = 0;
    int set = -1;
};

// One <triangles>, <polylist>, <polygons>, <tristrips> or <trifans>, as a
// triangle list: `indices` holds 3 corners per triangle, `stride` indices
// per corner (one per input offset).
struct DaeTriangles {
    std::string material;  // the symbol bound by instance_material
    std::vector<DaeInput> inputs;
    uint32_t stride = 1;
    std::vector<uint32_t> indices;
    uint64_t TriangleCount() const { return indices.size() / (size_t(stride) * 3); }
};

struct DaeGeometry {
    std::string id, name;
    std::vector<DaeSource> sources;
    std::vector<DaeInput> vertexInputs;  // what <vertices> gathers
    std::vector<DaeTriangles> parts;
    bool lines = false;  // it holds <lines> or <linestrips>, which are not read
    DaeExtras extra;
};

struct DaeImage {
    std::string id, name, initFrom;  // initFrom: the file name or URI as written
    DaeExtras extra;
};

// A colour, or a texture reached through the effect's surface and sampler
// parameters (or naming an image directly, as some writers do).
struct DaeColorOrTexture {
    bool present = false;
    float color[4] = {0, 0, 0, 1};
    int image = -1;  // index into images; -1: a colour
    std::string texcoord;
    DaeExtras extra;  // the texture's
};

struct DaeEffect {
    std::string id, name;
    std::string shading;  // "phong", "blinn", "lambert" or "constant"
    DaeColorOrTexture emission, ambient, diffuse, specular, reflective, transparent, bump;
    float shininess = 0, reflectivity = 0, transparency = 0;
    std::string opaque;  // the transparent element's opaque mode
    DaeExtras extra;
};

struct DaeMaterial {
    std::string id, name;
    int effect = -1;
};

struct DaeTransform {
    enum Kind { kTranslate, kRotate, kScale, kMatrix, kLookAt, kSkew } kind = kTranslate;
    std::string sid;
    float values[16] = {};  // 3, 4, 3, 16 (row by row), 9 or 7 of them
};

// Which texture coordinate set a material's texcoord name stands for.
struct DaeVertexBinding {
    std::string semantic;       // the texcoord name the effect uses ("UV0", "UVMap")
    std::string inputSemantic;  // "TEXCOORD"
    int inputSet = 0;
};

struct DaeMaterialBinding {
    std::string symbol;
    int material = -1;
    std::vector<DaeVertexBinding> vertexInputs;
};

struct DaeInstanceGeometry {
    int geometry = -1;
    std::vector<DaeMaterialBinding> bindings;
    // Placed through an <instance_controller>: the skin or morph's source
    // geometry, the controller itself left out. (The skin's bind shape
    // matrix, which places the geometry in the skeleton, is the last of the
    // node's transforms.)
    bool skin = false, morph = false;
};

struct DaeNode {
    std::string id, name, sid, type;
    int parent = -1;
    std::vector<int> children;  // nodes below this one, in document order
    std::vector<DaeTransform> transforms;
    std::vector<DaeInstanceGeometry> geometries;
    std::vector<int> instanceNodes;  // nodes of library_nodes or elsewhere placed here
    bool camera = false, light = false;  // it places a camera or a light (not read)
    DaeExtras extra;
};

struct DaeSampler {
    std::string id;
    std::vector<DaeInput> inputs;  // INPUT, OUTPUT, INTERPOLATION, IN_TANGENT, OUT_TANGENT
};

struct DaeChannel {
    int sampler = -1;
    std::string target;  // as written: "<node id>/<sid>[.member]"
    int node = -1;       // the node the target names, -1 when no node has that id
};

// Animations nested in others are read as siblings; `parentAnimation` keeps
// where they stood.
struct DaeAnimation {
    std::string id, name;
    int parentAnimation = -1;
    std::vector<DaeSource> sources;
    std::vector<DaeSampler> samplers;
    std::vector<DaeChannel> channels;
    DaeExtras extra;
};

struct DaeDocument {
    std::string path;
    uint64_t inputBytes = 0;  // the file's size, which bounds what reading it may make
    double unitMeter = 1;
    std::string unitName = "meter";
    std::string upAxis = "Y_UP";
    std::vector<DaeImage> images;
    DaeExtras imagesExtra;  // those of library_images
    std::vector<DaeEffect> effects;
    std::vector<DaeMaterial> materials;
    std::vector<DaeGeometry> geometries;
    std::vector<DaeNode> nodes;  // every node of the visual scene and of library_nodes
    std::vector<int> roots;      // the top nodes of the visual scene shown
    std::string sceneId, sceneName;
    DaeExtras sceneExtra;
    std::vector<DaeAnimation> animations;
    // Where every DaeExtras of the document points (shared by its copies).
    std::shared_ptr<const pugi::xml_document> extras;
};

// Reads a DAE file. False with the file and the reason when it is not XML,
// not COLLADA, or holds a count, number or reference that does not fit.
bool ReadDaeFile(const std::string& path, DaeDocument& doc, ReadFailure& failure);
// The same from the bytes of the file (which it parses in place).
bool ReadDaeBytes(std::vector<unsigned char>& bytes, const std::string& path, DaeDocument& doc, ReadFailure& failure);
