// The binary buffer of a glTF document, built twice: first only measured
// (views, accessors and their bounds), then, the JSON written, printed
// straight into the file by the same calls. No copy of the whole buffer is
// ever held.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "gltf/json_text.h"

namespace gltf {

enum : int { kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125 };
enum : int { kArrayBuffer = 34962, kElementArrayBuffer = 34963 };

struct View {
    size_t offset, length;
    int target;  // 0: none
};

struct Accessor {
    int view;
    int componentType;
    size_t count;
    const char* type;
    std::vector<double> min, max;  // empty: not given
};

// What the measuring run learns of a primitive, so the writing run need
// not walk its triangles for it again but for the indices.
struct PrimitiveCounts {
    size_t vertices = 0, corners = 0;
    std::vector<double> min, max;  // of the positions
    // Each vertex as its part vertex, in order; listEnds[l]: the vertices
    // of lists 0 to l.
    std::vector<uint32_t> partVertices;
    std::vector<size_t> listEnds;
};

// A triangle list's vertex data too long for the mesh's extras, as
// accessors of the buffer (-1: it stays in the extras): the runs of part
// vertices (start, length pairs), the unused part vertices' values per
// stream (positions, normals, texture coordinates), and the used part
// vertices glTF does not give back as held with their values, only for the
// streams that differ somewhere.
struct ListAccessors {
    int runs = -1;
    int unused[3] = {-1, -1, -1};
    int held = -1;
    int heldValues[3] = {-1, -1, -1};
    bool Any() const {
        return runs >= 0 || held >= 0 || unused[0] >= 0 || unused[1] >= 0 || unused[2] >= 0;
    }
};

// What the measuring run learns of a triangle list: the used part vertices
// glTF does not give back as held (bit s of heldStreams: stream s differs
// somewhere), and where its data went.
struct ListCounts {
    std::vector<uint32_t> held;
    int heldStreams = 0;
    ListAccessors at;
};

struct Buffer {
    FILE* file = nullptr;  // null: measure only
    const struct Buffer* measured = nullptr;  // the writing run: the measuring run
    std::vector<PrimitiveCounts> counts;      // the measuring run's, in primitive order
    size_t nextCounts = 0;
    std::vector<std::vector<ListCounts>> lists;  // the measuring run's, per mesh added
    size_t nextLists = 0;
    bool ok = true;
    size_t size = 0;  // bytes so far
    std::vector<View> views;
    std::vector<Accessor> accessors;

    // Zero bytes up to the next multiple of 4.
    void Pad();
    // A new view from the next multiple of 4 on; its index.
    int BeginView(int target);
    // Bytes at the end of the last view (data may be null while measuring).
    void Put(const void* data, size_t length);
    int AddView(const void* data, size_t length, int target);
    size_t PaddedSize() const { return (size + 3) / 4 * 4; }
    int AddAccessor(int view, int componentType, size_t count, const char* type, std::vector<double> min = {},
                    std::vector<double> max = {});
    // Floats in tuples of width as a view and accessor, with their bounds
    // per component when asked.
    int AddFloats(const std::vector<float>& values, int width, const char* type, int target, bool bounds);
};

// Values put into the buffer through a small block.
template <typename T>
struct Block {
    Buffer& buffer;
    std::vector<T> values;
    explicit Block(Buffer& target) : buffer(target) { values.reserve(16384); }
    ~Block() { Flush(); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    void Add(T v) {
        values.push_back(v);
        if (values.size() == 16384) Flush();
    }
    void Flush() {
        buffer.Put(values.data(), values.size() * sizeof(T));
        values.clear();
    }
};

// "buffers" (one, with uri when given), "bufferViews" and "accessors";
// nothing when the buffer is empty.
void WriteBufferJson(Json& json, const Buffer& buffer, const char* uri);

}  // namespace gltf
