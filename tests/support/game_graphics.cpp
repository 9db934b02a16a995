#include "support/game_graphics.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/frame_services.h"
#include "platform/os/window.h"
#include "support/scratch_dir.h"

namespace gamegfx {

namespace {

intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }

std::unique_ptr<gfx::CDevice> RecordingCreator(const gfx::PresentParameters& pp, gfx::DeviceType type,
                                               uint32_t flags) {
  AttemptLog& log = Attempts();
  log.attempts.emplace_back(type, flags);
  log.lastParams = pp;
  if (int(log.attempts.size()) <= log.failFirst) return nullptr;
  auto device = std::make_unique<testdev::CRecordingDevice>();
  device->presentResult = log.firstPresent;
  log.device = device.get();
  return device;
}

bool Desktop565(gfx::Format& format) {
  format = gfx::D3DFMT_R5G6B5;
  return true;
}
bool DesktopUnreadable(gfx::Format&) { return false; }

}  // namespace

AttemptLog& Attempts() {
  static AttemptLog log;
  return log;
}

void GameGfxTest::SetUpTestSuite() {
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelGameGfxTest", Proc));
  ASSERT_TRUE(os::CreateMainWindow("game gfx test", 800, 600, true));
}

// The window stays until the process ends: destroying the last GL window unloads the GL driver,
// and the leak checker could then no longer tell the driver's own leftovers by library name.
void GameGfxTest::TearDownTestSuite() { app::ShutdownGraphics(); }

void GameGfxTest::ShutdownGraphics() { app::ShutdownGraphics(); }

void GameGfxTest::SetUp() {
  char buf[4096];
  oldDir_ = getcwd(buf, sizeof buf) ? buf : ".";
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/gamegfx/" + info->test_suite_name() + "." + info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/data/image");
  ASSERT_EQ(chdir(dir.c_str()), 0);
  Attempts() = AttemptLog{};
}

void GameGfxTest::TearDown() {
  app::ShutdownGraphics();
  app::SetDeviceCreatorForTests(nullptr, nullptr);
  config.reset();
  if (chdir(oldDir_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << oldDir_;
}

void GameGfxTest::Configure(int window, int width, int height, int format) {
  config = std::make_unique<CConfig>("no-such-file.ini");
  config->window = window;
  config->width = width;
  config->height = height;
  config->format = format;
}

int GameGfxTest::InitRecording(bool desktopReadable) {
  app::SetDeviceCreatorForTests(RecordingCreator, desktopReadable ? Desktop565 : DesktopUnreadable);
  return app::InitGraphics(config ? *config : defaults_);
}

int GameGfxTest::InitReal() {
  app::SetDeviceCreatorForTests(nullptr, nullptr);
  return app::InitGraphics(config ? *config : defaults_);
}

std::string GameGfxTest::ReadLog() const { return ReadFileText(dir + "/profile.txt"); }

}  // namespace gamegfx
