// Every text the scene holds (names, keys, outputs, formats), visited with a
// field name and its place: one list for the encoders and importers that
// keep texts a format cannot hold as they are.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "scene/scene.h"

// Calls visit(field, index, sub, text) for each text of the scene, `text` a
// reference into it (const for a const scene). `sub` is a map's or a track's
// place in its material or clip, else 0. A curve's name is its data's name
// text (its hash is the caller's concern when it changes it).
template <typename SceneType, typename Visit>
void ForEachSceneText(SceneType& scene, Visit&& visit) {
    static_assert(std::is_same<std::remove_const_t<SceneType>, Scene>::value, "a scene");
    for (size_t i = 0; i < scene.nodes.size(); ++i) visit("node", i, size_t(0), scene.nodes[i].name);
    for (size_t i = 0; i < scene.meshes.size(); ++i) visit("mesh", i, size_t(0), scene.meshes[i].name);
    for (size_t i = 0; i < scene.materials.size(); ++i) {
        visit("material", i, size_t(0), scene.materials[i].name);
        for (size_t j = 0; j < scene.materials[i].maps.size(); ++j)
            visit("material_map", i, j, scene.materials[i].maps[j].output);
    }
    for (size_t i = 0; i < scene.images.size(); ++i) {
        visit("image_stem", i, size_t(0), scene.images[i].stem);
        visit("image_output", i, size_t(0), scene.images[i].output);
        visit("image_key", i, size_t(0), scene.images[i].key);
        visit("image_format", i, size_t(0), scene.images[i].format);
    }
    for (size_t i = 0; i < scene.curves.size(); ++i) {
        visit("curve", i, size_t(0), scene.curves[i].data.name.value);
        visit("curve_joint", i, size_t(0), scene.curves[i].joint);
        visit("curve_target", i, size_t(0), scene.curves[i].targetName);
    }
    for (size_t i = 0; i < scene.clips.size(); ++i) {
        visit("clip", i, size_t(0), scene.clips[i].name);
        for (size_t j = 0; j < scene.clips[i].tracks.size(); ++j) visit("track", i, j, scene.clips[i].tracks[j].name);
    }
}
