// Building a world from a stage script, tearing it down, and the frame passes over it.
#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/graphics.h"
#include "core/input.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "platform/audio/device.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "scene/scene.h"
#include "scene/scene_manager.h"
#include "scene/screen_fader.h"
#include "sound/music_stream.h"
#include "sound/sound_device.h"
#include "support/probe_unit.h"
#include "support/recording_graphics.h"
#include "support/scratch_dir.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/camera_normal.h"
#include "unit/camera_player.h"
#include "unit/npc.h"
#include "unit/player.h"
#include "unit/shadow.h"
#include "unit/unit_registry.h"
#include "world/bsp_list.h"
#include "world/collision_model.h"
#include "world/collision_world.h"
#include "world_scripts.h"

namespace {

using gfxutil::Vector4;

// The run a scene's world borrows from: the settings, the keys and the scene manager (its fader,
// bank and carried-over record), with a plain scene of its own.
struct WorldRun {
  CConfig config;
  CKeyBindings keys;
  CSceneManager manager{config, keys};
  CScene scene{manager};
  const WorldContext& world = scene.World().Context();
};

// The world being watched.
const CStageWorld* g_watched = nullptr;

// Which world services exist right now, one letter each in load order ('-' when absent), then the
// play units: registry, input, cameras, sprites, models, collision models, collision world, bsp
// list, shadow, particles | player, bear, camera mask.
std::string Live() {
  const WorldContext& w = g_watched->Context();
  std::string s;
  s += w.registry ? 'R' : '-';
  s += w.input ? 'I' : '-';
  s += w.cameras ? 'C' : '-';
  s += w.sprites ? 'S' : '-';
  s += w.models ? 'M' : '-';
  s += w.collisionModels ? 'K' : '-';
  s += w.collisionWorld ? 'W' : '-';
  s += g_watched->BspList() ? 'B' : '-';
  s += w.shadow ? 'H' : '-';
  s += w.particles ? 'P' : '-';
  s += '|';
  s += w.player ? 'p' : '-';
  s += w.bear ? 'n' : '-';
  s += w.cameraMask ? 'm' : '-';
  return s;
}

std::vector<std::string> g_steps;
bool g_streamOpenAtStep = false;
void RecordStep(const char* step) {
  g_steps.push_back(std::string(step) + " " + Live());
  if (std::string(step) == "music stopped") g_streamOpenAtStep = StreamIsOpen();
}

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_steps.clear();
    g_watched = &scene.World();
    CStageWorld::SetStepHook(RecordStep);
  }
  void TearDown() override {
    CStageWorld::SetStepHook(nullptr);
    scene.WorldTeardown();
    g_watched = nullptr;
  }
  CScratchGameDir dir{std::string("world_") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  WorldRun run;
  CScene& scene = run.scene;
  const WorldContext& world = run.world;
};

TEST_F(WorldTest, GameScriptBuildsEveryServiceInOrderThenTheUnitsAndCamera) {
  dir.Write("data/scr/s.txt",
            wiringtest::GameScript("10\n20\n-30\n", "0\n90\n0\n") +
                "#sprite\ndata/image/shadow.dds\n#end\n#collision\ndata/mdl/a.dec\ndata/mdl/b.dec\n#end\n"
                "#bsp\ndata/mdl/a.mdl\ndata/mdl/b.mdl\n#end\n");
  scene.LoadStageScript("data/scr/s.txt");
  const std::vector<std::string> want = {"registry R---------|---",        "input RI--------|---",
                                         "cameras RIC-------|---",         "sprites RICS------|---",
                                         "models RICSM-----|---",          "collision models RICSMK----|---",
                                         "collision world RICSMKW---|---", "bsp list RICSMKWB--|---",
                                         "shadow RICSMKWBH-|---",          "particles RICSMKWBHP|---",
                                         "player RICSMKWBHP|p--",          "bear RICSMKWBHP|pn-",
                                         "camera mask RICSMKWBHP|pnm",     "player camera RICSMKWBHP|pnm",
                                         "fade-in RICSMKWBHP|pnm",         "music RICSMKWBHP|pnm"};
  EXPECT_EQ(g_steps, want);
  // The shadow found its image, so the sprite cache was there before it; each background piece
  // put its collision unit into a collision world that already existed.
  ASSERT_NE(world.shadow, nullptr);
  EXPECT_NE(world.shadow->Sprite(), nullptr);
  EXPECT_EQ(scene.World().BspList()->Count(), 2);
  EXPECT_EQ(world.collisionWorld->Count(), 2);
  // The registry holds the three units under their names and the player camera follows the player.
  EXPECT_EQ(world.registry->Count(), 3u);
  EXPECT_EQ(world.registry->Find("CPlayer").get(), world.player);
  EXPECT_EQ(world.registry->Find("CNPC").get(), world.bear);
  EXPECT_EQ(world.registry->Find("CCameraMask").get(), world.cameraMask);
  EXPECT_EQ(world.cameras->CurrentNumber(), 2);
  EXPECT_NE(dynamic_cast<CCamera_Player*>(world.cameras->Current()), nullptr);
  EXPECT_EQ(scene.GetPhase(), 0);
  EXPECT_EQ(scene.StageEndFlag(), 0);
}

