// The bear: keep-away, its five states and their thresholds, jumps with their sound effects, the
// process-wide spring and the footstep smoke.
#include "unit/npc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "effect/particle_file.h"
#include "resource/math_helpers.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "sound/sound_bank.h"
#include "support/collision_fixtures.h"
#include "support/model_files.h"
#include "support/scratch_dir.h"
#include "unit/motion.h"
#include "unit/particle_unit.h"
#include "unit/player.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"
#include "world/collision_world.h"

using gfxutil::Vector4;

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;

// The bear with its state settable, to start a case in any state.
class CTestBear : public CNPC {
 public:
  using CNPC::CNPC;
  void Force(int16_t state) { ChangeState(state); }
};

// What the collision query does to a body standing on a floor at height y.
void Ground(CUnit& unit, float y = 0.0f) {
  UnitBody& b = unit.Body();
  b.position.y = y;
  b.fallSpeed = 0;
  b.landed = 1;
}

float HorizontalDistance(CUnit& a, CUnit& b) {
  const Vector4 p = a.GetPosition(), q = b.GetPosition();
  return std::hypot(p.x - q.x, p.z - q.z);
}

class NpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildSineTable();
    world_.carried = &carried_;
    // Puffs that fly straight up at 0.5 with no spread, so their velocity shows the bear's share.
    dir_.Write("data/par/smoke.par", "#speed\n0\n50\n0\n#end\n#kill\n10\n#end\n#EOF\n");
    dir_.Write("data/par/blood.par", "#kill\n1\n#end\n#EOF\n");
    models_ = std::make_unique<ResourceCache<CModel>>(std::list<std::string>{"data/mdl/kuma/kuma.mdl"});
    world_.models = models_.get();
    particles_ = std::make_unique<ResourceCache<CParticleFile>>(
        std::list<std::string>{"data/par/smoke.par", "data/par/blood.par"}, nullptr);
    world_.particles = particles_.get();
    registry_ = std::make_unique<CUnitRegistry>(world_);
    world_.registry = registry_.get();
    bank_ = std::make_unique<SoundBank>();
    world_.sounds = bank_.get();
    player_ = std::make_unique<CPlayer>(world_, Vector4(0, 0, 0, 1), Vector4());
    world_.player = player_.get();
  }
  void TearDown() override {
    bear_.reset();
    player_.reset();
    bank_.reset();
    registry_.reset();
    particles_.reset();
    models_.reset();
  }

  CTestBear& MakeBear(float x, float y, float z, float yaw = 0.0f) {
    bear_ = std::make_unique<CTestBear>(world_, Vector4(x, y, z, 1), Vector4(0, yaw, 0, 0));
    world_.bear = bear_.get();
    return *bear_;
  }
  void PlacePlayer(float x, float y, float z) { player_->SetPosition(x, y, z, 1); }

  // A grounded update; the voices of effects 1 and 24 tell which one was played.
  struct Sounds {
    bool jump = false, followJump = false;
  };
  Sounds GroundedUpdate(float groundY = 0.0f) {
    Ground(*bear_, groundY);
    const int before1 = bank_->LastVoice(1), before24 = bank_->LastVoice(24);
    bear_->Update();
    return Sounds{bank_->LastVoice(1) != before1, bank_->LastVoice(24) != before24};
  }

  CScratchGameDir dir_{"npc"};
  CarriedOver carried_;
  WorldContext world_;
  std::unique_ptr<ResourceCache<CModel>> models_;
  std::unique_ptr<ResourceCache<CParticleFile>> particles_;
  std::unique_ptr<CUnitRegistry> registry_;
  std::unique_ptr<SoundBank> bank_;
  std::unique_ptr<CPlayer> player_;
  std::unique_ptr<CTestBear> bear_;
};

// ---- construction ----

TEST_F(NpcTest, StartsIdleOnTheStandMotionWithTheWorldsModel) {
  CNPC bear(world_, Vector4(1, 2, 3, 1), Vector4(0.5f, 1.25f, 0.7f, 0));
  EXPECT_EQ(bear.GetPosition(), Vector4(1, 2, 3, 1));
  EXPECT_EQ(bear.GetRotation(), Vector4(0, 1.25f, 0, 0));  // only the yaw is kept
  EXPECT_EQ(bear.State(), CNPC::kIdle);
  ASSERT_TRUE(bear.Body().motion);
  EXPECT_EQ(bear.Body().motion->Current(), 0);
  EXPECT_EQ(bear.Model(), models_->Find("data/mdl/kuma/kuma.mdl"));
}

