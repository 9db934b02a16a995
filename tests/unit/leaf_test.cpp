// Leaves kicked up by footsteps: the kick, the tumble, settling and finishing.
#include "unit/leaf.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <cmath>
#include <cstdlib>
#include <list>
#include <string>

#include "resource/model.h"
#include "resource/resource_cache.h"
#include "support/scratch_dir.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"

using gfxutil::Vector4;

namespace {

// A world with nothing in it: no model cache, so no model.
const WorldContext kNoWorld;

// Updates until the leaf settles; the number of updates taken, or -1.
int UpdateUntilLanded(CLeaf& leaf, int limit = 1000) {
  for (int i = 1; i <= limit; ++i) {
    leaf.Update();
    if (leaf.Landed()) return i;
  }
  return -1;
}

}  // namespace

TEST(Leaf, KickedByAStillPlayerRisesStraightAtPointEight) {
  std::srand(5);
  CLeaf leaf(kNoWorld, Vector4(10, 20, 30, 1), Vector4(0, 0, 0, 0), 0);
  EXPECT_EQ(leaf.Body().velocityX, 0.0f);
  EXPECT_EQ(leaf.Body().velocityY, 0.8f);
  EXPECT_EQ(leaf.Body().velocityZ, 0.0f);
  EXPECT_EQ(leaf.Body().fallSpeed, 0.0f);
  EXPECT_EQ(leaf.GroundHeight(), 20.0f);
  EXPECT_EQ(leaf.GetPosition(), Vector4(10, 20, 30, 1));
  EXPECT_FALSE(leaf.Landed());

  float y = 20.0f;
  for (int i = 0; i < 50; ++i) {
    leaf.Update();
    EXPECT_EQ(leaf.GetPosition().x, 10.0f);
    EXPECT_EQ(leaf.GetPosition().z, 30.0f);
    EXPECT_GT(leaf.GetPosition().y, y) << "update " << i;
    y = leaf.GetPosition().y;
  }
}

TEST(Leaf, FirstUpdatesTumbleFallAndDampAsLaidDown) {
  CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(0, 0, 0, 0), 0);
  leaf.Update();
  // Tumble from the velocity before it is damped; the fall speed was still 0.
  EXPECT_FLOAT_EQ(leaf.GetRotation().y, 0.08f);
  EXPECT_EQ(leaf.GetRotation().x, 0.0f);
  EXPECT_EQ(leaf.GetRotation().z, 0.0f);
  EXPECT_FLOAT_EQ(leaf.Body().fallSpeed, 0.004f);
  EXPECT_FLOAT_EQ(leaf.Body().velocityY, 0.792f);
  EXPECT_FLOAT_EQ(leaf.GetPosition().y, 0.788f);
  leaf.Update();
  // Both the velocity (0.792) and the fall speed (0.004) spin it about y.
  EXPECT_FLOAT_EQ(leaf.GetRotation().y, 0.08f + 0.0792f + 0.0004f);
  EXPECT_FLOAT_EQ(leaf.Body().fallSpeed, 0.008f);
}

TEST(Leaf, SideKickTumblesAboutEveryAxisByATenthOfItsVelocity) {
  std::srand(11);
  CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(30, 10, -20, 0), 1);
  for (int i = 0; i < 5; ++i) {
    const UnitBody b = leaf.Body();
    leaf.Update();
    EXPECT_FLOAT_EQ(leaf.GetRotation().x, b.rotation.x + b.velocityX * 0.1f);
    EXPECT_FLOAT_EQ(leaf.GetRotation().y, b.rotation.y + b.velocityY * 0.1f + b.fallSpeed * 0.1f);
    EXPECT_FLOAT_EQ(leaf.GetRotation().z, b.rotation.z + b.velocityZ * 0.1f);
    EXPECT_FLOAT_EQ(leaf.GetPosition().x, b.position.x + b.velocityX * 0.99f);
    EXPECT_FLOAT_EQ(leaf.GetPosition().z, b.position.z + b.velocityZ * 0.99f);
  }
}

TEST(Leaf, SpreadIsDrawnForZThenYThenXWithinTheKicksReach) {
  // Kick (10, -5, 20) scaled by 0.2 is (2, -1, 4), of length sqrt(21): reach R = 4582.
  const int r = 4582;
  std::srand(99);
  const int dz = std::rand() % (2 * r + 1) - r;
  const int dy = std::rand() % (r + 1);
  const int dx = std::rand() % (2 * r + 1) - r;
  std::srand(99);
  CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(10, -5, 20, 0), 3);
  EXPECT_FLOAT_EQ(leaf.Body().velocityZ, -0.2f * 4.0f + dz * 0.001f);
  EXPECT_FLOAT_EQ(leaf.Body().velocityY, -0.2f * -1.0f + 0.8f + dy * 0.001f);
  EXPECT_FLOAT_EQ(leaf.Body().velocityX, -0.2f * 2.0f + dx * 0.001f);
}

TEST(Leaf, KickedAgainstTheWalkItFliesBackwardOnAverage) {
  std::srand(3);
  float sumX = 0.0f;
  const int n = 400;
  for (int i = 0; i < n; ++i) {
    CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(3, 0, 0, 0), i % 6);
    sumX += leaf.Body().velocityX;
    EXPECT_LE(std::fabs(leaf.Body().velocityX + 0.12f), 0.6f + 1e-5f);
  }
  EXPECT_NEAR(sumX / n, -0.12f, 0.05f);
}

