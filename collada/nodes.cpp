#include "collada/nodes.h"

Bounds ComputeModelBounds(Model&) { return Bounds(); }
void WriteNodeHierarchy(DaeState&) {}
void WriteJointNodes(DaeState&, int32_t, TiXmlElement*) {}
void WriteInstanceNode(DaeState&, const std::string&, const GeometryResult&, const Core_QStr&, TiXmlElement*,
                       const char*) {}