// ---- keep-away ----

TEST_F(NpcTest, PlayerInsideThirtyTwoPushesTheBearOutToThirtyTwoWhateverItsState) {
  const float directions[] = {0, 30, 45, 90, 135, 179, -30, -90, -150};
  const float distances[] = {0.5f, 10.0f, 31.5f};
  for (int16_t state = 0; state <= 5; ++state) {
    for (const float deg : directions) {
      for (const float d : distances) {
        PlacePlayer(100, 0, 50);
        CTestBear& bear =
            MakeBear(100 + d * std::sin(deg * kDegrees), 7.0f, 50 + d * std::cos(deg * kDegrees));
        bear.Force(state);
        bear.LateUpdate();
        const Vector4 at = bear.GetPosition();
        SCOPED_TRACE(testing::Message() << "state " << state << " at " << deg << " deg, " << d << " units");
        EXPECT_NEAR(HorizontalDistance(bear, *player_), CNPC::kKeepAway, 0.03f);
        EXPECT_EQ(at.y, 7.0f);  // height untouched
        EXPECT_EQ(bear.State(), state);
        // Still on its own side of the player, within the whole degree the table resolves.
        const float cosBetween =
            ((at.x - 100) * std::sin(deg * kDegrees) + (at.z - 50) * std::cos(deg * kDegrees)) /
            HorizontalDistance(bear, *player_);
        EXPECT_GT(cosBetween, std::cos(1.5f * kDegrees));
      }
    }
  }
}

TEST_F(NpcTest, BearStandingOnThePlayerGoesToItsMinusZSide) {
  PlacePlayer(-20, 5, 40);
  CTestBear& bear = MakeBear(-20, 5, 40);
  bear.LateUpdate();
  EXPECT_NEAR(bear.GetPosition().x, -20.0f, 1e-4f);
  EXPECT_NEAR(bear.GetPosition().z, 40.0f - 32.0f, 1e-3f);
}

TEST_F(NpcTest, HeightDifferenceDoesNotCountForTheKeepAway) {
  PlacePlayer(0, 500, 0);
  CTestBear& bear = MakeBear(10, 0, 0);
  bear.LateUpdate();
  EXPECT_NEAR(HorizontalDistance(bear, *player_), 32.0f, 0.03f);
  EXPECT_EQ(bear.GetPosition().y, 0.0f);
}

TEST_F(NpcTest, BearAtThirtyTwoOrFartherIsLeftWhereItIs) {
  for (const float d : {32.0f, 32.5f, 80.0f}) {
    PlacePlayer(0, 0, 0);
    CTestBear& bear = MakeBear(0, 3, d);
    bear.LateUpdate();
    EXPECT_EQ(bear.GetPosition(), Vector4(0, 3, d, 1)) << d;
  }
}

TEST_F(NpcTest, LateUpdateKeepsAwayFirstThenStandsTheBearOnTheWorldsFloor) {
  CCollisionWorld collision;
  CollisionGroupData floor;
  testworld::AddFloor(floor, -200, 200, -200, 200, 0);
  UnitBody owner;
  collision.Add(boost::make_shared<CCollisionUnit>(&owner, testworld::MakeModel({floor})));
  world_.collisionWorld = &collision;

  PlacePlayer(60, 0, 30);
  CTestBear& bear = MakeBear(60, -5, 10);
  bear.Body().previousPosition = Vector4(60, -3, 10, 1);
  bear.LateUpdate();
  EXPECT_EQ(bear.GetPosition().y, 0.0f);  // lifted onto the floor
  EXPECT_EQ(bear.Body().landed, 1);
  // Only a body query looks for the ground below, which the shadow and the landing use.
  EXPECT_EQ(bear.Body().groundNormal.y, 1.0f);
  EXPECT_NEAR(bear.GetPosition().x, 60.0f, 1e-4f);
  EXPECT_NEAR(bear.GetPosition().z, 30.0f - 32.0f, 1e-3f);
}

// ---- states and distances ----

