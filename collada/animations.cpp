#include "collada/animations.h"

void WriteAnimations(DaeState&) {}
double AnimationEndTime(const Model&) { return 1.0 / 30.0; }
