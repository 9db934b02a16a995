// A small stage world for the player and leaf tests: a scratch game folder with a smoke
// definition, the unit registry, scripted buttons, a fixed camera whose heading a test sets, the
// letterbox, optionally a floor to stand on, and optionally the sound bank on a loopback output
// whose voices tell which effects were triggered.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <boost/shared_ptr.hpp>
#include <memory>
#include <string>

#include "core/input.h"
#include "effect/particle_file.h"
#include "resource/resource_cache.h"
#include "sound/sound_bank.h"
#include "support/fake_input.h"
#include "support/scratch_dir.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/camera_normal.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"
#include "world/collision_world.h"

class CPlayer;

namespace playtest {

// The smoke the tests' player kicks up (speed 0.5, 1.5, -0.25 in hundredths): no spread, so a
// puff's velocity is exactly its definition's speed.
inline constexpr const char* kSmoke =
    "#speed\n50\n150\n-25\n#end\n#rand\n0\n0\n0\n#end\n#kill\n20\n#end\n#alpha\n8\n#end\n#EOF\n";

class PlayWorld : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads SE001..SE025 into a bank on a loopback output (call from a test's start).
  void StartSound();
  // Stands a floor of 2000 x 2000 at height y, its edge at x = edgeX on the -x side.
  void AddFloor(float y, float edgeX = -1000.0f);

  void Hold(int button) { keys.Press(CKeyBindings::kKeyCodes[button]); }
  void Let(int button) { keys.Release(CKeyBindings::kKeyCodes[button]); }
  void SetCameraHeading(float c) { camera->Body().rotation.y = c; }

  // A player at (x, y, z) facing `yaw`, inserted as "CPlayer".
  CPlayer& MakePlayer(float x, float y, float z, float yaw = 0.0f);
  // One frame as a stage runs it for the player: poll, read input, update, then collision.
  void Frame();
  // Poll and update only (no input reading, no collision).
  void UpdateOnly();

  // Effects triggered since the last call, per effect number (both voices counted, then hushed).
  std::array<int, 25> TakeSounds();
  size_t Count(const char* name) const { return registry->Count(name); }
  // The speed of the loaded smoke definition.
  gfxutil::Vector4 SmokeSpeed() const;

  std::unique_ptr<CScratchGameDir> dir;
  CFakeInput keys;
  const CKeyBindings bindings;
  // What the units reach this world through, filled as its pieces are made.
  CarriedOver carried;
  WorldContext world;
  std::unique_ptr<CUnitRegistry> registry;
  std::unique_ptr<CInput> input;
  std::unique_ptr<ResourceCache<CParticleFile>> particles;
  std::unique_ptr<CCameraManager> cameras;
  boost::shared_ptr<CCamera_Normal> camera;
  boost::shared_ptr<CCameraMask> mask;
  std::unique_ptr<CCollisionWorld> floor;
  UnitBody floorOwner;
  std::unique_ptr<SoundBank> bank;
  boost::shared_ptr<CPlayer> player;
  bool soundStarted = false;
};

}  // namespace playtest
