// The process entry and main loop: start-up, the paced frame loop, shutdown.
#pragma once
#include <cstdint>

namespace app {

// Runs the whole game and returns the process exit code.
int RunGame();

// The window procedure: quit on close and Esc, activation, F2 toggles the debug draw.
intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

bool DebugDrawEnabled();
bool IsActive();

// Holds each frame to at least 50/3 ms on the millisecond clock, carrying the remainder in
// thirds of a millisecond so the long-run rate is exactly 60 per second.
class CFramePacer {
 public:
  void Pace();
  // For a host that calls the loop (a browser): never waits; answers how many frames are due
  // since the last call, with the same carry, so the long-run rate is 60 per second whatever the
  // display's refresh. Up to kMaxCatchUp are made up; after a longer stall one frame runs, as the
  // desktop runs one frame after a long one.
  uint32_t Due();
  static constexpr uint32_t kMaxCatchUp = 4;
  uint32_t Carry() const { return carry_; }
  uint32_t Previous() const { return previous_; }

 private:
  uint32_t previous_ = 0;
  uint32_t carry_ = 0;
};

// Tests drive the real loop through this: called after every frame with the frame's number.
using FrameHook = void (*)(uint64_t frame);
void SetFrameHook(FrameHook hook);

// Frames run since start-up (inactive time does not count).
uint64_t FramesRun();

}  // namespace app