TEST_F(WorldTest, DegreesAreReadAsThreePointOneFourOverOneEightyAndBothUnitsShareTheStart) {
  dir.Write("data/scr/s.txt", wiringtest::GameScript("10\n20\n-30\n", "0\n90\n0\n"));
  scene.LoadStageScript("data/scr/s.txt");
  ASSERT_NE(world.player, nullptr);
  ASSERT_NE(world.bear, nullptr);
  const Vector4 start(10.0f, 20.0f, -30.0f, 0.0f);
  EXPECT_EQ(world.player->GetPosition(), start);
  EXPECT_EQ(world.bear->GetPosition(), start);
  EXPECT_FLOAT_EQ(world.player->GetRotation().y, 1.5700000f);
  EXPECT_LT(world.player->GetRotation().y, 1.5707963f);
  EXPECT_EQ(world.bear->GetRotation(), world.player->GetRotation());
}

TEST_F(WorldTest, MissingAndNonNumericPlacementValuesReadAsZero) {
  dir.Write("data/scr/s.txt", wiringtest::GameScript("7\n", "abc\n45\n"));
  scene.LoadStageScript("data/scr/s.txt");
  ASSERT_NE(world.player, nullptr);
  EXPECT_EQ(world.player->GetPosition(), Vector4(7.0f, 0.0f, 0.0f, 0.0f));
  EXPECT_FLOAT_EQ(world.player->GetRotation().y, 45 * 0.017444445f);
}

void ExpectPictureScene(const WorldContext& world, const char* why) {
  SCOPED_TRACE(why);
  EXPECT_EQ(world.player, nullptr);
  EXPECT_EQ(world.bear, nullptr);
  ASSERT_NE(world.registry, nullptr);
  EXPECT_EQ(world.registry->Count(), 0u);
  ASSERT_NE(world.cameras, nullptr);
  EXPECT_EQ(world.cameras->CurrentNumber(), 0);
  EXPECT_NE(dynamic_cast<CCamera_Normal*>(world.cameras->Current()), nullptr);
}

TEST_F(WorldTest, OnlyAnExactGameTypeMakesAPlayableStage) {
  dir.Write("data/scr/lower.txt", "#type\ngame\n#end\n#position\n1\n2\n3\n#end\n#EOF\n");
  dir.Write("data/scr/blank.txt", "#type\nGAME \n#end\n#EOF\n");
  dir.Write("data/scr/none.txt", "#sprite\n#end\n#EOF\n");
  scene.LoadStageScript("data/scr/lower.txt");
  ExpectPictureScene(world, "lower case");
  scene.WorldTeardown();
  scene.LoadStageScript("data/scr/blank.txt");
  ExpectPictureScene(world, "trailing blank");
  scene.WorldTeardown();
  scene.LoadStageScript("data/scr/none.txt");
  ExpectPictureScene(world, "no type");
  scene.WorldTeardown();
  dir.Write("data/scr/game.txt", "#type\nGAME\n#end\n#EOF\n");
  scene.LoadStageScript("data/scr/game.txt");
  EXPECT_NE(world.player, nullptr);
}

