// The home and forest stages through the real scene manager on the recording device, and the
// picture scenes' camera.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/graphics.h"
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
    manager = std::make_unique<CSceneManager>();
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
  testdev::CRecordingGraphics gfx{"wiring_stage_scenes"};
  CScratchGameDir dir{std::string("stage_") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::unique_ptr<CSceneManager> manager;
  bool soundStarted = false;
};

TEST_F(StageSceneTest, HomeAddsTheDoorAndThreeButterfliesInTableOrder) {
  Enter(g_homeStageScene);
  ASSERT_NE(g_unitRegistry, nullptr);
  ASSERT_EQ(g_unitRegistry->Count("CDoor"), 1u);
  EXPECT_EQ(g_unitRegistry->Find("CDoor")->GetPosition(), Vector4(110, 100, 240, 0));
  ASSERT_EQ(g_unitRegistry->Count("CButterfly"), 3u);
  std::vector<Vector4> butterflies;
  const auto range = g_unitRegistry->Units().equal_range("CButterfly");
  for (auto it = range.first; it != range.second; ++it) butterflies.push_back(it->second->GetPosition());
  const std::vector<Vector4> want = {{100, 50, 0, 0}, {-150, 50, 0, 0}, {-200, 10, 0, 0}};
  EXPECT_EQ(butterflies, want);
  // With the player, the bear and the camera mask from the script.
  EXPECT_EQ(g_unitRegistry->Count(), 7u);
}

TEST_F(StageSceneTest, HomeLightIsAPointLightWithTheStageRenderStates) {
  Enter(g_homeStageScene);
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
  Enter(g_homeStageScene);
  // Whatever the record holds when the forest starts stays in the fields the forest leaves alone.
  g_stageLight.Range = 123.0f;
  g_stageLight.Theta = 0.25f;
  Enter(g_forestStageScene);
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
  EXPECT_EQ(g_unitRegistry->Count(), 3u);
}

TEST_F(StageSceneTest, ReenteringTheHomeRebuildsItsUnits) {
  Enter(g_homeStageScene);
  Enter(g_forestStageScene);
  Enter(g_homeStageScene);
  EXPECT_EQ(g_unitRegistry->Count("CButterfly"), 3u);
  EXPECT_EQ(g_unitRegistry->Count("CDoor"), 1u);
  EXPECT_EQ(g_unitRegistry->Count(), 7u);
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
  Enter(g_homeStageScene);
  ASSERT_TRUE(StreamIsOpen());
  CPlayer* player = CPlayer::Current();
  ASSERT_NE(player, nullptr);

  player->SetPosition(160, 120, 310, 0);
  manager->Frame();
  EXPECT_EQ(g_homeStageScene->GetPhase(), 0);
  EXPECT_EQ(g_homeStageScene->StageEndFlag(), 0);
  EXPECT_TRUE(StreamIsOpen());
  EXPECT_EQ(g_soundBank->LastVoice(8), 0);

  player->SetPosition(160, 50, 310, 0);
  const int presentsBefore = gfx.device().presents;
  manager->Frame();
  // The goal frame itself was drawn and presented, then ended the stage.
  EXPECT_EQ(gfx.device().presents, presentsBefore + 1);
  EXPECT_EQ(g_homeStageScene->GetPhase(), 1);
  EXPECT_EQ(g_homeStageScene->StageEndFlag(), 1);
  EXPECT_FALSE(StreamIsOpen());
  EXPECT_EQ(g_soundBank->LastVoice(8), 1);  // played once: the first play takes voice 1

  // The request follows the first ending frame's render, then the fade-out runs its 51 frames.
  int frames = 0;
  while (manager->GetCurrentScene() == g_homeStageScene && frames < 200) {
    manager->Frame();
    ++frames;
    ASSERT_EQ(g_soundBank->LastVoice(8), 1) << "effect 8 played again on ending frame " << frames;
    if (manager->GetCurrentScene() == g_homeStageScene) {
      EXPECT_EQ(manager->GetNextScene(), g_forestStageScene);
    }
  }
  EXPECT_EQ(frames, 1 + 51);
  EXPECT_EQ(manager->GetCurrentScene(), g_forestStageScene);
  // The forest's own music started with its script.
  EXPECT_TRUE(StreamIsOpen());
}

TEST_F(StageSceneTest, TheEndingPhaseCountsItsFramesAndStaysEnding) {
  Enter(g_homeStageScene);
  CPlayer::Current()->SetPosition(160, 0, 310, 0);
  manager->Frame();
  ASSERT_EQ(g_homeStageScene->GetPhase(), 1);
  // The phase counts the ending frames; a second goal check never runs.
  manager->Frame();
  manager->Frame();
  EXPECT_EQ(g_homeStageScene->GetPhaseCounter(), 2);
  EXPECT_EQ(g_homeStageScene->GetPhase(), 1);
}

TEST_F(StageSceneTest, TheTelopHandsOverToTheHomeStage) {
  Enter(g_telopScene);
  // The card's counter is shared across visits; count from wherever it stands.
  const int cardFrames = 129 - CTelopScene::FrameCounter();
  int frames = 0;
  while (manager->GetCurrentScene() == g_telopScene && frames < 400) {
    manager->Frame();
    ++frames;
  }
  EXPECT_EQ(manager->GetCurrentScene(), g_homeStageScene);
  // 129 frames of card, then the 51-frame fade-out; the home's world is built.
  EXPECT_EQ(frames, cardFrames + 51);
  EXPECT_NE(CPlayer::Current(), nullptr);
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
        Enter(g_homeStageScene);
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
  Enter(g_titleScene);
  testdev::CRecordingDevice& d = gfx.device();
  d.SetTransform(gfx::D3DTS_VIEW, gfxutil::Matrix());
  d.SetTransform(gfx::D3DTS_PROJECTION, gfxutil::Matrix());
  manager->Frame();
  ASSERT_NE(g_cameraManager, nullptr);
  ASSERT_NE(g_cameraManager->Current(), nullptr);
  EXPECT_EQ(d.GetTransform(gfx::D3DTS_PROJECTION), CCameraManager::BuildProjection());
  // The picture camera sits at (0, -240, -32): its view moves the world by the opposite.
  const gfxutil::Matrix view = d.GetTransform(gfx::D3DTS_VIEW);
  EXPECT_EQ(view, g_cameraManager->Current()->View());
  EXPECT_FLOAT_EQ(view.m[3][1], 240.0f);
  EXPECT_FLOAT_EQ(view.m[3][2], 32.0f);
}

}  // namespace
