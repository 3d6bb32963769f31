#include "model/object_readers.h"

void ReadEngineShape(ByteReader, Model&) {}
void ReadEngineBurn(ByteReader, Model&) {}
void ReadGlow(ByteReader, Model&) {}
void ReadCollision(ByteReader, Model&) {}
void ReadBoundingVolume(ByteReader, Model&) {}
