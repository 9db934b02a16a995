// A key tapped within one frame (pressed and let go before the next frame reads the keys) is seen
// by that one frame and no other: the real loop, with the real keyboard source fed by SDL's own key
// events, in the home stage.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "unit/player.h"

namespace {

struct TapRun {
  uint64_t homeAt = 0;
  bool tapSent = false;
  float restMoved = -1, movedAfter = -1;
  int stateOnTapFrame = -1, stateAfter = -1;
};

float Distance(const gfxutil::Vector4& a, const gfxutil::Vector4& b) {
  return std::hypot(a.x - b.x, a.z - b.z);
}

TEST(KeyTap, ATappedWalkKeyIsReadByOneFrameOnly) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(fs::exists(fs::path(BRIMMEL_GAME_DIR) / "data/scr/stg00_home.txt")) << "the build generates it";
  CScratchGameDir dir("e2e_key_tap");
  fs::create_directory_symlink(fs::path(BRIMMEL_GAME_DIR) / "data", fs::path(dir.Path()) / "data");
  dir.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\n");

  testgame::Options options;
  options.scriptedInput = false;  // the keyboard as SDL reports it, taps included
  testgame::CHeadlessGame game(options);
  TapRun run;
  gfxutil::Vector4 settled{}, tapped{};
  constexpr uint64_t kTapAt = 90, kLookAt = kTapAt + 40;
  const int code = game.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
    if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
    if (frame > 3000) g.Quit();
    const CPlayer* player = g.Player();
    if (g.Scenes().GetCurrentScene() != &g.Scenes().HomeStage() || !player) return;
    if (!run.homeAt) run.homeAt = frame;
    const uint64_t t = frame - run.homeAt;
    if (t == kTapAt - 30) settled = player->GetPosition();
    if (t == kTapAt) {
      run.restMoved = Distance(player->GetPosition(), settled);
      tapped = player->GetPosition();
      // SDL's queue gets the press; its held-key state never does, as with a release before the
      // next frame.
      run.tapSent = os::PushKeyEventForTests("Up", false);
    }
    if (t == kTapAt + 1) run.stateOnTapFrame = player->State();
    if (t == kLookAt) {
      run.stateAfter = player->State();
      run.movedAfter = Distance(player->GetPosition(), tapped);
      g.Quit();
    }
  });
  EXPECT_EQ(code, 0);
  ASSERT_NE(run.homeAt, 0u);
  ASSERT_TRUE(run.tapSent);
  EXPECT_LT(run.restMoved, 0.01f) << "the player stands still before the tap";
  EXPECT_EQ(run.stateOnTapFrame, CPlayer::kWalk) << "the frame after the tap reads the walk key";
  EXPECT_EQ(run.stateAfter, CPlayer::kIdle) << "the following frames no longer see it";
  EXPECT_LT(run.movedAfter, 1.0f) << "the player walked on after a single tap";
}

}  // namespace
