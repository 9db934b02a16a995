// The camera manager, the fixed camera and the player camera.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cmath>

#include "core/input.h"
#include "support/collision_fixtures.h"
#include "support/expect_matrix.h"
#include "support/fake_input.h"
#include "support/recording_graphics.h"
#include "unit/camera_manager.h"
#include "unit/camera_normal.h"
#include "unit/camera_player.h"
#include "unit/world_context.h"
#include "world/collision_world.h"
#include "world/view_distance.h"

using gfxutil::Matrix;
using gfxutil::Vector3;
using gfxutil::Vector4;
using testdev::ExpectNear;

namespace {

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(graphics.ok());
    world.config = &graphics.config();
    world.carried = &carried;
  }
  testdev::CRecordingDevice& device() { return graphics.device(); }

  testdev::CRecordingGraphics graphics{"camera"};
  CarriedOver carried;
  WorldContext world;
};

// A world that has only the configuration of `graphics`.
WorldContext DisplayOf(const testdev::CRecordingGraphics& graphics) {
  WorldContext world;
  world.config = &graphics.config();
  return world;
}

// A player body standing still on flat ground: collision reports an upward landing normal.
UnitBody StillTarget(float x, float y, float z) {
  UnitBody t;
  t.position = Vector4(x, y, z, 0);
  t.landingNormal = Vector4(0, 1, 0, 0);
  return t;
}

}  // namespace

TEST(CameraProjection, EntriesAreTheFixedFortyFiveDegreeFourByThreePerspective) {
  const Matrix p = CCameraManager::BuildProjection();
  const float theta = 0.3926991f;
  const float cot = std::cos(theta) / std::sin(theta);
  EXPECT_NEAR(cot, 2.4142137f, 1e-6f);
  EXPECT_FLOAT_EQ(p.m[0][0], cot / 1.3333334f);
  EXPECT_FLOAT_EQ(p.m[1][1], cot);
  EXPECT_FLOAT_EQ(p.m[2][2], 4800.0f / 4790.0f);
  EXPECT_EQ(p.m[2][3], 1.0f);
  EXPECT_FLOAT_EQ(p.m[3][2], -10.0f * 4800.0f / 4790.0f);
  int zeros = 0;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) zeros += p.m[r][c] == 0.0f;
  EXPECT_EQ(zeros, 11);
  // The near plane maps to depth 0 and the far plane (the view distance) to 1.
  const Vector4 nearPoint = gfxutil::Vec3Transform(Vector3(0, 0, 10), p);
  const Vector4 farPoint = gfxutil::Vec3Transform(Vector3(0, 0, g_viewDistance), p);
  EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-6f);
  EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-6f);
}

TEST_F(CameraTest, ManagerSetsTheProjectionOnTheDevice) {
  CCameraManager m(world);
  ExpectNear(device().GetTransform(gfx::D3DTS_PROJECTION), CCameraManager::BuildProjection(), 0);
  EXPECT_EQ(m.Current(), nullptr);
  EXPECT_EQ(m.GetEyePosition(), Vector4());
  m.Update();  // no current camera: nothing happens
  m.Collide();
}

TEST(CameraDisplay, ProjectionKeepsFourByThreeOnAWideDisplay) {
  testdev::CRecordingGraphics wide{"camera_wide", 1280, 720};
  ASSERT_TRUE(wide.ok());
  const WorldContext display = DisplayOf(wide);
  CCameraManager m(display);
  EXPECT_FLOAT_EQ(m.Projection().m[1][1] / m.Projection().m[0][0], 1.3333334f);
  // A point projects across the configured size: the right frustum edge lands on x = 1280.
  auto cam = boost::make_shared<CCamera_Normal>();
  cam->Body().position = Vector4(0, 0, 0, 0);
  m.Add(0, cam);
  m.SetCurrent(0);
  m.Update();
  const float z = 100.0f;
  const Vector4 s = m.ProjectPoint(z / m.Projection().m[0][0], 0, z);
  EXPECT_NEAR(s.x, 1280.0f, 1e-3f);
  EXPECT_NEAR(s.y, 360.0f, 1e-3f);
}

