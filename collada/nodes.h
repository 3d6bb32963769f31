#pragma once

#include <string>

#include "collada/dae_state.h"

// Resolves and sorts the joints, then measures collision vertices and every
// multi/goblin mesh vertex placed by its joint's world matrix.
Bounds ComputeModelBounds(Model& model);

// Root nodes, joint nodes, and the geometry + instance of every multi mesh
// and goblin mesh level. Fills state.rootCol, rootInfo, lodRoots,
// jointNodes, unionMask.
void WriteNodeHierarchy(DaeState& state);

// Writes the joint nodes whose parentIndex is parentIndex under parent.
void WriteJointNodes(DaeState& state, int32_t parentIndex, TiXmlElement* parent);

// One node instantiating a geometry, under the joint's node (lodRoot null) or
// under lodRoot at the joint's world placement; with material bindings from
// target (a "#..." text) or from geometry.materials.
void WriteInstanceNode(DaeState& state, const std::string& name, const GeometryResult& geometry,
                       const Core_QStr& jointName, TiXmlElement* lodRoot, const char* target);
