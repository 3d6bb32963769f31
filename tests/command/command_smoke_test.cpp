#include <gtest/gtest.h>

TEST(commandSmoke, Builds) { SUCCEED(); }