TEST_F(CameraTest, CamerasByNumberAndTheCurrentOne) {
  CCameraManager m(world);
  auto a = boost::make_shared<CCamera_Normal>();
  auto b = boost::make_shared<CCamera_Normal>();
  a->Body().position = Vector4(1, 2, 3, 4);
  b->Body().position = Vector4(5, 6, 7, 8);
  m.Add(0, a);
  m.Add(2, b);
  m.SetCurrent(2);
  EXPECT_EQ(m.Current(), b.get());
  EXPECT_EQ(m.GetEyePosition(), Vector4(5, 6, 7, 8));
  m.SetCurrent(0);
  EXPECT_EQ(m.GetEyePosition(), Vector4(1, 2, 3, 4));
  m.SetCurrent(7);
  EXPECT_EQ(m.Current(), nullptr);
}

TEST_F(CameraTest, UpdateReappliesTheKeptViewThenUpdatesTheCurrentCamera) {
  CCameraManager m(world);
  auto cam = boost::make_shared<CCamera_Normal>();
  m.Add(0, cam);
  m.SetCurrent(0);
  m.Update();
  ExpectNear(device().GetTransform(gfx::D3DTS_VIEW), gfxutil::MatrixTranslation(0, 240, 32), 0);
  ExpectNear(cam->View(), gfxutil::MatrixTranslation(0, 240, 32), 0);
}

TEST_F(CameraTest, CopyPoseCopiesAnglesEyeAndLookAtOnly) {
  CCameraManager m(world);
  auto cam = boost::make_shared<CCamera_Normal>();
  cam->Body().rotation = Vector4(0.1f, 0.2f, 0.3f, 0.4f);
  m.Add(0, cam);
  m.SetCurrent(0);
  m.Update();
  UnitBody out;
  out.velocityX = 9.0f;
  m.CopyPose(out);
  EXPECT_EQ(out.rotation, Vector4(0.1f, 0.2f, 0.3f, 0.4f));
  EXPECT_EQ(out.position, Vector4(0, -240, -32, 0));
  ExpectNear(out.auxMatrix1, cam->Body().auxMatrix1, 0);
  EXPECT_EQ(out.velocityX, 9.0f);
  ExpectNear(out.auxMatrix0, Matrix(), 0);
}

TEST(CameraDisplay, ProjectUsesTheTranslationAndTheIntegerHalvesOfTheDisplay) {
  testdev::CRecordingGraphics odd{"camera_odd", 641, 481};
  ASSERT_TRUE(odd.ok());
  const WorldContext display = DisplayOf(odd);
  CCameraManager m(display);
  auto cam = boost::make_shared<CCamera_Normal>();
  cam->Body().position = Vector4(0, 0, 0, 0);
  m.Add(0, cam);
  m.SetCurrent(0);
  m.Update();
  Matrix world = gfxutil::MatrixRotationY(1.0f) * gfxutil::MatrixTranslation(0, 0, 50);
  const Vector4 s = m.Project(world);
  EXPECT_FLOAT_EQ(s.x, 320.0f);  // 641 / 2 in integers
  EXPECT_FLOAT_EQ(s.y, 240.0f);
  EXPECT_EQ(s.z, 0.0f);
  EXPECT_FLOAT_EQ(s.w, 50.0f);
}

TEST_F(CameraTest, NormalCameraBuildsItsViewFromItsOwnAngleOrder) {
  CCamera_Normal cam;
  EXPECT_EQ(cam.Body().position, Vector4(0, -240, -32, 0));
  EXPECT_EQ(cam.Body().rotation, Vector4());
  cam.Body().rotation = Vector4(0.5f, -0.25f, 1.5f, 0);
  cam.Body().position = Vector4(10, 20, 30, 0);
  cam.Update();
  const Matrix rotation =
      gfxutil::MatrixRotationZ(0.25f) * gfxutil::MatrixRotationX(-1.5f) * gfxutil::MatrixRotationY(-0.5f);
  ExpectNear(cam.Body().auxMatrix1, rotation);
  ExpectNear(cam.View(), gfxutil::MatrixTranslation(-10, -20, -30) * rotation);
  ExpectNear(device().GetTransform(gfx::D3DTS_VIEW), cam.View(), 0);
}

