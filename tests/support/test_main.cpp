#include <gtest/gtest.h>

#include "support/test_env.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new lw::test::EngineEnvironment);
  return RUN_ALL_TESTS();
}
