#include "scene/finite_numbers.h"

#include <cmath>
#include <string>

namespace {

// Zeroes the values that are not finite; how many there were.
template <typename T>
int Zeroed(T* values, size_t count) {
    int zeroed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::isfinite(values[i])) continue;
        values[i] = 0;
        ++zeroed;
    }
    return zeroed;
}

}  // namespace

void ZeroNumbersNotFinite(Scene& scene, Damage& damage) {
    auto note = [&damage](int zeroed, const char* kind, const std::string& name) {
        if (zeroed > 0) NoteDamage(damage, std::string(kind) + " [" + name + "]");
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
        int any = 0;
        for (CurveKey& key : curve.data.keys)
            any = Zeroed(&key.time, 1) | Zeroed(&key.value, 1) | Zeroed(&key.inTangentX, 1) |
                  Zeroed(&key.inTangentY, 1) | Zeroed(&key.outTangentX, 1) | Zeroed(&key.outTangentY, 1) | any;
        note(any, "curve", curve.data.name.value);
    }
    for (SceneClip& clip : scene.clips)
        note(Zeroed(&clip.start, 1) | Zeroed(&clip.end, 1) | Zeroed(&clip.loopStart, 1) | Zeroed(&clip.loopEnd, 1),
             "clip", clip.name);
    if (Zeroed(&scene.endTime, 1) > 0) NoteDamage(damage, "end time");
}
