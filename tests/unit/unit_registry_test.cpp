// The unit registry: order, passes, removal and the visibility tests.
#include "unit/unit_registry.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>

#include "support/probe_unit.h"
#include "support/recording_graphics.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/world_context.h"
#include "world/view_distance.h"

using gfxutil::Vector4;

namespace {

// A camera at the origin looking down +z: view = identity.
class CFixedCamera : public CCamera {
 public:
  void Update() override { ApplyView(gfxutil::Matrix()); }
};

class UnitRegistryTest : public ::testing::Test {
 protected:
  boost::shared_ptr<CProbeUnit> Add(const std::string& name, const std::string& tag) {
    auto u = boost::make_shared<CProbeUnit>(tag, &journal);
    registry.Insert(name, u);
    return u;
  }
  std::vector<std::string> journal;
  WorldContext world;
  CUnitRegistry registry{world};
};

// With the graphics services on the recording device and a camera at the origin.
class VisibilityTest : public UnitRegistryTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(graphics.ok());
    world.config = &graphics.config();
    world.cameras = &cameras;
    cameras.Add(0, boost::make_shared<CFixedCamera>());
    cameras.SetCurrent(0);
    cameras.Update();
  }
  // The x that projects to `screenX` at depth z.
  float XForScreen(float screenX, float z) const {
    return (screenX / 320.0f - 1.0f) * z / cameras.Projection().m[0][0];
  }
  bool VisibleAt(float x, float y, float z) {
    auto u = Add("U", "u");
    u->SetPosition(x, y, z, 0);
    registry.Update();
    registry.LatePass();
    const bool visible = u->IsVisible();
    u->Finish();
    registry.RemoveFinished();
    return visible;
  }
  testdev::CRecordingGraphics graphics{"unit_registry"};
  CCameraManager cameras{world};
};

}  // namespace

// A load makes the registry before the cameras: it measures against whatever camera manager the
// world has when a pass runs.
TEST_F(VisibilityTest, ThePassesUseTheCameraTheWorldHasWhenTheyRun) {
  world.cameras = nullptr;
  auto u = Add("U", "u");
  u->SetPosition(3, 4, 100, 1);
  registry.Update();
  EXPECT_EQ(u->updates, 1);
  EXPECT_EQ(u->CameraDistanceSq(), 0.0f);
  world.cameras = &cameras;
  registry.Update();
  EXPECT_FLOAT_EQ(u->CameraDistanceSq(), 9 + 16 + 10000);
}

TEST_F(UnitRegistryTest, VisitsByteOrderOfNamesAndKeepsEqualNamesInInsertionOrder) {
  Add("CPlayer", "player");
  Add("CButterfly", "b1");
  Add("CNPC", "bear");
  Add("CButterfly", "b2");
  Add("CButterfly", "b3");
  Add("aLower", "lower");  // lower case sorts after every capital
  EXPECT_EQ(registry.Count(), 6u);
  EXPECT_EQ(registry.Count("CButterfly"), 3u);
  registry.DrawScreen();
  const std::vector<std::string> want = {"b1:screen",   "b2:screen",     "b3:screen",
                                         "bear:screen", "player:screen", "lower:screen"};
  EXPECT_EQ(journal, want);
}

TEST_F(UnitRegistryTest, DrawPassesReachOnlyVisibleUnitsAndTheScreenPassReachesAll) {
  auto a = Add("A", "a");
  auto b = Add("B", "b");
  a->SetVisible(true);
  registry.Draw();
  registry.DrawSecondPass();
  registry.DrawScreen();
  const std::vector<std::string> want = {"a:draw", "a:draw2", "a:screen", "b:screen"};
  EXPECT_EQ(journal, want);
}

TEST_F(UnitRegistryTest, RemovalPassReleasesFinishedUnitsOnly) {
  auto a = Add("A", "a");
  boost::weak_ptr<CProbeUnit> weakB = Add("B", "b");
  Add("C", "c");
  weakB.lock()->Finish();
  registry.RemoveFinished();
  EXPECT_EQ(registry.Count(), 2u);
  EXPECT_TRUE(weakB.expired());
  EXPECT_EQ(journal, std::vector<std::string>{"b:destroy"});
  EXPECT_EQ(registry.Find("B"), nullptr);
  EXPECT_EQ(registry.Find("A"), a);
}

TEST_F(UnitRegistryTest, AnotherOwnerKeepsARemovedUnitAlive) {
  auto a = Add("A", "a");
  a->Finish();
  registry.RemoveFinished();
  EXPECT_EQ(registry.Count(), 0u);
  EXPECT_TRUE(journal.empty());
  a.reset();
  EXPECT_EQ(journal, std::vector<std::string>{"a:destroy"});
}

