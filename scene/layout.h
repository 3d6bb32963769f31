// The vertex layout a scene is built in (SceneOptions::deduplicate), changed
// after the fact: a scene read back from one format is laid out as a direct
// conversion to another format builds it, so both encode to the same bytes.
#pragma once

#include "scene/scene.h"

// De-duplicated: each stream's values listed once (what BuildScene gives
// with deduplicate); a stream listing a value twice is renumbered in order of
// first use along the parts' tables, one listing each once is kept; a
// vertex's zeros of the other sign than its listed value go in its list's
// zeroSigns. Otherwise every vertex of a part gets its own values (those
// signs included), numbered in order. Either step leaves a scene already in
// that layout as it is. A list whose vertex number stands for every stream
// (an empty table, as a glTF read back has) gets a table for the
// de-duplicated layout and is left alone by the other. Positions-only
// meshes are left alone.
void SetVertexLayout(Scene& scene, const SceneOptions& options);
