#include "model/model_equal.h"

#include <cstring>
#include <type_traits>

#include "core/first_difference.h"
#include "model/mesh_info.h"

namespace {

// Walks both models side by side, keeping the first difference found.
class Compare : public FirstDifference<Compare> {
public:
    explicit Compare(const ModelCompareOptions& options) : options_(options) {}
    using FirstDifference::Value;
    using FirstDifference::List;
    void Value(const std::string& path, const Core_Str& a, const Core_Str& b) {
        Int(path + ".null", a.null, b.null);
        Text(path, a.value, b.value);
    }
    void Value(const std::string& path, const Core_QStr& a, const Core_QStr& b) {
        Int(path + ".null", a.null, b.null);
        Text(path, a.value, b.value);
        Int(path + ".hash", a.hash, b.hash);
    }
    // An owned list may hold null entries.
    template <typename T>
    void List(const std::string& path, const OwnedList<T>& a, const OwnedList<T>& b) {
        Int(path + ".size()", int64_t(a.size()), int64_t(b.size()));
        for (size_t i = 0; i < a.size() && !Done(); ++i) Owned(path + "[" + std::to_string(i) + "]", a[i], b[i]);
    }
    template <typename T>
    void Owned(const std::string& path, const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
        Int(path + " present", a != nullptr, b != nullptr);
        if (!Done() && a) Value(path, *a, *b);
    }

