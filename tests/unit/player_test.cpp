// The player: input relative to the camera, the state machine, footsteps, landing, look mode.
#include "unit/player.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cmath>
#include <vector>

#include "play_world.h"
#include "unit/leaf.h"
#include "unit/motion.h"
#include "unit/particle_unit.h"

using gfxutil::Vector4;
using playtest::PlayWorld;

namespace {

// Shorthands for the player's buttons.
constexpr int kRight = CPlayer::kRight, kLeft = CPlayer::kLeft, kUp = CPlayer::kUp, kDown = CPlayer::kDown;
constexpr int kRun = CPlayer::kRun, kJump = CPlayer::kJump, kLook = CPlayer::kLook;

std::vector<CUnit*> UnitsNamed(const CUnitRegistry& registry, const char* name) {
  std::vector<CUnit*> out;
  const auto range = registry.Units().equal_range(name);
  for (auto it = range.first; it != range.second; ++it) out.push_back(it->second.get());
  return out;
}

int Total(const std::array<int, 25>& sounds) {
  int n = 0;
  for (int s : sounds) n += s;
  return n;
}

class PlayerTest : public PlayWorld {};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and the current-player reference

TEST_F(PlayerTest, ConstructionKeepsPositionAndHeadingOnlyAndStartsIdleOnTheStandingMotion) {
  CPlayer& p = MakePlayer(10, 20, 30, 1.25f);
  EXPECT_EQ(p.GetPosition(), Vector4(10, 20, 30, 1));
  EXPECT_EQ(p.GetRotation(), Vector4(0, 1.25f, 0, 0));  // x and z of the record are dropped
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  EXPECT_EQ(p.Tick(), 0);
  EXPECT_EQ(p.MoveX(), 1.0f);
  EXPECT_EQ(p.MoveZ(), 1.0f);
  ASSERT_TRUE(p.Body().motion);
  EXPECT_EQ(p.Body().motion->Current(), 0);
  EXPECT_EQ(p.Body().motion->GetFrame(), 0.0f);
}

// Look mode and the landing counter are the world's carried-over record, not the player's: a
// player made for the next stage starts in the look mode the last one left.
TEST_F(PlayerTest, LookModeAndTheLandingCounterLiveInTheCarriedOverRecord) {
  CPlayer& first = MakePlayer(0, 0, 0);
  Hold(kLook);
  input->Update();
  first.ReadInput();
  ASSERT_EQ(carried.playerLookMode, 1);
  UpdateOnly();
  EXPECT_EQ(carried.playerLandingCounter, 1);
  Let(kLook);
  input->Update();

  CPlayer next(world, Vector4(), Vector4());
  SetCameraHeading(2.0f);
  next.ReadInput();
  EXPECT_EQ(next.TargetYaw(), 2.0f) << "a player in look mode faces where the camera looks";
  EXPECT_EQ(carried.playerLookMode, 1);
}

// ---------------------------------------------------------------------------------------------
// ReadInput: directions relative to the camera heading

TEST_F(PlayerTest, DirectionsFollowTheTableOrderAndTheFirstMatchWins) {
  CPlayer& p = MakePlayer(0, 0, 0);
  const float c = 0.3f;
  SetCameraHeading(c);
  struct Case {
    std::vector<int> held;
    float angle, yaw;
  };
  const Case cases[] = {
      {{kRight, kLeft, kDown}, -0.785f, 2.355f},  // Right-and-Down comes first
      {{kRight, kDown}, -0.785f, 2.355f},
      {{kLeft, kDown}, 0.785f, 3.925f},
      {{kRight, kLeft, kUp}, -3.925f, 5.495f},  // Left-and-Up before Right-and-Up
      {{kLeft, kUp}, -3.925f, 5.495f},
      {{kRight, kUp}, -2.355f, 0.785f},
      {{kUp, kDown}, 0.0f, 3.14f},  // Down before Up
      {{kDown}, 0.0f, 3.14f},
      {{kRight, kLeft}, -1.57f, 1.57f},  // Right before Left
      {{kRight}, -1.57f, 1.57f},
      {{kLeft}, 1.57f, 4.71f},
      {{kRight, kLeft, kUp, kDown}, -0.785f, 2.355f},
  };
  for (const Case& k : cases) {
    keys.keys.clear();
    for (int b : k.held) Hold(b);
    input->Update();
    p.ReadInput();
    EXPECT_FLOAT_EQ(p.MoveX(), std::sin(c + k.angle)) << "held " << k.held.size() << " first " << k.held[0];
    EXPECT_FLOAT_EQ(p.MoveZ(), std::cos(c + k.angle)) << "held " << k.held.size() << " first " << k.held[0];
    EXPECT_FLOAT_EQ(p.TargetYaw(), c + k.yaw) << "held " << k.held.size() << " first " << k.held[0];
  }
}

TEST_F(PlayerTest, UpMovesAwayFromTheCameraAndFacesAlongItsHeading) {
  CPlayer& p = MakePlayer(0, 0, 0);
  SetCameraHeading(2.0f);
  Hold(kUp);
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.MoveX(), -std::sin(2.0f));
  EXPECT_EQ(p.MoveZ(), -std::cos(2.0f));
  EXPECT_EQ(p.TargetYaw(), 2.0f);
}

