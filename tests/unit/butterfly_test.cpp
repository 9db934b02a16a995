// The butterfly: its sway and heading through the sine table, the random bursts and their timer,
// the vertical plane it keeps to, and its draw posed by its motion.
#include "unit/butterfly.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "resource/math_helpers.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "support/model_files.h"
#include "unit/motion.h"
#include "unit/world_context.h"

using gfxutil::Vector4;

namespace {

// A world with nothing in it: no model cache, so no model.
const WorldContext kNoWorld;

float T(uint32_t index) { return SineTable()[index % 65536u]; }

class ButterflyTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildSineTable(); }
};

TEST_F(ButterflyTest, FirstUpdateTakesTheTimerBranchAndKeepsZ) {
  std::srand(7);
  const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
  std::srand(7);
  CButterfly b(kNoWorld, Vector4(10, 20, 30, 1));
  b.Update();

  // Heading 0 and phase 0: the table at the quarter turn and just short of it.
  const float cp = T(16384);
  const float swayX = T(16380) * cp, swayY = T(32764) * cp;
  const float burst = 0.002f + static_cast<float>(100 + r1 % 101) * 0.001f;
  EXPECT_EQ(b.Limit(), static_cast<float>(128 + r2 % 385));
  EXPECT_NEAR(b.Speed(), burst * 0.98f, 1e-6f);
  EXPECT_NEAR(b.GetPosition().x, 10.0f + swayX * 0.2f + burst * T(0), 1e-5f);
  EXPECT_NEAR(b.GetPosition().y, 20.0f + swayY * 0.2f + burst * T(16384), 1e-5f);
  EXPECT_EQ(b.GetPosition().z, 30.0f);
  EXPECT_NEAR(b.GetRotation().y, burst * 0.04f, 1e-7f);
  EXPECT_EQ(std::rand(), r3);  // two draws, no more
}

TEST_F(ButterflyTest, SecondUpdateDrawsNoRandomNumberAndFollowsItsHeading) {
  std::srand(11);
  const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
  (void)r1, (void)r2;
  std::srand(11);
  CButterfly b(kNoWorld, Vector4(0, 0, -5, 1));
  b.Update();
  const Vector4 p = b.GetPosition();
  const float yaw = b.GetRotation().y, speed = b.Speed();
  b.Update();
  EXPECT_EQ(std::rand(), r3);

  const uint32_t i = SineIndexOfDegrees(yaw * 57.29f);
  const float cp = T(1 * 182 + 16384);  // phase 1
  const float s = speed + 0.002f;
  EXPECT_NEAR(b.Speed(), s * 0.98f, 1e-6f);
  EXPECT_NEAR(b.GetPosition().x, p.x + T(i + 16380) * cp * 0.2f + s * T(i), 1e-5f);
  EXPECT_NEAR(b.GetPosition().y, p.y + T(i + 32764) * cp * 0.2f + s * T(i + 16384), 1e-5f);
  EXPECT_EQ(b.GetPosition().z, -5.0f);
  EXPECT_NEAR(b.GetRotation().y, yaw + s * 0.04f, 1e-6f);
}

TEST_F(ButterflyTest, SwayReadsTheTableJustShortOfTheQuarterAndHalfTurns) {
  // Near a right angle the sine changes fastest, so the exact table entries show.
  for (const float yaw : {1.6f, -0.9f, 4.0f}) {
    std::srand(2);
    const int r1 = std::rand();
    std::srand(2);
    CButterfly b(kNoWorld, Vector4(0, 0, 0, 1));
    b.Body().rotation.y = yaw;
    b.Update();
    const uint32_t i = SineIndexOfDegrees(yaw * 57.29f);
    const float cp = T(16384);
    const float burst = 0.002f + static_cast<float>(100 + r1 % 101) * 0.001f;
    EXPECT_NEAR(b.GetPosition().x, T(i + 16380) * cp * 0.2f + burst * T(i), 2e-6f) << yaw;
    EXPECT_NEAR(b.GetPosition().y, T(i + 32764) * cp * 0.2f + burst * T(i + 16384), 2e-6f) << yaw;
  }
}

