// F12 saves the picture the player saw. A driver may leave the window's back buffer undefined once
// the frame is swapped (EGL, Wayland); the device scribbles over it here, so a screenshot read after
// the present would show that instead. Both drawing paths: straight into the window's buffer (the
// shortcuts on a software rasteriser) and through the device's own framebuffer (the plain way).
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// 0xAARRGGBB, top row first; empty when the file cannot be read.
std::vector<uint32_t> ReadPng(const std::string& path, uint32_t& width, uint32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  std::vector<uint32_t> argb(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, argb.data(), 0, nullptr)) return {};
  width = image.width;
  height = image.height;
  return argb;
}

struct Shot {
  std::vector<uint32_t> shown, saved;
  uint32_t shownW = 0, shownH = 0, savedW = 0, savedH = 0;
};

Shot F12InTheHomeStage(bool shortcuts) {
  CScratchGameDir dir(shortcuts ? "e2e_f12_quick" : "e2e_f12_plain");
  fs::create_directory_symlink(fs::path(BRIMMEL_GAME_DIR) / "data", fs::path(dir.Path()) / "data");
  dir.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\n");
  testgame::Options options;
  options.nullDevice = false;
  options.launch.screenshotDir = dir.Path() + "/shots";
  testgame::CHeadlessGame game(options);
  Shot shot;
  uint64_t homeAt = 0, askedAt = 0;
  game.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
    if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
    if (frame > 2000) g.Quit();
    gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
    if (!hooks || g.Scenes().GetCurrentScene() != &g.Scenes().HomeStage()) return;
    if (!homeAt) homeAt = frame;
    if (frame == homeAt + 60) {
      hooks->SetShortcuts(shortcuts);
      hooks->ScribbleAfterSwap(true);
      hooks->CapturePresents(true);
    } else if (frame == homeAt + 62) {
      app::WindowProc(os::WM_KEYDOWN, os::VK_F12, 0);  // between frames, as the message loop does
      askedAt = frame;
    } else if (askedAt && frame == askedAt + 1) {
      // The frame after F12 is the one shown and the one saved.
      hooks->ReadLastPresent(shot.shown, shot.shownW, shot.shownH);
      hooks->ScribbleAfterSwap(false);
      hooks->CapturePresents(false);
      hooks->SetShortcuts(true);
      g.Quit();
    }
  });
  for (const auto& entry : fs::directory_iterator(dir.Path() + "/shots"))
    shot.saved = ReadPng(entry.path().string(), shot.savedW, shot.savedH);
  return shot;
}

TEST(Screenshot, F12SavesThePictureThatWasShownOnEitherDrawingPath) {
  ASSERT_TRUE(fs::exists(fs::path(BRIMMEL_GAME_DIR) / "data/scr/stg00_home.txt")) << "the build generates it";
  for (const bool shortcuts : {true, false}) {
    SCOPED_TRACE(shortcuts ? "shortcuts" : "plain");
    const Shot shot = F12InTheHomeStage(shortcuts);
    ASSERT_FALSE(shot.shown.empty()) << "no present was captured";
    ASSERT_FALSE(shot.saved.empty()) << "F12 wrote no readable picture";
    ASSERT_EQ(shot.savedW, shot.shownW);
    ASSERT_EQ(shot.savedH, shot.shownH);
    size_t differing = 0, magenta = 0;
    for (size_t i = 0; i < shot.shown.size(); ++i) {
      if ((shot.saved[i] | 0xFF000000u) != (shot.shown[i] | 0xFF000000u)) ++differing;
      if ((shot.saved[i] & 0xFFFFFFu) == 0xFF00FFu) ++magenta;
    }
    EXPECT_EQ(differing, 0u) << "of " << shot.shown.size() << " pixels; " << magenta << " are the scribble";
  }
}

}  // namespace
