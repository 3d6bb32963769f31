// A DAE read back into a scene: the inverse of the COLLADA encoder for the
// documents the tool writes (names in the bracket grammar keep their
// meaning, the TGA maps beside the document come back as the images'
// pixels), and what another program's COLLADA holds for the rest: nodes,
// triangle lists, materials with their textures, node animations (whole
// matrices decomposed into curves), in the scene's centimetres and Y up
// whatever the document's unit and up axis. Skinned and morphed geometry
// is placed without its controller; scales are baked into meshes and
// places; skins, morphs, cameras, lights, lines, vertex colours and further
// texture coordinate sets are noted in Scene::notes.
#pragma once

#include <memory>
#include <string>

#include "import/dae_document.h"
#include "import/read_failure.h"
#include "scene/scene.h"

// The scene of a read document; the pictures its images name are read from
// beside doc.path. Null with the file and the reason when a picture is
// missing or damaged. Each stream keeps the values its source lists, in
// their order, as the encoder's de-duplicated layout has them
// (scene/layout.h turns the scene into the other layout).
std::unique_ptr<Scene> SceneFromDae(const DaeDocument& doc, ReadFailure& failure);

// ReadDaeFile, then SceneFromDae.
std::unique_ptr<Scene> ImportDae(const std::string& path, ReadFailure& failure);
