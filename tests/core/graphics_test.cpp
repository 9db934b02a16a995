// The graphics device's start-up and shutdown: the seven device attempts, the presentation
// parameters, the first frame, the log, the font, the cursor.
#include "core/graphics.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "core/log.h"
#include "platform/os/window.h"
#include "support/child_run.h"
#include "support/game_graphics.h"

using namespace gamegfx;

TEST_F(GameGfxTest, AttemptsTheSevenDeviceKindsInOrderAndLogsFailure) {
  Configure(1, 640, 480);
  Attempts().failFirst = 7;
  EXPECT_EQ(InitRecording(), 0);
  const std::vector<std::pair<gfx::DeviceType, uint32_t>> expected = {
      {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_MIXED_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_REF, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_REF, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_SW, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {gfx::D3DDEVTYPE_SW, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
  };
  EXPECT_EQ(Attempts().attempts, expected);
  EXPECT_EQ(app::GetDevice(), nullptr);
  EXPECT_EQ(ReadLog(), "デバイスが生成できなかった");
}

TEST_F(GameGfxTest, StopsAtTheFirstDeviceThatWorks) {
  Configure(1, 640, 480);
  Attempts().failFirst = 4;
  ASSERT_EQ(InitRecording(), 1);
  ASSERT_EQ(Attempts().attempts.size(), 5u);
  EXPECT_EQ(Attempts().attempts.back().first, gfx::D3DDEVTYPE_REF);
  EXPECT_EQ(app::GetDevice(), Attempts().device);
}

TEST_F(GameGfxTest, PresentationParametersWindowed) {
  Configure(1, 800, 600, 22);
  ASSERT_EQ(InitRecording(), 1);
  const gfx::PresentParameters& pp = app::GetPresentParameters();
  EXPECT_EQ(pp.BackBufferWidth, 800u);
  EXPECT_EQ(pp.BackBufferHeight, 600u);
  EXPECT_EQ(pp.BackBufferFormat, uint32_t(gfx::D3DFMT_R5G6B5));  // the desktop's, not FORMAT
  EXPECT_EQ(pp.BackBufferCount, 1u);
  EXPECT_EQ(pp.MultiSampleType, 0u);
  EXPECT_EQ(pp.SwapEffect, 1u);
  EXPECT_TRUE(pp.Windowed);
  EXPECT_TRUE(pp.EnableAutoDepthStencil);
  EXPECT_EQ(pp.AutoDepthStencilFormat, uint32_t(gfx::D3DFMT_D16));
  EXPECT_EQ(pp.Flags, 1u);
  EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
  EXPECT_EQ(pp.FullScreen_PresentationInterval, 0u);
  EXPECT_EQ(Attempts().lastParams.BackBufferWidth, 800u);
  EXPECT_EQ(app::GetScreenWidth(), 800.0f);
  EXPECT_EQ(app::GetScreenHeight(), 600.0f);
}

TEST_F(GameGfxTest, FullScreenTakesFormatAndHidesTheCursor) {
  Configure(0, 640, 480, 22);
  const int before = os::ShowCursor(true) - 1;
  os::ShowCursor(false);
  ASSERT_EQ(InitRecording(), 1);
  EXPECT_EQ(app::GetPresentParameters().BackBufferFormat, 22u);
  EXPECT_FALSE(app::GetPresentParameters().Windowed);
  const int now = os::ShowCursor(true) - 1;
  os::ShowCursor(false);
  EXPECT_EQ(now, -1);
  // Leave the counter as it was for the rest of the program.
  while (os::ShowCursor(true) < before) {
  }
}

TEST_F(GameGfxTest, UnreadableDesktopFailsWithoutALogLine) {
  Configure(1, 640, 480);
  EXPECT_EQ(InitRecording(false), 0);
  EXPECT_TRUE(Attempts().attempts.empty());
  EXPECT_EQ(ReadLog(), "");
}

TEST_F(GameGfxTest, ViewportAndFirstFrame) {
  Configure(1, 800, 600);
  app::SetPreviousClearColor(0x12345678);
  ASSERT_EQ(InitRecording(), 1);
  testdev::CRecordingDevice& d = recorder();
  EXPECT_EQ(d.viewport.X, 0u);
  EXPECT_EQ(d.viewport.Width, 800u);
  EXPECT_EQ(d.viewport.Height, 600u);
  EXPECT_EQ(d.viewport.MaxZ, 1.0f);
  EXPECT_EQ(d.clears, std::vector<gfx::Color>{0});
  EXPECT_EQ(d.presents, 1);
  EXPECT_EQ(d.resets, 0);
  EXPECT_EQ(app::GetPreviousClearColor(), 0u);
}

TEST_F(GameGfxTest, LostFirstPresentResets) {
  Configure(1, 640, 480);
  Attempts().firstPresent = gfx::D3DERR_DEVICELOST;
  ASSERT_EQ(InitRecording(), 1);
  EXPECT_EQ(recorder().resets, 1);
}

// With no face at all (fontconfig set up with no font folders) the text cannot show: the log
// says which face was asked for.
TEST_F(GameGfxTest, MissingJapaneseFontIsLogged) {
  std::ofstream(dir + "/fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  const testgame::ChildOutcome out = testgame::RunInChild(
      [this](int fd) {
        setenv("FONTCONFIG_FILE", (dir + "/fonts.conf").c_str(), 1);
        FcInitReinitialize();  // an earlier test of this process may have loaded the usual set-up
        Configure(1, 640, 480);
        const int ok = InitRecording();
        testgame::Report(fd, "init %d font %d\n", ok, app::GetFont() != nullptr ? 1 : 0);
        ShutdownGraphics();
        return 0;
      },
      60);
  EXPECT_EQ(out.report, "init 1 font 0\n") << out.Describe();
  const std::string log = ReadLog();
  EXPECT_NE(log.find("Font \"ＭＳ ゴシック\" (Japanese) not found"), std::string::npos) << log;
}

TEST_F(GameGfxTest, NoConfigurationMeansDefaults) {
  ASSERT_EQ(config, nullptr);
  ASSERT_EQ(InitRecording(), 1);
  EXPECT_EQ(app::GetPresentParameters().BackBufferWidth, 640u);
  EXPECT_EQ(app::GetPresentParameters().BackBufferHeight, 480u);
  EXPECT_FALSE(app::GetPresentParameters().Windowed);
  while (os::ShowCursor(true) < 0) {
  }
}

TEST_F(GameGfxTest, PresentAndResetIfLost) {
  Configure(1, 640, 480);
  ASSERT_EQ(InitRecording(), 1);
  recorder().presentResult = gfx::D3DERR_DEVICELOST;
  EXPECT_EQ(app::PresentAndResetIfLost(), gfx::D3DERR_DEVICELOST);
  EXPECT_EQ(recorder().resets, 1);
  recorder().presentResult = gfx::D3D_OK;
  EXPECT_EQ(app::PresentAndResetIfLost(), gfx::D3D_OK);
  EXPECT_EQ(recorder().resets, 1);
}
