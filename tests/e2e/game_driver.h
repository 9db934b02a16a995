// Runs the real game (RunGame: start-up, the paced loop, the scene manager and everything under it)
// inside a scratch game folder that links the build's data tree, on a fake clock, with scripted
// keys, the off-screen target and the loopback sound device, whose mix is rendered one 60 Hz frame
// at a time after each frame.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os/clock.h"
#include "support/fake_input.h"
#include "support/scratch_dir.h"

namespace app {
struct GameServices;
}

namespace e2e {

class CGameDriver {
 public:
  // Samples of the loopback mix per game frame (44100 Hz / 60).
  static constexpr uint32_t kRate = 44100;
  static constexpr uint32_t kSamplesPerFrame = kRate / 60;

  // name keeps parallel test processes apart; width and height go into TORIDEN.ini.
  CGameDriver(const std::string& name, int width, int height);
  ~CGameDriver();
  CGameDriver(const CGameDriver&) = delete;
  CGameDriver& operator=(const CGameDriver&) = delete;

  // Called after every frame with its number (1 for the first); sets the keys the next frame's
  // poll sees. Returning false ends the game as Esc would.
  using Script = std::function<bool(uint64_t frame)>;
  // Seeds rand() as a fresh process starts, runs the game to its end and returns its exit code.
  int Run(const Script& script);

  CFakeInput& Input() { return input_; }
  os::CFakeClock& Clock() { return clock_; }
  // The running game, while a script runs.
  app::GameServices& Game() const { return *game_; }

  // The next frame's presented picture is written as <dir>/<name>.png; false when a shot is
  // already pending.
  bool RequestScreenshot(const std::string& dir, const std::string& name);
  // Shots written so far (full paths), and the ones that could not be read or written.
  const std::vector<std::string>& Screenshots() const { return shots_; }
  // Standard deviation of the luminance (0..255) of each shot written, in the same order: a
  // picture of one flat colour (a black screen, a cleared target) gives 0.
  const std::vector<double>& ShotContrast() const { return contrast_; }
  int FailedScreenshots() const { return failedShots_; }

  // Mean square of both channels of the mix, one value per frame; index 0 is frame 1.
  const std::vector<double>& FrameEnergy() const { return energy_; }
  // The whole mix, both channels summed, kSamplesPerFrame per frame from frame 1 on.
  const std::vector<float>& Mix() const { return monoMix_; }
  // Whether the loopback device rendered at all (false: no sound device came up).
  bool AudioCaptured() const { return audioCaptured_; }

  // The game's log as it stands, and whether the game made one.
  std::string LogText() const;
  bool LogExists() const;
  const std::string& Folder() const { return dir_.Path(); }

 private:
  static void Hook(app::GameServices& game, uint64_t frame);
  void OnFrame(uint64_t frame);

  CScratchGameDir dir_;
  app::GameServices* game_ = nullptr;
  os::CFakeClock clock_;
  CFakeInput input_;
  Script script_;
  std::vector<float> mix_;
  std::vector<double> energy_;
  std::vector<float> monoMix_;
  bool audioCaptured_ = false;
  bool quitPosted_ = false;
  std::string pendingShot_;
  bool capturing_ = false;
  std::vector<std::string> shots_;
  std::vector<double> contrast_;
  int failedShots_ = 0;
};

}  // namespace e2e
