// The window on a real X display (a private Xvfb): the player resizes it and presses Alt+Enter
// twice, and the picture keeps its aspect with black bars, on the same device throughout. And
// key messages by layout.
#include "platform/os/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/os/input_device.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "support/xvfb.h"

namespace {

// "name value" lines from a child's report.
std::map<std::string, long> Figures(const std::string& report) {
  std::map<std::string, long> f;
  std::istringstream in(report);
  std::string name;
  long value = 0;
  while (in >> name >> value) f[name] = value;
  return f;
}

// The shown picture's extent on the middle row and column: where it is not the black of the bars.
struct Shown {
  long width = 0, height = 0, left = -1, right = -1, top = -1, bottom = -1;
};
// The bars are cleared to pure black; the picture, even at its darkest, is not.
bool Bright(uint32_t c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) > 12; }
Shown Measure() {
  Shown s;
  std::vector<uint32_t> px;
  uint32_t w = 0, h = 0;
  gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
  if (!hooks || !hooks->ReadLastPresent(px, w, h)) return s;
  s.width = w;
  s.height = h;
  for (uint32_t x = 0; x < w; ++x)
    if (Bright(px[(h / 2) * w + x])) {
      if (s.left < 0) s.left = x;
      s.right = x;
    }
  for (uint32_t y = 0; y < h; ++y)
    if (Bright(px[y * w + w / 2])) {
      if (s.top < 0) s.top = y;
      s.bottom = y;
    }
  return s;
}

void ReportShown(int fd, const char* step, const Shown& s) {
  testgame::Report(fd, "%s_w %ld\n%s_h %ld\n%s_picw %ld\n%s_pich %ld\n%s_left %ld\n%s_top %ld\n", step,
                   s.width, step, s.height, step, s.right - s.left + 1, step, s.bottom - s.top + 1, step,
                   s.left, step, s.top);
}

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testgame::OnPath("Xvfb") || !testgame::OnPath("openbox"))
      GTEST_SKIP() << "Xvfb or openbox missing (scripts/deps installs them)";
    ASSERT_FALSE(xvfb_.Display().empty()) << "Xvfb did not start";
  }
  testgame::CXvfb xvfb_;
};

