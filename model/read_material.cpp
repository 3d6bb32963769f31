#include "model/object_readers.h"

void ReadMaterial(ByteReader, uint32_t, Model&) {}
void ReadTextureImage(ByteReader, Model&) {}
