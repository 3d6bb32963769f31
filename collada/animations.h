#pragma once

#include <tinyxml.h>

#include "scene/scene.h"

// One COLLADA animation per scene curve, driving its node's translate or
// rotate value (curves of another property get a marker animation as well).
void AddAnimations(TiXmlElement* library, const Scene& scene);
