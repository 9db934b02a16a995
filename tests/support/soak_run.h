// The soak run shared by the short soak test and the long soak benchmark: the real game taken
// straight to the forest, then random play for a number of frames on the null device with the
// sound mixed every frame, watching the process's resident memory.
#pragma once
#include <cstdint>
#include <functional>

namespace testgame {

struct SoakResult {
  int exitCode = -1;
  uint64_t forestFrames = 0;     // frames run in the forest
  uint64_t warmResidentKiB = 0;  // after the warm-up
  uint64_t endResidentKiB = 0;   // after the last frame
  uint64_t peakResidentKiB = 0;
  uint64_t maxUnits = 0;    // most units alive in one frame
  uint64_t primitives = 0;  // drawn on the null device
  double seconds = 0;
};

// progress(frame, residentKiB) is called every progressEvery forest frames (0: never).
SoakResult RunSoak(uint64_t forestFrames, uint64_t warmFrames, uint64_t progressEvery = 0,
                   const std::function<void(uint64_t, uint64_t)>& progress = nullptr);

}  // namespace testgame
