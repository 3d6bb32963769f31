// A glTF document back into a scene: the inverse of the glTF encoder. A
// document the tool wrote comes back as the scene it was encoded from, its
// extras supplying what glTF has no field for (the original curves, clips
// and tracks, the DAE's colours, the pictures' source formats, name-only
// nodes, the triangle lists of each part). Any other glTF is read for what it
// holds: nodes (translation, rotation and scale or a matrix; a tree in metres
// becomes centimetres, a scale is baked into the meshes and places below
// it), triangles (strips and fans made lists; quantized attributes, texture
// coordinates through their texture transform), materials with their base
// colour, emissive and normal textures, and node animations as linear
// curves (rotations as the scene's Euler angles, without flips between
// keys). What the game's format has no place for (lines and points, skins,
// morph targets, cameras, lights, vertex colours, further texture
// coordinate sets, scales) is left out or baked with one note each in
// Scene::notes; a required extension the reader lacks refuses the file.
#pragma once

#include <memory>
#include <string>

#include "import/gltf_document.h"
#include "import/read_failure.h"
#include "scene/scene.h"

// The scene of a document read by ReadGltfFile; null with the file at fault
// and the reason (an accessor out of range, a picture that is not a PNG).
std::unique_ptr<Scene> SceneFromGltf(const GltfDocument& doc, ReadFailure& failure);

// Reads a GLB or .gltf file (with its .bin and PNG files) into a scene; null
// with "<file> - <reason>" in *error.
std::unique_ptr<Scene> ImportGltf(const char* path, std::string* error);
