// A glTF 2.0 document read back: a GLB file, or a .gltf file with the .bin
// and picture files it names. The typed view holds what the tool's own glTF
// writer produces and what ordinary glTF files hold; every index in it has
// been checked against the array it points into, and the buffers hold all
// their bytes, so accessor reads below only need the accessor's own ranges.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "import/read_failure.h"

// Component types and primitive modes by their numbers in the format.
enum : int {
    kGltfByte = 5120,
    kGltfUnsignedByte = 5121,
    kGltfShort = 5122,
    kGltfUnsignedShort = 5123,
    kGltfUnsignedInt = 5125,
    kGltfFloat = 5126,
    kGltfTriangles = 4,
};

// The bytes of a buffer or picture: a file of its own, a range of the GLB
// bytes the document keeps, so a GLB is held in memory once, or a range of
// an open GLB file, read a piece at a time when asked (what a GLB read from
// disk holds, so its binary chunk never needs memory of its own). Moves keep
// a range valid; copies are refused.
class GltfBytes {
public:
    GltfBytes() = default;
    GltfBytes(GltfBytes&&) = default;
    GltfBytes& operator=(GltfBytes&&) = default;
    GltfBytes(const GltfBytes&) = delete;
    GltfBytes& operator=(const GltfBytes&) = delete;

    void Own(std::vector<unsigned char>&& bytes) {
        owned_ = std::move(bytes);
        file_.reset();
        data_ = owned_.data();
        size_ = owned_.size();
    }
    void View(const unsigned char* data, size_t size) {
        owned_.clear();
        file_.reset();
        data_ = data;
        size_ = size;
    }
    void InFile(std::shared_ptr<FILE> file, uint64_t offset, uint64_t size) {
        owned_.clear();
        file_ = std::move(file);
        data_ = nullptr;
        offset_ = offset;
        size_ = size_t(size);
    }
    // The bytes [offset, offset + length) of these (the caller keeps them
    // inside size()): where they are held, or read from the file into
    // scratch; null when the file gives fewer than it had.
    const unsigned char* Get(uint64_t offset, size_t length, std::vector<unsigned char>& scratch) const;
    // A range of these as bytes of their own kind (never of owned bytes).
    void Part(const GltfBytes& whole, uint64_t offset, uint64_t size) {
        if (whole.file_) InFile(whole.file_, whole.offset_ + offset, size);
        else View(whole.data_ + offset, size_t(size));
    }
    bool InMemory() const { return !file_; }
    const unsigned char* data() const { return data_; }  // null for a range of a file
    size_t size() const { return size_; }

private:
    std::vector<unsigned char> owned_;
    std::shared_ptr<FILE> file_;
    const unsigned char* data_ = nullptr;
    uint64_t offset_ = 0;
    size_t size_ = 0;
};

struct GltfBuffer {
    std::string uri;  // "" for the GLB's own binary chunk
    uint64_t byteLength = 0;
    GltfBytes data;  // at least byteLength bytes
};

struct GltfBufferView {
    int buffer = -1;
    uint64_t byteOffset = 0;
    uint64_t byteLength = 0;
    uint32_t byteStride = 0;  // 0: elements packed tightly
};

struct GltfAccessor {
    std::string name;
    int bufferView = -1;  // -1: every value zero
    uint64_t byteOffset = 0;
    int componentType = 0;
    bool normalized = false;
    uint64_t count = 0;
    std::string type;     // "SCALAR", "VEC2" .. "MAT4"
    int components = 0;   // 1, 2, 3, 4, 4 (MAT2), 9 or 16
    std::vector<double> min, max;
};

struct GltfTextureRef {
    int texture = -1;  // -1: none
    int texCoord = 0;
    double scale = 1;  // normalTexture's scale, occlusionTexture's strength
    // KHR_texture_transform: uv' = offset + rotated(scale * uv), the
    // coordinates taken from `texCoord` (which the transform may set).
    bool transformed = false;
    double uvOffset[2] = {0, 0}, uvScale[2] = {1, 1}, uvRotation = 0;
};

struct GltfMaterial {
    std::string name;
    double baseColorFactor[4] = {1, 1, 1, 1};
    double metallicFactor = 1, roughnessFactor = 1;
    double emissiveFactor[3] = {0, 0, 0};
    GltfTextureRef baseColorTexture, metallicRoughnessTexture, normalTexture, occlusionTexture, emissiveTexture;
    std::string alphaMode = "OPAQUE";
    double alphaCutoff = 0.5;
    std::string extras;  // the "extras" value as JSON text; "" when absent
};

