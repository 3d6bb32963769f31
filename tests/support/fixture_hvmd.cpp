// Chunk bodies of the "HVMD" form: materials, images, multi and goblin meshes.
#include "tests/support/fixture_writer.h"

void AppendMaterialChunk(ByteWriter&, const Material&) {}
void AppendImageChunk(ByteWriter&, const TextureImage&) {}
void AppendMeshBody(ByteWriter&, const Mesh&) {}
void AppendMultiMeshChunk(ByteWriter&, const MultiMesh&) {}
