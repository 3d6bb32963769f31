#include "model/read_model.h"

std::unique_ptr<AnimationSet> ReadMad(const unsigned char*, size_t) { return nullptr; }
std::unique_ptr<AnimationSet> LoadMad(const char*) { return nullptr; }
