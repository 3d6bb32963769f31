#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

#include "scene/scene.h"

// The scene's node tree under the visual scene: per node translate, rotateZ,
// rotateY, rotateX (in degrees), its mesh instance with material bindings, the
// FCOLLADA visibility extra, then its children; "name", "id" and "sid" equal
// to the node name. Name-only nodes get "name" and "id" alone. A mesh
// instance names its geometry by the mesh's stem (MeshIdStems).
void AddNodes(TiXmlElement* visualScene, const Scene& scene, const std::vector<std::string>& stems);
