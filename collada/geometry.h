#pragma once

#include <tinyxml.h>

#include <string>
#include <vector>

#include "scene/scene.h"

// The stem of each scene mesh's ids: its name, or for a mesh whose name an
// earlier mesh has, the name and "-2", "-3", ... (the first no mesh is named),
// so that every geometry and its sources keep ids of their own.
std::vector<std::string> MeshIdStems(const Scene& scene);

// One "geometry" (id "<stem>-lib", name "<name>Mesh") per scene mesh, its
// stem from MeshIdStems: a float source per stream, "vertices", and one
// "triangles" per triangle list. The number texts are printed from the scene
// while the document is saved, so the scene must outlive the save.
void AddGeometries(TiXmlElement* library, const Scene& scene, const std::vector<std::string>& stems);
