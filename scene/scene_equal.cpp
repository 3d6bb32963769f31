#include "scene/scene_equal.h"

#include <cstring>
#include <type_traits>

#include "core/first_difference.h"

namespace {

// Walks both scenes side by side, keeping the first difference found.
class Compare : public FirstDifference<Compare> {
public:
    using FirstDifference::Value;
    void Value(const std::string& path, const SceneFact& a, const SceneFact& b) {
        Text(path + ".key", a.key, b.key);
        Text(path + ".text", a.text, b.text);
    }
    void Value(const std::string& path, const SceneNode& a, const SceneNode& b);
    void Value(const std::string& path, const SceneTriangles& a, const SceneTriangles& b);
    void Value(const std::string& path, const SceneMesh& a, const SceneMesh& b);
    void Value(const std::string& path, const SceneMapRef& a, const SceneMapRef& b);
    void Value(const std::string& path, const SceneMaterial& a, const SceneMaterial& b);
    void Value(const std::string& path, const SceneImage& a, const SceneImage& b);
    void Value(const std::string& path, const CurveKey& a, const CurveKey& b);
    void Value(const std::string& path, const SceneCurve& a, const SceneCurve& b);
    void Value(const std::string& path, const SceneTrack& a, const SceneTrack& b);
    void Value(const std::string& path, const SceneClip& a, const SceneClip& b);
};

void Compare::Value(const std::string& path, const SceneNode& a, const SceneNode& b) {
    Text(path + ".name", a.name, b.name);
    Int(path + ".nameOnly", a.nameOnly, b.nameOnly);
    Array(path + ".translation", a.translation, b.translation, 3);
    Array(path + ".rotation", a.rotation, b.rotation, 3);
    Int(path + ".parent", a.parent, b.parent);
    List(path + ".children", a.children, b.children);
    Int(path + ".mesh", a.mesh, b.mesh);
    List(path + ".materials", a.materials, b.materials);
    List(path + ".facts", a.facts, b.facts);
}

void Compare::Value(const std::string& path, const SceneTriangles& a, const SceneTriangles& b) {
    Int(path + ".material", a.material, b.material);
    Int(path + ".count", a.count, b.count);
    List(path + ".table", a.table, b.table);
    List(path + ".corners", a.corners, b.corners);
    List(path + ".zeroSigns", a.zeroSigns, b.zeroSigns);
}

void Compare::Value(const std::string& path, const SceneMesh& a, const SceneMesh& b) {
    Text(path + ".name", a.name, b.name);
    Int(path + ".positionsOnly", a.positionsOnly, b.positionsOnly);
    Int(path + ".hasPositions", a.hasPositions, b.hasPositions);
    Int(path + ".hasNormals", a.hasNormals, b.hasNormals);
    Int(path + ".hasTexCoords", a.hasTexCoords, b.hasTexCoords);
    Int(path + ".components", a.components, b.components);
    List(path + ".positions", a.positions, b.positions);
    List(path + ".normals", a.normals, b.normals);
    List(path + ".texCoords", a.texCoords, b.texCoords);
    List(path + ".triangles", a.triangles, b.triangles);
}

void Compare::Value(const std::string& path, const SceneMapRef& a, const SceneMapRef& b) {
    Text(path + ".output", a.output, b.output);
    Int(path + ".image", a.image, b.image);
}

void Compare::Value(const std::string& path, const SceneMaterial& a, const SceneMaterial& b) {
    Text(path + ".name", a.name, b.name);
    Int(path + ".glow", a.glow, b.glow);
    Int(path + ".unmapped", a.unmapped, b.unmapped);
    Array(path + ".emission", a.emission, b.emission, 4);
    Array(path + ".ambient", a.ambient, b.ambient, 4);
    Array(path + ".diffuse", a.diffuse, b.diffuse, 4);
    Array(path + ".specular", a.specular, b.specular, 4);
    Real(path + ".transparency", a.transparency, b.transparency);
    List(path + ".maps", a.maps, b.maps);
}

void Compare::Value(const std::string& path, const SceneImage& a, const SceneImage& b) {
    Int(path + ".kind", int(a.kind), int(b.kind));
    Text(path + ".stem", a.stem, b.stem);
    Text(path + ".output", a.output, b.output);
    Text(path + ".key", a.key, b.key);
    Text(path + ".format", a.format, b.format);
    Int(path + ".hasAlpha", a.hasAlpha, b.hasAlpha);
    Int(path + ".topDown", a.topDown, b.topDown);
    Int(path + ".picture.width", a.picture.width, b.picture.width);
    Int(path + ".picture.height", a.picture.height, b.picture.height);
    List(path + ".picture.pixels", a.picture.pixels, b.picture.pixels);
}

void Compare::Value(const std::string& path, const CurveKey& a, const CurveKey& b) {
    Real(path + ".time", a.time, b.time);
    Real(path + ".value", a.value, b.value);
    Real(path + ".inTangentX", a.inTangentX, b.inTangentX);
    Real(path + ".inTangentY", a.inTangentY, b.inTangentY);
    Real(path + ".outTangentX", a.outTangentX, b.outTangentX);
    Real(path + ".outTangentY", a.outTangentY, b.outTangentY);
    Int(path + ".interpolation", a.interpolation, b.interpolation);
}

void Compare::Value(const std::string& path, const SceneCurve& a, const SceneCurve& b) {
    Text(path + ".data.name", a.data.name.value, b.data.name.value);
    Int(path + ".data.nameIndex", a.data.nameIndex, b.data.nameIndex);
    Int(path + ".data.index", a.data.index, b.data.index);
    Int(path + ".data.flags", a.data.flags, b.data.flags);
    List(path + ".data.keys", a.data.keys, b.data.keys);
    Int(path + ".data.trailer1", a.data.trailer1, b.data.trailer1);
    Int(path + ".data.trailer2", a.data.trailer2, b.data.trailer2);
    Text(path + ".joint", a.joint, b.joint);
    Text(path + ".targetName", a.targetName, b.targetName);
    Int(path + ".node", a.node, b.node);
    Int(path + ".property", int(a.property), int(b.property));
}

void Compare::Value(const std::string& path, const SceneTrack& a, const SceneTrack& b) {
    Text(path + ".name", a.name, b.name);
    List(path + ".curves", a.curves, b.curves);
}

void Compare::Value(const std::string& path, const SceneClip& a, const SceneClip& b) {
    Text(path + ".name", a.name, b.name);
    Real(path + ".start", a.start, b.start);
    Real(path + ".end", a.end, b.end);
    Real(path + ".loopStart", a.loopStart, b.loopStart);
    Real(path + ".loopEnd", a.loopEnd, b.loopEnd);
    List(path + ".tracks", a.tracks, b.tracks);
}

}  // namespace

std::string SceneDifference(const Scene& expected, const Scene& actual) {
    Compare c;
    c.List("nodes", expected.nodes, actual.nodes);
    c.List("roots", expected.roots, actual.roots);
    c.List("meshes", expected.meshes, actual.meshes);
    c.List("materials", expected.materials, actual.materials);
    c.List("images", expected.images, actual.images);
    c.List("curves", expected.curves, actual.curves);
    c.List("clips", expected.clips, actual.clips);
    c.Real("endTime", expected.endTime, actual.endTime);
    c.Int("version", expected.version, actual.version);
    c.List("facts", expected.facts, actual.facts);
    return c.difference;
}
