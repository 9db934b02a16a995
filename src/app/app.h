// The process entry and main loop: start-up, the paced frame loop, shutdown.
#pragma once
#include <cstdint>
#include <string>

#include "core/settings_file.h"

namespace app {

struct GameServices;

// Where the game finds its files and what the command line overrides. The defaults are the game
// folder's: everything in the working folder.
struct LaunchSettings {
  std::string configFile = settings::kFileName;
  std::string logFile = "profile.txt";  // "" = no log
  std::string screenshotDir = ".";
  std::string controllerMappings = "gamecontrollerdb.txt";  // read when present
  // Command-line overrides: window -1 and width/height 0 leave WINDOW, WIDTH, HEIGHT as read.
  int window = -1;
  int width = 0;
  int height = 0;
};

// Runs the whole game and returns the process exit code.
int RunGame();
int RunGame(const LaunchSettings& settings);

// The window procedure: quit on close and Esc, activation (losing it while playing pauses), F2
// toggles the debug draw.
intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

bool IsActive();
// Writes the back buffer as a PNG in the screenshot folder and logs its path (F12 asks for it and
// the loop takes it just before the next present, from the finished picture); returns the
// path, or "" when nothing could be written.
std::string TakeScreenshot();

// Holds each frame to at least 50/3 ms on the millisecond clock, carrying the remainder in
// thirds of a millisecond so the long-run rate is exactly 60 per second.
class CFramePacer {
 public:
  void Pace();
  // For a host that calls the loop (a browser): never waits; answers how many frames are due
  // since the last call, with the same carry, so the long-run rate is 60 per second whatever the
  // display's refresh. Up to kMaxCatchUp are made up (a quarter second: a page that software
  // rendering holds to a dozen frames a second still plays at full speed); after a longer stall
  // (a hidden tab) one frame runs, as the desktop runs one frame after a long one.
  uint32_t Due();
  static constexpr uint32_t kMaxCatchUp = 15;
  uint32_t Carry() const { return carry_; }
  uint32_t Previous() const { return previous_; }

 private:
  uint32_t previous_ = 0;
  uint32_t carry_ = 0;
};

// Tests drive the real loop through this: called after every frame with the running game and the
// frame's number.
using FrameHook = void (*)(GameServices& game, uint64_t frame);
void SetFrameHook(FrameHook hook);

// Frames run since start-up (inactive time does not count), paused ones included.
uint64_t FramesRun();
// The game's steps run since start-up: frames that were not paused.
uint64_t StepsRun();

}  // namespace app