TEST_F(PlayerTest, WithoutADirectionHeadingAndMoveDirectionKeepTheirValues) {
  CPlayer& p = MakePlayer(0, 0, 0);
  SetCameraHeading(0.7f);
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.MoveX(), 1.0f);
  EXPECT_EQ(p.MoveZ(), 1.0f);
  EXPECT_EQ(p.TargetYaw(), 0.0f);

  Hold(kLeft);
  input->Update();
  p.ReadInput();
  const float x = p.MoveX(), z = p.MoveZ(), yaw = p.TargetYaw();
  Let(kLeft);
  SetCameraHeading(2.5f);  // a camera turning on its own does not steer a player at rest
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.MoveX(), x);
  EXPECT_EQ(p.MoveZ(), z);
  EXPECT_EQ(p.TargetYaw(), yaw);
}

// ---------------------------------------------------------------------------------------------
// Look mode

TEST_F(PlayerTest, LookTogglesTheBarsWithItsTwoEffectsAndTurnsTheBodyToTheCameraHeading) {
  StartSound();
  CPlayer& p = MakePlayer(0, 0, 0, 0.0f);
  SetCameraHeading(1.0f);
  TakeSounds();

  Hold(kLook);
  input->Update();
  p.ReadInput();
  std::array<int, 25> s = TakeSounds();
  EXPECT_EQ(s[CPlayer::kLookOnSE], 1);
  EXPECT_EQ(Total(s), 1);
  EXPECT_EQ(carried.playerLookMode, 1);
  EXPECT_EQ(mask->State(), CCameraMask::kShown);
  EXPECT_EQ(p.TargetYaw(), 1.0f);
  EXPECT_FLOAT_EQ(p.GetRotation().y, 0.4f);
  mask->Update();
  EXPECT_FLOAT_EQ(mask->BarHeight(), 3.2f);

  // Held on: no new press, the body keeps turning and arrives.
  input->Update();
  p.ReadInput();
  EXPECT_FLOAT_EQ(p.GetRotation().y, 0.8f);
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.GetRotation().y, 1.0f);
  EXPECT_EQ(Total(TakeSounds()), 0);

  // The heading follows the camera while look mode lasts.
  SetCameraHeading(1.2f);
  Let(kLook);
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.TargetYaw(), 1.2f);
  EXPECT_EQ(p.GetRotation().y, 1.2f);

  // A second press ends it.
  Hold(kLook);
  input->Update();
  p.ReadInput();
  s = TakeSounds();
  EXPECT_EQ(s[CPlayer::kLookOffSE], 1);
  EXPECT_EQ(Total(s), 1);
  EXPECT_EQ(carried.playerLookMode, 0);
  EXPECT_EQ(mask->State(), CCameraMask::kHidden);

  // Look mode off: the camera turns without the body.
  SetCameraHeading(2.0f);
  Let(kLook);
  input->Update();
  p.ReadInput();
  EXPECT_EQ(p.GetRotation().y, 1.2f);
  EXPECT_EQ(p.TargetYaw(), 1.2f);
}

