#include <gtest/gtest.h>

TEST(textureSmoke, Builds) { SUCCEED(); }
