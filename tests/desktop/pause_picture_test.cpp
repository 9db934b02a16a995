// The pause on a real X display (a private Xvfb), with keys pressed as the keyboard sends them:
// P in the home stage freezes the picture (two screenshots a second apart are the same), P again
// lets it move. The paused picture is kept in the test output as pause_screen.png.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/pause/pause_screen.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "support/xvfb.h"
#include "unit/player.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(PauseOnADisplay, PFreezesThePictureAndPAgainLetsItMove) {
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
          if (frame == 1) g.RequestScene(g_homeStageScene);
          if (frame > 2000) g.Quit();
          if (!homeAt) {
            if (!CPlayer::Current()) return;
            homeAt = frame;
          }
          const uint64_t t = frame - homeAt;
          const bool paused = app::g_pauseScreen && app::g_pauseScreen->Paused();
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
          if (t == 280) g.Quit();
        });
        return 0;
      },
      180);
  ASSERT_TRUE(o.exited && o.exitCode == 0) << o.Describe();
  EXPECT_NE(o.report.find("paused 1"), std::string::npos) << o.report;
  EXPECT_NE(o.report.find("resumed 1"), std::string::npos) << o.report;

  std::vector<std::string> files;
  for (int n = 1; n <= 4; ++n) files.push_back(shots + "/" + std::to_string(n) + ".png");
  const std::string paused1 = ReadAll(files[0]), paused2 = ReadAll(files[1]);
  const std::string moving1 = ReadAll(files[2]), moving2 = ReadAll(files[3]);
  ASSERT_GT(paused1.size(), 1000u);
  ASSERT_GT(moving2.size(), 1000u);
  EXPECT_EQ(paused1, paused2) << "the paused picture stands still";
  EXPECT_NE(moving1, moving2) << "after P again it moves";
  EXPECT_NE(paused1, moving1);
  std::filesystem::copy_file(files[0], std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/pause_screen.png",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
