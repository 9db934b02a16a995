#include "support/recording_graphics.h"

#include <unistd.h>

#include <filesystem>

#include "app/frame_services.h"
#include "support/reference_device.h"

namespace testdev {

namespace {

CRecordingDevice* g_made = nullptr;

std::unique_ptr<gfx::CDevice> Make(const gfx::PresentParameters&, gfx::DeviceType, uint32_t) {
  auto device = std::make_unique<CRecordingDevice>();
  g_made = device.get();
  return device;
}

bool Desktop(gfx::Format& format) {
  format = gfx::D3DFMT_X8R8G8B8;
  return true;
}

}  // namespace

CRecordingGraphics::CRecordingGraphics(const std::string& folder, int width, int height) {
  char buf[4096];
  oldDir_ = getcwd(buf, sizeof buf) ? buf : ".";
  const std::string dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + folder;
  std::filesystem::create_directories(dir);
  if (chdir(dir.c_str()) != 0) return;
  if (!EnsureMainWindow()) return;
  config_ = std::make_unique<CConfig>("no-such-file.ini");
  config_->window = 1;
  config_->width = width;
  config_->height = height;
  g_made = nullptr;
  app::SetDeviceCreatorForTests(Make, Desktop);
  if (app::InitGraphics(*config_) == 1) device_ = g_made;
}

bool CRecordingGraphics::UseRealDevice() {
  app::ShutdownGraphics();
  app::SetDeviceCreatorForTests(nullptr, nullptr);
  device_ = nullptr;
  return app::InitGraphics(*config_) == 1;
}

CRecordingGraphics::~CRecordingGraphics() {
  app::ShutdownGraphics();
  app::SetDeviceCreatorForTests(nullptr, nullptr);
  config_.reset();
  [[maybe_unused]] const int rc = chdir(oldDir_.c_str());
}

}  // namespace testdev
