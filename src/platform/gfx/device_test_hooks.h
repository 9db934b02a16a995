// What tests, benchmarks and tools ask of a graphics device beyond what the game calls: the
// pictures read back, a lost device on demand, work counts and the plain drawing path. The GL
// device has them; devices that only stand in for it (test doubles) need not.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gfx/device.h"

namespace gfx {

// What the device asked of GL, counted while counting is on (benchmarks). Fragments are the
// fragments shaded, when the driver can count them (a pipeline-statistics or occlusion query per
// scene); 0 otherwise.
struct WorkCounts {
  uint64_t scenes = 0, draws = 0, triangles = 0, programChanges = 0, textureBinds = 0;
  uint64_t stateChanges = 0, uniformUploads = 0, fragments = 0;
  // Of those, the ones that passed the depth test, where the driver counts both; 0 otherwise.
  uint64_t fragmentsPassed = 0;
  // Shader programs made, and how many of those had to be compiled (the rest were saved ones).
  uint64_t programsBuilt = 0, programsCompiled = 0;
  // Indexed draws left out because all their vertices lie beyond one side of the view, and their
  // triangles.
  uint64_t culledDraws = 0, culledTriangles = 0;
};

class CDeviceTestHooks {
 public:
  virtual ~CDeviceTestHooks() = default;

  // The back buffer as 0xAARRGGBB, top row first.
  virtual bool ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) = 0;
  // Make Present and TestCooperativeLevel report a lost device until cleared.
  virtual void SimulateDeviceLost(bool lost, bool resettable) = 0;
  // Keep a copy of what each Present puts in the window's drawable (the whole drawable, bars
  // included, 0xAARRGGBB, top row first); false when nothing was captured yet.
  virtual void CapturePresents(bool on) = 0;
  virtual bool ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) = 0;
  // Count the work sent to GL from now on (off: stop counting); Take hands the counts over and
  // starts again from zero.
  virtual void CountWork(bool on) = 0;
  virtual WorkCounts TakeWorkCounts() = 0;
  // With shortcuts off the device draws everything the plain way (the generic shader, draws in
  // the order given, no skipped work), so pictures drawn both ways can be compared.
  virtual void SetShortcuts(bool on) = 0;
  // After each swap, fill the window's back buffer with magenta, as a driver may leave it
  // undefined there (EGL's destroyed swap behaviour, Wayland): what reads a picture after the
  // present then reads that instead.
  virtual void ScribbleAfterSwap(bool on) = 0;
};

// The device's hooks; nullptr for a device without them or no device.
inline CDeviceTestHooks* TestHooks(CDevice& device) { return dynamic_cast<CDeviceTestHooks*>(&device); }
inline CDeviceTestHooks* TestHooks(CDevice* device) { return device ? TestHooks(*device) : nullptr; }

}  // namespace gfx
