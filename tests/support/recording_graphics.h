// The game's graphics services on the recording device, for tests of code that draws through
// app::GetDevice(): a hidden main window (kept to process end), the configuration's display
// size and a fresh recording device per start. Runs in a scratch folder of the test output.
#pragma once
#include <memory>
#include <string>

#include "core/config.h"
#include "support/recording_device.h"

namespace testdev {

class CRecordingGraphics {
 public:
  // Changes into BRIMMEL_TEST_OUTPUT_DIR/<folder> (created) and starts the services there.
  explicit CRecordingGraphics(const std::string& folder, int width = 640, int height = 480);
  ~CRecordingGraphics();
  CRecordingGraphics(const CRecordingGraphics&) = delete;
  CRecordingGraphics& operator=(const CRecordingGraphics&) = delete;

  CRecordingDevice& device() { return *device_; }
  bool ok() const { return device_ != nullptr; }
  // Starts the services again on the real (GL) device, for tests that look at pictures; the
  // recording device is gone from then on. False when there is no GL device here.
  bool UseRealDevice();
  // The configuration the device was made for.
  const CConfig& config() const { return *config_; }

 private:
  std::unique_ptr<CConfig> config_;
  CRecordingDevice* device_ = nullptr;  // owned by the graphics services
  std::string oldDir_;
};

}  // namespace testdev