TEST_F(RealWindow, AResizeAndAltEnterKeepThePicturesAspectOnTheSameDevice) {
  const std::string game = BRIMMEL_GAME_DIR;
  ASSERT_TRUE(std::filesystem::exists(game + "/data/image/logo.jpg"));
  CScratchGameDir scratch("desktop_window");
  scratch.Write("window.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=640\nHEIGHT=480\n");
  const std::string display = xvfb_.Display();
  const testgame::ChildOutcome o = testgame::RunInChild(
      [&](int fd) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        std::filesystem::current_path(game);
        testgame::Options options;
        options.nullDevice = false;
        options.launch.configFile = scratch.Path() + "/window.ini";
        options.launch.logFile = scratch.Path() + "/profile.txt";
        testgame::CHeadlessGame headless(options);
        // Each step acts once, then waits (in real time, for the X server) until the shown
        // picture has the size it expects, and measures.
        int step = 0;
        uint64_t since = 0;
        const gfx::CDevice* device = nullptr;
        const auto settle = [&](uint64_t frame, long w, long h) {
          const Shown s = Measure();
          if ((s.width == w && s.height == h) || frame - since > 400) return true;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
          return false;
        };
        headless.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
          if (frame == 1) {
            gfx::TestHooks(app::GetDevice())->CapturePresents(true);
            device = app::GetDevice();
          }
          if (frame < 55) return;  // the logo's fade-in
          if (step == 0) {
            ReportShown(fd, "start", Measure());
            os::ResizeMainWindow(960, 480);
            step = 1, since = frame;
          } else if (step == 1 && settle(frame, 960, 480)) {
            ReportShown(fd, "wide", Measure());
            os::PushKeyEventForTests("Return", true);
            step = 2, since = frame;
          } else if (step == 2 && settle(frame, 1280, 720)) {
            ReportShown(fd, "full", Measure());
            testgame::Report(fd, "full_flag %d\n", os::IsFullScreen() ? 1 : 0);
            os::PushKeyEventForTests("Return", true);
            step = 3, since = frame;
          } else if (step == 3 && settle(frame, 960, 480)) {
            ReportShown(fd, "back", Measure());
            testgame::Report(fd, "back_flag %d\nsame_device %d\n", os::IsFullScreen() ? 1 : 0,
                             app::GetDevice() == device ? 1 : 0);
            g.Quit();
          }
          if (frame > 3000) g.Quit();
        });
        return 0;
      },
      120);
  ASSERT_TRUE(o.exited && o.exitCode == 0) << o.Describe();
  auto f = Figures(o.report);
  // As configured: the picture fills the window.
  EXPECT_EQ(f["start_w"], 640);
  EXPECT_EQ(f["start_picw"], 640);
  EXPECT_EQ(f["start_pich"], 480);
  // Wider window: a 640 x 480 picture in the middle, bars left and right.
  EXPECT_EQ(f["wide_w"], 960);
  EXPECT_EQ(f["wide_h"], 480);
  EXPECT_NEAR(f["wide_picw"], 640, 2);
  EXPECT_NEAR(f["wide_left"], 160, 2);
  EXPECT_EQ(f["wide_pich"], 480);
  // Alt+Enter: the desktop, 1280 x 720, shows a 960 x 720 picture with bars at the sides.
  EXPECT_EQ(f["full_w"], 1280);
  EXPECT_EQ(f["full_h"], 720);
  EXPECT_NEAR(f["full_picw"], 960, 2);
  EXPECT_NEAR(f["full_left"], 160, 2);
  EXPECT_EQ(f["full_pich"], 720);
  EXPECT_EQ(f["full_flag"], 1);
  // Alt+Enter again: the window as it was, the picture as before, on the same device (so every
  // texture and buffer made before is still there).
  EXPECT_EQ(f["back_flag"], 0);
  EXPECT_EQ(f["back_w"], 960);
  EXPECT_EQ(f["back_h"], 480);
  EXPECT_NEAR(f["back_picw"], 640, 2);
  EXPECT_EQ(f["back_pich"], 480);
  EXPECT_EQ(f["same_device"], 1);
}

// What a QWERTZ keyboard sends for the key labelled Z: the symbol z from the place where an
// American keyboard has Y. The game's key messages follow the symbol; arrows follow the place.
TEST(KeyMessages, LettersFollowTheLayoutsSymbolAndOtherKeysTheirPlace) {
  static const auto proc = [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; };
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelKeys", proc));
  ASSERT_TRUE(os::CreateMainWindow("keys", 64, 64, true));
  const auto sent = [](const char* key, const char* place) {
    EXPECT_TRUE(os::PushKeyEventForTests(key, false, place));
    std::vector<uintptr_t> keys;
    os::Message m;
    while (os::PeekMessage()) {
      os::GetMessage(m);
      if (m.message == os::WM_KEYDOWN) keys.push_back(m.wParam);
    }
    return keys;
  };
  EXPECT_EQ(sent("Z", "Y"), std::vector<uintptr_t>{'Z'});
  EXPECT_EQ(sent("Y", "Z"), std::vector<uintptr_t>{'Y'});
  EXPECT_EQ(sent("X", "X"), std::vector<uintptr_t>{'X'});
  EXPECT_EQ(sent("Left", nullptr), std::vector<uintptr_t>{os::VK_LEFT});
  EXPECT_EQ(sent("Keypad 8", nullptr), std::vector<uintptr_t>{os::VK_NUMPAD8});
  EXPECT_EQ(sent("F12", nullptr), std::vector<uintptr_t>{os::VK_F12});
  // A tap let go before the next frame (the pushed press never reaches SDL's held-key state)
  // still reads as down once, for the frame that reads the keys next.
  os::ForgetKeyTaps();
  EXPECT_EQ(sent("X", "X"), std::vector<uintptr_t>{'X'});
  EXPECT_LT(os::GetAsyncKeyState('X'), 0);
  EXPECT_LT(os::GetAsyncKeyState('X'), 0) << "every read in the frame sees it";
  os::ForgetKeyTaps();
  EXPECT_GE(os::GetAsyncKeyState('X'), 0);
  os::DestroyMainWindow();
  os::UnregisterWindowClass();
}

}  // namespace
