#include "resource/math_helpers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

class SineTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildSineTable(); }
};

TEST_F(SineTableTest, KnownEntries) {
  const float* t = SineTable();
  EXPECT_EQ(t[0], 0.0f);
  // The quarter-turn entry falls just short of 90 degrees.
  EXPECT_NEAR(t[16384], 0.9999998f, 1e-7f);
  EXPECT_LT(t[16384], 1.0f);
  EXPECT_NEAR(t[182], 0.0174419545f, 1e-8f);
  EXPECT_NEAR(t[8192], 0.7069097f, 1e-6f);
  // 65,536 steps overrun a full turn, so the last entry is already below zero.
  EXPECT_LT(t[65535], 0.0f);
  EXPECT_NEAR(t[65535], -0.0023253579f, 1e-7f);
  EXPECT_GT(t[32768], 0.0f);  // half the table is not yet half a turn
}

// Both factors are single-precision constants (given here by their bits) and their product is
// rounded to float before the sine; the same product in double precision gives other entries.
TEST_F(SineTableTest, EveryEntryIsTheSineOfTheSinglePrecisionProduct) {
  const float stepDegrees = std::bit_cast<float>(0x3BB40703u);       // 0.005494
  const float degreesToRadians = std::bit_cast<float>(0x3C8EE7A7u);  // 0.017444445
  const float* t = SineTable();
  int unlikeDouble = 0;
  for (int i = 0; i < kSineTableSize; i += 97) {
    const float radians = static_cast<float>(i) * stepDegrees * degreesToRadians;
    ASSERT_EQ(t[i], static_cast<float>(std::sin(static_cast<double>(radians)))) << i;
    if (t[i] != static_cast<float>(std::sin(i * 0.005494 * 0.017444445))) ++unlikeDouble;
  }
  EXPECT_GT(unlikeDouble, 0);
}

TEST_F(SineTableTest, CosineIsAQuarterTableOnAndWraps) {
  const float* t = SineTable();
  EXPECT_EQ(TableCos(0), t[16384]);
  EXPECT_EQ(TableCos(49152), t[0]);
  EXPECT_EQ(TableCos(65535), t[16383]);
  EXPECT_EQ(TableSin(1234), t[1234]);
}

TEST(SineIndexTest, WholeDegreesTimes182With16BitWrap) {
  EXPECT_EQ(SineIndexOfDegrees(0.0f), 0);
  EXPECT_EQ(SineIndexOfDegrees(90.0f), 16380);
  EXPECT_EQ(SineIndexOfDegrees(90.9f), 16380);
  EXPECT_EQ(SineIndexOfDegrees(360.0f), 65520);  // not a whole table
  EXPECT_EQ(SineIndexOfDegrees(361.0f), (361 * 182) % 65536);
  EXPECT_EQ(SineIndexOfDegrees(-1.0f), 65536 - 182);
  EXPECT_EQ(SineIndexOfDegrees(-1.5f), 65536 - 182);  // truncated toward zero
}

TEST(SineIndexTest, UnrepresentableAnglesGiveIndexZero) {
  EXPECT_EQ(SineIndexOfDegrees(NAN), 0);
  EXPECT_EQ(SineIndexOfDegrees(INFINITY), 0);
  EXPECT_EQ(SineIndexOfDegrees(-1e30f), 0);
}

TEST(TurnTowardTest, TurnsTheShortWayAcrossZero) {
  float angle = 0.1f;
  EXPECT_FALSE(TurnToward(angle, 6.2f, 0.05f));
  EXPECT_FLOAT_EQ(angle, 0.05f);
}

TEST(TurnTowardTest, StepsTowardAHigherAndALowerTarget) {
  float up = 0.5f;
  EXPECT_FALSE(TurnToward(up, 1.0f, 0.1f));
  EXPECT_FLOAT_EQ(up, 0.6f);
  float down = 1.0f;
  EXPECT_FALSE(TurnToward(down, 0.5f, 0.1f));
  EXPECT_FLOAT_EQ(down, 0.9f);
}

