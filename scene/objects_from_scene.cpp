#include "scene/way_back.h"

void ObjectsFromScene(WayBack&) {}
