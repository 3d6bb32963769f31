#include "import/gltf_document.h"
#include "import/json_text.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>

#include "core/paths.h"
#include "core/platform.h"

const char* const kGltfExtensionsRead[2] = {"KHR_mesh_quantization", "KHR_texture_transform"};

namespace {

using Value = rapidjson::Value;

constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kChunkJson = 0x4E4F534A;
constexpr uint32_t kChunkBin = 0x004E4942;
// Deeper nesting than this is refused: no glTF document needs it, and the
// walks over the JSON stay shallow.
constexpr int kMaxJsonDepth = 64;

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool DepthWithin(const Value& v, int depth) {
    if (depth > kMaxJsonDepth) return false;
    if (v.IsArray()) {
        for (const Value& item : v.GetArray())
            if (!DepthWithin(item, depth + 1)) return false;
    } else if (v.IsObject()) {
        for (const auto& member : v.GetObject())
            if (!DepthWithin(member.value, depth + 1)) return false;
    }
    return true;
}

std::string JsonText(const Value& v) {
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    v.Accept(writer);
    return std::string(text.GetString(), text.GetSize());
}

std::string Where(const char* list, size_t index) { return std::string(list) + "[" + std::to_string(index) + "]"; }

// "<where>.<key>", or the key alone at the top level.
std::string Member(const std::string& where, const char* key) { return where.empty() ? key : where + "." + key; }

// The member readers: each leaves `out` as it was when the key is absent and
// fails with "<where>.<key> ..." when its value has the wrong form.
class Reader {
public:
    Reader(const std::string& file, ReadFailure& failure) : file_(file), failure_(failure) {}

    bool Fail(const std::string& where, const std::string& why) { return failure_.Set(file_, where + ": " + why); }

    bool String(const Value& obj, const char* key, std::string& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsString()) return Fail(where + "." + key, "not a string");
        out.assign(m->value.GetString(), m->value.GetStringLength());
        return true;
    }
    bool Index(const Value& obj, const char* key, int& out, size_t limit, const std::string& where,
               const char* what) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        return IndexValue(m->value, out, limit, Member(where, key), what);
    }
    bool IndexValue(const Value& v, int& out, size_t limit, const std::string& where, const char* what) {
        if (!v.IsUint64()) return Fail(where, "not an index");
        if (v.GetUint64() >= limit)
            return Fail(where, std::string("refers to ") + what + " " + std::to_string(v.GetUint64()) + " of " +
                                   std::to_string(limit));
        out = int(v.GetUint64());
        return true;
    }
    bool Count(const Value& obj, const char* key, uint64_t& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsUint64()) return Fail(where + "." + key, "not a whole number of at least 0");
        out = m->value.GetUint64();
        return true;
    }
    bool Int(const Value& obj, const char* key, int& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsInt()) return Fail(where + "." + key, "not a whole number");
        out = m->value.GetInt();
        return true;
    }
    bool Number(const Value& obj, const char* key, double& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsNumber()) return Fail(where + "." + key, "not a number");
        out = m->value.GetDouble();
        return true;
    }
    bool Bool(const Value& obj, const char* key, bool& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsBool()) return Fail(where + "." + key, "not true or false");
        out = m->value.GetBool();
        return true;
    }
    // An array of exactly n numbers.
    bool Numbers(const Value& obj, const char* key, double* out, size_t n, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsArray() || m->value.Size() != n)
            return Fail(where + "." + key, "not an array of " + std::to_string(n) + " numbers");
        for (size_t i = 0; i < n; ++i) {
            if (!m->value[rapidjson::SizeType(i)].IsNumber()) return Fail(where + "." + key, "holds a non-number");
            out[i] = m->value[rapidjson::SizeType(i)].GetDouble();
        }
        return true;
    }
    // An array of up to 16 numbers (accessor bounds).
    bool NumberList(const Value& obj, const char* key, std::vector<double>& out, const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsArray() || m->value.Size() > 16)
            return Fail(where + "." + key, "not an array of at most 16 numbers");
        for (const Value& v : m->value.GetArray()) {
            if (!v.IsNumber()) return Fail(where + "." + key, "holds a non-number");
            out.push_back(v.GetDouble());
        }
        return true;
    }
    // The array under key (null when absent), or a failure when it is not one.
    bool Array(const Value& obj, const char* key, const Value*& out, const std::string& where) {
        out = nullptr;
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        if (!m->value.IsArray()) return Fail(Member(where, key), "not an array");
        out = &m->value;
        return true;
    }
    // The objects of a top-level list; `size` is how many there are.
    bool Objects(const Value& root, const char* key, const Value*& out) {
        if (!Array(root, key, out, "")) return false;
        if (!out) return true;
        for (rapidjson::SizeType i = 0; i < out->Size(); ++i)
            if (!(*out)[i].IsObject()) return Fail(Where(key, i), "not an object");
        return true;
    }
    void Extras(const Value& obj, std::string& out) {
        auto m = obj.FindMember("extras");
        if (m != obj.MemberEnd()) out = JsonText(m->value);
    }
    bool TextureRef(const Value& obj, const char* key, GltfTextureRef& out, size_t textures,
                    const std::string& where) {
        auto m = obj.FindMember(key);
        if (m == obj.MemberEnd()) return true;
        const std::string at = where + "." + key;
        if (!m->value.IsObject()) return Fail(at, "not an object");
        if (m->value.FindMember("index") == m->value.MemberEnd()) return Fail(at, "names no texture");
        if (!Index(m->value, "index", out.texture, textures, at, "texture") ||
            !Int(m->value, "texCoord", out.texCoord, at) || !Number(m->value, "scale", out.scale, at) ||
            !Number(m->value, "strength", out.scale, at))
            return false;
        auto extensions = m->value.FindMember("extensions");
        if (extensions == m->value.MemberEnd() || !extensions->value.IsObject()) return true;
        auto transform = extensions->value.FindMember("KHR_texture_transform");
        if (transform == extensions->value.MemberEnd()) return true;
        const std::string tat = at + ".extensions.KHR_texture_transform";
        if (!transform->value.IsObject()) return Fail(tat, "not an object");
        out.transformed = true;
        return Numbers(transform->value, "offset", out.uvOffset, 2, tat) &&
               Numbers(transform->value, "scale", out.uvScale, 2, tat) &&
               Number(transform->value, "rotation", out.uvRotation, tat) &&
               Int(transform->value, "texCoord", out.texCoord, tat);
    }