    void Value(const std::string& path, const Matrix& a, const Matrix& b) { Array(path, a.m, b.m, 16); }
    void Value(const std::string& path, const MaterialParam& a, const MaterialParam& b) {
        Value(path + ".name", a.name, b.name);
        Int(path + ".type", a.type, b.type);
        Int(path + ".imageIndex", a.imageIndex, b.imageIndex);
        Array(path + ".colour", a.colour, b.colour, 4);
    }
    void Value(const std::string& path, const Material& a, const Material& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".version", a.version, b.version);
        Value(path + ".name", a.name, b.name);
        Value(path + ".shader", a.shader, b.shader);
        List(path + ".params", a.params, b.params);
    }
    void Value(const std::string& path, const MipLevel& a, const MipLevel& b) {
        List(path + ".data", a.data, b.data);
        Int(path + ".size", a.size, b.size);
        Int(path + ".width", a.width, b.width);
        Int(path + ".height", a.height, b.height);
    }
    void Value(const std::string& path, const TextureImage& a, const TextureImage& b) {
        Int(path + ".index", a.index, b.index);
        Value(path + ".name", a.name, b.name);
        Value(path + ".format", a.format, b.format);
        if (!options_.skipLowerMips) return List(path + ".levels", a.levels, b.levels);
        Int(path + ".levels.empty()", a.levels.empty(), b.levels.empty());
        if (!Done() && !a.levels.empty()) Value(path + ".levels[0]", a.levels[0], b.levels[0]);
    }
    void Value(const std::string& path, const PrimitiveGroup& a, const PrimitiveGroup& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".type", a.type, b.type);
        Int(path + ".indexCount", a.indexCount, b.indexCount);
        List(path + ".indices", a.indices, b.indices);
    }
    void Value(const std::string& path, const MeshPart& a, const MeshPart& b);
    void Value(const std::string& path, const Mesh& a, const Mesh& b) {
        Int(path + ".lod", a.lod, b.lod);
        List(path + ".parts", a.parts, b.parts);
    }
    void Value(const std::string& path, const MultiMesh& a, const MultiMesh& b) {
        Int(path + ".kind", a.kind, b.kind);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        List(path + ".meshes", a.meshes, b.meshes);
    }
    void Value(const std::string& path, const Joint& a, const Joint& b) {
        Int(path + ".index", a.index, b.index);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Array(path + ".position", a.position, b.position, 3);
        Array(path + ".rotation", a.rotation, b.rotation, 3);
        Array(path + ".scale", a.scale, b.scale, 3);
        Array(path + ".axis", a.axis, b.axis, 3);
        Array(path + ".flags", a.flags, b.flags, 3);
        if (options_.skipJointResolution) return;
        Int(path + ".parentIndex", a.parentIndex, b.parentIndex);
        Int(path + ".depth", a.depth, b.depth);
        Int(path + ".hasChildren", a.hasChildren, b.hasChildren);
        Value(path + ".localMatrix", a.localMatrix, b.localMatrix);
        Value(path + ".worldMatrix", a.worldMatrix, b.worldMatrix);
    }
    void Value(const std::string& path, const Marker& a, const Marker& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".parentIndex", a.parentIndex, b.parentIndex);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Array(path + ".headValues", a.headValues, b.headValues, 2);
        Array(path + ".position", a.position, b.position, 3);
        Array(path + ".rotation", a.rotation, b.rotation, 3);
    }
    void Value(const std::string& path, const DockSegment& a, const DockSegment& b) {
        Int(path + ".index", a.index, b.index);
        Array(path + ".position", a.position, b.position, 3);
        Array(path + ".rotation", a.rotation, b.rotation, 3);
        Int(path + ".useRot", a.useRot, b.useRot);
        Real(path + ".tolerance", a.tolerance, b.tolerance);
        Int(path + ".unfocus", a.unfocus, b.unfocus);
        Real(path + ".speed", a.speed, b.speed);
        const uint32_t wa[6] = {a.check, a.close, a.player, a.queue, a.clip, a.clearRes};
        const uint32_t wb[6] = {b.check, b.close, b.player, b.queue, b.clip, b.clearRes};
        static const char* const kWords[6] = {".check", ".close", ".player", ".queue", ".clip", ".clearRes"};
        for (int i = 0; i < 6; ++i) Int(path + kWords[i], wa[i], wb[i]);
    }
    void Value(const std::string& path, const DockPath& a, const DockPath& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".parentIndex", a.parentIndex, b.parentIndex);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Int(path + ".exit", a.exit, b.exit);
        Int(path + ".latch", a.latch, b.latch);
        Int(path + ".animFlags", a.animFlags, b.animFlags);
        Real(path + ".tolerance", a.tolerance, b.tolerance);
        Value(path + ".family", a.family, b.family);
        Value(path + ".link", a.link, b.link);
        Int(path + ".segmentCount", a.segmentCount, b.segmentCount);
        List(path + ".segments", a.segments, b.segments);
    }
    void Value(const std::string& path, const NavLight& a, const NavLight& b) {
        Int(path + ".index", a.index, b.index);
        Value(path + ".name", a.name, b.name);
        Value(path + ".type", a.type, b.type);
        Int(path + ".section", a.section, b.section);
        Real(path + ".size", a.size, b.size);
        Real(path + ".phase", a.phase, b.phase);
        Real(path + ".frequency", a.frequency, b.frequency);
        Array(path + ".colour", a.colour, b.colour, 4);
        Real(path + ".distance", a.distance, b.distance);
        Int(path + ".sprite", a.sprite, b.sprite);
        Int(path + ".highEnd", a.highEnd, b.highEnd);
    }
    void Value(const std::string& path, const EngineShape& a, const EngineShape& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".parentIndex", a.parentIndex, b.parentIndex);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Int(path + ".vertexCount", a.vertexCount, b.vertexCount);
        List(path + ".vertices", a.vertices, b.vertices);
    }
    void Value(const std::string& path, const EngineBurn& a, const EngineBurn& b) {
        Int(path + ".index", a.index, b.index);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Int(path + ".divisions", a.divisions, b.divisions);
        Int(path + ".flameCount", a.flameCount, b.flameCount);
        Int(path + ".vertexCount", a.vertexCount, b.vertexCount);
        List(path + ".vertices", a.vertices, b.vertices);
    }
    void Value(const std::string& path, const Glow& a, const Glow& b) {
        Int(path + ".index", a.index, b.index);
        Int(path + ".parentIndex", a.parentIndex, b.parentIndex);
        Value(path + ".name", a.name, b.name);
        Value(path + ".parentName", a.parentName, b.parentName);
        Int(path + ".lod", a.lod, b.lod);
        Owned(path + ".mesh", a.mesh, b.mesh);
    }
    void Value(const std::string& path, const Bounds& a, const Bounds& b) {
        Int(path + ".count", a.count, b.count);
        Array(path + ".boxMin", a.boxMin, b.boxMin, 3);
        Array(path + ".boxMax", a.boxMax, b.boxMax, 3);
        Array(path + ".sphereCentre", a.sphereCentre, b.sphereCentre, 3);
        Real(path + ".sphereRadius", a.sphereRadius, b.sphereRadius);
        Real(path + ".sphereRadiusSq", a.sphereRadiusSq, b.sphereRadiusSq);
    }
    void Value(const std::string& path, const CollisionMesh& a, const CollisionMesh& b) {
        Int(path + ".index", a.index, b.index);
        Value(path + ".parentName", a.parentName, b.parentName);
        if (!options_.skipCollisionBounds) Value(path + ".bounds", a.bounds, b.bounds);
        Int(path + ".vertexCount", a.vertexCount, b.vertexCount);
        List(path + ".vertices", a.vertices, b.vertices);
        Int(path + ".indexCount", a.indexCount, b.indexCount);
        List(path + ".indices", a.indices, b.indices);
    }
    void Value(const std::string& path, const InfoEntry& a, const InfoEntry& b) {
        Value(path + ".key", a.key, b.key);
        Value(path + ".value", a.value, b.value);
    }
    void Value(const std::string& path, const AnimationName& a, const AnimationName& b) {
        Value(path + ".name", a.name, b.name);
    }
    void Value(const std::string& path, const CurveLink& a, const CurveLink& b) {
        Value(path + ".curveName", a.curveName, b.curveName);
        Int(path + ".connected", a.connected, b.connected);
    }
    void Value(const std::string& path, const ClipTrack& a, const ClipTrack& b) {
        Value(path + ".name", a.name, b.name);
        Int(path + ".nameIndex", a.nameIndex, b.nameIndex);
        List(path + ".curveIndices", a.curveIndices, b.curveIndices);
        List(path + ".links", a.links, b.links);
    }
    void Value(const std::string& path, const AnimationClip& a, const AnimationClip& b) {
        Value(path + ".name", a.name, b.name);
        Int(path + ".nameIndex", a.nameIndex, b.nameIndex);
        Real(path + ".start", a.start, b.start);
        Real(path + ".end", a.end, b.end);
        Real(path + ".loopStart", a.loopStart, b.loopStart);
        Real(path + ".loopEnd", a.loopEnd, b.loopEnd);
        List(path + ".tracks", a.tracks, b.tracks);
    }
    void Value(const std::string& path, const CurveKey& a, const CurveKey& b) {
        Real(path + ".time", a.time, b.time);
        Real(path + ".value", a.value, b.value);
        Real(path + ".inTangentX", a.inTangentX, b.inTangentX);
        Real(path + ".inTangentY", a.inTangentY, b.inTangentY);
        Real(path + ".outTangentX", a.outTangentX, b.outTangentX);
        Real(path + ".outTangentY", a.outTangentY, b.outTangentY);
        Int(path + ".interpolation", a.interpolation, b.interpolation);
    }
    void Value(const std::string& path, const AnimationCurve& a, const AnimationCurve& b) {
        Value(path + ".name", a.name, b.name);
        Int(path + ".nameIndex", a.nameIndex, b.nameIndex);
        Int(path + ".index", a.index, b.index);
        Int(path + ".flags", a.flags, b.flags);
        List(path + ".keys", a.keys, b.keys);
        Int(path + ".trailer1", a.trailer1, b.trailer1);
        Int(path + ".trailer2", a.trailer2, b.trailer2);
    }
    void Value(const std::string& path, const AnimationSet& a, const AnimationSet& b) {
        Int(path + ".version", a.version, b.version);
        Value(path + ".formatName", a.formatName, b.formatName);
        Int(path + ".infoWord0", a.infoWord0, b.infoWord0);
        Int(path + ".infoWord3", a.infoWord3, b.infoWord3);
        Int(path + ".infoWord4", a.infoWord4, b.infoWord4);
        Int(path + ".clipCount", a.clipCount, b.clipCount);
        Int(path + ".curveCount", a.curveCount, b.curveCount);
        List(path + ".stringTable", a.stringTable, b.stringTable);
        List(path + ".names", a.names, b.names);
        List(path + ".clips", a.clips, b.clips);
        List(path + ".curves", a.curves, b.curves);
    }

