#include "world/bsp.h"

#include <gtest/gtest.h>

#include <cmath>

#include "world/bsp_unit.h"

namespace {

using gfxutil::Matrix;
using gfxutil::Vector3;
using gfxutil::Vector4;

constexpr float kView = 4800.0f;
constexpr int kWidth = 640, kHeight = 480;

// The game camera's projection at an eye looking down +z.
Matrix ViewProjection(const Vector3& eye, const Vector3& at) {
  const float theta = 0.3926991f;
  Matrix p;
  p.m[0][0] = std::cos(theta) / std::sin(theta) / 1.3333334f;
  p.m[1][1] = std::cos(theta) / std::sin(theta);
  const float q = kView / (kView - 10);
  p.m[2][2] = q;
  p.m[2][3] = 1;
  p.m[3][2] = -10 * q;
  p.m[3][3] = 0;
  return gfxutil::MatrixLookAtLH(eye, at, {0, 1, 0}) * p;
}

TEST(CollisionFileNameTest, LastThreeCharactersBecomeDec) {
  EXPECT_EQ(CollisionFileName("data/mdl/stage/home.xenc"), "data/mdl/stage/home.xdec");
  EXPECT_EQ(CollisionFileName("data/mdl/stage/home.x"), "data/mdl/stage/homdec");
  EXPECT_EQ(CollisionFileName("abc"), "dec");
  EXPECT_EQ(CollisionFileName("ab"), "dec");  // nothing left to cut
  EXPECT_EQ(CollisionFileName(""), "dec");
}

TEST(SubsetVisibilityTest, ExactlyAtViewDistancePlusRadiusIsDrawn) {
  const Vector3 eye(0, 0, 0);
  const Matrix vp = ViewProjection(eye, {0, 0, 1});
  EXPECT_EQ(DecideSubsetVisibility(eye, {0, 0, 5000}, 200, kView, vp, kWidth, kHeight), kSubsetDrawn);
  EXPECT_EQ(DecideSubsetVisibility(eye, {0, 0, 5000.5f}, 200, kView, vp, kWidth, kHeight), kSubsetBeyondView);
  EXPECT_EQ(DecideSubsetVisibility(eye, {3000, 0, 4000}, 200, kView, vp, kWidth, kHeight), kSubsetDrawn);
}

TEST(SubsetVisibilityTest, EyeInsideTheSphereAlwaysDraws) {
  const Vector3 eye(0, 0, 0);
  const Matrix vp = ViewProjection(eye, {0, 0, 1});
  // Beside and a little ahead: its center projects far off the left edge.
  const Vector3 center(-300, 0, 10);
  EXPECT_EQ(DecideSubsetVisibility(eye, center, 100, kView, vp, kWidth, kHeight), kSubsetOffScreen);
  EXPECT_EQ(DecideSubsetVisibility(eye, center, 400, kView, vp, kWidth, kHeight), kSubsetDrawn);
  // An eye on the sphere's surface is not outside it.
  EXPECT_EQ(DecideSubsetVisibility(eye, {-300, 0, 0}, 300, kView, vp, kWidth, kHeight), kSubsetDrawn);
  EXPECT_EQ(DecideSubsetVisibility(eye, {-300, 0, 0}, 299.99f, kView, vp, kWidth, kHeight), kSubsetOffScreen);
}

TEST(SubsetVisibilityTest, ScreenMarginGrowsWithTheRadius) {
  const Vector3 eye(0, 0, 0);
  const Matrix vp = ViewProjection(eye, {0, 0, 1});
  // Projected x = (X/W + 1) * 320 with X/W = 1.81066 x / z: x = 500 at z = 100 gives about 3217,
  // beyond 640 + 8 r + 1280 for r = 100 (2720), within it for r = 200 (3520).
  EXPECT_EQ(DecideSubsetVisibility(eye, {500, 0, 100}, 100, kView, vp, kWidth, kHeight), kSubsetOffScreen);
  EXPECT_EQ(DecideSubsetVisibility(eye, {500, 0, 100}, 200, kView, vp, kWidth, kHeight), kSubsetDrawn);
  EXPECT_EQ(DecideSubsetVisibility(eye, {-500, 0, 100}, 100, kView, vp, kWidth, kHeight), kSubsetOffScreen);
  EXPECT_EQ(DecideSubsetVisibility(eye, {-500, 0, 100}, 200, kView, vp, kWidth, kHeight), kSubsetDrawn);
  // Vertically: y = 240 - 240 Y/W against -(8 r + 1280).
  EXPECT_EQ(DecideSubsetVisibility(eye, {0, 500, 100}, 10, kView, vp, kWidth, kHeight), kSubsetOffScreen);
  EXPECT_EQ(DecideSubsetVisibility(eye, {0, 200, 100}, 10, kView, vp, kWidth, kHeight), kSubsetDrawn);
  // The margin is in pixels, so on a wider screen the same direction lies further out.
  EXPECT_EQ(DecideSubsetVisibility(eye, {250, 0, 100}, 10, kView, vp, kWidth, kHeight), kSubsetDrawn);
  EXPECT_EQ(DecideSubsetVisibility(eye, {250, 0, 100}, 10, kView, vp, 2560, 1440), kSubsetOffScreen);
}

TEST(SubsetVisibilityTest, EmptySubsetIsCulledOnlyByItsCenterAtTheOrigin) {
  const Matrix lookingAt = ViewProjection({0, 0, -100}, {0, 0, 0});
  EXPECT_EQ(DecideSubsetVisibility({0, 0, -100}, {0, 0, 0}, 0, kView, lookingAt, kWidth, kHeight),
            kSubsetDrawn);
  const Matrix lookingAside = ViewProjection({0, 0, -100}, {-1, 0, -100});
  EXPECT_EQ(DecideSubsetVisibility({0, 0, -100}, {0, 0, 0}, 0, kView, lookingAside, kWidth, kHeight),
            kSubsetOffScreen);
  EXPECT_EQ(DecideSubsetVisibility({0, 0, -5000}, {0, 0, 0}, 0, kView, lookingAt, kWidth, kHeight),
            kSubsetBeyondView);
}

TEST(BspUnitTest, KeepsCountsAndBoundsPerSubset) {
  CollisionMeshData m;
  m.positions = {{0, 0, 0}, {0, 0, 10}, {10, 0, 0}, {100, 50, 100}, {100, 60, 100}, {110, 50, 100}};
  m.indices = {0, 1, 2, 3, 4, 5, 0, 2, 1};
  m.subsets = {{0, 1}, {1, 2}, {3, 0}};
  CBspUnit unit(m);
  ASSERT_EQ(unit.SubsetCount(), 3);
  EXPECT_EQ(unit.Subset(0).triangleCount, 1);
  EXPECT_EQ(unit.Subset(0).indexCount, 3);
  EXPECT_EQ(unit.Subset(0).center, Vector4(5, 0, 5, 0));
  EXPECT_FLOAT_EQ(unit.Subset(0).radius, std::sqrt(50.0f));
  EXPECT_EQ(unit.Subset(1).triangleCount, 2);
  EXPECT_EQ(unit.Subset(1).indexCount, 6);
  EXPECT_EQ(unit.Subset(1).center, Vector4(55, 30, 50, 0));
  EXPECT_EQ(unit.Subset(2).triangleCount, 0);
  EXPECT_EQ(unit.Subset(2).center, Vector4(0, 0, 0, 0));
  EXPECT_EQ(unit.Subset(2).radius, 0.0f);
}

TEST(BspUnitTest, MeshWithBadIndicesHasNoSubsets) {
  CollisionMeshData m;
  m.positions = {{0, 0, 0}, {0, 0, 10}};
  m.indices = {0, 1, 2};
  m.subsets = {{0, 1}};
  CBspUnit unit(m);
  EXPECT_EQ(unit.SubsetCount(), 0);
}

}  // namespace