TEST_F(NpcTest, IdleBearStaysIdleWhileThePlayerIsBetweenFiftyAndOneHundred) {
  for (const float deg : {0.0f, 70.0f, -160.0f}) {
    PlacePlayer(75 * std::sin(deg * kDegrees), 0, 75 * std::cos(deg * kDegrees));
    CTestBear& bear = MakeBear(0, 0, 0);
    for (int i = 0; i < 50; ++i) {
      GroundedUpdate();
      ASSERT_EQ(bear.State(), CNPC::kIdle) << "update " << i;
    }
    // Idle turns toward the player but does not walk.
    EXPECT_FLOAT_EQ(bear.GetPosition().x, 0.0f);
    EXPECT_FLOAT_EQ(bear.GetPosition().z, 0.0f);
    const float toPlayer = std::atan2(-player_->GetPosition().x, -player_->GetPosition().z);
    float yaw = bear.GetRotation().y, want = toPlayer;
    EXPECT_NEAR(AngleDifference(yaw, want), 0.0f, 1e-3f) << deg;
  }
}

TEST_F(NpcTest, IdleBearStartsFollowingOnlyBeyondOneHundred) {
  PlacePlayer(0, 0, 100);
  CTestBear& bear = MakeBear(0, 0, 0);
  GroundedUpdate();
  EXPECT_EQ(bear.State(), CNPC::kIdle);
  PlacePlayer(0, 0, 100.5f);
  GroundedUpdate();
  EXPECT_EQ(bear.State(), CNPC::kFollow);
  EXPECT_EQ(bear.Tick(), 0);
  GroundedUpdate();
  EXPECT_EQ(bear.Body().motion->Current(), 1);  // the walk, selected on the state's first update
}

TEST_F(NpcTest, FollowingBearKeepsFollowingUntilCloserThanFifty) {
  PlacePlayer(0, 0, -90);
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  float last = HorizontalDistance(bear, *player_);
  bool stopped = false;
  for (int i = 0; i < 120 && !stopped; ++i) {
    const float before = HorizontalDistance(bear, *player_);
    GroundedUpdate();
    if (before >= 50.0f) {
      ASSERT_EQ(bear.State(), CNPC::kFollow) << "update " << i << " at " << before;
    } else {
      EXPECT_EQ(bear.State(), CNPC::kIdle) << "update " << i << " at " << before;
      stopped = true;
    }
    const float now = HorizontalDistance(bear, *player_);
    EXPECT_LE(now, last + 1e-3f) << "walks toward the player";
    last = now;
  }
  EXPECT_TRUE(stopped);
}

TEST_F(NpcTest, FollowingBearBeyondOneHundredSixtyLeapsWithEffectOne) {
  PlacePlayer(0, 0, 161);
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  const Sounds s = GroundedUpdate();
  EXPECT_TRUE(s.jump);
  EXPECT_FALSE(s.followJump);
  EXPECT_EQ(bear.State(), CNPC::kFarJump);
  EXPECT_GT(bear.Body().velocityY, 4.0f);
  GroundedUpdate();
  EXPECT_EQ(bear.State(), CNPC::kIdle);  // the leap lasts one update
}

TEST_F(NpcTest, NoLeapAtOneHundredSixtyOrWhileAirborne) {
  PlacePlayer(0, 0, 160);
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  EXPECT_FALSE(GroundedUpdate().jump);
  EXPECT_EQ(bear.State(), CNPC::kFollow);

  PlacePlayer(0, 0, 300);
  bear.Body().landed = 0;
  const int before = bank_->LastVoice(1);
  bear.Update();
  EXPECT_EQ(bank_->LastVoice(1), before);
  EXPECT_EQ(bear.State(), CNPC::kFollow);
}

// ---- level jumps ----

TEST_F(NpcTest, PlayerFiftyOneAboveOrBelowMakesAnIdleBearJumpWithEffectOne) {
  for (const float dy : {51.0f, -51.0f, 300.0f}) {
    PlacePlayer(0, dy, 60);
    CTestBear& bear = MakeBear(0, 0, 0);
    const Sounds s = GroundedUpdate();
    EXPECT_TRUE(s.jump) << dy;
    EXPECT_FALSE(s.followJump) << dy;
    EXPECT_EQ(bear.State(), CNPC::kLevelJump) << dy;
    EXPECT_GT(bear.Body().velocityY, 4.0f) << dy;
  }
}

