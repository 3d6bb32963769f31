#include "scene/finite_numbers.h"

#include <cmath>
#include <string>

namespace {

// Zeroes the values that are not finite; true when there was one.
template <typename T>
bool Zeroed(T* values, size_t count) {
    bool any = false;
    for (size_t i = 0; i < count; ++i) {
        if (std::isfinite(values[i])) continue;
        values[i] = 0;
        any = true;
    }
    return any;
}

}  // namespace

void ZeroNumbersNotFinite(Scene& scene, Damage& damage) {
    auto note = [&damage](bool zeroed, const char* kind, const std::string& name) {
        if (zeroed) NoteDamage(damage, std::string(kind) + " [" + name + "]");
    };
    for (SceneNode& node : scene.nodes)
        note(Zeroed(node.translation, 3) | Zeroed(node.rotation, 3), "node", node.name);
    for (SceneMesh& mesh : scene.meshes)
        note(Zeroed(mesh.positions.data(), mesh.positions.size()) | Zeroed(mesh.normals.data(), mesh.normals.size()) |
                 Zeroed(mesh.texCoords.data(), mesh.texCoords.size()),
             "mesh", mesh.name);
    for (SceneMaterial& m : scene.materials)
        note(Zeroed(m.emission, 4) | Zeroed(m.ambient, 4) | Zeroed(m.diffuse, 4) | Zeroed(m.specular, 4) |
                 Zeroed(&m.transparency, 1),
             "material", m.name);
    for (SceneCurve& curve : scene.curves) {
        bool any = false;
        for (CurveKey& key : curve.data.keys)
            any = Zeroed(&key.time, 1) | Zeroed(&key.value, 1) | Zeroed(&key.inTangentX, 1) |
                  Zeroed(&key.inTangentY, 1) | Zeroed(&key.outTangentX, 1) | Zeroed(&key.outTangentY, 1) | any;
        note(any, "curve", curve.data.name.value);
    }
    for (SceneClip& clip : scene.clips)
        note(Zeroed(&clip.start, 1) | Zeroed(&clip.end, 1) | Zeroed(&clip.loopStart, 1) | Zeroed(&clip.loopEnd, 1),
             "clip", clip.name);
    if (Zeroed(&scene.endTime, 1)) NoteDamage(damage, "end time");
}
