#include "scene/way_back.h"

void MeshesFromScene(WayBack&) {}