TEST_F(PlayerTest, InLookModeADirectionMovesAlongTheInputWhileTheBodyTurnsToTheCamera) {
  CPlayer& p = MakePlayer(0, 0, 0, 0.0f);
  p.Body().landed = 1;
  SetCameraHeading(1.0f);
  Hold(kLook);
  Hold(kRight);
  Frame();  // look on, idle sees the direction and starts walking
  EXPECT_EQ(p.State(), CPlayer::kWalk);
  const float mx = std::sin(1.0f - 1.57f), mz = std::cos(1.0f - 1.57f);
  EXPECT_FLOAT_EQ(p.MoveX(), mx);
  EXPECT_FLOAT_EQ(p.MoveZ(), mz);
  EXPECT_EQ(p.TargetYaw(), 1.0f);  // the camera heading, not the direction's

  const UnitBody before = p.Body();
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kWalk);
  // Pushed along the input direction...
  EXPECT_FLOAT_EQ(p.Body().velocityX, (before.velocityX + mx * 0.55f) * 0.85f);
  EXPECT_FLOAT_EQ(p.Body().velocityZ, (before.velocityZ + mz * 0.55f) * 0.85f);
  // ...while facing toward the camera heading: 0.4 -> 0.8 in ReadInput, then (0.2 + 1) x 0.1.
  EXPECT_NEAR(p.GetRotation().y, 0.8f + 0.12f, 1e-5f);
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_FLOAT_EQ(p.GetRotation().y, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// The state machine

TEST_F(PlayerTest, JumpWhileIdleWithADirectionEndsInWalkWithTheImpulseThenPassesToJumpStart) {
  StartSound();
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  UpdateOnly();  // the landing puff of a player created standing
  TakeSounds();

  Hold(kJump);
  Hold(kRight);
  input->Update();
  p.ReadInput();
  const float vy = p.Body().velocityY;
  p.Update();
  EXPECT_EQ(p.State(), CPlayer::kWalk);  // the direction test overrides jump start
  EXPECT_FLOAT_EQ(p.Body().velocityY, (vy + 6.0f) * 0.85f);
  std::array<int, 25> s = TakeSounds();
  EXPECT_EQ(s[CPlayer::kJumpStandingSE], 1);
  EXPECT_EQ(Total(s), 1);

  // Off the ground now: the walk state passes on; the held jump does not fire again.
  p.Body().landed = 0;
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kJumpStart);
  EXPECT_EQ(p.Body().motion->Current(), 1);
  EXPECT_EQ(p.Body().motion->Speed(), 1.0f);
  EXPECT_EQ(Total(TakeSounds()), 0);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kAirborne);
}

TEST_F(PlayerTest, JumpFromStandingGoesThroughJumpStartToAirborne) {
  StartSound();
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  UpdateOnly();
  TakeSounds();
  Hold(kJump);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kJumpStart);
  EXPECT_EQ(TakeSounds()[CPlayer::kJumpStandingSE], 1);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kAirborne);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kLanded);  // still flagged landed: nothing cleared it
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kIdle);  // the held button is latched
  EXPECT_EQ(Total(TakeSounds()), 0);
}

TEST_F(PlayerTest, IdleWithoutGroundGoesAirborne) {
  CPlayer& p = MakePlayer(0, 0, 0);
  UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kAirborne);
}

TEST_F(PlayerTest, JumpWhileWalkingPlaysTheWalkingJumpAndLandsBackInIdle) {
  StartSound();
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  Hold(kRight);
  Frame();
  Frame();
  ASSERT_EQ(p.State(), CPlayer::kWalk);
  TakeSounds();
  Hold(kJump);
  const float vy = p.Body().velocityY;
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kLanded);
  EXPECT_FLOAT_EQ(p.Body().velocityY, (vy + 6.0f) * 0.85f);
  const std::array<int, 25> s = TakeSounds();
  EXPECT_EQ(s[CPlayer::kJumpWalkingSE], 1);
  EXPECT_EQ(Total(s), 1);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kWalk);
}

