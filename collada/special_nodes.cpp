#include "collada/special_nodes.h"

void WriteGlowGeometries(DaeState&) {}
void WriteSpecialNodes(DaeState&) {}
