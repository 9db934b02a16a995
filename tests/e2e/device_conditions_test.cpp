// The game keeps running frames without a sound device, without a pad, with a pad plugged in and
// pulled out during play, and across focus being lost and given back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/game_services.h"
#include "app/pause/pause_screen.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "scene/forest_stage_scene.h"
#include "scene/scene_manager.h"
#include "sound/sound_device.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using testgame::CHeadlessGame;
using testgame::CPlayThrough;

constexpr uint64_t kFrameCap = 2000;

// A scratch game folder with the build's data tree linked in (nothing is changed in it).
class DeviceConditions : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path source = fs::path(BRIMMEL_GAME_DIR);
    ASSERT_TRUE(fs::exists(source / "data/scr/stg00_home.txt")) << "the build's data tree is missing";
    dir_ = std::make_unique<CScratchGameDir>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directory_symlink(source / "data", fs::path(dir_->Path()) / "data");
    fs::copy_file(source / "TORIDEN.ini", fs::path(dir_->Path()) / "TORIDEN.ini");
  }
  void TearDown() override { dir_.reset(); }

  std::unique_ptr<CScratchGameDir> dir_;
};

bool ReachedEveryScene(const CPlayThrough& flow) {
  for (const char* s :
       {"CTeamLogoScene", "CTitleScene", "CTelopScene", "CHomeStageScene", "CForestStageScene"})
    if (flow.FirstFrameOf(s) == 0) return false;
  return true;
}

TEST_F(DeviceConditions, NoSoundDeviceShowsTheMessageAndPlaysOnSilently) {
  testgame::Options options;
  options.sound = audio::Output::kNone;
  CHeadlessGame game(options);
  CPlayThrough flow(60, 60, kFrameCap);
  bool soundDeviceDuringPlay = true;
  const int code = game.Run([&](CHeadlessGame& g, uint64_t frame) {
    flow(g, frame);
    if (std::string(g.CurrentSceneName()) == "CForestStageScene")
      soundDeviceDuringPlay = GetSoundDevice() != nullptr;
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ReachedEveryScene(flow) && flow.Finished());
  EXPECT_FALSE(soundDeviceDuringPlay);
  ASSERT_EQ(game.MessageBoxes().size(), 1u);
  EXPECT_EQ(game.MessageBoxes()[0].rfind("Error: ", 0), 0u) << game.MessageBoxes()[0];
}

// OpenAL itself finds no output (its backend list names none that exists): the same as above,
// through the real open. OpenAL reads its configuration once per process, hence the child.
TEST_F(DeviceConditions, NoUsableAudioBackendPlaysOnSilently) {
  const testgame::ChildOutcome out = testgame::RunInChild(
      [](int fd) {
        setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
        testgame::Options options;
        options.sound = audio::Output::kDefault;
        CHeadlessGame game(options);
        CPlayThrough flow(60, 60, kFrameCap);
        const int code = game.Run([&](CHeadlessGame& g, uint64_t frame) { flow(g, frame); });
        testgame::Report(fd, "boxes %zu every-scene %d finished %d\n", game.MessageBoxes().size(),
                         ReachedEveryScene(flow) ? 1 : 0, flow.Finished() ? 1 : 0);
        return code;
      },
      300);
  EXPECT_TRUE(out.exited && out.exitCode == 0) << out.Describe();
  EXPECT_EQ(out.report, "boxes 1 every-scene 1 finished 1\n");
}

TEST_F(DeviceConditions, NoPadAtAllStillPlaysFromTheKeyboard) {
  CHeadlessGame game;
  game.Input().joystickPresent = false;
  CPlayThrough flow(60, 60, kFrameCap);
  const int code = game.Run([&](CHeadlessGame& g, uint64_t frame) { flow(g, frame); });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ReachedEveryScene(flow) && flow.Finished());
  EXPECT_TRUE(game.MessageBoxes().empty());
}