TEST_F(ButterflyTest, BurstsComeOneUpdateAfterTheTimerPassesItsLimit) {
  std::srand(3);
  CButterfly b(kNoWorld, Vector4(0, 0, 0, 1));
  b.Update();
  int sinceBurst = 0;
  float limit = b.Limit();
  int bursts = 0;
  for (int u = 0; u < 3000; ++u) {
    const float before = b.Speed();
    b.Update();
    ++sinceBurst;
    const bool burst = b.Speed() > (before + 0.002f) * 0.98f + 0.05f;
    if (sinceBurst == static_cast<int>(limit) + 1) {
      ASSERT_TRUE(burst) << "update " << u;
      EXPECT_GE(b.Limit(), 128.0f);
      EXPECT_LE(b.Limit(), 512.0f);
      limit = b.Limit();
      sinceBurst = 0;
      ++bursts;
    } else {
      ASSERT_FALSE(burst) << "update " << u;
      ASSERT_EQ(b.Limit(), limit);
    }
    ASSERT_EQ(b.GetPosition().z, 0.0f);
    ASSERT_EQ(b.GetRotation().x, 0.0f);
    ASSERT_EQ(b.GetRotation().z, 0.0f);
  }
  EXPECT_GE(bursts, 5);
}

TEST_F(ButterflyTest, WingsBeatThroughTheLoopingTenFrameMotion) {
  CButterfly b(kNoWorld, Vector4(0, 0, 0, 1));
  ASSERT_TRUE(b.Body().motion);
  for (int u = 1; u <= 25; ++u) {
    b.Update();
    EXPECT_FLOAT_EQ(b.Body().motion->GetFrame(), static_cast<float>(u % 10)) << u;
  }
}

TEST_F(ButterflyTest, FliesInLoopsNearWhereItStarted) {
  std::srand(5);
  CButterfly b(kNoWorld, Vector4(100, 50, 0, 1));
  float farthest = 0;
  for (int u = 0; u < 5000; ++u) {
    b.Update();
    farthest = std::max(farthest, std::hypot(b.GetPosition().x - 100.0f, b.GetPosition().y - 50.0f));
  }
  // A turn rate proportional to the speed keeps the loops about 25 units across.
  EXPECT_GT(farthest, 10.0f);
  EXPECT_LT(farthest, 400.0f);
}

class ButterflyDrawTest : public modeltest::ModelTest {};

TEST_F(ButterflyDrawTest, DrawsItsModelAtItsPlacePosedAtItsMotionFrame) {
  const char* path = "data/mdl/creature/butterfly/butterfly.mdl";
  std::filesystem::create_directories("data/mdl/creature/butterfly");
  std::vector<std::unique_ptr<xfile::CDataObject>> top;
  top.push_back(x.Triangle("wing", 1, 2, 3));
  ASSERT_TRUE(x.Write(path, top));
  ResourceCache<CModel> models({path});
  const boost::shared_ptr<CModel> model = models.Find(path);
  ASSERT_TRUE(model && model->Hierarchy().Root());
  WorldContext withModels;
  withModels.models = &models;

  CButterfly b(withModels, Vector4(40, 60, -20, 1));
  for (int u = 0; u < 4; ++u) b.Update();
  const size_t before = device().indexedDraws.size();
  b.Draw();
  EXPECT_EQ(device().indexedDraws.size(), before + 1);
  ModelHierarchy& h = model->Hierarchy();
  EXPECT_FLOAT_EQ(h.Root()->time, b.Body().motion->GetFrame() * 160.0f);
  const gfxutil::Matrix world =
      gfxutil::MatrixRotationY(b.GetRotation().y) *
      gfxutil::MatrixTranslation(b.GetPosition().x, b.GetPosition().y, b.GetPosition().z);
  const gfxutil::Matrix want = h.Root()->frame.local * world;
  const gfxutil::Matrix got = model->GetRecordedMatrix(0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], 1e-4f) << r << c;
}

}  // namespace
