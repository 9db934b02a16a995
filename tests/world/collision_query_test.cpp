#include <gtest/gtest.h>

#include <cmath>

#include "resource/math_helpers.h"
#include "support/collision_fixtures.h"
#include "world/collision_world.h"

namespace {

using namespace testworld;

class CollideTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildSineTable(); }

  // Adds a model owned by a placement at `at`.
  void AddModel(std::vector<CollisionGroupData> groups, const Vector3& at = {}) {
    auto owner = std::make_unique<UnitBody>();
    owner->position = {at.x, at.y, at.z, 1};
    world_.Add(boost::make_shared<CCollisionUnit>(owner.get(), MakeModel(std::move(groups))));
    owners_.push_back(std::move(owner));
  }

  static CollisionGroupData Floor(float y, float half = 100) {
    CollisionGroupData g;
    AddFloor(g, -half, half, -half, half, y);
    return g;
  }

  std::vector<std::unique_ptr<UnitBody>> owners_;
  CCollisionWorld world_;
};

void ExpectSameVector(const Vector4& a, const Vector4& b, const char* what) { EXPECT_EQ(a, b) << what; }

// Every field a query may write, compared exactly.
void ExpectBodiesEqual(const UnitBody& a, const UnitBody& b) {
  ExpectSameVector(a.position, b.position, "position");
  ExpectSameVector(a.previousPosition, b.previousPosition, "previous");
  ExpectSameVector(a.landingNormal, b.landingNormal, "landing normal");
  ExpectSameVector(a.wallNormal, b.wallNormal, "wall normal");
  ExpectSameVector(a.groundPoint, b.groundPoint, "ground point");
  ExpectSameVector(a.groundNormal, b.groundNormal, "ground normal");
  ExpectSameVector(a.movement, b.movement, "movement");
  ExpectSameVector(a.probeStart, b.probeStart, "probe start");
  ExpectSameVector(a.probeEnd, b.probeEnd, "probe end");
  ExpectSameVector(a.rotation, b.rotation, "rotation");
  EXPECT_EQ(a.fallSpeed, b.fallSpeed);
  EXPECT_EQ(a.fallAux, b.fallAux);
  EXPECT_EQ(a.landed, b.landed);
  EXPECT_EQ(a.wall, b.wall);
  EXPECT_EQ(a.third, b.third);
  EXPECT_EQ(a.groundDistance, b.groundDistance);
  EXPECT_EQ(a.velocityX, b.velocityX);
  EXPECT_EQ(a.velocityY, b.velocityY);
  EXPECT_EQ(a.velocityZ, b.velocityZ);
}

TEST(SegmentTriangleTest, CrossingHitsFromEitherSide) {
  const Vector3 v0(0, 0, 0), v1(0, 0, 10), v2(10, 0, 0), n(0, 1, 0);
  Vector3 h;
  ASSERT_TRUE(SegmentHitsTriangle({2, 5, 3}, {2, -5, 3}, v0, v1, v2, n, h));
  EXPECT_EQ(h, Vector3(2, 0, 3));
  ASSERT_TRUE(SegmentHitsTriangle({2, -5, 3}, {2, 15, 3}, v0, v1, v2, n, h));
  EXPECT_EQ(h, Vector3(2, 0, 3));
}

TEST(SegmentTriangleTest, AnEndExactlyOnThePlaneDoesNotHit) {
  const Vector3 v0(0, 0, 0), v1(0, 0, 10), v2(10, 0, 0), n(0, 1, 0);
  Vector3 h(7, 7, 7);
  EXPECT_FALSE(SegmentHitsTriangle({2, 5, 3}, {2, 0, 3}, v0, v1, v2, n, h));
  EXPECT_FALSE(SegmentHitsTriangle({2, 0, 3}, {2, -5, 3}, v0, v1, v2, n, h));
  EXPECT_FALSE(SegmentHitsTriangle({2, 5, 3}, {2, 1, 3}, v0, v1, v2, n, h));  // stops short
  EXPECT_EQ(h, Vector3(7, 7, 7));
}

