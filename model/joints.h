#pragma once

#include "model/model.h"

// First joint whose name matches (hash, then ASCII case-insensitive), or null.
Joint* FindJoint(const Model& model, const Core_QStr& name);
Joint* FindJoint(const Model& model, const char* name);

// Parent indices, depths, sorted order (depth, then name ignoring case; ties
// keep their previous order), local and world matrices. Joints in a parent
// loop keep depth -1 and sort first.
void ResolveJoints(Model& model);
