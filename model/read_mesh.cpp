#include "model/object_readers.h"

void ReadMultiMesh(ByteReader, uint32_t, Model&) {}
void ReadGoblinMesh(ByteReader, uint32_t, Model&) {}
std::unique_ptr<Mesh> ReadMesh(ByteReader) { return nullptr; }
void AddLodMesh(MultiMesh&, std::unique_ptr<Mesh>) {}