TEST_F(PlayerTest, ReleasingTheDirectionsPassesThroughStopToIdle) {
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  Hold(kDown);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kWalk);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kWalk);
  EXPECT_EQ(p.Body().motion->Current(), 1);
  Let(kDown);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kStop);
  EXPECT_EQ(p.Body().motion->Speed(), 1.0f);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  Frame();
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  EXPECT_EQ(p.Body().motion->Current(), 0);
}

TEST_F(PlayerTest, WalkingPushesByHalfAUnitAndRunningByTwiceThatWithAFasterStride) {
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  SetCameraHeading(0.5f);
  Hold(kLeft);
  Frame();  // idle to walk
  const float mx = std::sin(0.5f + 1.57f), mz = std::cos(0.5f + 1.57f);

  UnitBody b = p.Body();
  Frame();
  EXPECT_FLOAT_EQ(p.Body().velocityX, (b.velocityX + mx * 0.55f) * 0.85f);
  EXPECT_FLOAT_EQ(p.Body().velocityZ, (b.velocityZ + mz * 0.55f) * 0.85f);
  EXPECT_EQ(p.Body().motion->Speed(), 1.0f);
  EXPECT_FLOAT_EQ(p.Body().position.x, b.position.x + b.velocityX + mx * 0.55f);

  Hold(kRun);
  b = p.Body();
  Frame();
  EXPECT_FLOAT_EQ(p.Body().velocityX, (b.velocityX + mx * 1.1f) * 0.85f);
  EXPECT_FLOAT_EQ(p.Body().velocityZ, (b.velocityZ + mz * 1.1f) * 0.85f);
  EXPECT_EQ(p.Body().motion->Speed(), 3.0f);

  Let(kRun);
  Frame();
  EXPECT_EQ(p.Body().motion->Speed(), 1.0f);
}

TEST_F(PlayerTest, WalkingTurnsTowardTheHeadingFasterTheFurtherItIsOff) {
  CPlayer& p = MakePlayer(0, 0, 0, 0.0f);
  p.Body().landed = 1;
  SetCameraHeading(0.0f);
  Hold(kDown);  // target heading 3.14
  Frame();
  EXPECT_EQ(p.GetRotation().y, 0.0f);  // idle does not turn
  Frame();
  // d = 0 - 3.14, one step of (3.14 + 1) x 0.1 the short way (upward).
  EXPECT_NEAR(p.GetRotation().y, 0.414f, 1e-5f);
  for (int i = 0; i < 30; ++i) Frame();
  EXPECT_FLOAT_EQ(p.GetRotation().y, 3.14f);
}

TEST_F(PlayerTest, AirborneSteersWithTheDirectionButDoesNotTurn) {
  CPlayer& p = MakePlayer(0, 0, 0, 0.5f);
  UpdateOnly();  // not landed: airborne
  ASSERT_EQ(p.State(), CPlayer::kAirborne);

  Hold(kRight);
  input->Update();
  p.ReadInput();
  ASSERT_NE(p.TargetYaw(), 0.5f);
  const UnitBody b = p.Body();
  p.Update();
  EXPECT_EQ(p.State(), CPlayer::kAirborne);
  EXPECT_FLOAT_EQ(p.Body().velocityX, (b.velocityX + p.MoveX() * 0.055f) * 0.98f);
  EXPECT_FLOAT_EQ(p.Body().velocityZ, (b.velocityZ + p.MoveZ() * 0.055f) * 0.98f);
  EXPECT_EQ(p.GetRotation().y, 0.5f);

  // Without a direction the air only damps.
  Let(kRight);
  const UnitBody c = p.Body();
  UpdateOnly();
  EXPECT_FLOAT_EQ(p.Body().velocityX, c.velocityX * 0.98f);
  EXPECT_FLOAT_EQ(p.Body().velocityZ, c.velocityZ * 0.98f);
}

