#include "collada/document.h"

bool WriteDocument(Model&, const char*, const DaeOptions&) { return false; }
