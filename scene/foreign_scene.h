// A model made elsewhere (a new ship modelled in Blender, a file from
// another source) brought into the game: the scene read from its document
// holds none of the game's bracketed names. AdoptForeignScene rewrites it
// into the scene the converter would have built from a game model, so the
// way back (scene/model_from_scene.h) turns it into a ZEM and MAD like any
// other; each default it takes is named in one note line.
#pragma once

#include <string>

#include "scene/scene.h"

// True for a scene no game model stands for: it has no level-of-detail root
// node ("ROOT_LOD[<n>]"), which every scene the converter builds has (the
// first renamed "NAVL[...]" when the joint "Root" has a navigation light).
bool IsForeignScene(const Scene& scene);

// Rewrites a foreign scene in place; appends one line per default taken to
// scene.notes. False with the reason in *error when no model can be made
// from it (it holds no triangle).
bool AdoptForeignScene(Scene& scene, std::string* error);
