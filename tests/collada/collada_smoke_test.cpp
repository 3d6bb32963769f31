#include <gtest/gtest.h>

TEST(colladaSmoke, Builds) { SUCCEED(); }
