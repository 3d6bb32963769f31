#include "model/object_readers.h"

void ReadMarker(ByteReader, Model&) {}
void ReadDockPaths(ByteReader, Model&) {}
void ReadNavLights(ByteReader, uint32_t, Model&) {}
