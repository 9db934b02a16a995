// The graphics device and the process-wide frame services built with it: the log, the screen
// font and the black sprite. Initialised once after the main window exists, shut down last.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfxutil/font.h"

class CSprite;

namespace app {

// 1 on success, 0 on failure (see the log).
int InitGraphics();
// Always 1.
int ShutdownGraphics();

gfx::CDevice* GetDevice();
const gfx::PresentParameters& GetPresentParameters();
// Back-buffer size as floats for the 2D scaling; 1024 x 768 until the device exists.
float GetScreenWidth();
float GetScreenHeight();
// The clear colour of the previous frame (the world render's fog colour).
gfx::Color GetPreviousClearColor();
void SetPreviousClearColor(gfx::Color color);
// Set when a present reports a lost device; the next world render checks it.
bool IsDeviceLost();
void SetDeviceLost(bool lost);
// nullptr when no font could be made.
gfxutil::CFont* GetFont();
// The sprite of "data/image/black.bmp" that the fader and the camera mask draw with.
const boost::shared_ptr<CSprite>& GetBlackSprite();

// Presents the whole back buffer and, when that reports a lost device, resets it with the kept
// presentation parameters (what frames without a world do). Returns the present's result.
gfx::Result PresentAndResetIfLost();

// Tests: replace how the device attempts and the desktop-format query are made; nullptr restores
// the real ones.
using DeviceCreator = std::unique_ptr<gfx::CDevice> (*)(const gfx::PresentParameters& pp,
                                                        gfx::DeviceType type, uint32_t behaviorFlags);
using DisplayModeQuery = bool (*)(gfx::Format& format);
void SetDeviceCreatorForTests(DeviceCreator creator, DisplayModeQuery displayMode);

}  // namespace app
