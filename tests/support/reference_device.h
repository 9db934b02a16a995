// The GL side of the graphics tests: the hidden main window they draw under, and the reference
// device on an off-screen back buffer of a chosen size.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfx/device_test_hooks.h"

namespace testdev {

// Made once per program (640 x 480, windowed) and kept to its end: destroying the last GL window
// unloads the GL driver, and the leak checker could then no longer tell the driver's own
// leftovers by library name. False when it cannot be made.
bool EnsureMainWindow();

// X8R8G8B8 with a 16-bit depth buffer, one back buffer, discard.
gfx::PresentParameters ReferenceParams(uint32_t width, uint32_t height, bool windowed = true);
// The reference device (software vertex processing) on those parameters; null when it fails.
// It always has its test hooks.
std::unique_ptr<gfx::CDevice> MakeReferenceDevice(uint32_t width, uint32_t height, bool windowed = true);
// The test hooks of a device MakeReferenceDevice made (read-back, loss, captured presents, counts).
inline gfx::CDeviceTestHooks& Hooks(gfx::CDevice& device) { return *gfx::TestHooks(device); }

}  // namespace testdev
