#include "play_world.h"

#include <boost/make_shared.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/audio/device.h"
#include "platform/os/message_box.h"
#include "sound/sound_bank.h"
#include "sound/sound_device.h"
#include "support/collision_fixtures.h"
#include "support/wave_files.h"
#include "unit/player.h"

namespace playtest {

namespace {

// A short mono 16-bit wave: the voices only need to load and stay playing, and nothing is
// rendered, so a playing voice stays playing until a test stops it.
std::string ShortWave() {
  std::vector<int16_t> samples(1000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i % 50) * 200);
  return testwave::Wave(testwave::kPcm, 1, 22050, samples);
}

void NoBox(const char* text, const char*) { ADD_FAILURE() << "message box: " << text; }

bool Playing(CSound& voice) {
  uint32_t status = 0;
  return voice.Buffer() && voice.Buffer()->GetStatus(&status) == audio::DS_OK &&
         (status & audio::DSBSTATUS_PLAYING);
}

}  // namespace

void PlayWorld::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir =
      std::make_unique<CScratchGameDir>(std::string("play_") + info->test_suite_name() + "_" + info->name());
  dir->Write("data/par/smoke.par", kSmoke);
  dir->Write("data/par/blood.par", kSmoke);
  std::srand(1);

  world.carried = &carried;
  registry = std::make_unique<CUnitRegistry>(world);
  world.registry = registry.get();
  input = std::make_unique<CInput>(bindings);
  world.input = input.get();
  particles = std::make_unique<ResourceCache<CParticleFile>>(
      std::list<std::string>{"data/par/smoke.par", "data/par/blood.par"}, nullptr);
  world.particles = particles.get();
  cameras = std::make_unique<CCameraManager>(world);
  world.cameras = cameras.get();
  camera = boost::make_shared<CCamera_Normal>();
  cameras->Add(0, camera);
  cameras->SetCurrent(0);
  mask = boost::make_shared<CCameraMask>();
  registry->Insert("CCameraMask", mask);
  world.cameraMask = mask.get();
}

void PlayWorld::TearDown() {
  // The world's own teardown order: units first (they hold resources), then the services.
  player.reset();
  world.player = nullptr;
  if (registry) registry->Destroy();
  mask.reset();
  registry.reset();
  floor.reset();
  cameras.reset();
  camera.reset();
  particles.reset();
  input.reset();
  bank.reset();
  world = WorldContext{};
  if (soundStarted) {
    ShutdownSound();
    audio::SetOutput(audio::Output::kDefault);
    os::SetMessageBoxHook(nullptr);
  }
  dir.reset();
}

void PlayWorld::StartSound() {
  const std::string wave = ShortWave();
  for (int n = 1; n <= 25; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "data/wav/SE%03d.wav", n);
    dir->Write(name, wave);
  }
  os::SetMessageBoxHook(NoBox);
  audio::SetOutput(audio::Output::kLoopback);
  soundStarted = true;
  ASSERT_TRUE(InitSound());
  bank = std::make_unique<SoundBank>();
  world.sounds = bank.get();
  ASSERT_TRUE(bank->Voice(0, 0).IsLoaded());
  ASSERT_TRUE(bank->Voice(24, 1).IsLoaded());
}

void PlayWorld::AddFloor(float y, float edgeX) {
  if (!floor) floor = std::make_unique<CCollisionWorld>();
  world.collisionWorld = floor.get();
  CollisionGroupData g;
  testworld::AddFloor(g, edgeX, edgeX + 2000.0f, -1000.0f, 1000.0f, y);
  floor->Add(boost::make_shared<CCollisionUnit>(&floorOwner, testworld::MakeModel({g})));
}

CPlayer& PlayWorld::MakePlayer(float x, float y, float z, float yaw) {
  player = boost::make_shared<CPlayer>(world, gfxutil::Vector4(x, y, z, 1.0f),
                                       gfxutil::Vector4(0.5f, yaw, 0.25f, 0.0f));
  registry->Insert("CPlayer", player);
  world.player = player.get();
  return *player;
}

void PlayWorld::Frame() {
  input->Update();
  player->ReadInput();
  player->Update();
  player->LateUpdate();
}

void PlayWorld::UpdateOnly() {
  input->Update();
  player->Update();
}

gfxutil::Vector4 PlayWorld::SmokeSpeed() const {
  const boost::shared_ptr<CParticleFile> smoke = particles->Find("data/par/smoke.par");
  EXPECT_TRUE(smoke && smoke->Loaded());
  return smoke ? smoke->speed : gfxutil::Vector4();
}

std::array<int, 25> PlayWorld::TakeSounds() {
  std::array<int, 25> plays{};
  if (!bank) return plays;
  for (int n = 0; n < 25; ++n) {
    for (int v = 0; v < 2; ++v) {
      CSound& voice = bank->Voice(n, v);
      if (!Playing(voice)) continue;
      ++plays[n];
      voice.Buffer()->Stop();
      voice.Buffer()->SetCurrentPosition(0);
    }
  }
  return plays;
}

}  // namespace playtest