TEST_F(NpcTest, LevelDifferenceIsTruncatedBeforeTheComparison) {
  for (const float dy : {50.0f, 50.9f, -50.9f}) {
    PlacePlayer(0, dy, 60);
    CTestBear& bear = MakeBear(0, 0, 0);
    EXPECT_FALSE(GroundedUpdate().jump) << dy;
    EXPECT_EQ(bear.State(), CNPC::kIdle) << dy;
  }
}

TEST_F(NpcTest, PlayerOnAnotherLevelMakesTheBearJumpOnEveryGroundedIdleUpdate) {
  PlacePlayer(0, 80, 60);
  CTestBear& bear = MakeBear(0, 0, 0);
  int jumps = 0;
  for (int i = 0; i < 16; ++i) {
    const int16_t before = bear.State();
    const Sounds s = GroundedUpdate();
    if (before == CNPC::kIdle) {
      EXPECT_TRUE(s.jump) << "update " << i;
      EXPECT_EQ(bear.State(), CNPC::kLevelJump);
      ++jumps;
    } else {
      EXPECT_FALSE(s.jump) << "update " << i;
    }
  }
  // jump, take-off, landing, back to idle: four updates a round.
  EXPECT_EQ(jumps, 4);
}

TEST_F(NpcTest, FollowingBearJumpsToAnotherLevelWithEffectTwentyFour) {
  PlacePlayer(0, 60, 75);
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  const Sounds s = GroundedUpdate();
  EXPECT_TRUE(s.followJump);
  EXPECT_FALSE(s.jump);
  EXPECT_EQ(bear.State(), CNPC::kLevelJump);
}

TEST_F(NpcTest, AirborneBearDriftsForwardAndLandsThroughTheLandedState) {
  PlacePlayer(0, 60, 75);
  CTestBear& bear = MakeBear(0, 0, 0, 3.14159265f);  // already facing the player
  GroundedUpdate();
  ASSERT_EQ(bear.State(), CNPC::kLevelJump);
  bear.Body().landed = 0;
  bear.Update();
  EXPECT_EQ(bear.State(), CNPC::kAirborne);
  for (int i = 0; i < 5; ++i) {
    bear.Body().landed = 0;
    const float z = bear.GetPosition().z;
    bear.Update();
    EXPECT_EQ(bear.State(), CNPC::kAirborne);
    EXPECT_GT(bear.GetPosition().z, z);  // pushed along its facing, toward the player at +z
  }
  GroundedUpdate(0.0f);
  EXPECT_EQ(bear.State(), CNPC::kLanded);
  PlacePlayer(0, 0, 75);
  GroundedUpdate();
  EXPECT_EQ(bear.State(), CNPC::kIdle);
}

// ---- spring ----

struct ReferenceSpring {
  float offset = 0, velocity = 0;
  void Step(bool kick) {
    if (kick) offset += 3.0f;
    velocity = (velocity - offset * 0.16666667f) * 0.95f;
    offset += velocity;
  }
};

TEST_F(NpcTest, SpringKicksOnlyOnTheFirstGroundedUpdateThenOscillatesAndDecays) {
  PlacePlayer(0, 0, 75);
  CTestBear& bear = MakeBear(0, 0, 0);
  for (int i = 0; i < 5; ++i) {
    bear.Body().landed = 0;
    bear.Update();
    EXPECT_EQ(carried_.bearSpring.offset, 0.0f);
  }
  ReferenceSpring ref;
  std::vector<float> offsets;
  for (int i = 0; i < 200; ++i) {
    GroundedUpdate();
    ref.Step(i == 0);
    ASSERT_NEAR(carried_.bearSpring.offset, ref.offset, 1e-5f) << "update " << i;
    offsets.push_back(carried_.bearSpring.offset);
  }
  EXPECT_NEAR(offsets[0], 3.0f - 0.5f * 0.95f, 1e-5f);
  int signChanges = 0;
  for (size_t i = 1; i < 60; ++i) signChanges += (offsets[i] > 0) != (offsets[i - 1] > 0);
  EXPECT_GE(signChanges, 2);
  const auto peak = [&](size_t from, size_t to) {
    float m = 0;
    for (size_t i = from; i < to; ++i) m = std::max(m, std::fabs(offsets[i]));
    return m;
  };
  EXPECT_LT(peak(150, 200), 0.2f * peak(0, 20));

  // Leaving the ground and landing again kicks once more.
  bear.Body().landed = 0;
  bear.Update();
  ref.Step(false);
  GroundedUpdate();
  ref.Step(true);
  EXPECT_NEAR(carried_.bearSpring.offset, ref.offset, 1e-5f);
  GroundedUpdate();
  ref.Step(false);
  EXPECT_NEAR(carried_.bearSpring.offset, ref.offset, 1e-5f);
}