TEST_F(CameraTest, LookAtRotationHasAFourthRowOfOnes) {
  const Vector3 eye(0, 100, -280), at(0, 32, 0);
  const Matrix r = CCamera_Player::LookAtRotation(eye, at, Vector3(0, 1, 0));
  EXPECT_EQ(r.m[3][0], 1.0f);
  EXPECT_EQ(r.m[3][1], 1.0f);
  EXPECT_EQ(r.m[3][2], 1.0f);
  EXPECT_EQ(r.m[3][3], 1.0f);
  // The rotation part matches the usual left-handed look-at.
  const Matrix usual = gfxutil::MatrixLookAtLH(eye, at, Vector3(0, 1, 0));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(r.m[i][j], usual.m[i][j], 1e-5f);
  // So the view is the usual one shifted by one unit along each view axis.
  const Matrix view = gfxutil::MatrixTranslation(-eye.x, -eye.y, -eye.z) * r;
  EXPECT_NEAR(view.m[3][0], usual.m[3][0] + 1.0f, 1e-3f);
  EXPECT_NEAR(view.m[3][1], usual.m[3][1] + 1.0f, 1e-3f);
  EXPECT_NEAR(view.m[3][2], usual.m[3][2] + 1.0f, 1e-3f);
  EXPECT_EQ(view.m[3][3], 1.0f);
}

TEST_F(CameraTest, LookAtStraightDownKeepsItsZeroAxesUnnormalised) {
  const Matrix r = CCamera_Player::LookAtRotation(Vector3(0, 10, 0), Vector3(0, 0, 0), Vector3(0, 1, 0));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_FALSE(std::isnan(r.m[i][j]));
  EXPECT_FLOAT_EQ(r.m[1][2], -1.0f);  // z axis straight down
}

TEST_F(CameraTest, PlayerCameraStartsAboveAndBehindItsTarget) {
  UnitBody t = StillTarget(100, 50, 200);
  t.rotation = Vector4(0.3f, 1.25f, 0.7f, 0);
  t.position.w = 1.0f;
  CCamera_Player cam(world, &t);
  EXPECT_EQ(cam.Body().position, Vector4(100, 210, 180, 1));
  EXPECT_EQ(cam.Body().rotation, Vector4(0, 1.25f, 0, 0));
}

TEST_F(CameraTest, PlayerCameraSettlesTwoEightyAwayAndOneHundredOneAbove) {
  UnitBody t = StillTarget(500, -40, 300);
  t.rotation.y = 0.8f;
  CCamera_Player cam(world, &t);
  for (int i = 0; i < 400; ++i) cam.Update();
  const Vector4 eye = cam.Body().position;
  EXPECT_EQ(carried.cameraHeightLag, 1.0f);
  EXPECT_NEAR(std::hypot(eye.x - 500, eye.z - 300), 280.0f, 1e-2f);
  EXPECT_NEAR(eye.y - (-40), 101.0f, 1e-2f);
  EXPECT_NEAR(std::atan2(eye.x - 500, eye.z - 300), 0.8f, 1e-4f);
  EXPECT_EQ(eye.w, 0.0f);
  // Looking at the point 32 above the target: it projects to the view's centre line, shifted
  // only by the constant one-unit offset of the view.
  const Vector4 v = gfxutil::Vec3Transform(Vector3(500, -40 + 32, 300), cam.View());
  EXPECT_NEAR(v.x, 1.0f, 1e-2f);
  EXPECT_NEAR(v.y, 1.0f, 1e-2f);
  EXPECT_NEAR(v.z, 1.0f + std::hypot(280.0f, 69.0f), 1e-2f);
  ExpectNear(device().GetTransform(gfx::D3DTS_VIEW), cam.View(), 0);
  // Settled: the velocity has died out.
  EXPECT_NEAR(cam.Body().velocityX, 0.0f, 1e-3f);
}

TEST_F(CameraTest, PlayerCameraEasesATenthOfTheWayMinusTheTargetsVelocity) {
  UnitBody t = StillTarget(0, 0, 0);
  t.landingNormal = Vector4();
  t.velocityX = 10.0f;
  CCamera_Player cam(world, &t);  // eye (0, 160, -20), angle 0: ideal (0, 100, 280)
  cam.Update();
  const Vector4 eye = cam.Body().position;
  EXPECT_FLOAT_EQ(eye.x, 0.0f - 0.005f * 0.1f * 10.0f);
  EXPECT_FLOAT_EQ(eye.y, 160.0f + 0.1f * (100.0f - 160.0f));
  EXPECT_FLOAT_EQ(eye.z, -20.0f + 0.1f * (280.0f + 20.0f));
  EXPECT_FLOAT_EQ(cam.Body().velocityY, 0.1f * (100.0f - 160.0f));
  EXPECT_FLOAT_EQ(cam.Body().velocityZ, 30.0f);
}