TEST_F(WorldTest, TeardownStopsTheMusicThenDestroysInOrderWithTheRegistryLast) {
  const std::string bgm = wiringtest::SilentWave(22050, 44100);
  dir.Write("data/wav/bgm.wav", bgm);
  dir.Write("data/scr/s.txt",
            wiringtest::GameScript("0\n0\n0\n", "0\n0\n0\n") + "#bgm\ndata/wav/bgm.wav\n#end\n");
  audio::SetOutput(audio::Output::kLoopback);
  ASSERT_TRUE(InitSound());
  scene.LoadStageScript("data/scr/s.txt");
  EXPECT_TRUE(StreamIsOpen());
  g_steps.clear();
  scene.WorldTeardown();
  const bool openWhenStopped = g_streamOpenAtStep;
  ShutdownSound();
  audio::SetOutput(audio::Output::kDefault);

  EXPECT_FALSE(openWhenStopped);
  const std::vector<std::string> want = {
      "music stopped RICSMKWBHP|pnm",        "particles gone RICSMKWBH-|pnm",
      "shadow gone RICSMKWB--|pnm",          "bsp list gone RICSMKW---|pnm",
      "collision world gone RICSMK----|pnm", "collision models gone RICSM-----|pnm",
      "models gone RICS------|pnm",          "sprites gone RIC-------|pnm",
      "cameras gone RI--------|pnm",         "input gone R---------|pnm",
      "registry gone ----------|---"};
  EXPECT_EQ(g_steps, want);
}

TEST_F(WorldTest, LoadingAgainRebuildsEveryCacheAndUnit) {
  dir.Write("data/scr/s.txt",
            wiringtest::GameScript("5\n0\n5\n", "0\n0\n0\n") + "#sprite\ndata/image/shadow.dds\n#end\n");
  scene.LoadStageScript("data/scr/s.txt");
  boost::weak_ptr<CUnit> firstPlayer = world.registry->Find("CPlayer");
  boost::weak_ptr<CSprite> firstShadow = world.sprites->Find("data/image/shadow.dds");
  world.player->SetPosition(99, 99, 99, 0);
  scene.SetPhase(3);
  scene.World().EndStage();

  // Left and entered again, as a scene switch does.
  scene.Leave();
  EXPECT_TRUE(firstPlayer.expired());
  EXPECT_TRUE(firstShadow.expired());
  scene.LoadStageScript("data/scr/s.txt");
  EXPECT_EQ(world.registry->Count(), 3u);
  EXPECT_EQ(world.player->GetPosition(), Vector4(5, 0, 5, 0));
  EXPECT_NE(world.sprites->Find("data/image/shadow.dds"), nullptr);
  EXPECT_EQ(scene.GetPhase(), 0);
  EXPECT_EQ(scene.StageEndFlag(), 0);

  // Loaded again without leaving first: the old world goes, it does not pile up.
  boost::weak_ptr<CUnit> secondPlayer = world.registry->Find("CPlayer");
  scene.LoadStageScript("data/scr/s.txt");
  EXPECT_TRUE(secondPlayer.expired());
  EXPECT_EQ(world.registry->Count(), 3u);
  EXPECT_EQ(world.registry->Count("CPlayer"), 1u);
}

// --- The frame passes, on the recording device -------------------------------------------------

// Records the device's view transform at its update, to show the camera ran first.
class ViewProbe : public CProbeUnit {
 public:
  using CProbeUnit::CProbeUnit;
  void Update() override {
    CProbeUnit::Update();
    viewAtUpdate = app::GetDevice()->GetTransform(gfx::D3DTS_VIEW);
  }
  gfxutil::Matrix viewAtUpdate;
};

class WorldPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gfx.ok());
    dir.Write("data/scr/p.txt", "#type\nPICTURE\n#end\n#bsp\ndata/mdl/none.x\n#end\n#EOF\n");
    scene.LoadStageScript("data/scr/p.txt");
  }
  void TearDown() override {
    gfx.device().journal = nullptr;
    app::SetDebugDraw(false);
    scene.WorldTeardown();
  }
  // In front of the picture camera (eye (0, -240, -32), looking along +z).
  boost::shared_ptr<ViewProbe> AddProbe(const std::string& tag) {
    boost::shared_ptr<ViewProbe> p(new ViewProbe(tag, &journal));
    p->SetPosition(0, -240, 200, 0);
    world.registry->Insert(tag, p);
    return p;
  }
  testdev::CRecordingGraphics gfx{"wiring_world_passes"};
  CScratchGameDir dir{std::string("world_") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  WorldRun run;
  CScene& scene = run.scene;
  const WorldContext& world = run.world;
  std::vector<std::string> journal;
};

// Index of the first entry equal to `what` at or after `from`; journal size when absent.
size_t Find(const std::vector<std::string>& j, const std::string& what, size_t from) {
  for (size_t i = from; i < j.size(); ++i)
    if (j[i] == what) return i;
  return j.size();
}