TEST_F(NpcTest, OnlyALandedFlagOfExactlyOneCountsAsGrounded) {
  PlacePlayer(0, 0, 75);
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Body().landed = 2;
  bear.Update();
  EXPECT_EQ(carried_.bearSpring.offset, 0.0f);
  EXPECT_EQ(carried_.bearSpring.landingCounter, 0);
}

TEST_F(NpcTest, SpringMovesBoneTwoOfTheSharedModelVertically) {
  PlacePlayer(0, 0, 75);
  CTestBear& bear = MakeBear(0, 0, 0);
  ASSERT_TRUE(bear.Model());
  for (int i = 0; i < 4; ++i) {
    GroundedUpdate();
    EXPECT_EQ(bear.Model()->Hierarchy().boneAdjust[2],
              gfxutil::MatrixTranslation(0, carried_.bearSpring.offset, 0));
  }
  EXPECT_EQ(bear.Model()->Hierarchy().boneAdjust[1], gfxutil::Matrix());
}

TEST_F(NpcTest, SpringStateOutlivesTheBearInTheCarriedOverRecord) {
  PlacePlayer(0, 0, 75);
  MakeBear(0, 0, 0);
  GroundedUpdate();
  GroundedUpdate();
  const NpcSpring kept = carried_.bearSpring;
  CTestBear& next = MakeBear(0, 0, 0);
  EXPECT_EQ(carried_.bearSpring.offset, kept.offset);
  GroundedUpdate();  // still grounded from the earlier bear's count: no new kick
  ReferenceSpring ref{kept.offset, kept.velocity};
  ref.Step(false);
  EXPECT_NEAR(carried_.bearSpring.offset, ref.offset, 1e-5f);
  EXPECT_EQ(&next, world_.bear);
}

// ---- footstep smoke ----

TEST_F(NpcTest, FollowingBearPuffsFourSmokeParticlesAtWalkFrameThirtyEight) {
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  const CParticleFile& smoke = *particles_->Find("data/par/smoke.par");
  ASSERT_TRUE(smoke.Loaded());
  int emissions = 0;
  PlacePlayer(0, 0, -75);
  GroundedUpdate();  // selects the walk
  for (int i = 0; i < 60; ++i) {
    // Keep the player 75 ahead so the bear keeps walking.
    const Vector4 from = bear.GetPosition();
    PlacePlayer(from.x, 0, from.z - 75);
    const float frame = bear.Body().motion->GetFrame();
    const size_t before = registry_->Count(CParticleUnit::kRegistryName);
    GroundedUpdate();
    ASSERT_EQ(bear.State(), CNPC::kFollow);
    const size_t added = registry_->Count(CParticleUnit::kRegistryName) - before;
    const int whole = static_cast<int>(frame);
    if (whole == 38 || whole == 48) {
      ASSERT_EQ(added, 4u) << "frame " << frame;
      ++emissions;
      // Each puff starts at the bear with the smoke's speed less a tenth of the bear's velocity.
      const UnitBody& b = bear.Body();
      const float vx = b.velocityX / 0.85f, vy = b.velocityY / 0.85f, vz = b.velocityZ / 0.85f;
      int checked = 0;
      for (const auto& [name, unit] : registry_->Units()) {
        if (name != CParticleUnit::kRegistryName) continue;
        const auto* puff = static_cast<const CParticleUnit*>(unit.get());
        if (puff->GetPosition().x != from.x || puff->GetPosition().z != from.z) continue;
        EXPECT_NEAR(puff->Velocity().x, smoke.speed.x - 0.1f * vx, 1e-4f);
        EXPECT_NEAR(puff->Velocity().y, smoke.speed.y - 0.1f * vy, 1e-4f);
        EXPECT_NEAR(puff->Velocity().z, smoke.speed.z - 0.1f * vz, 1e-4f);
        ++checked;
      }
      EXPECT_EQ(checked, 4);
    } else {
      ASSERT_EQ(added, 0u) << "frame " << frame;
    }
  }
  EXPECT_GE(emissions, 2);
}

