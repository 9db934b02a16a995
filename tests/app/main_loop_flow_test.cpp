// Runs the real start-up, message loop and scene manager on a fake clock with scripted keys.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/game_services.h"
#include "platform/os/clock.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/team_logo_scene.h"
#include "scene/telop_scene.h"
#include "scene/title_scene.h"
#include "support/fake_input.h"
#include "support/scratch_dir.h"

namespace {

struct FlowRun {
  os::CFakeClock clock{5000};
  CFakeInput input;
  std::map<std::string, uint64_t> firstFrameOf;  // scene name → first frame it was current at its end
  std::string titleAt60, titleAt61, titleAt121;
  uint64_t pressAt = 0;
  uint32_t clockAtDeactivate = 0, clockAtReactivate = 0;
  uint64_t framesAtDeactivate = 0;
  std::thread reactivator;
};
FlowRun* g_run = nullptr;

void Hook(app::GameServices& game, uint64_t frame) {
  FlowRun& r = *g_run;
  const CScene* cur = game.scenes->GetCurrentScene();
  if (cur && !r.firstFrameOf.count(cur->Name())) r.firstFrameOf[cur->Name()] = frame;
  if (frame == 59) r.titleAt60 = os::GetWindowTitle();
  if (frame == 61) r.titleAt61 = os::GetWindowTitle();
  if (frame == 121) r.titleAt121 = os::GetWindowTitle();
  // Press X once the title has faded in, release it two frames later.
  if (cur == &game.scenes->Title() && r.pressAt == 0 && frame > r.firstFrameOf["CTitleScene"] + 60) {
    r.input.Press('X');
    r.pressAt = frame;
  }
  if (r.pressAt && frame == r.pressAt + 2) r.input.Release('X');
  if (frame == 900) {
    // Lose focus; another thread gives it back a moment later in real time.
    r.clockAtDeactivate = r.clock.TimeGetTime();
    r.framesAtDeactivate = frame;
    os::PostMessage(os::WM_ACTIVATE, 0);
    r.reactivator = std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      g_run->clockAtReactivate = g_run->clock.TimeGetTime();
      os::PostMessage(os::WM_ACTIVATE, 1);
    });
  }
  if (frame == 1000) os::PostQuitMessage(0);
}

TEST(MainLoop, FrontEndFlowRunsOnTheFakeClock) {
  CScratchGameDir dir("main_loop_flow");
  dir.WriteEmptySceneScripts();
  // A small window keeps the software renderer's share of this long run small.
  dir.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=160\nHEIGHT=120\n");
  FlowRun run;
  g_run = &run;
  os::SetClock(&run.clock);
  app::SetFrameHook(Hook);
  const int code = app::RunGame();
  app::SetFrameHook(nullptr);
  os::SetClock(nullptr);
  if (run.reactivator.joinable()) run.reactivator.join();
  g_run = nullptr;

  EXPECT_EQ(code, 0);
  EXPECT_EQ(app::FramesRun(), 1000u);
  // The logo counts 257 frames, then the 51-frame fade-out switches during frame 307.
  EXPECT_EQ(run.firstFrameOf["CTeamLogoScene"], 1u);
  EXPECT_EQ(run.firstFrameOf["CTitleScene"], 307u);
  // X seen by the next frame's poll; the fade-out switches 51 frames later (inside that frame).
  EXPECT_EQ(run.firstFrameOf["CTelopScene"], run.pressAt + 51);
  // The telop counts 129 frames after its entry frame, then fades out for 51.
  EXPECT_EQ(run.firstFrameOf["CHomeStageScene"], run.firstFrameOf["CTelopScene"] + 129 + 51);
  // No frame ran and no time was paced while inactive.
  EXPECT_EQ(run.clockAtReactivate, run.clockAtDeactivate);
  // Title: empty in the first second, then the read-out.
  EXPECT_EQ(run.titleAt60, "");
  // The first window also counts the frame that opened it.
  EXPECT_EQ(run.titleAt61.rfind("FPS:61, MEMORY = ", 0), 0u) << run.titleAt61;
  EXPECT_EQ(run.titleAt121.rfind("FPS:60, MEMORY = ", 0), 0u) << run.titleAt121;
  EXPECT_EQ(run.titleAt121.substr(run.titleAt121.size() - 2), "KB");
}

}  // namespace
