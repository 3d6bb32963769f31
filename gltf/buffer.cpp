#include "gltf/buffer.h"

#include <algorithm>
#include <cmath>

namespace gltf {

void Buffer::Pad() {
    static const unsigned char kZeros[4] = {0, 0, 0, 0};
    const size_t pad = (4 - size % 4) % 4;
    if (file && pad && std::fwrite(kZeros, 1, pad, file) != pad) ok = false;
    size += pad;
}

int Buffer::BeginView(int target) {
    Pad();
    views.push_back({size, 0, target});
    return int(views.size() - 1);
}

void Buffer::Put(const void* data, size_t length) {
    if (file && length && std::fwrite(data, 1, length, file) != length) ok = false;
    size += length;
    views.back().length += length;
}

int Buffer::AddView(const void* data, size_t length, int target) {
    const int view = BeginView(target);
    Put(data, length);
    return view;
}

int Buffer::AddAccessor(int view, int componentType, size_t count, const char* type, std::vector<double> min,
                        std::vector<double> max) {
    accessors.push_back({view, componentType, count, type, std::move(min), std::move(max)});
    return int(accessors.size() - 1);
}

int Buffer::AddFloats(const std::vector<float>& values, int width, const char* type, int target, bool bounds) {
    const int view = AddView(values.data(), values.size() * sizeof(float), target);
    std::vector<double> min, max;
    if (bounds) {
        min.assign(size_t(width), HUGE_VAL);
        max.assign(size_t(width), -HUGE_VAL);
        for (size_t i = 0; i < values.size(); ++i) {
            const size_t c = i % size_t(width);
            min[c] = std::min(min[c], double(values[i]));
            max[c] = std::max(max[c], double(values[i]));
        }
    }
    return AddAccessor(view, kFloat, values.size() / size_t(width), type, std::move(min), std::move(max));
}

void WriteBufferJson(Json& json, const Buffer& buffer, const char* uri) {
    if (buffer.size == 0) return;
    Key(json, "buffers");
    json.StartArray();
    json.StartObject();
    Key(json, "byteLength");
    json.Uint64(buffer.PaddedSize());
    if (uri) {
        Key(json, "uri");
        json.String(uri);
    }
    json.EndObject();
    json.EndArray();
    Key(json, "bufferViews");
    json.StartArray();
    for (const View& view : buffer.views) {
        json.StartObject();
        Key(json, "buffer");
        json.Int(0);
        Key(json, "byteOffset");
        json.Uint64(view.offset);
        Key(json, "byteLength");
        json.Uint64(view.length);
        if (view.target) {
            Key(json, "target");
            json.Int(view.target);
        }
        json.EndObject();
    }
    json.EndArray();
    Key(json, "accessors");
    json.StartArray();
    for (const Accessor& a : buffer.accessors) {
        json.StartObject();
        Key(json, "bufferView");
        json.Int(a.view);
        Key(json, "componentType");
        json.Int(a.componentType);
        Key(json, "count");
        json.Uint64(a.count);
        Key(json, "type");
        json.String(a.type);
        if (!a.min.empty()) {
            Key(json, "min");
            WriteNumbers(json, a.min.data(), int(a.min.size()));
            Key(json, "max");
            WriteNumbers(json, a.max.data(), int(a.max.size()));
        }
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace gltf
