#include "game_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/app.h"
#include "core/graphics.h"
#include "platform/audio/device.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/png_writer.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"

namespace e2e {

namespace {

CGameDriver* g_driver = nullptr;

// Message boxes go to the log of the run instead of waiting for a click nobody gives.
void QuietMessageBox(const char* text, const char* caption) {
  std::fprintf(stderr, "message box [%s]: %s\n", caption, text);
}

double LuminanceSpread(const std::vector<uint32_t>& argb) {
  if (argb.empty()) return 0.0;
  double sum = 0.0, sumSq = 0.0;
  for (uint32_t p : argb) {
    const double y = 0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF);
    sum += y;
    sumSq += y * y;
  }
  const double n = static_cast<double>(argb.size());
  const double mean = sum / n;
  return std::sqrt(std::max(0.0, sumSq / n - mean * mean));
}

}  // namespace

CGameDriver::CGameDriver(const std::string& name, int width, int height) : dir_(name), clock_(10000) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directory_symlink(fs::path(BRIMMEL_GAME_DIR) / "data", fs::path(dir_.Path()) / "data", ec);
  dir_.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=" + std::to_string(width) +
                                "\nHEIGHT=" + std::to_string(height) + "\n");
  mix_.resize(2 * static_cast<size_t>(kSamplesPerFrame));
}

CGameDriver::~CGameDriver() {
  if (g_driver == this) g_driver = nullptr;
}

int CGameDriver::Run(const Script& script) {
  script_ = script;
  energy_.clear();
  energy_.reserve(8192);
  monoMix_.clear();
  monoMix_.reserve(static_cast<size_t>(6000) * kSamplesPerFrame);
  audioCaptured_ = false;
  quitPosted_ = false;
  // The game never seeds rand(): every process starts from the C library's seed 1.
  std::srand(1);
  g_driver = this;
  os::SetClock(&clock_);
  os::SetMessageBoxHook(QuietMessageBox);
  audio::SetOutput(audio::Output::kLoopback, kRate);
  app::SetFrameHook(&CGameDriver::Hook);
  const int code = app::RunGame();
  app::SetFrameHook(nullptr);
  game_ = nullptr;
  audio::SetOutput(audio::Output::kDefault);
  os::SetMessageBoxHook(nullptr);
  os::SetClock(nullptr);
  g_driver = nullptr;
  return code;
}

void CGameDriver::Hook(app::GameServices& game, uint64_t frame) {
  if (!g_driver) return;
  g_driver->game_ = &game;
  g_driver->OnFrame(frame);
}

void CGameDriver::OnFrame(uint64_t frame) {
  // The mix of the frame just run: everything started during it begins sounding here.
  double sum = 0.0;
  if (audio::RenderLoopback(mix_.data(), kSamplesPerFrame)) {
    audioCaptured_ = true;
    for (float s : mix_) sum += static_cast<double>(s) * s;
  } else {
    std::fill(mix_.begin(), mix_.end(), 0.0f);
  }
  for (size_t i = 0; i < mix_.size(); i += 2) monoMix_.push_back(mix_[i] + mix_[i + 1]);
  energy_.push_back(sum / static_cast<double>(mix_.size()));

  gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
  if (capturing_) {
    std::vector<uint32_t> argb;
    uint32_t w = 0, h = 0;
    if (hooks && hooks->ReadLastPresent(argb, w, h) && gfx::WritePng(pendingShot_, argb.data(), w, h)) {
      shots_.push_back(pendingShot_);
      contrast_.push_back(LuminanceSpread(argb));
    } else
      ++failedShots_;
    if (hooks) hooks->CapturePresents(false);
    capturing_ = false;
    pendingShot_.clear();
  }

  if (!quitPosted_ && script_ && !script_(frame)) {
    os::PostQuitMessage(0);
    quitPosted_ = true;
  }
}

bool CGameDriver::RequestScreenshot(const std::string& dir, const std::string& name) {
  if (capturing_) return false;
  gfx::CDevice* device = app::GetDevice();
  if (!device) {
    ++failedShots_;
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  pendingShot_ = dir + "/" + name + ".png";
  if (gfx::CDeviceTestHooks* hooks = gfx::TestHooks(device)) hooks->CapturePresents(true);
  capturing_ = true;
  return true;
}

std::string CGameDriver::LogText() const { return ReadFileText(dir_.Path() + "/profile.txt"); }

bool CGameDriver::LogExists() const { return std::filesystem::exists(dir_.Path() + "/profile.txt"); }

}  // namespace e2e