private:
    const std::string& file_;
    ReadFailure& failure_;
};

size_t Size(const Value* list) { return list ? list->Size() : 0; }

int ComponentSize(int type) {
    switch (type) {
        case kGltfByte: case kGltfUnsignedByte: return 1;
        case kGltfShort: case kGltfUnsignedShort: return 2;
        case kGltfUnsignedInt: case kGltfFloat: return 4;
        default: return 0;
    }
}

int Components(const std::string& type) {
    static const std::pair<const char*, int> kTypes[] = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                                         {"MAT2", 4},   {"MAT3", 9}, {"MAT4", 16}};
    for (const auto& t : kTypes)
        if (type == t.first) return t.second;
    return 0;
}

int Base64Digit(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool DecodeBase64(const std::string& text, size_t from, std::vector<unsigned char>& out) {
    out.clear();
    out.reserve((text.size() - from) / 4 * 3);
    uint32_t bits = 0;
    int held = 0;
    size_t i = from;
    for (; i < text.size() && text[i] != '='; ++i) {
        const int d = Base64Digit(static_cast<unsigned char>(text[i]));
        if (d < 0) return false;
        bits = (bits << 6) | uint32_t(d);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    // At most two "=" and nothing after them.
    size_t pads = 0;
    for (; i < text.size(); ++i, ++pads)
        if (text[i] != '=') return false;
    return pads <= 2;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The relative path a URI names, percent escapes decoded; false with the
// reason when it leaves the document's folder or is no plain path.
bool UriPath(const std::string& uri, std::string& out, std::string& why) {
    out.clear();
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && HexDigit(uri[i + 1]) >= 0 && HexDigit(uri[i + 2]) >= 0) {
            out += char(HexDigit(uri[i + 1]) * 16 + HexDigit(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    if (out.empty()) return why = "is empty", false;
    if (out.find('\0') != std::string::npos) return why = "holds a zero byte", false;
    if (out[0] == '/' || out[0] == '\\') return why = "is an absolute path", false;
    if (out.find(':') != std::string::npos) return why = "names another scheme or drive (only files beside the document are read)", false;
    size_t start = 0;
    while (start <= out.size()) {
        size_t end = out.find_first_of("/\\", start);
        if (end == std::string::npos) end = out.size();
        if (out.compare(start, end - start, "..") == 0) return why = "climbs out of the document's folder", false;
        start = end + 1;
    }
    return true;
}

// The bytes a buffer's or image's URI names: a base64 data URI, or a file
// beside the document.
// `file` is the path of the file read ("" for a data URI).
bool LoadUri(const std::string& uri, const std::string& docPath, const std::string& where,
             const GltfFileLoader& load, std::vector<unsigned char>& out, std::string& file, ReadFailure& failure) {
    file.clear();
    const std::string docName = FileNamePart(docPath);
    if (uri.compare(0, 5, "data:") == 0) {
        const size_t comma = uri.find(',');
        if (comma == std::string::npos || uri.rfind(";base64", comma) != comma - 7)
            return failure.Set(docPath, where + ".uri: a data URI that is not base64");
        if (!DecodeBase64(uri, comma + 1, out)) return failure.Set(docPath, where + ".uri: broken base64 data");
        return true;
    }
    std::string relative, why;
    if (!UriPath(uri, relative, why)) return failure.Set(docPath, where + ".uri \"" + uri + "\" " + why);
    const std::string folder = FolderPart(docPath);
    const std::string path = folder.empty() ? relative : (folder == "/" ? "/" : folder + "/") + relative;
    if (!load(path, out, why)) return failure.Set(path, "cannot read this file named by " + docName + " - " + why);
    file = path;
    return true;
}

bool ReadLists(const Value& root, const GltfBytes* binChunk, const GltfFileLoader& load,
               GltfDocument& doc, ReadFailure& failure) {
    Reader r(doc.path, failure);
    const Value* list = nullptr;
    auto asset = root.FindMember("asset");
    if (asset == root.MemberEnd() || !asset->value.IsObject()) return r.Fail("asset", "missing: not a glTF document");
    std::string version;
    if (!r.String(asset->value, "version", version, "asset") || !r.String(asset->value, "generator", doc.generator, "asset"))
        return false;
    if (version.compare(0, 2, "2.") != 0) return r.Fail("asset.version", "\"" + version + "\" is not glTF 2");
    r.Extras(root, doc.extras);
    // A required extension changes what the document means: one the reader
    // does not take refuses the document, by name. Extensions only used
    // (listed in "extensionsUsed") are read past.
    if (!r.Array(root, "extensionsRequired", list, "")) return false;
    std::string lacking;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& name = (*list)[rapidjson::SizeType(i)];
        if (name.IsString() && std::any_of(std::begin(kGltfExtensionsRead), std::end(kGltfExtensionsRead),
                                           [&](const char* known) { return name == known; }))
            continue;
        lacking += (lacking.empty() ? "" : ", ") + JsonText(name);
    }
    if (!lacking.empty()) return r.Fail("extensionsRequired", "needs extensions this reader lacks (" + lacking + ")");

    if (!r.Objects(root, "buffers", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfBuffer b;
        const std::string at = Where("buffers", i);
        if (!r.String(v, "uri", b.uri, at) || !r.Count(v, "byteLength", b.byteLength, at)) return false;
        std::string file;
        if (v.FindMember("uri") == v.MemberEnd()) {
            if (i != 0 || !binChunk) return r.Fail(at, "names no file and the document has no binary chunk");
            b.data.Part(*binChunk, 0, binChunk->size());
        } else {
            std::vector<unsigned char> bytes;
            if (!LoadUri(b.uri, doc.path, at, load, bytes, file, failure)) return false;
            b.data.Own(std::move(bytes));
        }
        if (b.data.size() < b.byteLength)
            return failure.Set(file.empty() ? doc.path : file, "too short: " + std::to_string(b.data.size()) +
                                                                   " bytes where " + at + " needs " +
                                                                   std::to_string(b.byteLength));
        if (!file.empty()) doc.inputBytes += b.data.size();
        doc.buffers.push_back(std::move(b));
    }

    if (!r.Objects(root, "bufferViews", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfBufferView view;
        const std::string at = Where("bufferViews", i);
        uint64_t stride = 0;
        if (!r.Index(v, "buffer", view.buffer, doc.buffers.size(), at, "buffer") ||
            !r.Count(v, "byteOffset", view.byteOffset, at) || !r.Count(v, "byteLength", view.byteLength, at) ||
            !r.Count(v, "byteStride", stride, at))
            return false;
        if (view.buffer < 0) return r.Fail(at, "names no buffer");
        const uint64_t length = doc.buffers[size_t(view.buffer)].byteLength;
        if (view.byteOffset > length || view.byteLength > length - view.byteOffset)
            return r.Fail(at, "bytes " + std::to_string(view.byteOffset) + " to " +
                                  std::to_string(view.byteOffset + view.byteLength) + " lie past the end of buffer " +
                                  std::to_string(view.buffer) + " (" + std::to_string(length) + " bytes)");
        if (v.HasMember("byteStride") && (stride < 4 || stride > 252 || stride % 4 != 0))
            return r.Fail(at + ".byteStride", std::to_string(stride) + " is not a multiple of 4 from 4 to 252");
        view.byteStride = uint32_t(stride);
        doc.bufferViews.push_back(view);
    }

    if (!r.Objects(root, "accessors", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfAccessor a;
        const std::string at = Where("accessors", i);
        if (!r.String(v, "name", a.name, at) || !r.Index(v, "bufferView", a.bufferView, doc.bufferViews.size(), at, "buffer view") ||
            !r.Count(v, "byteOffset", a.byteOffset, at) || !r.Int(v, "componentType", a.componentType, at) ||
            !r.Bool(v, "normalized", a.normalized, at) || !r.Count(v, "count", a.count, at) ||
            !r.String(v, "type", a.type, at) || !r.NumberList(v, "min", a.min, at) || !r.NumberList(v, "max", a.max, at))
            return false;
        if (v.HasMember("sparse")) return r.Fail(at, "sparse accessors are not read");
        a.components = Components(a.type);
        const int size = ComponentSize(a.componentType);
        if (!a.components) return r.Fail(at + ".type", "\"" + a.type + "\" is no accessor type");
        if (!size) return r.Fail(at + ".componentType", std::to_string(a.componentType) + " is no component type");
        if (a.normalized && (size == 4)) return r.Fail(at + ".normalized", "only byte and short values are normalized");
        if (a.components >= 4 && a.type[0] == 'M' && size < 4)
            return r.Fail(at, "matrices of byte or short values are not read");
        const uint64_t element = uint64_t(size) * uint64_t(a.components);
        if (a.bufferView < 0) {
            if (a.byteOffset) return r.Fail(at, "an offset without a buffer view");
            doc.accessors.push_back(a);
            continue;
        }
        const GltfBufferView& view = doc.bufferViews[size_t(a.bufferView)];
        const uint64_t stride = view.byteStride ? view.byteStride : element;
        if (stride < element) return r.Fail(at, "elements overlap: the view's stride is below the element size");
        if ((view.byteOffset + a.byteOffset) % uint64_t(size) != 0)
            return r.Fail(at, "values not aligned to their size");
        // count <= byteLength keeps the product below from overflowing.
        if (a.count > 0 && (a.byteOffset > view.byteLength || a.count > view.byteLength ||
                            stride * (a.count - 1) + element > view.byteLength - a.byteOffset))
            return r.Fail(at, std::to_string(a.count) + " elements from byte " + std::to_string(a.byteOffset) +
                                  " lie past the end of buffer view " + std::to_string(a.bufferView) + " (" +
                                  std::to_string(view.byteLength) + " bytes)");
        doc.accessors.push_back(a);
    }

    if (!r.Objects(root, "images", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfImage image;
        const std::string at = Where("images", i);
        if (!r.String(v, "name", image.name, at) || !r.String(v, "uri", image.uri, at) ||
            !r.String(v, "mimeType", image.mimeType, at) ||
            !r.Index(v, "bufferView", image.bufferView, doc.bufferViews.size(), at, "buffer view"))
            return false;
        if (image.bufferView >= 0) {
            // (A picture in a file's range is read whole: the decoder wants it so.)
            const GltfBufferView& view = doc.bufferViews[size_t(image.bufferView)];
            const GltfBytes& buffer = doc.buffers[size_t(view.buffer)].data;
            std::vector<unsigned char> bytes;
            const unsigned char* p = buffer.Get(view.byteOffset, size_t(view.byteLength), bytes);
            if (!p) return failure.Set(doc.path, "cannot read " + at + "'s picture: the file changed while it was read");
            if (buffer.InMemory()) image.data.View(p, size_t(view.byteLength));
            else image.data.Own(std::move(bytes));
        } else if (v.HasMember("uri")) {
            std::vector<unsigned char> bytes;
            if (!LoadUri(image.uri, doc.path, at, load, bytes, image.file, failure)) return false;
            image.data.Own(std::move(bytes));
            if (!image.file.empty()) doc.inputBytes += image.data.size();
        } else {
            return r.Fail(at, "names neither a file nor a buffer view");
        }
        if (image.file.empty()) image.file = doc.path;
        r.Extras(v, image.extras);
        doc.images.push_back(std::move(image));
    }

    if (!r.Objects(root, "samplers", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfSampler s;
        const std::string at = Where("samplers", i);
        if (!r.Int(v, "magFilter", s.magFilter, at) || !r.Int(v, "minFilter", s.minFilter, at) ||
            !r.Int(v, "wrapS", s.wrapS, at) || !r.Int(v, "wrapT", s.wrapT, at))
            return false;
        doc.samplers.push_back(s);
    }

    if (!r.Objects(root, "textures", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfTexture t;
        const std::string at = Where("textures", i);
        if (!r.String(v, "name", t.name, at) || !r.Index(v, "source", t.source, doc.images.size(), at, "image") ||
            !r.Index(v, "sampler", t.sampler, doc.samplers.size(), at, "sampler"))
            return false;
        doc.textures.push_back(t);
    }

    if (!r.Objects(root, "materials", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfMaterial m;
        const std::string at = Where("materials", i);
        const size_t textures = doc.textures.size();
        if (!r.String(v, "name", m.name, at) || !r.Numbers(v, "emissiveFactor", m.emissiveFactor, 3, at) ||
            !r.TextureRef(v, "normalTexture", m.normalTexture, textures, at) ||
            !r.TextureRef(v, "occlusionTexture", m.occlusionTexture, textures, at) ||
            !r.TextureRef(v, "emissiveTexture", m.emissiveTexture, textures, at) ||
            !r.String(v, "alphaMode", m.alphaMode, at) || !r.Number(v, "alphaCutoff", m.alphaCutoff, at))
            return false;
        auto pbr = v.FindMember("pbrMetallicRoughness");
        if (pbr != v.MemberEnd()) {
            const std::string p = at + ".pbrMetallicRoughness";
            if (!pbr->value.IsObject()) return r.Fail(p, "not an object");
            if (!r.Numbers(pbr->value, "baseColorFactor", m.baseColorFactor, 4, p) ||
                !r.Number(pbr->value, "metallicFactor", m.metallicFactor, p) ||
                !r.Number(pbr->value, "roughnessFactor", m.roughnessFactor, p) ||
                !r.TextureRef(pbr->value, "baseColorTexture", m.baseColorTexture, textures, p) ||
                !r.TextureRef(pbr->value, "metallicRoughnessTexture", m.metallicRoughnessTexture, textures, p))
                return false;
        }
        r.Extras(v, m.extras);
        doc.materials.push_back(std::move(m));
    }

    if (!r.Objects(root, "meshes", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfMesh mesh;
        const std::string at = Where("meshes", i);
        const Value* primitives = nullptr;
        if (!r.String(v, "name", mesh.name, at) || !r.Array(v, "primitives", primitives, at)) return false;
        if (!primitives || primitives->Empty()) return r.Fail(at, "has no primitives");
        for (size_t k = 0; k < primitives->Size(); ++k) {
            const Value& pv = (*primitives)[rapidjson::SizeType(k)];
            const std::string pat = at + Where(".primitives", k);
            if (!pv.IsObject()) return r.Fail(pat, "not an object");
            GltfPrimitive prim;
            if (!r.Index(pv, "indices", prim.indices, doc.accessors.size(), pat, "accessor") ||
                !r.Index(pv, "material", prim.material, doc.materials.size(), pat, "material") ||
                !r.Int(pv, "mode", prim.mode, pat))
                return false;
            if (prim.mode < 0 || prim.mode > 6) return r.Fail(pat + ".mode", std::to_string(prim.mode) + " is no mode");
            prim.morphTargets = pv.HasMember("targets");
            auto attributes = pv.FindMember("attributes");
            if (attributes == pv.MemberEnd() || !attributes->value.IsObject())
                return r.Fail(pat + ".attributes", "missing or not an object");
            for (const auto& a : attributes->value.GetObject()) {
                const std::string name(a.name.GetString(), a.name.GetStringLength());
                int accessor = -1;
                if (!r.IndexValue(a.value, accessor, doc.accessors.size(), pat + ".attributes." + name, "accessor"))
                    return false;
                prim.attributes[name] = accessor;
            }
            r.Extras(pv, prim.extras);
            mesh.primitives.push_back(std::move(prim));
        }
        r.Extras(v, mesh.extras);
        doc.meshes.push_back(std::move(mesh));
    }

    if (!r.Objects(root, "nodes", list)) return false;
    const size_t nodeCount = Size(list);
    for (size_t i = 0; i < nodeCount; ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfNode node;
        const std::string at = Where("nodes", i);
        const Value* children = nullptr;
        if (!r.String(v, "name", node.name, at) || !r.Index(v, "mesh", node.mesh, doc.meshes.size(), at, "mesh") ||
            !r.Array(v, "children", children, at) || !r.Numbers(v, "matrix", node.matrix, 16, at) ||
            !r.Numbers(v, "translation", node.translation, 3, at) || !r.Numbers(v, "rotation", node.rotation, 4, at) ||
            !r.Numbers(v, "scale", node.scale, 3, at))
            return false;
        node.hasMatrix = v.HasMember("matrix");
        node.skin = v.HasMember("skin");
        node.camera = v.HasMember("camera");
        auto extensions = v.FindMember("extensions");
        node.light = extensions != v.MemberEnd() && extensions->value.IsObject() &&
                     extensions->value.HasMember("KHR_lights_punctual");
        if (node.hasMatrix && (v.HasMember("translation") || v.HasMember("rotation") || v.HasMember("scale")))
            return r.Fail(at, "has both a matrix and translation, rotation or scale");
        for (size_t k = 0; k < Size(children); ++k) {
            int child = -1;
            if (!r.IndexValue((*children)[rapidjson::SizeType(k)], child, nodeCount, at + Where(".children", k), "node"))
                return false;
            node.children.push_back(child);
        }
        r.Extras(v, node.extras);
        doc.nodes.push_back(std::move(node));
    }
    // One parent each, and every node reachable from a node without one.
    for (size_t i = 0; i < nodeCount; ++i)
        for (int child : doc.nodes[i].children) {
            GltfNode& c = doc.nodes[size_t(child)];
            if (c.parent >= 0)
                return r.Fail(Where("nodes", size_t(child)), "has two parents (nodes " + std::to_string(c.parent) +
                                                                 " and " + std::to_string(i) + ")");
            c.parent = int(i);
        }
    std::vector<char> reached(nodeCount, 0);
    std::vector<std::pair<int, int>> stack;  // node, depth
    for (size_t i = 0; i < nodeCount; ++i)
        if (doc.nodes[i].parent < 0) stack.push_back({int(i), 0});
    while (!stack.empty()) {
        const auto [n, depth] = stack.back();
        stack.pop_back();
        if (depth > kMaxNodeNesting) return r.Fail(Where("nodes", size_t(n)), NestingTooDeep());
        reached[size_t(n)] = 1;
        for (int child : doc.nodes[size_t(n)].children) stack.push_back({child, depth + 1});
    }
    for (size_t i = 0; i < nodeCount; ++i)
        if (!reached[i]) return r.Fail(Where("nodes", i), "lies on a cycle of the node tree");

    if (!r.Objects(root, "animations", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfAnimation anim;
        const std::string at = Where("animations", i);
        const Value* samplers = nullptr;
        const Value* channels = nullptr;
        if (!r.String(v, "name", anim.name, at) || !r.Array(v, "samplers", samplers, at) ||
            !r.Array(v, "channels", channels, at))
            return false;
        for (size_t k = 0; k < Size(samplers); ++k) {
            const Value& sv = (*samplers)[rapidjson::SizeType(k)];
            const std::string sat = at + Where(".samplers", k);
            if (!sv.IsObject()) return r.Fail(sat, "not an object");
            GltfAnimationSampler s;
            if (!r.Index(sv, "input", s.input, doc.accessors.size(), sat, "accessor") ||
                !r.Index(sv, "output", s.output, doc.accessors.size(), sat, "accessor") ||
                !r.String(sv, "interpolation", s.interpolation, sat))
                return false;
            if (s.input < 0 || s.output < 0) return r.Fail(sat, "lacks its input or output");
            if (s.interpolation != "LINEAR" && s.interpolation != "STEP" && s.interpolation != "CUBICSPLINE")
                return r.Fail(sat + ".interpolation", "\"" + s.interpolation + "\" is no interpolation");
            anim.samplers.push_back(s);
        }
        for (size_t k = 0; k < Size(channels); ++k) {
            const Value& cv = (*channels)[rapidjson::SizeType(k)];
            const std::string cat = at + Where(".channels", k);
            if (!cv.IsObject()) return r.Fail(cat, "not an object");
            GltfChannel c;
            if (!r.Index(cv, "sampler", c.sampler, anim.samplers.size(), cat, "sampler")) return false;
            auto target = cv.FindMember("target");
            if (c.sampler < 0 || target == cv.MemberEnd() || !target->value.IsObject())
                return r.Fail(cat, "lacks its sampler or target");
            if (!r.Index(target->value, "node", c.node, nodeCount, cat + ".target", "node") ||
                !r.String(target->value, "path", c.path, cat + ".target"))
                return false;
            if (c.path != "translation" && c.path != "rotation" && c.path != "scale" && c.path != "weights")
                return r.Fail(cat + ".target.path", "\"" + c.path + "\" is no animated property");
            anim.channels.push_back(c);
        }
        r.Extras(v, anim.extras);
        doc.animations.push_back(std::move(anim));
    }

    if (!r.Objects(root, "scenes", list)) return false;
    for (size_t i = 0; i < Size(list); ++i) {
        const Value& v = (*list)[rapidjson::SizeType(i)];
        GltfScene scene;
        const std::string at = Where("scenes", i);
        const Value* nodes = nullptr;
        if (!r.String(v, "name", scene.name, at) || !r.Array(v, "nodes", nodes, at)) return false;
        for (size_t k = 0; k < Size(nodes); ++k) {
            int n = -1;
            if (!r.IndexValue((*nodes)[rapidjson::SizeType(k)], n, nodeCount, at + Where(".nodes", k), "node"))
                return false;
            if (doc.nodes[size_t(n)].parent >= 0)
                return r.Fail(at + Where(".nodes", k), "node " + std::to_string(n) + " is a child of node " +
                                                           std::to_string(doc.nodes[size_t(n)].parent));
            scene.nodes.push_back(n);
        }
        r.Extras(v, scene.extras);
        doc.scenes.push_back(std::move(scene));
    }
    return r.Index(root, "scene", doc.scene, doc.scenes.size(), "", "scene");
}

bool ReadJson(const char* text, size_t length, const GltfBytes* binChunk, const GltfFileLoader& load,
              GltfDocument& doc, ReadFailure& failure) {
    rapidjson::Document json;
    const rapidjson::ParseResult parsed = ParseJsonText(json, text, length, true);
    if (parsed.IsError())
        return failure.Set(doc.path, std::string("not glTF: broken JSON at byte ") + std::to_string(parsed.Offset()) +
                                         " (" + rapidjson::GetParseError_En(parsed.Code()) + ")");
    if (!json.IsObject()) return failure.Set(doc.path, "not glTF: the JSON is not an object");
    if (!DepthWithin(json, 0))
        return failure.Set(doc.path, "JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    return ReadLists(json, binChunk, load, doc, failure);
}

// Reads a GLB from its bytes (held or in its file): the JSON chunk into
// memory, the binary chunk left where it is.
bool ReadGlb(const GltfBytes& whole, const GltfFileLoader& load, GltfDocument& doc, ReadFailure& failure) {
    const std::string& path = doc.path;
    const size_t total = whole.size();
    std::vector<unsigned char> scratch;
    auto get = [&](size_t at, size_t length) {
        const unsigned char* p = whole.Get(at, length, scratch);
        if (!p) failure.Set(path, "cannot read bytes " + std::to_string(at) + " to " + std::to_string(at + length) +
                                      ": the file changed while it was read");
        return p;
    };
    if (total < 12) return failure.Set(path, "GLB file cut short in its header");
    const unsigned char* header = get(0, 12);
    if (!header) return false;
    const uint32_t version = Le32(&header[4]), length = Le32(&header[8]);
    if (version != 2) return failure.Set(path, "GLB version " + std::to_string(version) + " is not 2");
    if (length != total)
        return failure.Set(path, (length > total ? "GLB file cut short: its header says " : "GLB file of the wrong size: its header says ") +
                                     std::to_string(length) + " bytes, the file has " + std::to_string(total));
    size_t at = 12, jsonAt = 0, jsonLength = 0;
    bool haveJson = false;
    GltfBytes bin;
    bool haveBin = false;
    for (int chunk = 0; at < total; ++chunk) {
        if (total - at < 8) return failure.Set(path, "GLB chunk header cut short at byte " + std::to_string(at));
        const unsigned char* head = get(at, 8);
        if (!head) return false;
        const uint32_t size = Le32(&head[0]), type = Le32(&head[4]);
        at += 8;
        if (size > total - at)
            return failure.Set(path, "GLB chunk " + std::to_string(chunk) + " of " + std::to_string(size) +
                                         " bytes runs past the end of the file");
        if (size % 4 != 0) return failure.Set(path, "GLB chunk " + std::to_string(chunk) + " is not padded to 4 bytes");
        if (chunk == 0) {
            if (type != kChunkJson) return failure.Set(path, "GLB file whose first chunk is not JSON");
            jsonAt = at;
            jsonLength = size;
            haveJson = true;
        } else if (chunk == 1 && type == kChunkBin) {
            bin.Part(whole, at, size);
            haveBin = true;
        } else if (type == kChunkJson || type == kChunkBin) {
            return failure.Set(path, "GLB file with a second JSON or binary chunk");
        }
        at += size;
    }
    if (!haveJson) return failure.Set(path, "GLB file without its JSON chunk");
    const unsigned char* json = get(jsonAt, jsonLength);
    if (!json) return false;
    return ReadJson(reinterpret_cast<const char*>(json), jsonLength, haveBin ? &bin : nullptr, load, doc, failure);
}

}  // namespace

bool ReadGltfBytes(std::vector<unsigned char> bytes, const std::string& path, const GltfFileLoader& load,
                   GltfDocument& doc, ReadFailure& failure) {
    doc = GltfDocument();
    doc.path = path;
    doc.inputBytes = bytes.size();
    bool ok = false;
    if (bytes.size() >= 4 && Le32(bytes.data()) == kGlbMagic) {
        doc.glb = std::move(bytes);
        GltfBytes whole;
        whole.View(doc.glb.data(), doc.glb.size());
        ok = ReadGlb(whole, load, doc, failure);
    } else {
        ok = ReadJson(reinterpret_cast<const char*>(bytes.data()), bytes.size(), nullptr, load, doc, failure);
    }
    if (!ok) {
        const std::string keep = doc.path;
        doc = GltfDocument();
        doc.path = keep;
    }
    return ok;
}

bool ReadGltfFile(const std::string& path, GltfDocument& doc, ReadFailure& failure) {
    const GltfFileLoader load = [](const std::string& file, std::vector<unsigned char>& out, std::string& why) {
        if (ReadFileBytes(file.c_str(), out)) return true;
        why = LastErrorText();
        return false;
    };
    // A GLB stays in its file, its binary chunk read a piece at a time.
    std::shared_ptr<FILE> file(OpenFile(path.c_str(), "rb"), [](FILE* f) {
        if (f) std::fclose(f);
    });
    unsigned char magic[4];
    uint64_t length = 0;
    if (file && FileLength(file.get(), length) && length >= 4 && length <= SIZE_MAX &&
        ReadFileAt(file.get(), 0, 4, magic) && Le32(magic) == kGlbMagic) {
        doc = GltfDocument();
        doc.path = path;
        doc.inputBytes = length;
        GltfBytes whole;
        whole.InFile(file, 0, length);
        if (ReadGlb(whole, load, doc, failure)) return true;
        doc = GltfDocument();
        doc.path = path;
        return false;
    }
    file.reset();
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path.c_str(), bytes)) return failure.Set(path, "cannot read the file - " + LastErrorText());
    return ReadGltfBytes(std::move(bytes), path, load, doc, failure);
}

namespace {

// Calls fn(element, i) for each element of an accessor with a buffer
// view, a block of elements at a time from a buffer held in its file; false
// when the file gives fewer bytes than it had.
template <typename Fn>
bool ForEachElement(const GltfDocument& doc, const GltfAccessor& a, size_t element, Fn&& fn) {
    const GltfBufferView& view = doc.bufferViews[size_t(a.bufferView)];
    const GltfBytes& bytes = doc.buffers[size_t(view.buffer)].data;
    const size_t stride = view.byteStride ? view.byteStride : element;
    const uint64_t first = view.byteOffset + a.byteOffset;
    const size_t block = bytes.InMemory() ? size_t(a.count) : size_t(1) << 16;
    std::vector<unsigned char> scratch;
    for (size_t i = 0; i < a.count; i += block) {
        const size_t n = std::min<size_t>(block, size_t(a.count) - i);
        const unsigned char* base = bytes.Get(first + i * stride, (n - 1) * stride + element, scratch);
        if (!base) return false;
        for (size_t k = 0; k < n; ++k) fn(base + k * stride, i + k);
    }
    return true;
}

// Whether this machine stores numbers as the format does (floats are then
// copied as they are).
const bool kLittleEndian = [] {
    const uint32_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}();

// One component at p as a float.
float Component(const unsigned char* p, int type, bool normalized) {
    switch (type) {
        case kGltfByte: {
            const float v = float(int8_t(p[0]));
            return normalized ? (v / 127.0f < -1.0f ? -1.0f : v / 127.0f) : v;
        }
        case kGltfUnsignedByte: return normalized ? float(p[0]) / 255.0f : float(p[0]);
        case kGltfShort: {
            const float v = float(int16_t(uint16_t(p[0] | p[1] << 8)));
            return normalized ? (v / 32767.0f < -1.0f ? -1.0f : v / 32767.0f) : v;
        }
        case kGltfUnsignedShort: {
            const float v = float(uint16_t(p[0] | p[1] << 8));
            return normalized ? v / 65535.0f : v;
        }
        case kGltfUnsignedInt: return float(Le32(p));
        default: {
            const uint32_t bits = Le32(p);
            float f;
            std::memcpy(&f, &bits, 4);
            return f;
        }
    }
}

bool AccessorAt(const GltfDocument& doc, int accessor, ReadFailure& failure) {
    if (accessor < 0 || size_t(accessor) >= doc.accessors.size())
        return failure.Set(doc.path, "accessor " + std::to_string(accessor) + " does not exist");
    return true;
}

}  // namespace

const unsigned char* GltfBytes::Get(uint64_t offset, size_t length, std::vector<unsigned char>& scratch) const {
    if (!file_) return data_ + offset;
    scratch.resize(length);
    return ReadFileAt(file_.get(), offset_ + offset, length, scratch.data()) ? scratch.data() : nullptr;
}

bool ReadAccessorFloats(const GltfDocument& doc, int accessor, std::vector<float>& out, ReadFailure& failure) {
    out.clear();
    if (!AccessorAt(doc, accessor, failure)) return false;
    const GltfAccessor& a = doc.accessors[size_t(accessor)];
    const int size = ComponentSize(a.componentType);
    const std::string at = Where("accessors", size_t(accessor));
    if (a.bufferView < 0) {
        // Zeros: only as many as the input could stand for.
        if (a.count > doc.inputBytes / (4 * uint64_t(a.components)))
            return failure.Set(doc.path, at + ": " + std::to_string(a.count) +
                                             " values would need more memory than the file's size justifies");
        out.assign(size_t(a.count) * size_t(a.components), 0.0f);
        return true;
    }
    if (a.count == 0) return true;
    // The document reader checked every range this walk reads.
    const size_t element = size_t(size) * size_t(a.components);
    out.resize(size_t(a.count) * size_t(a.components));
    float* o = out.data();
    const bool read = ForEachElement(doc, a, element, [&](const unsigned char* e, size_t) {
        if (a.componentType == kGltfFloat && kLittleEndian) {
            std::memcpy(o, e, element);
            o += a.components;
            return;
        }
        for (int c = 0; c < a.components; ++c) *o++ = Component(e + size_t(c) * size_t(size), a.componentType, a.normalized);
    });
    if (!read) return failure.Set(doc.path, at + ": the file changed while it was read");
    return true;
}

bool ReadAccessorIndices(const GltfDocument& doc, int accessor, uint64_t limit, std::vector<uint32_t>& out,
                         ReadFailure& failure) {
    out.clear();
    if (!AccessorAt(doc, accessor, failure)) return false;
    const GltfAccessor& a = doc.accessors[size_t(accessor)];
    const std::string at = Where("accessors", size_t(accessor));
    if (a.components != 1 || a.normalized ||
        (a.componentType != kGltfUnsignedByte && a.componentType != kGltfUnsignedShort &&
         a.componentType != kGltfUnsignedInt))
        return failure.Set(doc.path, at + ": indices must be unsigned whole SCALAR values");
    if (a.bufferView < 0) {
        if (a.count > doc.inputBytes / 4)
            return failure.Set(doc.path, at + ": " + std::to_string(a.count) +
                                             " indices would need more memory than the file's size justifies");
        if (limit == 0 && a.count) return failure.Set(doc.path, at + ": index 0 is past the 0 vertices");
        out.assign(size_t(a.count), 0);
        return true;
    }
    if (a.count == 0) return true;
    const size_t size = size_t(ComponentSize(a.componentType));
    out.resize(size_t(a.count));
    bool inRange = true;
    size_t bad = 0;
    uint32_t badValue = 0;
    const bool read = ForEachElement(doc, a, size, [&](const unsigned char* p, size_t i) {
        const uint32_t v = size == 1 ? p[0] : size == 2 ? uint32_t(p[0] | p[1] << 8) : Le32(p);
        if (v >= limit && inRange) inRange = false, bad = i, badValue = v;
        out[i] = v;
    });
    if (!read) return failure.Set(doc.path, at + ": the file changed while it was read");
    if (!inRange)
        return failure.Set(doc.path, at + ": index " + std::to_string(bad) + " is " + std::to_string(badValue) +
                                         ", past the " + std::to_string(limit) + " vertices");
    return true;
}