TEST(SegmentTriangleTest, EdgesAndCornersCountAsInsideOutsideDoesNot) {
  const Vector3 v0(0, 0, 0), v1(0, 0, 10), v2(10, 0, 0), n(0, 1, 0);
  Vector3 h;
  EXPECT_TRUE(SegmentHitsTriangle({0, 1, 5}, {0, -1, 5}, v0, v1, v2, n, h));    // edge v0-v1
  EXPECT_TRUE(SegmentHitsTriangle({5, 1, 5}, {5, -1, 5}, v0, v1, v2, n, h));    // hypotenuse
  EXPECT_TRUE(SegmentHitsTriangle({10, 1, 0}, {10, -1, 0}, v0, v1, v2, n, h));  // corner
  EXPECT_FALSE(SegmentHitsTriangle({5.5f, 1, 5}, {5.5f, -1, 5}, v0, v1, v2, n, h));
  EXPECT_FALSE(SegmentHitsTriangle({-0.5f, 1, 5}, {-0.5f, -1, 5}, v0, v1, v2, n, h));
  EXPECT_FALSE(SegmentHitsTriangle({3, 1, -0.5f}, {3, -1, -0.5f}, v0, v1, v2, n, h));
}

TEST(SegmentTriangleTest, ParallelAndDegenerateNeverHit) {
  Vector3 h;
  EXPECT_FALSE(SegmentHitsTriangle({-5, 0, 1}, {15, 0, 1}, {0, 0, 0}, {0, 0, 10}, {10, 0, 0}, {0, 1, 0}, h));
  EXPECT_FALSE(SegmentHitsTriangle({1, 5, 1}, {1, -5, 1}, {0, 0, 0}, {1, 0, 1}, {2, 0, 2}, {0, 0, 0}, h));
}

TEST_F(CollideTest, BodyFiveUnderAFloorAfterMovingDownTwoIsLifted) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({10, -3, 10}, {10, -5, 10});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position, Vector4(10, 0, 10, 1));
  EXPECT_EQ(b.landed, 1);
  EXPECT_EQ(b.wall, 0);
  EXPECT_EQ(b.third, 0);
  EXPECT_EQ(b.landingNormal, Vector4(0, 1, 0, 0));
  EXPECT_EQ(b.velocityY, 0.0f);
  EXPECT_EQ(b.velocityX, 1.5f);
  EXPECT_EQ(b.fallSpeed, 0.0f);
  EXPECT_EQ(b.fallAux, 0.0f);
  EXPECT_EQ(b.previousPosition, b.position);
  EXPECT_EQ(Xyz(b.movement), Vector3(0, -2, 0));
  // The ground below the lifted body, with the plane distance from where the query began.
  EXPECT_EQ(Xyz(b.groundPoint), Vector3(10, 0, 10));
  EXPECT_EQ(Xyz(b.groundNormal), Vector3(0, 1, 0));
  EXPECT_EQ(b.groundDistance, -5.0f);
  EXPECT_EQ(b.wallNormal, Vector4(-1, -2, -3, -4));  // no wall pass
}

TEST_F(CollideTest, BodyTwentyUnderIsOutsideTheGatherRadius) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({10, -18, 10}, {10, -20, 10});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position, Vector4(10, -20, 10, 1));
  EXPECT_EQ(b.landed, 0);
  EXPECT_EQ(b.fallSpeed, 3.5f);
  EXPECT_EQ(b.velocityY, 2.5f);
  // The ground probe would reach the floor, but it is no candidate: old ground values stay.
  EXPECT_EQ(b.groundPoint, Vector4(21, 22, 23, 24));
  EXPECT_EQ(b.groundDistance, 123.0f);
  EXPECT_EQ(b.previousPosition, b.position);
}

TEST_F(CollideTest, JustInsideTheGatherRadiusIsLifted) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({10, -16, 10}, {10, -18, 10});  // |d| = 18 = 2 + 16
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position.y, 0.0f);
  EXPECT_EQ(b.landed, 1);
}

