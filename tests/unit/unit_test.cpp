// The unit base: operations, the world matrix and the falling-body step.
#include "unit/unit.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/expect_matrix.h"

using gfxutil::Matrix;
using gfxutil::Vector4;
using testdev::ExpectNear;

namespace {

bool BitwiseEqual(const Matrix& a, const Matrix& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(UnitBase, FreshUnitHasTheDocumentedDefaults) {
  CUnit u;
  EXPECT_EQ(u.State(), 0);
  EXPECT_EQ(u.Tick(), 0);
  EXPECT_FALSE(u.IsFinished());
  EXPECT_FALSE(u.IsVisible());
  EXPECT_EQ(u.CameraDistanceSq(), 0.0f);
  const UnitBody& b = u.Body();
  EXPECT_EQ(b.scaleX, 1.0f);
  EXPECT_EQ(b.scaleY, 1.0f);
  EXPECT_EQ(b.scaleZ, 1.0f);
  EXPECT_EQ(b.aux0, 8.0f);
  EXPECT_EQ(b.aux1, 8.0f);
  EXPECT_EQ(b.factor, 1.0f);
  EXPECT_TRUE(BitwiseEqual(b.world, Matrix()));
  EXPECT_FALSE(b.motion);
}

TEST(UnitBase, OperationsStoreAndReturn) {
  CUnit u;
  u.SetPosition(1, 2, 3, 4);
  EXPECT_EQ(u.GetPosition(), Vector4(1, 2, 3, 4));
  u.Body().rotation = Vector4(0.1f, 0.2f, 0.3f, 0.4f);
  EXPECT_EQ(u.GetRotation(), Vector4(0.1f, 0.2f, 0.3f, 0.4f));
  u.Push(1, -2, 3);
  u.Push(1, 0, 0);
  EXPECT_EQ(u.Body().velocityX, 2.0f);
  EXPECT_EQ(u.Body().velocityY, -2.0f);
  EXPECT_EQ(u.Body().velocityZ, 3.0f);
  u.SetVisible(true);
  EXPECT_TRUE(u.IsVisible());
  u.SetVisible(false);
  EXPECT_FALSE(u.IsVisible());
  u.Finish();
  EXPECT_TRUE(u.IsFinished());
}

TEST(UnitWorldMatrix, RotatesZThenXThenYThenScalesThenTranslates) {
  CUnit u;
  UnitBody& b = u.Body();
  b.rotation = Vector4(0.3f, -1.1f, 0.7f, 99.0f);  // w takes no part
  b.scaleX = 2.0f, b.scaleY = 3.0f, b.scaleZ = 0.5f;
  b.position = Vector4(10, 20, 30, 1);
  const Matrix want = gfxutil::MatrixRotationZ(0.7f) * gfxutil::MatrixRotationX(0.3f) *
                      gfxutil::MatrixRotationY(-1.1f) * gfxutil::MatrixScaling(2, 3, 0.5f) *
                      gfxutil::MatrixTranslation(10, 20, 30);
  const Matrix& got = u.BuildWorldMatrix();
  ExpectNear(got, want, 1e-5f);
  ExpectNear(b.world, want, 1e-5f);  // kept in the body
  // Another order gives a different matrix, so the comparison above pins the order.
  const Matrix yxz = gfxutil::MatrixRotationY(-1.1f) * gfxutil::MatrixRotationX(0.3f) *
                     gfxutil::MatrixRotationZ(0.7f) * gfxutil::MatrixScaling(2, 3, 0.5f) *
                     gfxutil::MatrixTranslation(10, 20, 30);
  EXPECT_GT(std::fabs(yxz.m[0][1] - got.m[0][1]) + std::fabs(yxz.m[2][0] - got.m[2][0]), 0.1f);
  // The translation is not scaled.
  EXPECT_EQ(got.m[3][0], 10.0f);
  EXPECT_EQ(got.m[3][1], 20.0f);
  EXPECT_EQ(got.m[3][2], 30.0f);
}

TEST(UnitWorldMatrix, ZeroRotationsAndUnitScaleLeaveAPureTranslation) {
  CUnit u;
  u.SetPosition(-5, 6.5f, 7, 1);
  EXPECT_TRUE(BitwiseEqual(u.BuildWorldMatrix(), gfxutil::MatrixTranslation(-5, 6.5f, 7)));
}

TEST(UnitWorldMatrix, OnlyTheNonZeroRotationIsApplied) {
  CUnit u;
  u.Body().rotation.y = 1.25f;
  u.SetPosition(1, 2, 3, 0);
  ExpectNear(u.BuildWorldMatrix(), gfxutil::MatrixRotationY(1.25f) * gfxutil::MatrixTranslation(1, 2, 3), 0);
  u.Body().rotation = Vector4(0, 0, -0.5f, 0);
  u.Body().scaleY = 4.0f;
  ExpectNear(
      u.BuildWorldMatrix(),
      gfxutil::MatrixRotationZ(-0.5f) * gfxutil::MatrixScaling(1, 4, 1) * gfxutil::MatrixTranslation(1, 2, 3),
      0);
}

TEST(UnitPhysics, MovesByTheVelocityBeforeDamping) {
  CUnit u;
  u.SetPosition(0, 100, 0, 0);
  u.Push(10, 0, -4);
  u.PhysicsStep();
  EXPECT_FLOAT_EQ(u.GetPosition().x, 10.0f);
  EXPECT_FLOAT_EQ(u.GetPosition().z, -4.0f);
  // In the air: 0.98 per step.
  EXPECT_FLOAT_EQ(u.Body().velocityX, 9.8f);
  EXPECT_FLOAT_EQ(u.Body().velocityZ, -3.92f);
  // Gravity: 1 + the fall speed, which became 0.06.
  EXPECT_FLOAT_EQ(u.Body().fallSpeed, 0.06f);
  EXPECT_FLOAT_EQ(u.GetPosition().y, 100.0f - 1.06f);
}

TEST(UnitPhysics, StillUnitOnTheGroundDecaysByPointEightFive) {
  CUnit u;
  u.Body().landed = 1;
  u.Push(2, 0, 0);
  float x = 0, v = 2;
  for (int i = 0; i < 20; ++i) {
    u.PhysicsStep();
    x += v;
    v *= 0.85f;
    EXPECT_FLOAT_EQ(u.Body().velocityX, v);
    EXPECT_FLOAT_EQ(u.GetPosition().x, x);
  }
  // The drift converges: 2 / 0.15 in the limit.
  EXPECT_LT(u.GetPosition().x, 2.0f / 0.15f);
  EXPECT_GT(u.GetPosition().x, 12.0f);
}

TEST(UnitPhysics, FallSpeedApproachesSix) {
  CUnit u;
  float previousY = 0;
  for (int i = 0; i < 2000; ++i) {
    previousY = u.GetPosition().y;
    u.PhysicsStep();
  }
  EXPECT_NEAR(u.Body().fallSpeed, 6.0f, 1e-3f);
  EXPECT_LT(u.Body().fallSpeed, 6.0f + 1e-4f);
  EXPECT_NEAR(previousY - u.GetPosition().y, 7.0f, 1e-2f);
}

TEST(UnitPhysics, ClearsTheLandingNormalEveryStep) {
  CUnit u;
  u.Body().landingNormal = Vector4(0, 1, 0, 0);
  u.Body().groundNormal = Vector4(0, 1, 0, 0);
  u.PhysicsStep();
  EXPECT_EQ(u.Body().landingNormal, Vector4(0, 0, 0, 0));
  EXPECT_EQ(u.Body().groundNormal, Vector4(0, 1, 0, 0));  // only the landing normal
}
