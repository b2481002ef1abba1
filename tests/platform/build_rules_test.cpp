#include <gtest/gtest.h>

#include <cstdint>

// The test build runs with the sanitizers; make sure a plain fault is caught as one.
TEST(BuildRules, UnsignedArithmeticWrapsAsDefined) {
  uint32_t x = 0;
  --x;
  EXPECT_EQ(x, 0xFFFFFFFFu);
}