TEST(TurnTowardTest, LargeStepLandsExactlyOnTarget) {
  float angle = 1.0f;
  EXPECT_TRUE(TurnToward(angle, 1.25f, 0.3f));
  EXPECT_EQ(angle, 1.25f);
}

TEST(TurnTowardTest, DifferenceJustOverHalfATurnWrapsTheOtherWay) {
  float angle = 3.2f;  // d = 3.2 > PI wraps to -3.083: turn upward
  EXPECT_FALSE(TurnToward(angle, 0.0f, 0.01f));
  EXPECT_FLOAT_EQ(angle, 3.21f);
}

TEST(TurnTowardTest, DoesNotWrapTheAngleItself) {
  float angle = 6.27f;
  EXPECT_TRUE(TurnToward(angle, 0.01f, 0.5f));  // d wraps to about -0.027, arrives
  EXPECT_EQ(angle, 0.01f);
  float far = 100.0f;
  TurnToward(far, 100.5f, 0.1f);
  EXPECT_FLOAT_EQ(far, 100.1f);
}

TEST(TurnTowardTest, AlreadyThereReturnsTrue) {
  float angle = 2.0f;
  EXPECT_TRUE(TurnToward(angle, 2.0f, 0.0f));
  EXPECT_EQ(angle, 2.0f);
}

TEST(AngleDifferenceTest, NormalisesBothAndWraps) {
  float a = 7.0f, b = -0.5f;
  const float x = AngleDifference(a, b);
  EXPECT_NEAR(a, 0.717f, 1e-5f);
  EXPECT_NEAR(b, 5.783f, 1e-5f);
  EXPECT_NEAR(x, 1.217f, 1e-5f);
}

TEST(AngleDifferenceTest, NegativeResultAndTwoPiStays) {
  float a = kTwoPi, b = 1.0f;
  const float x = AngleDifference(a, b);
  EXPECT_EQ(a, kTwoPi);
  EXPECT_NEAR(x, -1.0f, 1e-5f);  // 5.283 > PI wraps to -1.0
  float c = 1.0f, d = 2.0f;
  EXPECT_FLOAT_EQ(AngleDifference(c, d), -1.0f);
}

TEST(AngleDifferenceTest, HugeInputsAreOnlyPartlyReduced) {
  float a = 100000.0f, b = 0.0f;
  AngleDifference(a, b);
  EXPECT_GT(a, 30000.0f);  // 10,000 steps remove only about 62,830
  EXPECT_LT(a, 40000.0f);
  float c = -1e9f, d = 0.0f;
  AngleDifference(c, d);
  EXPECT_LT(c, 0.0f);
}

TEST(HeadingTest, DirectionFromQToP) {
  EXPECT_FLOAT_EQ(Heading(1, 1, 0, 0), std::atan2(1.0f, 1.0f));
  EXPECT_FLOAT_EQ(Heading(5, 2, 5, 3), std::atan2(-1.0f, 0.0f));
  EXPECT_FLOAT_EQ(Heading(0, 4, 2, 4), std::atan2(0.0f, -2.0f));
}

TEST(PointAlongWithOffsetTest, InterpolatesAndOffsetsWithZeroW) {
  const float d[3] = {1, 0, -2};
  const gfxutil::Vector4 a(1, 2, 3, 9), b(3, 6, 11, 7);
  const gfxutil::Vector4 p = PointAlongWithOffset(d, a, b, 0.5f, 2.0f, 3.0f);
  EXPECT_FLOAT_EQ(p.x, 2.0f - 6.0f);
  EXPECT_FLOAT_EQ(p.y, 4.0f);
  EXPECT_FLOAT_EQ(p.z, 7.0f + 12.0f);
  EXPECT_EQ(p.w, 0.0f);
}

TEST(ZeroVector4Test, ClearsAllFour) {
  gfxutil::Vector4 v(1, 2, 3, 4);
  ZeroVector4(v);
  EXPECT_EQ(v, gfxutil::Vector4(0, 0, 0, 0));
}

}  // namespace
