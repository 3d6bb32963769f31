// Chunk bodies of the "DTRM" form: joints, markers, docks, lights, shapes.
#include "tests/support/fixture_writer.h"

void AppendJointsChunk(ByteWriter&, const OwnedList<Joint>&) {}
void AppendMarkerForm(ByteWriter&, const Marker&) {}
void AppendDockChunk(ByteWriter&, const OwnedList<DockPath>&) {}
void AppendNavLightsChunk(ByteWriter&, const OwnedList<NavLight>&) {}
void AppendEngineShapeChunk(ByteWriter&, const EngineShape&) {}
void AppendEngineBurnChunk(ByteWriter&, const EngineBurn&) {}
void AppendGlowForm(ByteWriter&, const Glow&) {}
void AppendCollisionForm(ByteWriter&, const CollisionMesh&) {}
