// The game as a player drives it: a [KEYS] section rebinds a button (and a wrong name is logged
// with the default kept), F3 hides the read-out for a clean picture, F12 writes one. Keys
// reach the game as real SDL key events; the picture is the off-screen back buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "unit/player.h"

namespace {

// Bright text pixels in the top-left corner, where the read-out is written.
int ReadoutPixels() {
  std::vector<uint32_t> argb;
  uint32_t w = 0, h = 0;
  gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
  if (!hooks || !hooks->ReadBackBuffer(argb, w, h)) return -1;
  int n = 0;
  for (uint32_t y = 0; y < 60 && y < h; ++y)
    for (uint32_t x = 0; x < 320 && x < w; ++x) {
      const uint32_t c = argb[y * w + x];
      n += ((c >> 16) & 0xFF) > 235 && ((c >> 8) & 0xFF) > 235 && (c & 0xFF) > 235;
    }
  return n;
}

struct PlayRun {
  uint64_t homeAt = 0;
  float walkedWithW = -1, walkedWithUp = -1;
  int readoutShown = -1, readoutHidden = -1;
  bool f12Sent = false;
};

float Distance(const gfxutil::Vector4& a, const gfxutil::Vector4& b) {
  return std::hypot(a.x - b.x, a.z - b.z);
}

TEST(Playing, ReboundKeysDriveThePlayerF3HidesTheReadoutAndF12WritesAPicture) {
  const std::string game = BRIMMEL_GAME_DIR;
  ASSERT_TRUE(std::filesystem::exists(game + "/data/scr/stg00_home.txt")) << "the build generates " << game;
  CScratchGameDir scratch("desktop_play");
  scratch.Write("keys.ini", "[TORIDEN]\nWINDOW=1\n[KEYS]\nBUTTON2=w\nBUTTON5=Hyperjump\nBUTTON12=Keypad 8\n");
  std::filesystem::current_path(game);

  testgame::Options options;
  options.nullDevice = false;
  options.launch.configFile = scratch.Path() + "/keys.ini";
  options.launch.logFile = scratch.Path() + "/profile.txt";
  options.launch.screenshotDir = scratch.Path() + "/shots";
  testgame::CHeadlessGame headless(options);
  PlayRun run;
  gfxutil::Vector4 mark{};
  const int code = headless.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
    if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
    if (frame > 3000) g.Quit();
    if (g.Scenes().GetCurrentScene() != &g.Scenes().HomeStage() || !g.Player()) return;
    if (!run.homeAt) run.homeAt = frame;
    const uint64_t t = frame - run.homeAt;
    const auto pos = g.Player()->GetPosition();
    if (t == 60) {
      run.readoutShown = ReadoutPixels();
      os::PushKeyEventForTests("F3", false);
    }
    if (t == 61) {
      run.readoutHidden = ReadoutPixels();
      mark = pos;
      g.Input().Press('W');
    }
    if (t == 120) {
      run.walkedWithW = Distance(pos, mark);
      g.Input().keys.clear();
    }
    if (t == 150) {
      mark = pos;
      g.Input().Press(os::VK_UP);  // no longer bound to anything
    }
    if (t == 210) {
      run.walkedWithUp = Distance(pos, mark);
      g.Input().keys.clear();
      run.f12Sent = os::PushKeyEventForTests("F12", false);
    }
    if (t == 212) g.Quit();
  });
  EXPECT_EQ(code, 0);
  ASSERT_NE(run.homeAt, 0u);

  EXPECT_GT(run.walkedWithW, 20.0f) << "W walks forward once bound to button 2";
  EXPECT_LT(run.walkedWithUp, 1.0f) << "the arrow it replaced does nothing";
  EXPECT_GT(run.readoutShown, 150) << "the read-out is shown at start";
  EXPECT_LT(run.readoutHidden * 4, run.readoutShown) << "F3 hides it";

  const std::string log = ReadFileText(scratch.Path() + "/profile.txt");
  EXPECT_NE(log.find("BUTTON5: no key is called \"Hyperjump\""), std::string::npos) << log;
  ASSERT_TRUE(run.f12Sent);
  std::vector<std::filesystem::path> shots;
  for (const auto& e : std::filesystem::directory_iterator(scratch.Path() + "/shots"))
    shots.push_back(e.path());
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(log.find("Screenshot: " + shots[0].string()), std::string::npos) << log;
  const std::string png = ReadFileText(shots[0].string());
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  // The picture is the game's own 640 x 480, not the window's.
  const auto be32 = [&](size_t at) {
    return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
           (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
  };
  EXPECT_EQ(be32(16), 640u);
  EXPECT_EQ(be32(20), 480u);
}

}  // namespace