// A virtual pad through SDL's real controller path: plugged in during the logo, its A button
// confirms the title, pulled out in the home stage and plugged in again, pulled out in the forest.
TEST_F(DeviceConditions, PadPluggedInAndPulledOutDuringPlay) {
  testgame::Options options;
  options.scriptedInput = false;
  CHeadlessGame game(options);
  int pad = -1;
  int attaches = 0, detaches = 0;
  bool readWhilePlugged = true, readWhileUnplugged = false;
  uint64_t titleAt = 0, telopAt = 0, homeAt = 0, forestAt = 0, lastFrame = 0;
  const int code = game.Run([&](CHeadlessGame& g, uint64_t frame) {
    lastFrame = frame;
    const std::string scene = g.CurrentSceneName();
    os::JoyInfo info;
    if (frame == 100) {
      pad = os::AttachVirtualPad();
      attaches += pad >= 0;
    }
    if (pad >= 0 && frame > 101) readWhilePlugged = readWhilePlugged && os::JoyGetPos(info);
    if (pad < 0 && frame > 101) readWhileUnplugged = readWhileUnplugged || os::JoyGetPos(info);
    if (scene == "CTitleScene" && !titleAt) titleAt = frame;
    if (scene == "CTelopScene" && !telopAt) telopAt = frame;
    if (scene == "CHomeStageScene" && !homeAt) homeAt = frame;
    if (scene == "CForestStageScene" && !forestAt) forestAt = frame;
    // A on the title, a push of the stick up in the stages.
    if (titleAt && !telopAt && frame == titleAt + 55) os::SetVirtualPad(pad, 0, 0, 1u);
    if (titleAt && !telopAt && frame == titleAt + 57) os::SetVirtualPad(pad, 0, 0, 0);
    if (homeAt && frame == homeAt + 1) os::SetVirtualPad(pad, 0, -32768, 0);
    if (homeAt && frame == homeAt + 40) {
      detaches += os::DetachVirtualPad(pad);
      pad = -1;
    }
    if (homeAt && frame == homeAt + 80) {
      pad = os::AttachVirtualPad();
      attaches += pad >= 0;
      os::SetVirtualPad(pad, 32767, 0, 0);
    }
    if (homeAt && !forestAt && frame == homeAt + 120) g.RequestScene(&g.Scenes().ForestStage());
    if (forestAt && frame == forestAt + 30) {
      detaches += os::DetachVirtualPad(pad);
      pad = -1;
    }
    if (forestAt && frame == forestAt + 90) g.Quit();
    if (frame == kFrameCap) g.Quit();
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(attaches, 2);
  EXPECT_EQ(detaches, 2);
  EXPECT_TRUE(readWhilePlugged);
  EXPECT_FALSE(readWhileUnplugged);
  // Only the pad's A could have confirmed the title.
  EXPECT_NE(telopAt, 0u);
  EXPECT_NE(forestAt, 0u);
  EXPECT_EQ(lastFrame, forestAt + 90);
}

// Focus lost in the home stage and in the forest, given back a moment later from another
// thread (as the window system would): no frame runs meanwhile, the player comes back to a
// paused game, and play carries on after P.
TEST_F(DeviceConditions, FocusLostAndRegainedInBothStages) {
  CHeadlessGame game;
  CPlayThrough flow(150, 150, kFrameCap);
  std::thread giver;
  std::atomic<int> regained{0};
  int lost = 0;
  uint64_t framesAtLoss[2] = {}, framesAfterRegain[2] = {};
  uint32_t clockAtLoss[2] = {}, clockAfterRegain[2] = {};
  bool pausedAfterRegain[2] = {};
  uint64_t resumeKeyAt = 0;
  uint64_t stageEntry = 0;
  std::string stage;
  const int code = game.Run([&](CHeadlessGame& g, uint64_t frame) {
    flow(g, frame);
    const std::string scene = g.CurrentSceneName();
    if (scene != stage) {
      stage = scene;
      stageEntry = frame;
    }
    const bool inStage = scene == "CHomeStageScene" || scene == "CForestStageScene";
    if (frame == resumeKeyAt + 1) g.Input().Release('P');
    if (lost > 0 && regained == lost && framesAfterRegain[lost - 1] == 0) {
      // The first frame after focus came back: the player finds the game paused and plays on.
      framesAfterRegain[lost - 1] = frame;
      clockAfterRegain[lost - 1] = g.Clock().TimeGetTime();
      pausedAfterRegain[lost - 1] = g.Game() && g.Game()->pause && g.Game()->pause->Paused();
      g.Input().Press('P');
      resumeKeyAt = frame;
    }
    if (inStage && frame == stageEntry + 60 && lost < 2) {
      if (giver.joinable()) giver.join();
      framesAtLoss[lost] = frame;
      clockAtLoss[lost] = g.Clock().TimeGetTime();
      ++lost;
      os::PostMessage(os::WM_ACTIVATE, 0);
      giver = std::thread([&regained] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ++regained;
        os::PostMessage(os::WM_ACTIVATE, 1);
      });
    }
  });
  if (giver.joinable()) giver.join();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ReachedEveryScene(flow) && flow.Finished());
  ASSERT_EQ(lost, 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(framesAfterRegain[i], framesAtLoss[i] + 1) << i;
    EXPECT_TRUE(pausedAfterRegain[i]) << i;
    // One frame's worth of paced time, not the time spent inactive.
    EXPECT_LE(clockAfterRegain[i] - clockAtLoss[i], 17u) << i;
  }
}

}  // namespace
