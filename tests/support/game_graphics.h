// Set-up shared by the tests of the game's graphics services: a hidden main window, a scratch
// working directory (the log and data/ live there), and the game's graphics start-up
// (app::InitGraphics: sine table, device, log, font, black sprite) on a device that is either the
// recording one (attempts counted, failures scripted) or the real one.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/graphics.h"
#include "support/recording_device.h"

namespace gamegfx {

struct AttemptLog {
  std::vector<std::pair<gfx::DeviceType, uint32_t>> attempts;
  int failFirst = 0;  // attempts that fail before one succeeds
  gfx::PresentParameters lastParams;
  testdev::CRecordingDevice* device = nullptr;  // owned by the graphics services
  gfx::Result firstPresent = gfx::D3D_OK;
};
AttemptLog& Attempts();

class GameGfxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Configuration in effect for the next InitGraphics.
  void Configure(int window, int width, int height, int format = 23);
  // InitGraphics on the recording device; the device is in recorder() afterwards.
  int InitRecording(bool desktopReadable = true);
  // InitGraphics on the real device.
  int InitReal();
  // What the game's shutdown does to the graphics: the black sprite, font, log and device go.
  static void ShutdownGraphics();
  testdev::CRecordingDevice& recorder() { return *Attempts().device; }

  std::string ReadLog() const;
  std::string dir;
  // Null: the defaults.
  std::unique_ptr<CConfig> config;

 private:
  const CConfig defaults_;
  std::string oldDir_;
};

}  // namespace gamegfx
