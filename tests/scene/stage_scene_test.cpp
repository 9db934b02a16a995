// The home and forest stages through the real scene manager on the recording device, and the
// picture scenes' camera.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/graphics.h"
#include "core/input.h"
#include "platform/audio/device.h"
#include "platform/os/message_box.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/stage_light.h"
#include "scene/telop_scene.h"
#include "scene/title_scene.h"
#include "sound/music_stream.h"
#include "sound/sound_bank.h"
#include "sound/sound_device.h"
#include "support/child_run.h"
#include "support/recording_graphics.h"
#include "support/scratch_dir.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/npc.h"
#include "unit/player.h"
#include "unit/unit.h"
#include "unit/unit_registry.h"
#include "world_scripts.h"

namespace {

using gfxutil::Vector4;

class StageSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gfx.ok());
    dir.WriteEmptySceneScripts();
    dir.Write("data/wav/bgm.wav", wiringtest::SilentWave(22050, 44100));
    const std::string stage =
        wiringtest::GameScript("0\n0\n0\n", "0\n0\n0\n") + "#bgm\ndata/wav/bgm.wav\n#end\n#EOF\n";
    dir.Write("data/scr/stg00_home.txt", stage);
    dir.Write("data/scr/stg02_forest.txt", stage);
    manager = std::make_unique<CSceneManager>(gfx.config(), keys);
  }
  void TearDown() override {
    manager.reset();
    if (soundStarted) {
      ShutdownSound();
      audio::SetOutput(audio::Output::kDefault);
    }
  }
  void StartSound() {
    audio::SetOutput(audio::Output::kLoopback);
    soundStarted = InitSound();
    ASSERT_TRUE(soundStarted);
  }
  void Enter(CScene* scene) {
    manager->SetNextScene(scene);
    manager->Switch();
  }
  // The world under the current scene.
  const WorldContext& World() const { return manager->CurrentWorld()->Context(); }
  CHomeStageScene& Home() const { return manager->HomeStage(); }
  CForestStageScene& Forest() const { return manager->ForestStage(); }

  testdev::CRecordingGraphics gfx{"wiring_stage_scenes"};
  CKeyBindings keys;
  CScratchGameDir dir{std::string("stage_") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::unique_ptr<CSceneManager> manager;
  bool soundStarted = false;
};

TEST_F(StageSceneTest, HomeAddsTheDoorAndThreeButterfliesInTableOrder) {
  Enter(&Home());
  CUnitRegistry* registry = World().registry;
  ASSERT_NE(registry, nullptr);
  ASSERT_EQ(registry->Count("CDoor"), 1u);
  EXPECT_EQ(registry->Find("CDoor")->GetPosition(), Vector4(110, 100, 240, 0));
  ASSERT_EQ(registry->Count("CButterfly"), 3u);
  std::vector<Vector4> butterflies;
  const auto range = registry->Units().equal_range("CButterfly");
  for (auto it = range.first; it != range.second; ++it) butterflies.push_back(it->second->GetPosition());
  const std::vector<Vector4> want = {{100, 50, 0, 0}, {-150, 50, 0, 0}, {-200, 10, 0, 0}};
  EXPECT_EQ(butterflies, want);
  // With the player, the bear and the camera mask from the script.
  EXPECT_EQ(registry->Count(), 7u);
}

TEST_F(StageSceneTest, HomeLightIsAPointLightWithTheStageRenderStates) {
  Enter(&Home());
  testdev::CRecordingDevice& d = gfx.device();
  ASSERT_EQ(d.lights.count(0), 1u);
  const gfx::Light& l = d.lights[0];
  EXPECT_EQ(l.Type, gfx::D3DLIGHT_POINT);
  EXPECT_FLOAT_EQ(l.Diffuse.r, 0.8f);
  EXPECT_FLOAT_EQ(l.Diffuse.a, 1.0f);
  EXPECT_FLOAT_EQ(l.Ambient.g, 0.3f);
  EXPECT_FLOAT_EQ(l.Specular.b, 0.0f);
  EXPECT_EQ(l.Position, gfxutil::Vector3(0, 200, 0));
  EXPECT_EQ(l.Direction, gfxutil::Vector3(0, -1, 0));
  EXPECT_FLOAT_EQ(l.Range, 500.0f);
  EXPECT_FLOAT_EQ(l.Attenuation0, 0.0001f);
  EXPECT_FLOAT_EQ(l.Attenuation1, 0.00001f);
  EXPECT_FLOAT_EQ(l.Attenuation2, 0.00001f);
  EXPECT_FLOAT_EQ(l.Phi, 3.14f);
  EXPECT_TRUE(d.lightsEnabled[0]);
  EXPECT_EQ(d.renderStates[gfx::D3DRS_LIGHTING], 1u);
  EXPECT_EQ(d.renderStates[gfx::D3DRS_DITHERENABLE], 1u);
  EXPECT_EQ(d.renderStates[gfx::D3DRS_SHADEMODE], uint32_t(gfx::D3DSHADE_GOURAUD));
  EXPECT_EQ(d.renderStates[gfx::D3DRS_AMBIENT], 0x00808080u);
}