TEST_F(NpcTest, IdleBearKicksUpNoSmoke) {
  PlacePlayer(0, 0, 75);
  MakeBear(0, 0, 0);
  for (int i = 0; i < 60; ++i) GroundedUpdate();
  EXPECT_EQ(registry_->Count(CParticleUnit::kRegistryName), 0u);
}

TEST_F(NpcTest, WithoutAPlayerTheBearOnlyFallsAndSprings) {
  player_.reset();
  world_.player = nullptr;
  CTestBear& bear = MakeBear(0, 0, 0);
  bear.Force(CNPC::kFollow);
  GroundedUpdate();
  bear.LateUpdate();
  EXPECT_EQ(bear.State(), CNPC::kFollow);
  EXPECT_EQ(bear.GetPosition().x, 0.0f);
  EXPECT_EQ(bear.GetPosition().z, 0.0f);
  EXPECT_GT(carried_.bearSpring.offset, 0.0f);
}

// ---- drawing ----

class BearDrawTest : public modeltest::ModelTest {};

TEST_F(BearDrawTest, DrawsAtAThirdOfItsSizeRaisedTenPosedByItsMotion) {
  const char* path = "data/mdl/kuma/kuma.mdl";
  std::vector<std::unique_ptr<xfile::CDataObject>> top;
  top.push_back(x.Triangle("fur", 2, 4, 6));
  ASSERT_TRUE(x.Write(path, top));
  ResourceCache<CModel> models({path});
  const boost::shared_ptr<CModel> model = models.Find(path);
  ASSERT_TRUE(model && model->Hierarchy().Root());

  CarriedOver carried;
  const WorldContext bearWorld{.carried = &carried, .models = &models};
  CNPC bear(bearWorld, Vector4(50, 20, -40, 1), Vector4(0, 0.7f, 0, 0));
  bear.Body().motion->SetMotion(1);
  bear.Body().motion->Advance();
  device().SetRenderState(gfx::D3DRS_SPECULARENABLE, 1);
  device().SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_SRCALPHA);
  device().SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_INVSRCALPHA);
  bear.Draw();

  ASSERT_EQ(device().indexedDraws.size(), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SPECULARENABLE), 0u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_ONE));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_ZERO));
  ModelHierarchy& h = model->Hierarchy();
  EXPECT_FLOAT_EQ(h.Root()->time, bear.Body().motion->GetFrame() * 160.0f);
  EXPECT_GT(h.Root()->time, 0.0f);
  const gfxutil::Matrix world = gfxutil::MatrixRotationY(0.7f) * gfxutil::MatrixScaling(0.3f, 0.3f, 0.3f) *
                                gfxutil::MatrixTranslation(50, 30, -40);
  const gfxutil::Matrix want = h.Root()->frame.local * world;
  const gfxutil::Matrix got = model->GetRecordedMatrix(0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], 1e-4f) << r << c;
  // Only the drawing copy was scaled and raised.
  EXPECT_EQ(bear.GetPosition(), Vector4(50, 20, -40, 1));
  EXPECT_EQ(bear.Body().scaleX, 1.0f);
  EXPECT_EQ(bear.Body().scaleY, 1.0f);
}

TEST_F(BearDrawTest, SecondPassSetsTranslucentStatesAndDrawsNothing) {
  const WorldContext world;
  CNPC bear(world, Vector4(0, 0, 0, 1), Vector4());
  const size_t draws = device().draws.size(), indexed = device().indexedDraws.size();
  bear.DrawSecondPass();
  EXPECT_EQ(device().draws.size(), draws);
  EXPECT_EQ(device().indexedDraws.size(), indexed);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_SRCALPHA));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_COLOROP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_ALPHAOP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_ALPHAARG1), uint32_t(gfx::D3DTA_TEXTURE));
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_ALPHAARG2), uint32_t(gfx::D3DTA_DIFFUSE));
}

}  // namespace
