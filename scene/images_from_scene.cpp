#include "scene/way_back.h"

void ImagesFromScene(WayBack&) {}