TEST_F(WorldPassTest, WorldUpdateRemovesThenUpdatesTheCameraThenTheUnits) {
  auto gone = AddProbe("a");
  gone->Finish();
  auto stays = AddProbe("b");
  app::GetDevice()->SetTransform(gfx::D3DTS_VIEW, gfxutil::Matrix());
  scene.WorldUpdate();
  EXPECT_EQ(gone->updates, 0);
  EXPECT_EQ(world.registry->Count("a"), 0u);
  EXPECT_EQ(stays->updates, 1);
  // The camera's update came first: the unit saw the camera's view on the device, and its
  // distance is measured from the camera's eye.
  const gfxutil::Matrix cameraView = world.cameras->Current()->View();
  EXPECT_EQ(stays->viewAtUpdate, cameraView);
  EXPECT_NE(cameraView, gfxutil::Matrix());
  EXPECT_FLOAT_EQ(stays->CameraDistanceSq(), 232.0f * 232.0f);
}

TEST_F(WorldPassTest, LateUpdateRunsTheUnitsAndDecidesVisibility) {
  auto near = AddProbe("a");
  auto far = AddProbe("b");
  far->SetPosition(0, -240, 3000, 0);
  scene.WorldUpdate();
  scene.LateUpdate();
  EXPECT_TRUE(near->IsVisible());
  EXPECT_FALSE(far->IsVisible());
  EXPECT_LT(Find(journal, "a:late", 0), journal.size());
  EXPECT_LT(Find(journal, "b:late", 0), journal.size());
}