TEST_F(CollideTest, OneWallProbeHitMovesTheBodyBackRMinusDAlongIt) {
  // Only the probe at 0 degrees (toward +z) meets this narrow wall, 10 units ahead.
  CollisionGroupData wall;
  AddWallZ(wall, -3, 3, -50, 50, 10);
  AddModel({wall});
  UnitBody b = MovingBody({0, 0, -1}, {0, 0, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  const float r = 1 + 16;
  const float along = TableCos(0);  // the probe's length per unit of R
  const float d = 10.0f / along;    // distance along the probe to the hit
  EXPECT_EQ(b.wall, 1);
  EXPECT_NEAR(b.position.z, -(r - d) * along, 1e-4f);
  EXPECT_EQ(b.position.x, 0.0f);
  EXPECT_EQ(b.position.y, 0.0f);  // the wall pass leaves y alone
  EXPECT_EQ(Xyz(b.wallNormal), Vector3(0, 0, 1));
  EXPECT_EQ(b.landed, 0);
  EXPECT_EQ(b.previousPosition, b.position);
}

TEST_F(CollideTest, WallHitAtAnotherDistanceAndRadius) {
  CollisionGroupData wall;
  AddWallZ(wall, -3, 3, -50, 50, 15);
  AddModel({wall});
  UnitBody b = MovingBody({0, 0, -4}, {0, 0, 0});  // R = 4 + 16 = 20, hit 15 ahead
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.wall, 1);
  EXPECT_NEAR(b.position.z, -5.0f, 1e-4f);
}

TEST_F(CollideTest, TwoOpposingWallsAverageThePushes) {
  // Walls 10 ahead and 12 behind: pushes of -7 and +5 average to -1; normals cancel.
  CollisionGroupData walls;
  AddWallZ(walls, -3, 3, -50, 50, 10);
  AddWallZ(walls, -3, 3, -50, 50, -12);
  AddModel({walls});
  UnitBody b = MovingBody({0, 0, -1}, {0, 0, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.wall, 1);
  EXPECT_NEAR(b.position.z, -1.0f, 1e-3f);
  // Both are hit (from either side) and both report their own normal, +z.
  EXPECT_FLOAT_EQ(b.wallNormal.z, 1.0f);
}

TEST_F(CollideTest, VerticalOnlyMovementRunsNoWallProbes) {
  CollisionGroupData wall;
  AddWallZ(wall, -3, 3, -50, 50, 10);
  AddModel({wall});
  UnitBody b = MovingBody({0, 1, 0}, {0, 0, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.wall, 0);
  EXPECT_EQ(b.position, Vector4(0, 0, 0, 1));
  EXPECT_EQ(b.wallNormal, Vector4(-1, -2, -3, -4));
}

TEST_F(CollideTest, HorizontalOnlyMovementRunsTheGroundProbeButNoLanding) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({0, -5, -1}, {0, -5, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position, Vector4(0, -5, 0, 1));  // not lifted
  EXPECT_EQ(b.landed, 0);
  EXPECT_EQ(b.landingNormal, Vector4(0, 0, 0, 0));
  EXPECT_EQ(Xyz(b.groundPoint), Vector3(0, 0, 0));
  EXPECT_EQ(b.groundDistance, -5.0f);
  EXPECT_EQ(b.fallSpeed, 3.5f);
}

TEST_F(CollideTest, GroundBeyondTheProbeKeepsOldValues) {
  AddModel({Floor(-140)});
  UnitBody b = MovingBody({0, 0, -200}, {0, 0, 0});  // R = 216: a candidate, but 140 below
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.groundPoint, Vector4(21, 22, 23, 24));
  EXPECT_EQ(b.groundNormal, Vector4(31, 32, 33, 34));
}

TEST_F(CollideTest, UnmovedBodyIsUntouched) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({0, -5, 0}, {0, -5, 0});
  b.previousPosition.w = 99;  // only x, y and z count
  const UnitBody before = b;
  world_.Collide(b, CCollisionWorld::kBodyMode);
  ExpectBodiesEqual(b, before);
  world_.Collide(b, CCollisionWorld::kCameraMode);
  ExpectBodiesEqual(b, before);
}

TEST_F(CollideTest, EmptyWorldChangesOnlyFlagsLandingNormalAndPrevious) {
  for (int32_t mode : {CCollisionWorld::kBodyMode, CCollisionWorld::kCameraMode}) {
    UnitBody b = MovingBody({0, 0, 0}, {3, 4, 5});
    UnitBody expected = b;
    world_.Collide(b, mode);
    expected.landed = expected.wall = expected.third = 0;
    expected.landingNormal = {0, 0, 0, 0};
    expected.previousPosition = expected.position;
    ExpectBodiesEqual(b, expected);
  }
}

TEST_F(CollideTest, LaterModelSeesZeroMovementAfterAnEarlierOneMovedTheBodyBack) {
  AddModel({Floor(0, 20)});
  // Its floor lies 17 below the lifted body: beyond radius 16, inside 18.
  AddModel({Floor(0, 20)}, {0, -17, 0});
  UnitBody b = MovingBody({0, 0, 0}, {0, -2, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position.y, 0.0f);
  EXPECT_EQ(b.landed, 1);
  EXPECT_EQ(Xyz(b.movement), Vector3(0, 0, 0));  // written by the second model
  // Ground from the first model (gathered at y = -2), untouched by the second.
  EXPECT_EQ(Xyz(b.groundPoint), Vector3(0, 0, 0));
  EXPECT_EQ(b.groundDistance, -2.0f);
}

TEST_F(CollideTest, LaterModelWithinSixteenStillReportsGround) {
  AddModel({Floor(0, 20)});
  AddModel({Floor(0, 20)}, {0, -15, 0});
  UnitBody b = MovingBody({0, 0, 0}, {0, -2, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position.y, 0.0f);  // the second model runs no landing pass
  EXPECT_EQ(Xyz(b.groundPoint), Vector3(0, -15, 0));
  EXPECT_EQ(b.groundDistance, 15.0f);
}

TEST_F(CollideTest, FirstHitInGroupOrderNotTheNearest) {
  AddModel({Floor(20), Floor(10)});
  UnitBody b = MovingBody({0, 18, 0}, {0, -2, 0});  // R = 36: both floors are candidates
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position.y, 20.0f);
}

TEST_F(CollideTest, FirstHitInCandidateOrderWithinAGroup) {
  CollisionGroupData g = Floor(20);
  AddFloor(g, -100, 100, -100, 100, 10);
  AddModel({g});
  UnitBody b = MovingBody({0, 18, 0}, {0, -2, 0});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.position.y, 20.0f);
}

TEST_F(CollideTest, ModelsAreOffsetByTheirOwnersPosition) {
  AddModel({Floor(0, 10)}, {100, 0, 0});
  UnitBody far = MovingBody({0, -3, 0}, {0, -5, 0});
  world_.Collide(far, CCollisionWorld::kBodyMode);
  EXPECT_EQ(far.landed, 0);
  UnitBody near = MovingBody({100, -3, 5}, {100, -5, 5});
  world_.Collide(near, CCollisionWorld::kBodyMode);
  EXPECT_EQ(near.landed, 1);
  EXPECT_EQ(near.position, Vector4(100, 0, 5, 1));
}

TEST_F(CollideTest, GroupsBeyondTwiceTheirRadiusAreSkipped) {
  AddModel({Floor(0, 30)});  // radius about 42.4: reach 84.9
  UnitBody b = MovingBody({0, 0, 0}, {0, 0, 90});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.groundPoint, Vector4(21, 22, 23, 24));
  UnitBody c = MovingBody({0, 0, 0}, {9, 0, 9});
  world_.Collide(c, CCollisionWorld::kBodyMode);
  EXPECT_EQ(Xyz(c.groundPoint), Vector3(9, 0, 9));
}

