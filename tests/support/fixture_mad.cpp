// MAD files from an AnimationSet.
#include "tests/support/fixture_writer.h"

std::vector<unsigned char> BuildMad(const AnimationSet&) { return {}; }
