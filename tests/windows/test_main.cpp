// Entry point of the test programs cross-built for Windows and run under Wine: the suites that
// need no display or sound device, so nothing is set up before GoogleTest.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
