// The vertex layout a scene is built in (SceneOptions::deduplicate), changed
// after the fact: a scene read back from one format is laid out as a direct
// conversion to another format builds it, so both encode to the same bytes.
#pragma once

#include "scene/scene.h"

// De-duplicated: each stream's values listed once, in order of first use
// along the parts' tables (what BuildScene gives with deduplicate). Otherwise
// every vertex of a part gets its own values, numbered in order. Either step
// leaves a scene already in that layout as it is. Meshes whose corners are
// the vertex numbers themselves (an empty table) are left alone.
void SetVertexLayout(Scene& scene, const SceneOptions& options);