TEST(Leaf, NeverLandsWhileRisingEvenBelowItsGroundHeight) {
  CLeaf leaf(kNoWorld, Vector4(0, 100, 0, 0), Vector4(0, 0, 0, 0), 0);
  leaf.SetPosition(0, 40, 0, 0);  // thrown down below where it started, still flying up
  int rising = 0;
  while (leaf.Body().velocityY * 0.99f - (leaf.Body().fallSpeed + 0.004f) > 0.0f) {
    leaf.Update();
    ++rising;
    ASSERT_FALSE(leaf.Landed()) << "update " << rising;
    ASSERT_LT(leaf.GetPosition().y, 100.0f);
  }
  EXPECT_GT(rising, 50);
  // The first sinking update finds it below its ground height and settles it there.
  leaf.Update();
  EXPECT_TRUE(leaf.Landed());
  EXPECT_EQ(leaf.GetPosition().y, 100.0f);
}

TEST(Leaf, FinishesSeventeenUpdatesAfterLanding) {
  CLeaf leaf(kNoWorld, Vector4(5, -30, 5, 0), Vector4(0, 0, 0, 0), 4);
  const int landedAfter = UpdateUntilLanded(leaf);
  ASSERT_GT(landedAfter, 0);
  EXPECT_EQ(leaf.GetPosition().y, -30.0f);
  EXPECT_FALSE(leaf.IsFinished());
  // The landing update was the first of the 17.
  for (int i = 2; i <= 16; ++i) {
    leaf.Update();
    EXPECT_FALSE(leaf.IsFinished()) << "update " << i << " after landing";
    EXPECT_EQ(leaf.GetPosition().y, -30.0f);
  }
  leaf.Update();
  EXPECT_TRUE(leaf.IsFinished());
}

TEST(Leaf, RiseAndFallTakeAsLongAsTheFallingBodyGives) {
  // Still kick: v(n) = 0.8 x 0.99^n, fall(n) = 0.004 n; it sinks from when v < fall and lands
  // once the height it gained is used up.
  CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(0, 0, 0, 0), 0);
  float y = 0.0f, v = 0.8f, fall = 0.0f;
  int expected = 0;
  bool landed = false;
  while (!landed && expected < 1000) {
    ++expected;
    fall += 0.004f;
    v *= 0.99f;
    y += v;
    y -= fall;
    landed = v - fall <= 0.0f && y < 0.0f;
  }
  EXPECT_EQ(UpdateUntilLanded(leaf), expected);
  EXPECT_GT(expected, 100);
}

TEST(Leaf, TheRegistryDropsAFinishedLeaf) {
  CUnitRegistry registry(kNoWorld);
  auto leaf = boost::make_shared<CLeaf>(kNoWorld, Vector4(0, 0, 0, 0), Vector4(0, 0, 0, 0), 0);
  registry.Insert("CLeaf", leaf);
  const boost::weak_ptr<CLeaf> watch = leaf;
  leaf.reset();
  int frames = 0;
  while (registry.Count("CLeaf") && frames < 2000) {
    registry.RemoveFinished();
    registry.Update();
    ++frames;
  }
  EXPECT_EQ(registry.Count("CLeaf"), 0u);
  EXPECT_TRUE(watch.expired());
}

TEST(Leaf, ItsModelIsTheOneOfItsIndexFromTheModelCache) {
  CScratchGameDir dir("leaf_models");
  std::list<std::string> paths(std::begin(g_leafModelPaths), std::end(g_leafModelPaths));
  ResourceCache<CModel> models(paths);
  WorldContext world;
  world.models = &models;
  for (int i = 0; i < 6; ++i) {
    CLeaf leaf(world, Vector4(), Vector4(), i);
    EXPECT_EQ(leaf.Model(), models.Find(g_leafModelPaths[i])) << i;
    EXPECT_TRUE(leaf.Model()) << i;
  }
  EXPECT_EQ(std::string(g_leafModelPaths[0]), "data/mdl/object/leaf/leaf00.mdl");
  EXPECT_EQ(std::string(g_leafModelPaths[5]), "data/mdl/object/leaf/leaf05.mdl");
  // Out of range or without a cache: no model, and drawing does nothing.
  CLeaf outOfRange(world, Vector4(), Vector4(), 6);
  EXPECT_FALSE(outOfRange.Model());
  outOfRange.Draw();
  CLeaf noCache(kNoWorld, Vector4(), Vector4(), 0);
  EXPECT_FALSE(noCache.Model());
}

TEST(Leaf, AWildKickIsBoundedInsteadOfOverflowing) {
  CLeaf leaf(kNoWorld, Vector4(0, 0, 0, 0), Vector4(1e30f, 0, 0, 0), 0);
  EXPECT_TRUE(std::isfinite(leaf.Body().velocityY));
  EXPECT_GE(leaf.Body().velocityY, 0.8f);
  EXPECT_LE(leaf.Body().velocityY, 0.8f + 32.767f + 1e-3f);
  EXPECT_LE(std::fabs(leaf.Body().velocityZ), 32.767f + 1e-3f);
}