TEST_F(CollideTest, SegmentTestsCheckGroupsFromTheSegmentStart) {
  // The ground probe starts 32 above the body: from there this small floor's group (reach
  // about 28.3) is out of range although the body stands inside it.
  AddModel({Floor(0, 10)});
  UnitBody b = MovingBody({0, 0, 0}, {1, 0, 1});
  world_.Collide(b, CCollisionWorld::kBodyMode);
  EXPECT_EQ(b.groundPoint, Vector4(21, 22, 23, 24));
}

// Camera mode: probes at 22.5-degree steps cut to whole degrees, x from the cosine.
TEST_F(CollideTest, CameraWallProbesUseTheSixteenTruncatedAngles) {
  const int degrees[16] = {0, 22, 45, 67, 90, 112, 135, 157, 180, 202, 225, 247, 270, 292, 315, 337};
  for (int k = 0; k < 16; ++k) {
    CCollisionWorld world;
    // A tiny wall across this probe's path 30 units out; half a degree off (the untruncated
    // angle) passes it by.
    const uint16_t index = static_cast<uint16_t>(degrees[k] * 182);
    const float c = TableCos(index), s = TableSin(index);
    const Vector3 at(30 * c, 8, 30 * s), side(-s * 0.1f, 0, c * 0.1f);
    CollisionGroupData g;
    g.triangles.push_back(MakeCollisionTriangle(at - side + Vector3(0, -1, 0), at + side + Vector3(0, -1, 0),
                                                at + Vector3(0, 1, 0)));
    // A floor far below widens the group so that its sphere reaches the probes.
    AddFloor(g, -100, 100, -100, 100, -500);
    auto owner = std::make_unique<UnitBody>();
    world.Add(boost::make_shared<CCollisionUnit>(owner.get(), MakeModel({g})));
    UnitBody b = MovingBody({0, 0, 1}, {0, 0, 0});
    world.Collide(b, CCollisionWorld::kCameraMode);
    ASSERT_EQ(b.wall, 1) << degrees[k];
    const float r = 1 + 48;
    EXPECT_NEAR(b.position.x, -(r - 30) * c, 2e-3f) << degrees[k];
    EXPECT_NEAR(b.position.z, -(r - 30) * s, 2e-3f) << degrees[k];

    if (degrees[k] * 10 % 225 != 0) {
      // The exact 22.5k-degree probe would miss this wall.
      const double exact = k * 22.5 * 3.14159265358979 / 180.0;
      Vector3 hit;
      const Vector3 s0(0, 8, 0),
          e0(static_cast<float>(std::cos(exact) * r), 8, static_cast<float>(std::sin(exact) * r));
      const CollisionTriangle& t = g.triangles[0];
      EXPECT_FALSE(SegmentHitsTriangle(s0, e0, Xyz(t.vertex[0]), Xyz(t.vertex[1]), Xyz(t.vertex[2]),
                                       Xyz(t.normal), hit));
    }
  }
}

