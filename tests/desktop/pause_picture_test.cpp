// The pause on a real X display (a private Xvfb), with keys pressed as the keyboard sends them:
// P in the home stage freezes the picture (two screenshots a second apart are the same), P again
// lets it move; the picture size chosen in the pause screen is drawn at once and kept in the
// settings file. The paused picture is kept in the test output as pause_screen.png, the one after
// the new size as pause_resized.png.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/game_services.h"
#include "app/pause/pause_screen.h"
#include "core/graphics.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "support/xvfb.h"
#include "unit/player.h"

namespace {

TEST(PauseOnADisplay, PFreezesThePictureAndPAgainLetsItMoveAndThePictureSizeChangesAtOnce) {
  if (!testgame::OnPath("Xvfb") || !testgame::OnPath("openbox"))
    GTEST_SKIP() << "Xvfb or openbox missing (scripts/deps installs them)";
  testgame::CXvfb xvfb;
  ASSERT_FALSE(xvfb.Display().empty()) << "Xvfb did not start";
  const std::string game = BRIMMEL_GAME_DIR;
  ASSERT_TRUE(std::filesystem::exists(game + "/data/scr/stg00_home.txt"));
  CScratchGameDir scratch("desktop_pause");
  scratch.Write("pause.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=640\nHEIGHT=480\n");
  const std::string shots = scratch.Path() + "/shots";
  const std::string display = xvfb.Display();
  const testgame::ChildOutcome o = testgame::RunInChild(
      [&](int fd) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        std::filesystem::current_path(game);
        testgame::Options options;
        options.nullDevice = false;
        options.scriptedInput = false;  // the keys come as SDL events from the X server's queue
        options.launch.configFile = scratch.Path() + "/pause.ini";
        options.launch.logFile = scratch.Path() + "/profile.txt";
        options.launch.screenshotDir = shots;
        testgame::CHeadlessGame headless(options);
        uint64_t homeAt = 0;
        int shot = 1;
        headless.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
          if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
          if (frame > 2000) g.Quit();
          if (!homeAt) {
            if (!g.Player()) return;
            homeAt = frame;
          }
          const uint64_t t = frame - homeAt;
          const bool paused = g.Game()->pause && g.Game()->pause->Paused();
          if (t == 90) os::PushKeyEventForTests("P", false);
          if (t == 92) testgame::Report(fd, "paused %d\n", paused ? 1 : 0);
          if (t == 93 || t == 153 || t == 215 || t == 275) os::PushKeyEventForTests("F12", false);
          if (t == 200) os::PushKeyEventForTests("P", false);
          if (t == 202) testgame::Report(fd, "resumed %d\n", paused ? 0 : 1);
          // Each picture taken is given its number, so their order is known.
          if (t == 95 || t == 155 || t == 217 || t == 277) {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(shots, ec))
              if (e.path().filename().string().rfind("brimmel-", 0) == 0)
                std::filesystem::rename(e.path(), shots + "/" + std::to_string(shot) + ".png", ec);
            ++shot;
          }
          // The picture size from the pause screen: the next size the display offers, drawn at
          // once and written into the settings file.
          if (t == 290) os::PushKeyEventForTests("P", false);
          if (t >= 292 && t < 298 && t % 2 == 0) os::PushKeyEventForTests("Down", false);
          if (t == 300) os::PushKeyEventForTests("Right", false);
          if (t == 302) {
            testgame::Report(fd, "width %d\nheight %d\n", int(app::GetScreenWidth()),
                             int(app::GetScreenHeight()));
            os::PushKeyEventForTests("P", false);
          }
          if (t == 340) os::PushKeyEventForTests("F12", false);
          if (t == 342) {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(shots, ec))
              if (e.path().filename().string().rfind("brimmel-", 0) == 0)
                std::filesystem::rename(e.path(), shots + "/resized.png", ec);
            g.Quit();
          }
        });
        return 0;
      },
      180);
  ASSERT_TRUE(o.exited && o.exitCode == 0) << o.Describe();
  EXPECT_NE(o.report.find("paused 1"), std::string::npos) << o.report;
  EXPECT_NE(o.report.find("resumed 1"), std::string::npos) << o.report;

  std::vector<std::string> files;
  for (int n = 1; n <= 4; ++n) files.push_back(shots + "/" + std::to_string(n) + ".png");
  const std::string paused1 = ReadFileText(files[0]), paused2 = ReadFileText(files[1]);
  const std::string moving1 = ReadFileText(files[2]), moving2 = ReadFileText(files[3]);
  ASSERT_GT(paused1.size(), 1000u);
  ASSERT_GT(moving2.size(), 1000u);
  EXPECT_EQ(paused1, paused2) << "the paused picture stands still";
  EXPECT_NE(moving1, moving2) << "after P again it moves";
  EXPECT_NE(paused1, moving1);
  // The new size is the one drawn, and the one kept for the next start.
  const auto figure = [&](const std::string& name) {
    const size_t at = o.report.find(name + " ");
    return at == std::string::npos ? -1 : std::atoi(o.report.c_str() + at + name.size() + 1);
  };
  const int w = figure("width"), h = figure("height");
  EXPECT_NE(w, 640) << o.report;
  ASSERT_GT(w, 0);
  const std::string resized = ReadFileText(shots + "/resized.png");
  ASSERT_GT(resized.size(), 24u);
  const auto be32 = [&](size_t at) {
    return (uint32_t(uint8_t(resized[at])) << 24) | (uint32_t(uint8_t(resized[at + 1])) << 16) |
           (uint32_t(uint8_t(resized[at + 2])) << 8) | uint32_t(uint8_t(resized[at + 3]));
  };
  EXPECT_EQ(be32(16), uint32_t(w));
  EXPECT_EQ(be32(20), uint32_t(h));
  EXPECT_EQ(ReadFileText(scratch.Path() + "/pause.ini"),
            "[TORIDEN]\nWINDOW=1\nWIDTH=" + std::to_string(w) + "\nHEIGHT=" + std::to_string(h) + "\n");
  const std::string out = BRIMMEL_TEST_OUTPUT_DIR;
  std::filesystem::copy_file(files[0], out + "/pause_screen.png",
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(shots + "/resized.png", out + "/pause_resized.png",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
