#include <gtest/gtest.h>

TEST(modelSmoke, Builds) { SUCCEED(); }
