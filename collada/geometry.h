#pragma once

#include <tinyxml.h>

#include "scene/scene.h"

// One "geometry" (id "<name>-lib", name "<name>Mesh") per scene mesh: a float
// source per stream, "vertices", and one "triangles" per triangle list. The
// number texts are printed from the scene while the document is saved, so the
// scene must outlive the save.
void AddGeometries(TiXmlElement* library, const Scene& scene);