TEST_F(PlayerTest, WalkingOffALedgePassesThroughJumpStartToAirborne) {
  AddFloor(0.0f, -60.0f);  // the floor ends at x = -60
  CPlayer& p = MakePlayer(0, 0, 0);
  for (int i = 0; i < 5; ++i) Frame();  // settles onto the floor
  ASSERT_EQ(p.State(), CPlayer::kIdle);
  ASSERT_NEAR(p.GetPosition().y, 0.0f, 1e-3f);

  SetCameraHeading(0.0f);
  Hold(kRight);  // toward -x with this camera
  std::vector<int> states;
  for (int i = 0; i < 120; ++i) {
    Frame();
    states.push_back(p.State());
    if (p.State() == CPlayer::kAirborne) break;
  }
  ASSERT_GE(states.size(), 3u);
  ASSERT_EQ(states.back(), CPlayer::kAirborne);
  EXPECT_EQ(states[states.size() - 2], CPlayer::kJumpStart);
  for (size_t i = 0; i + 2 < states.size(); ++i) EXPECT_EQ(states[i], CPlayer::kWalk) << "frame " << i;
  EXPECT_LT(p.GetPosition().x, -60.0f);
  const float y = p.GetPosition().y;
  Frame();
  EXPECT_LT(p.GetPosition().y, y);  // nothing below to land on
  EXPECT_EQ(p.State(), CPlayer::kAirborne);
}

// ---------------------------------------------------------------------------------------------
// Landing

TEST_F(PlayerTest, TheLandingEffectFiresOnceAtCreationAndOncePerLanding) {
  StartSound();
  AddFloor(0.0f);
  CPlayer& p = MakePlayer(0, 0, 0);
  Frame();
  std::array<int, 25> s = TakeSounds();
  EXPECT_EQ(s[CPlayer::kLandSE], 1);
  EXPECT_EQ(Total(s), 1);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 4u);
  const Vector4 smoke = SmokeSpeed();
  EXPECT_FLOAT_EQ(smoke.y, 1.5f);
  for (CUnit* u : UnitsNamed(*registry, CParticleUnit::kRegistryName)) {
    // The plain smoke, without any velocity correction.
    EXPECT_EQ(static_cast<CParticleUnit*>(u)->Velocity(), smoke);
    // Where the player was after its physics step, before collision set it back on the floor.
    EXPECT_EQ(u->GetPosition().x, p.GetPosition().x);
    EXPECT_EQ(u->GetPosition().z, p.GetPosition().z);
    EXPECT_FLOAT_EQ(u->GetPosition().y, -1.06f);
  }

  // Standing: collision lands the body every frame, but the effect does not repeat.
  for (int i = 0; i < 60; ++i) Frame();
  EXPECT_EQ(Total(TakeSounds()), 0);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 4u);
  ASSERT_EQ(p.State(), CPlayer::kIdle);

  for (int jump = 0; jump < 2; ++jump) {
    Hold(kJump);
    Frame();
    Let(kJump);
    s = TakeSounds();
    EXPECT_EQ(s[CPlayer::kJumpStandingSE], 1);
    EXPECT_EQ(s[CPlayer::kLandSE], 0);
    int landings = 0, landedAt = -1, soundedAt = -1;
    for (int i = 0; i < 120; ++i) {
      const bool wasDown = p.Body().fallSpeed == 0.0f;
      Frame();
      if (!wasDown && p.Body().fallSpeed == 0.0f && landedAt < 0) landedAt = i;
      s = TakeSounds();
      if (s[CPlayer::kLandSE]) {
        landings += s[CPlayer::kLandSE];
        soundedAt = i;
      }
    }
    EXPECT_EQ(landings, 1) << "jump " << jump;
    ASSERT_GE(landedAt, 0);
    EXPECT_EQ(soundedAt, landedAt + 1);  // on the first update after the fall ends
    EXPECT_EQ(Count(CParticleUnit::kRegistryName), 8u + 4u * jump);
    EXPECT_EQ(p.State(), CPlayer::kIdle);
  }
}

TEST_F(PlayerTest, TheLandingCounterIsSharedAndAnAirborneUpdateRearmsIt) {
  CPlayer& p = MakePlayer(0, 0, 0);
  UpdateOnly();
  EXPECT_EQ(carried.playerLandingCounter, 1);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 4u);
  p.Body().fallSpeed = 0.0f;  // what collision does on landing
  UpdateOnly();
  EXPECT_EQ(carried.playerLandingCounter, 2);
  UpdateOnly();  // the fall speed of the last step was left standing: in the air
  EXPECT_EQ(carried.playerLandingCounter, 0);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 4u);
  p.Body().fallSpeed = 0.0f;
  UpdateOnly();
  EXPECT_EQ(carried.playerLandingCounter, 1);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 8u);
}