struct GltfImage {
    std::string name, uri, mimeType;
    int bufferView = -1;
    GltfBytes data;    // the picture file's bytes (from the URI or the buffer view)
    std::string file;                 // where they came from: the picture's file, else the document
    std::string extras;
};

struct GltfSampler {
    int magFilter = 0, minFilter = 0;  // 0: not given
    int wrapS = 10497, wrapT = 10497;
};

struct GltfTexture {
    std::string name;
    int source = -1, sampler = -1;
};

struct GltfPrimitive {
    std::map<std::string, int> attributes;  // "POSITION", "NORMAL", "TEXCOORD_0", ... -> accessor
    int indices = -1, material = -1;
    int mode = kGltfTriangles;
    bool morphTargets = false;  // it lists "targets"
    std::string extras;
};

struct GltfMesh {
    std::string name;
    std::vector<GltfPrimitive> primitives;
    std::string extras;
};

struct GltfNode {
    std::string name;
    std::vector<int> children;
    int mesh = -1;
    int parent = -1;  // filled from the children lists
    bool hasMatrix = false;
    double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column by column
    double translation[3] = {0, 0, 0};
    double rotation[4] = {0, 0, 0, 1};  // x, y, z, w
    double scale[3] = {1, 1, 1};
    bool skin = false, camera = false, light = false;  // what the game's format has no place for
    std::string extras;
};

struct GltfAnimationSampler {
    int input = -1, output = -1;
    std::string interpolation = "LINEAR";
};

struct GltfChannel {
    int sampler = -1;
    int node = -1;     // -1: no target node
    std::string path;  // "translation", "rotation", "scale" or "weights"
};

struct GltfAnimation {
    std::string name;
    std::vector<GltfAnimationSampler> samplers;
    std::vector<GltfChannel> channels;
    std::string extras;
};

struct GltfScene {
    std::string name;
    std::vector<int> nodes;
    std::string extras;
};

// The extensions the reader takes when a document requires them (it reads
// any other as plain glTF, leaving out what the extension adds).
extern const char* const kGltfExtensionsRead[2];

struct GltfDocument {
    std::string path;  // the file read
    std::vector<unsigned char> glb;  // a GLB's whole file read into memory, which buffers and pictures may view
    std::string generator;
    std::string extras;  // the top-level "extras"
    std::vector<GltfBuffer> buffers;
    std::vector<GltfBufferView> bufferViews;
    std::vector<GltfAccessor> accessors;
    std::vector<GltfImage> images;
    std::vector<GltfSampler> samplers;
    std::vector<GltfTexture> textures;
    std::vector<GltfMaterial> materials;
    std::vector<GltfMesh> meshes;
    std::vector<GltfNode> nodes;
    std::vector<GltfAnimation> animations;
    std::vector<GltfScene> scenes;
    int scene = -1;
    // Bytes read for the document in all (the file, its buffers and
    // pictures): what bounds the memory any accessor read may take.
    uint64_t inputBytes = 0;
};

// Fetches a file a .gltf names, by its path relative to the document's
// folder already joined; false with the system's reason when it cannot.
using GltfFileLoader = std::function<bool(const std::string& path, std::vector<unsigned char>& out, std::string& why)>;

// Reads a GLB (by its "glTF" magic, whatever the name) or a .gltf file. A
// .gltf's URIs must be relative paths inside its folder or below it (or
// base64 data: URIs); absolute paths, "..", and other schemes are refused so
// a document cannot make the tool read files elsewhere. False with the file
// at fault and the reason.
bool ReadGltfFile(const std::string& path, GltfDocument& doc, ReadFailure& failure);
// The same from bytes already read (a GLB's are kept in the document);
// files the document names come through `load` (the loader of ReadGltfFile
// reads them from disk).
bool ReadGltfBytes(std::vector<unsigned char> bytes, const std::string& path, const GltfFileLoader& load,
                   GltfDocument& doc, ReadFailure& failure);

// The values of an accessor as floats, count * components of them:
// normalized integers mapped to [0, 1] or [-1, 1], other integers as they
// are. Every byte read is checked to lie inside its view and buffer.
bool ReadAccessorFloats(const GltfDocument& doc, int accessor, std::vector<float>& out, ReadFailure& failure);
// The values of an unsigned integer SCALAR accessor (indices), each checked
// to be below `limit` (the vertex count they index).
bool ReadAccessorIndices(const GltfDocument& doc, int accessor, uint64_t limit, std::vector<uint32_t>& out,
                         ReadFailure& failure);
