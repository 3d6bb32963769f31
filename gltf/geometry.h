// The meshes of a glTF document: one primitive per material with one vertex
// per distinct corner, its attributes and indices in the buffer, tangents
// where the material has a normal map.
#pragma once

#include <cstdint>
#include <vector>

#include "gltf/buffer.h"
#include "scene/scene.h"

namespace gltf {

struct Primitive {
    int material;
    size_t counts = 0;  // its entry in the measuring buffer's counts
    int position = -1, normal = -1, texCoord = -1, tangent = -1, indices = -1;
};

// Per-vertex tangents for a normal map (4 floats a vertex): each triangle's
// direction of rising U summed over its corners, made perpendicular to the
// normal (Z without normals) and unit length; w is -1 where the V direction
// is mirrored. A vertex without a usable direction gets any direction across
// its normal. normals and texCoords may be empty.
std::vector<float> Tangents(const std::vector<float>& positions, const std::vector<float>& normals,
                            const std::vector<float>& texCoords, const std::vector<uint32_t>& indices);

// One primitive per material of the mesh, in the order the materials first
// appear (none without positions or triangles), then whatever of its lists'
// vertex data is too long for the extras. Called for every scene mesh in
// order, also those without primitives.
std::vector<Primitive> AddMesh(Buffer& buffer, const Scene& scene, const SceneMesh& mesh);

// "meshes": each scene mesh m with meshOf[m] >= 0 and its primitives
// meshes[meshOf[m]]; nothing when there are none.
void WriteMeshesJson(Json& json, const Scene& scene, const std::vector<int>& meshOf,
                     const std::vector<std::vector<Primitive>>& meshes, const Buffer& measured);

// A mesh's extras: its number and name in the scene and its triangle lists,
// each as its material and triangle count (a primitive holds the lists of
// its material in this order); with the mesh's primitives, also each list's
// vertex count, the vertex each of its glTF vertices is (runs of start and
// length), the values of those no triangle uses, as the scene holds them,
// and those of the used ones glTF does not give back as held; with the
// measuring buffer, whichever of the last three is long is left to the
// buffer, and "listData" names its accessors.
void WriteMeshExtras(Json& json, const Scene& scene, size_t m, const std::vector<Primitive>* primitives = nullptr,
                     const Buffer* measured = nullptr);

}  // namespace gltf
