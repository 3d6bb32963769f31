#include "scene/adopt_foreign.h"

void AdoptNodes(Adoption&) {}