private:
    const ModelCompareOptions& options_;
};

// The triangles a part's groups make, three corners each, in order.
std::vector<uint16_t> GroupTriangles(const std::vector<PrimitiveGroup>& groups) {
    std::vector<uint16_t> corners;
    ForEachGroupTriangle(groups, [&](uint16_t a, uint16_t b, uint16_t c) {
        corners.push_back(a);
        corners.push_back(b);
        corners.push_back(c);
    });
    return corners;
}

void Compare::Value(const std::string& path, const MeshPart& a, const MeshPart& b) {
    Int(path + ".index", a.index, b.index);
    Int(path + ".materialIndex", a.materialIndex, b.materialIndex);
    Int(path + ".format", a.format, b.format);
    Int(path + ".stride", a.stride, b.stride);
    Int(path + ".vertexCount", a.vertexCount, b.vertexCount);
    if (!options_.skipTangents || (a.format & (kFormatTangent | kFormatBinormal)) == 0 || a.stride <= 0) {
        List(path + ".vertices", a.vertices, b.vertices);
    } else {
        // Every value but the tangent's and the binormal's three.
        Int(path + ".vertices.size()", int64_t(a.vertices.size()), int64_t(b.vertices.size()));
        const VertexLayoutInfo layout = VertexLayout(a.format);
        const size_t stride = size_t(a.stride);
        std::vector<uint8_t> regenerated(stride, 0);
        auto mark = [&](uint32_t bit, int32_t at) {
            for (int32_t k = 0; k < 3 && (a.format & bit); ++k)
                if (size_t(at + k) < stride) regenerated[size_t(at + k)] = 1;
        };
        mark(kFormatTangent, layout.tangent);
        mark(kFormatBinormal, layout.binormal);
        for (size_t i = 0; i < a.vertices.size() && !Done(); ++i)
            if (!regenerated[i % stride])
                Real(path + ".vertices[" + std::to_string(i) + "]", a.vertices[i], b.vertices[i]);
    }
    if (!options_.groupsAsTriangles) return List(path + ".groups", a.groups, b.groups);
    const std::vector<uint16_t> ta = GroupTriangles(a.groups), tb = GroupTriangles(b.groups);
    Int(path + ".groups triangles", int64_t(ta.size() / 3), int64_t(tb.size() / 3));
    for (size_t i = 0; i < ta.size() && !Done(); ++i)
        Int(path + ".groups triangle corner[" + std::to_string(i) + "]", ta[i], tb[i]);
}

}  // namespace

std::string ModelDifference(const Model& expected, const Model& actual, const ModelCompareOptions& options) {
    Compare c(options);
    c.Int("type", expected.type, actual.type);
    c.Int("version", expected.version, actual.version);
    c.Value("typeName", expected.typeName, actual.typeName);
    c.List("materials", expected.materials, actual.materials);
    c.List("images", expected.images, actual.images);
    c.List("multiMeshes", expected.multiMeshes, actual.multiMeshes);
    c.List("goblinMeshes", expected.goblinMeshes, actual.goblinMeshes);
    c.List("joints", expected.joints, actual.joints);
    c.List("engineShapes", expected.engineShapes, actual.engineShapes);
    c.List("engineBurns", expected.engineBurns, actual.engineBurns);
    c.List("glows", expected.glows, actual.glows);
    c.List("navLights", expected.navLights, actual.navLights);
    c.List("dockPaths", expected.dockPaths, actual.dockPaths);
    c.List("markers", expected.markers, actual.markers);
    c.List("collisionMeshes", expected.collisionMeshes, actual.collisionMeshes);
    c.List("infoEntries", expected.infoEntries, actual.infoEntries);
    c.Owned("animation", expected.animation, actual.animation);
    return c.difference;
}
