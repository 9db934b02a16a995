// The real game, off screen on the generated data, driven into the home stage, walked (placed) to
// its goal and on into the forest. Both stages are kept as PNG pictures for a person to look at.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/game_services.h"
#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/png_writer.h"
#include "platform/os/clock.h"
#include "platform/os/window.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/fake_input.h"
#include "unit/player.h"

namespace {

struct Picture {
  std::vector<uint32_t> argb;
  uint32_t width = 0, height = 0;
};

struct StageRun {
  uint64_t homeAt = 0, goalAt = 0, forestAt = 0;
  Picture home, atGoal, fading, forest;
};
StageRun* g_stageRun = nullptr;

// Frames a fade-in needs before the stage shows undimmed, with a little to spare.
constexpr uint64_t kSettle = 60;

void Keep(Picture& p, const char* name) {
  gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
  if (!hooks || !hooks->ReadLastPresent(p.argb, p.width, p.height)) return;
  gfx::WritePng(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + name, p.argb.data(), p.width, p.height);
}

void StageHook(app::GameServices& game, uint64_t frame) {
  StageRun& r = *g_stageRun;
  CSceneManager& scenes = *game.scenes;
  const CScene* current = scenes.GetCurrentScene();
  CHomeStageScene& home = scenes.HomeStage();
  if (frame == 1) {
    gfx::TestHooks(app::GetDevice())->CapturePresents(true);
    scenes.RequestScene(&home);
  }
  if (current == &home) {
    if (!r.homeAt) r.homeAt = frame;
    if (frame == r.homeAt + kSettle) Keep(r.home, "wiring-home.png");
    // Stand the player on the goal until the stage notices.
    if (frame > r.homeAt + kSettle && home.GetPhase() == 0 && game.Player())
      game.Player()->SetPosition(160, 0, 310, 0);
    if (!r.goalAt && home.GetPhase() == 1) r.goalAt = frame;
    // The last frame before the fade-out draws, and half-way through it.
    if (r.goalAt && frame == r.goalAt + 1) Keep(r.atGoal, "wiring-home-goal.png");
    if (r.goalAt && frame == r.goalAt + 1 + 26) Keep(r.fading, "wiring-home-fading.png");
  }
  if (current == &scenes.ForestStage()) {
    if (!r.forestAt) r.forestAt = frame;
    if (frame == r.forestAt + kSettle) {
      Keep(r.forest, "wiring-forest.png");
      os::PostQuitMessage(0);
    }
  }
  if (frame >= 3000) os::PostQuitMessage(0);
}

// How many different colours a picture has, and how much of it is the colour given.
size_t DistinctColours(const Picture& p) { return std::set<uint32_t>(p.argb.begin(), p.argb.end()).size(); }
double Share(const Picture& p, uint32_t argb) {
  size_t n = 0;
  for (uint32_t c : p.argb) n += (c | 0xFF000000u) == argb;
  return p.argb.empty() ? 0.0 : double(n) / double(p.argb.size());
}
double MeanLevel(const Picture& p) {
  double sum = 0;
  for (uint32_t c : p.argb) sum += ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF);
  return p.argb.empty() ? 0.0 : sum / (3.0 * double(p.argb.size()));
}

TEST(StagePictures, HomeAndForestShowTheirBackgroundAndTheGoalLeadsOn) {
  const std::string game = BRIMMEL_GAME_DIR;
  ASSERT_TRUE(std::filesystem::exists(game + "/data/scr/stg00_home.txt")) << "the build generates " << game;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(game);
  os::CFakeClock clock{5000};
  CFakeInput input;
  StageRun run;
  g_stageRun = &run;
  os::SetClock(&clock);
  app::SetFrameHook(StageHook);
  const int code = app::RunGame();
  app::SetFrameHook(nullptr);
  os::SetClock(nullptr);
  g_stageRun = nullptr;
  std::filesystem::current_path(previous);

  EXPECT_EQ(code, 0);
  ASSERT_NE(run.homeAt, 0u);
  ASSERT_NE(run.goalAt, 0u);
  ASSERT_NE(run.forestAt, 0u);
  // The ending frame after the goal asks for the forest; the fade-out takes 51 more.
  EXPECT_EQ(run.forestAt - run.goalAt, 1u + 51u);

  // The fader darkens the whole picture evenly: about half of each level is left half-way.
  ASSERT_EQ(run.fading.argb.size(), run.atGoal.argb.size());
  EXPECT_LT(MeanLevel(run.fading), 0.7 * MeanLevel(run.atGoal));
  EXPECT_GT(MeanLevel(run.fading), 0.3 * MeanLevel(run.atGoal));

  for (const Picture* p : {&run.home, &run.forest}) {
    ASSERT_EQ(p->width, 640u);
    ASSERT_EQ(p->height, 480u);
    // Textured, lit and fogged pieces, not a flat clear or a black screen left by the fader.
    EXPECT_GT(DistinctColours(*p), 200u);
    EXPECT_GT(MeanLevel(*p), 40.0);
    EXPECT_LT(Share(*p, 0xFFB4B4FFu), 0.9);
  }
}

}  // namespace
