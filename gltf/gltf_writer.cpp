// glTF 2.0 from the scene: nodes as the scene names and places them, one
// primitive per material with de-duplicated vertices, materials with their
// composed maps as PNG images, and one animation per clip playing the curves
// its tracks link, sampled every frame plus the key times. What glTF has no
// field for travels in "extras". This file holds the document and its
// framing; the stages are the buffer, the geometry, the materials and
// images, and the animations.
#include "gltf/gltf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "core/str.h"
#include "gltf/animations.h"
#include "gltf/buffer.h"
#include "gltf/geometry.h"
#include "gltf/json_text.h"
#include "gltf/materials.h"
#include "scene/conventions.h"
#include "scene/scene.h"
#include "texture/texture_names.h"

namespace gltf {
namespace {

struct Target {
    bool binary;
    std::string shown;     // the path as given
    std::string folder;
    std::string name;      // file name without its extension
};

Target ParseTarget(const char* outputPath, bool binary) {
    Target target;
    target.binary = binary;
    target.shown = outputPath ? outputPath : "";
    target.folder = FolderPart(target.shown);
    target.name = BaseNamePart(target.shown);
    return target;
}

bool WriteBytes(FILE* file, const void* data, size_t length) {
    return length == 0 || std::fwrite(data, 1, length, file) == length;
}

// What the document holds besides the scene, and where in the buffer.
struct Layout {
    std::vector<int> meshOf;  // per scene mesh: its glTF mesh, -1 none
    std::vector<std::vector<Primitive>> meshes;
    Images images;
    std::vector<std::vector<Sampler>> animations;  // per range
};

// What goes into the document, decided before the buffer is laid out.
struct Content {
    const Scene& scene;
    const PngSink& sink;
    const Target& target;
    std::vector<AnimationRange> ranges;
};

// Everything the buffer holds, in a fixed order: the meshes, in the GLB
// the PNG maps, then the animations, then the PNG pictures of the images no
// map carries. Run once to measure, once to write.
void Fill(const Content& content, Buffer& buffer, Layout& layout) {
    const Scene& scene = content.scene;
    layout.meshOf.assign(scene.meshes.size(), -1);
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        std::vector<Primitive> primitives = AddMesh(buffer, scene, scene.meshes[m]);
        if (primitives.empty()) continue;
        layout.meshOf[m] = int(layout.meshes.size());
        layout.meshes.push_back(std::move(primitives));
    }
    AddImages(buffer, scene, content.sink, content.target.binary, false, layout.images);
    for (const AnimationRange& range : content.ranges)
        layout.animations.push_back(AddAnimation(buffer, scene, range));
    AddImages(buffer, scene, content.sink, content.target.binary, true, layout.images);
    buffer.Pad();
}

// "asset", "scene" and "scenes": the one scene, named as the file, holding
// the root nodes.
void WriteSceneJson(Json& json, const Content& content, const Layout& layout, const Buffer& buffer) {
    const Scene& scene = content.scene;
    Key(json, "asset");
    json.StartObject();
    Key(json, "version");
    json.String("2.0");
    Key(json, "generator");
    json.String("VORDA");
    json.EndObject();
    Key(json, "scene");
    json.Int(0);
    Key(json, "scenes");
    json.StartArray();
    json.StartObject();
    Key(json, "name");
    String(json, content.target.name);
    Key(json, "nodes");
    json.StartArray();
    for (int32_t root : scene.roots) json.Int(root);
    json.EndArray();
    // The document's time line and the model's version, as the DAE has
    // them, and the clips.
    Key(json, "extras");
    json.StartObject();
    Key(json, "frameRate");
    json.Int(int(kFramesPerSecond));
    Key(json, "endTime");
    json.Double(scene.endTime);
    Key(json, "version");
    json.Int(scene.version);
    WriteClipsJson(json, scene, content.ranges, layout.animations);
    WriteFacts(json, scene.facts);
    // The meshes glTF leaves out for want of triangles.
    if (std::count(layout.meshOf.begin(), layout.meshOf.end(), -1) > 0) {
        Key(json, "meshes");
        json.StartArray();
        for (size_t m = 0; m < scene.meshes.size(); ++m)
            if (layout.meshOf[m] < 0) WriteMeshExtras(json, scene, m, nullptr, &buffer);
        json.EndArray();
    }
    json.EndObject();
    json.EndObject();
    json.EndArray();
}

void WriteNodesJson(Json& json, const Scene& scene, const std::vector<int>& meshOf) {
    Key(json, "nodes");
    json.StartArray();
    for (const SceneNode& node : scene.nodes) {
        json.StartObject();
        Key(json, "name");
        String(json, node.name);
        if (!node.children.empty()) {
            Key(json, "children");
            json.StartArray();
            for (int32_t child : node.children) json.Int(child);
            json.EndArray();
        }
        // The DAE counts in centimetres, glTF in metres: every root node
        // scales its tree by 0.01 and stands at its place in metres.
        const double unit = node.parent < 0 ? kMetresPerUnit : 1.0;
        const double t[3] = {node.translation[0] * unit, node.translation[1] * unit, node.translation[2] * unit};
        if (t[0] != 0 || t[1] != 0 || t[2] != 0) {
            Key(json, "translation");
            WriteNumbers(json, t, 3);
        }
        if (node.rotation[0] != 0 || node.rotation[1] != 0 || node.rotation[2] != 0) {
            double q[4];
            EulerToQuaternion(node.rotation[0], node.rotation[1], node.rotation[2], q);
            Key(json, "rotation");
            WriteNumbers(json, q, 4);
        }
    if (node.parent < 0) {
        const double scale[3] = {kMetresPerUnit, kMetresPerUnit, kMetresPerUnit};
        Key(json, "scale");
        WriteNumbers(json, scale, 3);
    }
    if (node.mesh >= 0 && meshOf[size_t(node.mesh)] >= 0) {
        Key(json, "mesh");
        json.Int(meshOf[size_t(node.mesh)]);
    }
    // What glTF has no field for: the node's number in the scene (a package
    // that re-exports the document may order the nodes anew: Blender 3.4
    // sorts them by name), a name-only node, the placement as the scene
    // holds it (centimetres and Euler angles, exact), the scene's mesh (also
    // one glTF leaves out for want of triangles) and the materials the node
    // binds, in order, and the node's facts.
    bool placed = false;  // (a -0 counts: it is kept as held)
    for (int i = 0; i < 3; ++i)
        placed = placed || node.translation[i] != 0 || node.rotation[i] != 0 || std::signbit(node.translation[i]) ||
                 std::signbit(node.rotation[i]);
    {
        Key(json, "extras");
        json.StartObject();
        Key(json, "node");
        json.Int(int(&node - scene.nodes.data()));
        if (placed) {
            const double place[6] = {node.translation[0], node.translation[1], node.translation[2],
                                     node.rotation[0],    node.rotation[1],    node.rotation[2]};
            Key(json, "place");
            WriteNumbers(json, place, 6);
        }
        if (node.nameOnly) {
            Key(json, "nameOnly");
            json.Bool(true);
        }
        if (node.mesh >= 0) {
            Key(json, "mesh");
            json.Int(node.mesh);
        }
        if (!node.materials.empty()) {
            Key(json, "materials");
            json.StartArray();
            for (int32_t m : node.materials) json.Int(m);
            json.EndArray();
        }
        WriteFacts(json, node.facts);
        json.EndObject();
    }
    json.EndObject();
}
json.EndArray();

}

void WriteDocumentJson(Json& json, const Content& content, const Layout& layout, const Buffer& buffer,
                       const std::string& binName) {
    json.StartObject();
    WriteSceneJson(json, content, layout, buffer);
    WriteNodesJson(json, content.scene, layout.meshOf);
    WriteMeshesJson(json, content.scene, layout.meshOf, layout.meshes, buffer);
    WriteMaterialsJson(json, content.scene, layout.images.imageOf);
    WriteImagesJson(json, content.scene, layout.images, content.target.binary);
    WriteAnimationsJson(json, content.ranges, layout.animations);
    const std::string uri = PercentEncoded(binName);
    WriteBufferJson(json, buffer, content.target.binary ? nullptr : uri.c_str());
    json.EndObject();
}

// The GLB: header, the JSON chunk padded with spaces, the binary chunk.
template <typename WriteBuffer>
bool SaveGlb(const Target& target, const rapidjson::StringBuffer& text, const Buffer& buffer,
             WriteBuffer&& writeBuffer) {
    std::string chunk(text.GetString(), text.GetSize());
    while (chunk.size() % 4) chunk += ' ';
    const bool withBin = buffer.size > 0;
    const uint32_t total = uint32_t(12 + 8 + chunk.size() + (withBin ? 8 + buffer.PaddedSize() : 0));
    const uint32_t header[3] = {0x46546C67u, 2u, total};
    const uint32_t jsonHead[2] = {uint32_t(chunk.size()), 0x4E4F534Au};
    const uint32_t binHead[2] = {uint32_t(buffer.PaddedSize()), 0x004E4942u};
    const bool saved = SaveFileReplacing(target.shown, [&](FILE* file) {
        return WriteBytes(file, header, sizeof header) && WriteBytes(file, jsonHead, sizeof jsonHead) &&
               WriteBytes(file, chunk.data(), chunk.size()) &&
               (!withBin || (WriteBytes(file, binHead, sizeof binHead) && writeBuffer(file)));
    });
    if (!saved) ReportFailedWrite("GLB", target.shown);
    return saved;
}

// The .gltf file with its PNG files and buffer file beside it.
template <typename WriteBuffer>
bool SaveSplit(const Content& content, const Layout& layout, const rapidjson::StringBuffer& text,
               const Buffer& buffer, const std::string& binName, WriteBuffer&& writeBuffer) {
    const Target& target = content.target;
    SavePngFiles(content.scene, content.sink, layout.images, target.folder);
    if (buffer.size > 0) {
        const std::string binPath = JoinFolder(target.folder, binName);
        if (!SaveFileReplacing(binPath, [&](FILE* file) { return writeBuffer(file); })) {
            ReportFailedWrite("glTF buffer", binPath);
            return false;
        }
    }
    const bool saved = SaveFileReplacing(target.shown, [&](FILE* file) {
        return WriteBytes(file, text.GetString(), text.GetSize());
    });
    if (!saved) ReportFailedWrite("glTF", target.shown);
    return saved;
}

}  // namespace
}  // namespace gltf

bool WriteGltf(const Scene& scene, const char* outputPath, bool binary) {
    using namespace gltf;
    const Target target = ParseTarget(outputPath, binary);
    // A folder that cannot be made shows up as a failed save, reported once.
    MakeFolderTree(target.folder);
    const PngSink sink(scene);

    const std::string binName = ToUtf8(target.name) + ".bin";
    // Animations: one per clip, or one over the whole timeline.
    const Content content{scene, sink, target, AnimationRanges(scene)};
    Buffer buffer;
    Layout layout;
    Fill(content, buffer, layout);
    // The second run prints the buffer into an open file.
    auto writeBuffer = [&](FILE* file) {
        Buffer out;
        out.file = file;
        out.measured = &buffer;
        Layout ignored;
        Fill(content, out, ignored);
        return out.ok && out.size == buffer.size;
    };

    rapidjson::StringBuffer text;
    Json json(text);
    WriteDocumentJson(json, content, layout, buffer, binName);
    if (target.binary) return SaveGlb(target, text, buffer, writeBuffer);
    return SaveSplit(content, layout, text, buffer, binName, writeBuffer);
}