TEST_F(UnitRegistryTest, UnitFinishingInItsUpdateIsDrawnThatFrameAndRemovedTheNext) {
  auto u = Add("U", "u");
  u->finishInUpdate = true;
  // Frame 1: removal, update, late pass (no camera manager: near and on screen), draws.
  registry.RemoveFinished();
  registry.Update();
  registry.LatePass();
  registry.Draw();
  registry.DrawSecondPass();
  registry.DrawScreen();
  u.reset();
  EXPECT_EQ(registry.Count(), 1u);
  // Frame 2: the removal pass comes first.
  registry.RemoveFinished();
  registry.Update();
  const std::vector<std::string> want = {"u:update", "u:late", "u:draw", "u:draw2", "u:screen", "u:destroy"};
  EXPECT_EQ(journal, want);
}

TEST_F(UnitRegistryTest, DestroyReleasesEveryUnit) {
  Add("A", "a");
  Add("A", "a2");
  registry.Destroy();
  EXPECT_EQ(registry.Count(), 0u);
  EXPECT_EQ(journal.size(), 2u);
}

TEST_F(UnitRegistryTest, UnitsInsertedDuringAPassAreKept) {
  // A unit that spawns another during its update, as emitters do.
  class CSpawner : public CProbeUnit {
   public:
    using CProbeUnit::CProbeUnit;
    void Update() override {
      CProbeUnit::Update();
      if (updates == 1) into->Insert("Z", boost::make_shared<CProbeUnit>("z", journal));
    }
    std::vector<std::string>* journal = nullptr;
    CUnitRegistry* into = nullptr;
  };
  auto s = boost::make_shared<CSpawner>("s", &journal);
  s->journal = &journal;
  s->into = &registry;
  registry.Insert("A", s);
  registry.Update();
  EXPECT_EQ(registry.Count(), 2u);
  // "Z" sorts after "A", so it is reached in the same pass.
  EXPECT_EQ(journal, (std::vector<std::string>{"s:update", "z:update"}));
}

TEST_F(VisibilityTest, UpdatePassRecordsDistanceSquaredAndScreenPosition) {
  auto u = Add("U", "u");
  u->SetPosition(3, 4, 100, 1);
  registry.Update();
  EXPECT_FLOAT_EQ(u->CameraDistanceSq(), 9 + 16 + 10000);
  const Vector4 s = u->ScreenPosition();
  const gfxutil::Matrix& p = cameras.Projection();
  EXPECT_FLOAT_EQ(s.x, (3 * p.m[0][0] / 100 + 1) * 320);
  EXPECT_FLOAT_EQ(s.y, 240 - 240 * (4 * p.m[1][1] / 100));
  EXPECT_EQ(s.z, 0.0f);
  EXPECT_FLOAT_EQ(s.w, 100.0f);
}

TEST_F(VisibilityTest, UnitExactlyAtFourTenthsOfTheViewDistanceStaysVisible) {
  const float reach = 0.4f * g_viewDistance;
  ASSERT_EQ(reach, 1920.0f);
  EXPECT_TRUE(VisibleAt(0, 0, 1920.0f));
  EXPECT_FALSE(VisibleAt(0, 0, 1920.5f));
  EXPECT_TRUE(VisibleAt(0, 0, 100.0f));
}

TEST_F(VisibilityTest, OriginWithinThreeHundredSixtyPixelsOfTheScreenIsVisible) {
  const float z = 500.0f;
  EXPECT_TRUE(VisibleAt(XForScreen(-350.0f, z), 0, z));
  EXPECT_FALSE(VisibleAt(XForScreen(-370.0f, z), 0, z));
  EXPECT_TRUE(VisibleAt(XForScreen(640.0f + 350.0f, z), 0, z));
  EXPECT_FALSE(VisibleAt(XForScreen(640.0f + 370.0f, z), 0, z));
  // Vertically: y = 240 - 240 * (Y / W); 360 below the bottom edge is 600 + 240 below centre.
  const float yPerPixel = z / (240.0f * cameras.Projection().m[1][1]);
  EXPECT_TRUE(VisibleAt(0, -590.0f * yPerPixel, z));
  EXPECT_FALSE(VisibleAt(0, -610.0f * yPerPixel, z));
  EXPECT_TRUE(VisibleAt(0, 590.0f * yPerPixel, z));
  EXPECT_FALSE(VisibleAt(0, 610.0f * yPerPixel, z));
}

TEST_F(VisibilityTest, TheLateUpdateRunsBeforeTheTestAndItsMoveCounts) {
  auto u = Add("U", "u");
  u->SetPosition(0, 0, 100, 0);
  u->moveInLate = true;
  u->lateTo = Vector4(XForScreen(-400.0f, 100.0f), 0, 100.0f, 0);
  registry.Update();
  registry.LatePass();
  EXPECT_FALSE(u->IsVisible());
}

TEST_F(VisibilityTest, FarUnitsAreJudgedByTheDistanceOfTheUpdatePass) {
  auto u = Add("U", "u");
  u->SetPosition(0, 0, 3000, 0);
  registry.Update();
  u->SetPosition(0, 0, 100, 0);  // moved after the distance was taken
  registry.LatePass();
  EXPECT_FALSE(u->IsVisible());
  registry.Update();
  registry.LatePass();
  EXPECT_TRUE(u->IsVisible());
}
