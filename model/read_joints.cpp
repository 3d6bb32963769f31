#include "model/object_readers.h"

void ReadJoints(ByteReader, Model&) {}
