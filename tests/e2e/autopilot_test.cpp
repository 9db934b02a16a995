// The autopilot's choice of keys: it must lead the player toward the target under any camera
// heading, or the scripted run wanders.
#include "autopilot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace e2e {
namespace {

float Bearing(float x, float z) { return std::atan2(x, z); }

float AngleBetween(float a, float b) {
  float d = std::fmod(std::fabs(a - b), 6.2831853f);
  return d > 3.14159265f ? 6.2831853f - d : d;
}

TEST(Autopilot, UpLeadsAwayFromTheCameraAndDownTowardIt) {
  float x = 0, z = 0;
  // A camera heading of 0 puts the eye on the +z side of the player, looking toward -z.
  ASSERT_TRUE(ArrowDirection({false, false, true, false}, 0.0f, x, z));
  EXPECT_NEAR(x, 0.0f, 0.01f);
  EXPECT_NEAR(z, -1.0f, 0.01f);
  ASSERT_TRUE(ArrowDirection({false, false, false, true}, 0.0f, x, z));
  EXPECT_NEAR(z, 1.0f, 0.01f);
  EXPECT_FALSE(ArrowDirection({}, 0.0f, x, z));
}

TEST(Autopilot, ThreeArrowsReadAsTheirFirstPair) {
  float x1 = 0, z1 = 0, x2 = 0, z2 = 0;
  ASSERT_TRUE(ArrowDirection({true, true, false, true}, 0.7f, x1, z1));
  ASSERT_TRUE(ArrowDirection({true, false, false, true}, 0.7f, x2, z2));
  EXPECT_FLOAT_EQ(x1, x2);
  EXPECT_FLOAT_EQ(z1, z2);
}

TEST(Autopilot, ChosenKeysPointWithinAnEighthTurnOfTheTarget) {
  for (int yawStep = 0; yawStep < 24; ++yawStep) {
    const float yaw = -3.0f + 0.27f * static_cast<float>(yawStep);
    for (int t = 0; t < 16; ++t) {
      const float tx = 100.0f * std::sin(0.4f * static_cast<float>(t)),
                  tz = 100.0f * std::cos(0.4f * static_cast<float>(t));
      const ArrowKeys keys = SteerToward(yaw, 10.0f, -5.0f, 10.0f + tx, -5.0f + tz);
      float x = 0, z = 0;
      ASSERT_TRUE(ArrowDirection(keys, yaw, x, z)) << yaw << " " << t;
      // Eight directions a quarter-turn apart cover every bearing within half their spacing.
      EXPECT_LE(AngleBetween(Bearing(x, z), Bearing(tx, tz)), 0.3927f + 0.01f) << yaw << " " << t;
    }
  }
}

TEST(Autopilot, HoldsNothingOnTheTarget) { EXPECT_FALSE(SteerToward(1.0f, 5.0f, 5.0f, 5.0f, 5.0f).Any()); }

}  // namespace
}  // namespace e2e