TEST_F(WorldPassTest, RenderDrawsBackgroundUnitsWireframeScreenPassAndFaderInOrder) {
  auto probe = AddProbe("a");
  scene.WorldUpdate();
  scene.LateUpdate();
  ASSERT_TRUE(probe->IsVisible());
  app::SetDebugDraw(true);  // F2
  // The fader belongs to the scene manager; a fade-in just begun draws black at 250 of 255.
  run.manager.Fader().Start(CScreenFader::kFadeIn);
  journal.clear();
  gfx.device().journal = &journal;
  gfx.device().draws.clear();
  scene.RenderWorld();

  const std::string opaqueBias = "tss 0 19=" + std::to_string(gfx::FloatBits(1.0f));
  const std::vector<std::string> order = {"begin",    "clear",   opaqueBias, "a:draw",   "rs 28=0",
                                          "rs 28=1",  "a:draw2", "rs 137=0", "rs 137=1", "rs 137=0",
                                          "a:screen", "draw",    "end"};
  size_t at = 0;
  for (const std::string& step : order) {
    const size_t found = Find(journal, step, at);
    ASSERT_LT(found, journal.size()) << "missing or out of order: " << step;
    at = found + 1;
  }
  // Only one unit pass of each kind, and the fader's quad is the last draw of the frame.
  EXPECT_EQ(Find(journal, "a:draw", Find(journal, "a:draw", 0) + 1), journal.size());
  const size_t fader = Find(journal, "draw", Find(journal, "a:screen", 0));
  EXPECT_EQ(Find(journal, "draw", fader + 1), journal.size());
  ASSERT_FALSE(gfx.device().draws.empty());
  const testdev::Draw& last = gfx.device().draws.back();
  EXPECT_EQ(last.primitives, 2u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(last.Vertex<testdev::ScreenVertex>(i).color, 0xFA000000u) << i;
}

TEST_F(WorldPassTest, UnitsInvisibleToTheCameraAreNotDrawnButGetTheScreenPass) {
  auto probe = AddProbe("a");
  probe->SetPosition(0, -240, 3000, 0);
  scene.WorldUpdate();
  scene.LateUpdate();
  scene.RenderWorld();
  EXPECT_EQ(Find(journal, "a:draw", 0), journal.size());
  EXPECT_EQ(Find(journal, "a:draw2", 0), journal.size());
  EXPECT_LT(Find(journal, "a:screen", 0), journal.size());
}

TEST(WorldListener, RenderPutsTheListenerAtTheCameraEye) {
  testdev::CRecordingGraphics gfx("wiring_world_listener");
  ASSERT_TRUE(gfx.ok());
  CScratchGameDir dir("world_listener");
  dir.Write("data/scr/p.txt", "#type\nPICTURE\n#end\n#EOF\n");
  audio::SetOutput(audio::Output::kLoopback);
  ASSERT_TRUE(InitSound());
  WorldRun run;
  CScene& scene = run.scene;
  scene.LoadStageScript("data/scr/p.txt");
  run.world.cameras->Current()->Body().position = Vector4(12, 34, -56, 0);
  scene.RenderWorld();
  float x = 0, y = 0, z = 0;
  GetSoundListener()->GetPosition(&x, &y, &z);
  scene.WorldTeardown();
  ShutdownSound();
  audio::SetOutput(audio::Output::kDefault);
  EXPECT_FLOAT_EQ(x, 12.0f);
  EXPECT_FLOAT_EQ(y, 34.0f);
  EXPECT_FLOAT_EQ(z, -56.0f);
}

// The camera circles the player, so the listener turns with it: an effect three units to the
// camera's right (as its view places it) is heard on the right whichever way the camera looks.
TEST(WorldListener, EffectToTheCamerasRightIsHeardOnTheRightAsTheCameraTurns) {
  testdev::CRecordingGraphics gfx("wiring_world_listener_turn");
  ASSERT_TRUE(gfx.ok());
  CScratchGameDir dir("world_listener_turn");
  dir.Write("data/scr/p.txt", "#type\nPICTURE\n#end\n#EOF\n");
  audio::SetOutput(audio::Output::kLoopback);
  ASSERT_TRUE(InitSound());
  WorldRun run;
  CScene& scene = run.scene;
  scene.LoadStageScript("data/scr/p.txt");

  // A steady tone on a 3D voice with the distances the bank gives a unit's effect.
  audio::WaveFormat format;
  format.formatTag = audio::WAVE_FORMAT_PCM;
  format.channels = 1;
  format.samplesPerSec = 44100;
  format.bitsPerSample = 16;
  format.blockAlign = 2;
  format.avgBytesPerSec = 88200;
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_CTRL3D;
  desc.bufferBytes = 88200;
  desc.format = &format;
  std::unique_ptr<audio::CBuffer> voice;
  ASSERT_EQ(GetSoundDevice()->CreateSoundBuffer(desc, &voice), audio::DS_OK);
  void* region = nullptr;
  uint32_t bytes = 0;
  ASSERT_EQ(voice->Lock(0, desc.bufferBytes, &region, &bytes, nullptr, nullptr, 0), audio::DS_OK);
  int16_t* samples = static_cast<int16_t*>(region);
  for (uint32_t i = 0; i < bytes / 2; ++i)
    samples[i] = static_cast<int16_t>(16000 * std::sin(i * 2 * M_PI / 100));
  voice->Unlock(region, bytes, nullptr, 0);
  voice->SetMinDistance(1);
  voice->SetMaxDistance(10);
  voice->Play(audio::DSBPLAY_LOOPING);

  auto level = [](const std::vector<float>& out, int channel) {
    double sum = 0;
    for (size_t i = 2000; i < out.size() / 2; ++i) sum += out[2 * i + channel] * out[2 * i + channel];
    return std::sqrt(sum / static_cast<double>(out.size() / 2 - 2000));
  };
  CCamera* camera = run.world.cameras->Current();
  std::vector<float> out(2 * 6000);
  for (int yaw : {0, 90, 180, 270}) {
    camera->Body().position = Vector4(100, 20, -50, 0);
    camera->Body().rotation = Vector4(static_cast<float>(yaw * M_PI / 180), 0, 0, 0);
    camera->Update();
    scene.RenderWorld();
    gfxutil::Matrix viewToWorld;
    ASSERT_TRUE(gfxutil::MatrixInverse(camera->View(), viewToWorld));
    const gfxutil::Vector3 spot = gfxutil::Vec3TransformCoord(gfxutil::Vector3(3, 0, 0), viewToWorld);
    voice->SetPosition(spot.x, spot.y, spot.z);
    ASSERT_TRUE(audio::RenderLoopback(out.data(), 6000));
    const double left = level(out, 0), right = level(out, 1);
    std::printf("camera yaw %3d: effect at (%.1f, %.1f, %.1f), level L %.4f R %.4f\n", yaw, spot.x, spot.y,
                spot.z, left, right);
    EXPECT_GT(right, 0.05) << yaw;
    EXPECT_GT(right, 5 * left) << "camera yaw " << yaw;
  }
  voice.reset();
  scene.WorldTeardown();
  ShutdownSound();
  audio::SetOutput(audio::Output::kDefault);
}

}  // namespace