TEST_F(StageSceneTest, ForestLightIsDirectionalAndKeepsWhatItDoesNotSet) {
  Enter(&Home());
  // Whatever the record holds when the forest starts stays in the fields the forest leaves alone.
  manager->StageLight().Range = 123.0f;
  manager->StageLight().Theta = 0.25f;
  Enter(&Forest());
  const gfx::Light& l = gfx.device().lights[0];
  EXPECT_EQ(l.Type, gfx::D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(l.Position, gfxutil::Vector3(0, 0, 0));
  EXPECT_FLOAT_EQ(l.Direction.y, -1.0f);
  EXPECT_FLOAT_EQ(l.Diffuse.g, 0.8f);
  EXPECT_FLOAT_EQ(l.Range, 123.0f);
  EXPECT_FLOAT_EQ(l.Theta, 0.25f);
  EXPECT_FLOAT_EQ(l.Attenuation0, 0.0001f);
  EXPECT_FLOAT_EQ(l.Attenuation2, 0.00001f);
  EXPECT_FLOAT_EQ(l.Phi, 3.14f);
  EXPECT_TRUE(gfx.device().lightsEnabled[0]);
  // The forest adds no units of its own.
  EXPECT_EQ(World().registry->Count(), 3u);
}

TEST_F(StageSceneTest, ReenteringTheHomeRebuildsItsUnits) {
  Enter(&Home());
  Enter(&Forest());
  EXPECT_FALSE(Home().World().Exists()) << "the home's world went when the home was left";
  Enter(&Home());
  EXPECT_FALSE(Forest().World().Exists());
  EXPECT_EQ(World().registry->Count("CButterfly"), 3u);
  EXPECT_EQ(World().registry->Count("CDoor"), 1u);
  EXPECT_EQ(World().registry->Count(), 7u);
}

// Look mode, the landing counter, the bear's spring and the camera's height correction belong to
// the run, not to a stage: the forest's player starts looking round if the home's was.
TEST_F(StageSceneTest, WhatTheDesignCarriesOverReachesTheNextStagesUnits) {
  Enter(&Home());
  CarriedOver& carried = manager->Carried();
  EXPECT_EQ(World().carried, &carried);
  carried.playerLookMode = 1;
  carried.bearSpring.offset = 7.0f;
  Enter(&Forest());
  ASSERT_EQ(World().carried, &carried);
  EXPECT_EQ(carried.playerLookMode, 1);
  // A look-mode player turns to face where the camera looks on its next input, look button or not.
  CPlayer* player = World().player;
  ASSERT_NE(player, nullptr);
  World().cameras->Current()->Body().rotation.y = 1.0f;
  player->ReadInput();
  EXPECT_FLOAT_EQ(player->TargetYaw(), 1.0f);
  // The bear's spring goes on from where the home left it: one update damps and moves it on.
  World().bear->Update();
  EXPECT_NE(carried.bearSpring.offset, 7.0f);
  EXPECT_NE(carried.bearSpring.velocity, 0.0f);
}

TEST(HomeGoal, HeightCountsFromTheGroundNotTheFeet) {
  EXPECT_TRUE(CHomeStageScene::AtGoal(Vector4(160, 50, 310, 0)));
  EXPECT_FALSE(CHomeStageScene::AtGoal(Vector4(160, 120, 310, 0)));
  EXPECT_TRUE(CHomeStageScene::AtGoal(Vector4(230, 0, 380, 0)));   // 70² + 70² < 100²
  EXPECT_FALSE(CHomeStageScene::AtGoal(Vector4(260, 0, 310, 0)));  // exactly on the circle
  EXPECT_FALSE(CHomeStageScene::AtGoal(Vector4(0, 0, 0, 0)));
}

TEST_F(StageSceneTest, GoalEndsTheHomeOnceStopsTheMusicAndFadesToTheForest) {
  StartSound();
  Enter(&Home());
  ASSERT_TRUE(StreamIsOpen());
  CPlayer* player = World().player;
  ASSERT_NE(player, nullptr);
  SoundBank& bank = manager->Sounds();

  player->SetPosition(160, 120, 310, 0);
  manager->Frame();
  EXPECT_EQ(Home().GetPhase(), 0);
  EXPECT_EQ(Home().StageEndFlag(), 0);
  EXPECT_TRUE(StreamIsOpen());
  EXPECT_EQ(bank.LastVoice(8), 0);

  player->SetPosition(160, 50, 310, 0);
  const int presentsBefore = gfx.device().presents;
  manager->Frame();
  // The goal frame itself was drawn and presented, then ended the stage.
  EXPECT_EQ(gfx.device().presents, presentsBefore + 1);
  EXPECT_EQ(Home().GetPhase(), 1);
  EXPECT_EQ(Home().StageEndFlag(), 1);
  EXPECT_FALSE(StreamIsOpen());
  EXPECT_EQ(bank.LastVoice(8), 1);  // played once: the first play takes voice 1

  // The request follows the first ending frame's render, then the fade-out runs its 51 frames.
  int frames = 0;
  while (manager->GetCurrentScene() == &Home() && frames < 200) {
    manager->Frame();
    ++frames;
    ASSERT_EQ(bank.LastVoice(8), 1) << "effect 8 played again on ending frame " << frames;
    if (manager->GetCurrentScene() == &Home()) {
      EXPECT_EQ(manager->GetNextScene(), &Forest());
    }
  }
  EXPECT_EQ(frames, 1 + 51);
  EXPECT_EQ(manager->GetCurrentScene(), &Forest());
  // The forest's own music started with its script.
  EXPECT_TRUE(StreamIsOpen());
}

TEST_F(StageSceneTest, TheEndingPhaseCountsItsFramesAndStaysEnding) {
  Enter(&Home());
  World().player->SetPosition(160, 0, 310, 0);
  manager->Frame();
  ASSERT_EQ(Home().GetPhase(), 1);
  // The phase counts the ending frames; a second goal check never runs.
  manager->Frame();
  manager->Frame();
  EXPECT_EQ(Home().GetPhaseCounter(), 2);
  EXPECT_EQ(Home().GetPhase(), 1);
}

TEST_F(StageSceneTest, TheTelopHandsOverToTheHomeStage) {
  Enter(&manager->Telop());
  // The card's counter is shared across visits; count from wherever it stands.
  const int cardFrames = 129 - CTelopScene::FrameCounter();
  int frames = 0;
  while (manager->GetCurrentScene() == &manager->Telop() && frames < 400) {
    manager->Frame();
    ++frames;
  }
  EXPECT_EQ(manager->GetCurrentScene(), &Home());
  // 129 frames of card, then the 51-frame fade-out; the home's world is built.
  EXPECT_EQ(frames, cardFrames + 51);
  EXPECT_NE(World().player, nullptr);
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int g_reportFd = -1;
void ReportBox(const char* text, const char* caption) {
  testgame::Report(g_reportFd, "box %s: %s\n", caption, text);
}

// A device that stays lost ends the process with the message box and exit code 0, at once: the
// music worker must not keep it alive (it waits for a stop nobody else would send).
TEST_F(StageSceneTest, LostDeviceWithMusicPlayingEndsTheProcessAtOnce) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr double kEndWithin = 5;
#else
  constexpr double kEndWithin = 1;
#endif
  const testgame::ChildOutcome out = testgame::RunInChild(
      [this](int fd) {
        audio::SetOutput(audio::Output::kLoopback);
        if (!InitSound()) return 10;
        Enter(&Home());
        for (int i = 0; i < 400 && !StreamIsPlaying(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!StreamIsPlaying()) return 11;
        g_reportFd = fd;
        os::SetMessageBoxHook(ReportBox);
        gfx.device().SimulateDeviceLost(true, false);
        manager->Frame();  // its present finds the device lost
        testgame::Report(fd, "lost at %.6f\n", SteadySeconds());
        manager->Frame();  // and this frame's render ends the process
        testgame::Report(fd, "still running\n");
        return 12;
      },
      30);
  const double ended = SteadySeconds();
  ASSERT_TRUE(out.exited) << out.Describe() << "\n" << out.report;
  EXPECT_EQ(out.exitCode, 0) << out.report;
  EXPECT_NE(out.report.find("box EXIT: Device Lost!\n"), std::string::npos) << out.report;
  const size_t at = out.report.find("lost at ");
  ASSERT_NE(at, std::string::npos) << out.report;
  EXPECT_LT(ended - std::stod(out.report.substr(at + 8)), kEndWithin);
}

TEST_F(StageSceneTest, PictureScenesSetTheirCamerasViewAndProjection) {
  Enter(&manager->Title());
  testdev::CRecordingDevice& d = gfx.device();
  d.SetTransform(gfx::D3DTS_VIEW, gfxutil::Matrix());
  d.SetTransform(gfx::D3DTS_PROJECTION, gfxutil::Matrix());
  manager->Frame();
  const CCameraManager* cameras = World().cameras;
  ASSERT_NE(cameras, nullptr);
  ASSERT_NE(cameras->Current(), nullptr);
  EXPECT_EQ(d.GetTransform(gfx::D3DTS_PROJECTION), CCameraManager::BuildProjection());
  // The picture camera sits at (0, -240, -32): its view moves the world by the opposite.
  const gfxutil::Matrix view = d.GetTransform(gfx::D3DTS_VIEW);
  EXPECT_EQ(view, cameras->Current()->View());
  EXPECT_FLOAT_EQ(view.m[3][1], 240.0f);
  EXPECT_FLOAT_EQ(view.m[3][2], 32.0f);
}

}  // namespace