// ---------------------------------------------------------------------------------------------
// Footsteps

TEST_F(PlayerTest, FootstepsAtFrames38And48ThrowTwoPuffsAndTwoLeaves) {
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  UpdateOnly();  // the creation puffs
  const size_t basePuffs = Count(CParticleUnit::kRegistryName);
  SetCameraHeading(0.0f);
  Hold(kDown);

  const Vector4 smoke = SmokeSpeed();
  EXPECT_FLOAT_EQ(smoke.x, 0.5f);
  int spawns = 0;
  for (int i = 0; i < 90; ++i) {
    input->Update();
    p.ReadInput();
    const int16_t state = p.State();
    const int frame = static_cast<int>(p.Body().motion->GetFrame());
    const UnitBody before = p.Body();
    const size_t puffs = Count(CParticleUnit::kRegistryName), leaves = Count("CLeaf");
    p.Update();
    const bool step = state == CPlayer::kWalk && (frame == 38 || frame == 48);
    ASSERT_EQ(Count(CParticleUnit::kRegistryName), puffs + (step ? 2 : 0))
        << "update " << i << " frame " << frame;
    ASSERT_EQ(Count("CLeaf"), leaves + (step ? 2 : 0)) << "update " << i << " frame " << frame;
    if (!step) continue;
    ++spawns;
    const std::vector<CUnit*> newPuffs = UnitsNamed(*registry, CParticleUnit::kRegistryName);
    for (size_t k = newPuffs.size() - 2; k < newPuffs.size(); ++k) {
      const auto* puff = static_cast<CParticleUnit*>(newPuffs[k]);
      EXPECT_FLOAT_EQ(puff->Velocity().x, smoke.x - 0.1f * before.velocityX);
      EXPECT_FLOAT_EQ(puff->Velocity().y, smoke.y - 0.1f * before.velocityY);
      EXPECT_FLOAT_EQ(puff->Velocity().z, smoke.z - 0.1f * before.velocityZ);
      EXPECT_EQ(puff->GetPosition(), before.position);
    }
    const std::vector<CUnit*> newLeaves = UnitsNamed(*registry, "CLeaf");
    const float kx = 0.2f * before.velocityX, ky = 0.2f * before.velocityY, kz = 0.2f * before.velocityZ;
    const float reach = std::trunc(1000.0f * std::sqrt(kx * kx + ky * ky + kz * kz)) * 0.001f + 1e-4f;
    for (size_t k = newLeaves.size() - 2; k < newLeaves.size(); ++k) {
      const UnitBody& leaf = newLeaves[k]->Body();
      EXPECT_EQ(leaf.position, before.position);
      EXPECT_NEAR(leaf.velocityX, -0.2f * kx, reach);
      EXPECT_NEAR(leaf.velocityZ, -0.2f * kz, reach);
      EXPECT_GE(leaf.velocityY, -0.2f * ky + 0.8f - 1e-5f);
      EXPECT_LE(leaf.velocityY, -0.2f * ky + 0.8f + reach);
    }
  }
  // Walking at speed 1 through frames 20..60: each footstep frame once per stride.
  EXPECT_GE(spawns, 4);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), basePuffs + 2u * spawns);
}

TEST_F(PlayerTest, NoFootstepsWhileStanding) {
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  for (int i = 0; i < 120; ++i) UpdateOnly();
  EXPECT_EQ(p.State(), CPlayer::kIdle);
  EXPECT_EQ(Count("CLeaf"), 0u);
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 4u);  // the creation landing only
}

TEST_F(PlayerTest, WithoutTheSmokeDefinitionFootstepsStillKickLeaves) {
  particles.reset();  // a stage that did not preload the smoke
  world.particles = nullptr;
  CPlayer& p = MakePlayer(0, 0, 0);
  p.Body().landed = 1;
  Hold(kDown);
  for (int i = 0; i < 40; ++i) Frame();
  EXPECT_EQ(Count(CParticleUnit::kRegistryName), 0u);
  EXPECT_GE(Count("CLeaf"), 2u);
}