TEST_F(CollideTest, CameraLandingAveragesTheFloorsItsProbesMeet) {
  // Seven probes lean over x > 10 (floor at 0), seven over x < -10 (floor at 4), two hit nothing.
  CollisionGroupData right, left;
  AddFloor(right, 10, 200, -200, 200, 0);
  AddFloor(left, -200, -10, -200, 200, 4);
  AddModel({right, left});
  UnitBody b = MovingBody({0, -1, 0}, {0, -2, 0});
  world_.Collide(b, CCollisionWorld::kCameraMode);
  EXPECT_EQ(b.landed, 1);
  EXPECT_FLOAT_EQ(b.position.y, 2.0f);
  EXPECT_EQ(b.landingNormal, Vector4(0, 1, 0, 0));
  EXPECT_EQ(b.velocityY, 0.0f);
  EXPECT_EQ(b.fallSpeed, 0.0f);
  EXPECT_EQ(b.fallAux, 0.0f);
  EXPECT_EQ(b.wall, 0);
  // No ground probe in camera mode.
  EXPECT_EQ(b.groundPoint, Vector4(21, 22, 23, 24));
  EXPECT_EQ(b.groundDistance, 123.0f);
}

TEST_F(CollideTest, CameraLandingWithoutHitsLeavesTheBodyFalling) {
  AddModel({Floor(0)});
  UnitBody b = MovingBody({0, -60, 0}, {0, -58, 0});  // 58 below: beyond R = 50
  world_.Collide(b, CCollisionWorld::kCameraMode);
  EXPECT_EQ(b.landed, 0);
  EXPECT_EQ(b.position.y, -58.0f);
  EXPECT_EQ(b.velocityY, 2.5f);
  EXPECT_EQ(b.fallSpeed, 3.5f);
}

TEST_F(CollideTest, CameraProbesWiderThanABody) {
  // 30 units ahead: outside a body's reach after moving 1, inside a camera's.
  CollisionGroupData wall;
  AddWallZ(wall, -3, 3, -50, 50, 30);
  AddModel({wall});
  UnitBody body = MovingBody({0, 0, -1}, {0, 0, 0});
  world_.Collide(body, CCollisionWorld::kBodyMode);
  EXPECT_EQ(body.wall, 0);
  UnitBody camera = MovingBody({0, 0, -1}, {0, 0, 0});
  world_.Collide(camera, CCollisionWorld::kCameraMode);
  EXPECT_EQ(camera.wall, 1);
  EXPECT_NEAR(camera.position.z, -19.0f, 1e-3f);
}

}  // namespace