TEST_F(CameraTest, HeightLagMovesInHalfStepsAndRestsWithinPointThree) {
  UnitBody t = StillTarget(0, 0, 0);
  CCamera_Player cam(world, &t);
  t.landingNormal.y = 1.0f;
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 0.5f);
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 1.0f);
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 1.0f);
  t.landingNormal.y = 0.75f;  // within 0.3: stays
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 1.0f);
  t.landingNormal.y = 0.6f;  // 0.4 away: one step down, overshooting to 0.5
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 0.5f);
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 0.5f);
  t.landingNormal.y = 0.0f;  // airborne
  cam.Update();
  cam.Update();
  EXPECT_EQ(carried.cameraHeightLag, 0.0f);
}

TEST_F(CameraTest, HeightLagIsSharedByEveryPlayerCamera) {
  UnitBody t = StillTarget(0, 0, 0);
  CCamera_Player first(world, &t), second(world, &t);
  first.Update();
  second.Update();
  EXPECT_EQ(carried.cameraHeightLag, 1.0f);
}

TEST_F(CameraTest, ButtonTenFor157FramesTurnsTheOrbitAboutOnceTheOtherWayFromButtonThirteen) {
  CFakeInput keys;
  const CKeyBindings bindings;
  CInput input(bindings);
  world.input = &input;
  UnitBody t = StillTarget(0, 0, 0);
  CCamera_Player minus(world, &t), plus(world, &t);

  keys.Press(CKeyBindings::kKeyCodes[10]);
  input.Update();
  ASSERT_TRUE(input.Pressed(10));
  for (int i = 0; i < 157; ++i) minus.Update();
  keys.Release(CKeyBindings::kKeyCodes[10]);
  keys.Press(CKeyBindings::kKeyCodes[13]);
  input.Update();
  for (int i = 0; i < 157; ++i) plus.Update();

  EXPECT_NEAR(minus.Body().rotation.y, -6.28f, 1e-3f);
  EXPECT_NEAR(plus.Body().rotation.y, 6.28f, 1e-3f);
  // About a full turn: nearly back where it started.
  EXPECT_NEAR(std::sin(minus.Body().rotation.y), 0.0f, 5e-3f);
}

TEST_F(CameraTest, SlowButtonsTurnAndTheNewAngleShowsFromTheNextFrame) {
  CFakeInput keys;
  const CKeyBindings bindings;
  CInput input(bindings);
  world.input = &input;
  UnitBody t = StillTarget(0, 0, 0);
  CCamera_Player cam(world, &t);
  cam.Body().position = Vector4(0, 101, 280, 0);  // already on its spot for angle 0
  keys.Press(CKeyBindings::kKeyCodes[0]);
  input.Update();
  cam.Update();
  EXPECT_FLOAT_EQ(cam.Body().rotation.y, 0.015f);
  EXPECT_NEAR(cam.Body().position.x, 0.0f, 1e-6f);  // this frame still aims at angle 0
  keys.Press(CKeyBindings::kKeyCodes[1]);           // both slow buttons cancel out
  input.Update();
  cam.Update();
  EXPECT_FLOAT_EQ(cam.Body().rotation.y, 0.015f);
  EXPECT_GT(cam.Body().position.x, 0.0f);
}

TEST_F(CameraTest, CollideResolvesTheCurrentCameraInTheWorldsCollisionWorldInCameraMode) {
  CCollisionWorld collision;
  CollisionGroupData g;
  testworld::AddWallZ(g, -200, 200, -200, 200, 30);
  testworld::AddFloor(g, -200, 200, -200, 200, -300);
  UnitBody owner;
  collision.Add(boost::make_shared<CCollisionUnit>(&owner, testworld::MakeModel({g})));
  world.collisionWorld = &collision;

  CCameraManager m(world);
  auto current = boost::make_shared<CCamera_Normal>();
  auto other = boost::make_shared<CCamera_Normal>();
  for (auto* cam : {current.get(), other.get()}) {
    cam->Body().previousPosition = Vector4(0, 0, -100, 0);
    cam->Body().position = Vector4(0, 0, 10, 0);  // moved to within 48 of the wall
  }
  m.Add(0, current);
  m.Add(1, other);
  m.SetCurrent(0);
  m.Collide();
  EXPECT_LT(current->Body().position.z, 10.0f);
  EXPECT_EQ(current->Body().previousPosition, current->Body().position);
  EXPECT_EQ(other->Body().position, Vector4(0, 0, 10, 0));

  // The same body through the query directly gives the same answer.
  UnitBody direct;
  direct.previousPosition = Vector4(0, 0, -100, 0);
  direct.position = Vector4(0, 0, 10, 0);
  collision.Collide(direct, CCollisionWorld::kCameraMode);
  EXPECT_EQ(direct.position, current->Body().position);
}
