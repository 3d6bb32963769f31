#include <gtest/gtest.h>

TEST(coreSmoke, Builds) { SUCCEED(); }
