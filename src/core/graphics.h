// The graphics device and the process-wide services that come with it: the log, the screen font
// and what the window's keys switch on in the picture. Opened once after the main window exists,
// closed last.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfxutil/font.h"

class CConfig;

namespace app {

// Opens the log (writing the configuration's notes into it), creates the device (the first kind
// that can be made) for the configured display and the font: 1 on success, 0 on failure (see the
// log). The game's start-up builds on it (InitGraphics).
int OpenGraphicsDevice(const CConfig& config);
// The font, the log and the device, in that order.
void CloseGraphicsDevice();

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
// The collision wireframe (F2) and the position read-out (F3, shown at start).
bool DebugDrawEnabled();
void SetDebugDraw(bool on);
bool ReadoutShown();
void SetReadoutShown(bool shown);

// Draws at another size from the next frame on (the pause screen's picture size): the back
// buffer, the kept presentation parameters, the viewport and the 2D scaling change together;
// nothing else about the device does. False (and nothing changed) when the size cannot be had.
bool ResizePicture(int width, int height);

// Presents the whole back buffer, calling the before-present hook first: after the swap the back
// buffer's contents are undefined, so whatever reads the finished picture (F12) reads it there.
gfx::Result PresentFrame();
using BeforePresentHook = void (*)();
void SetBeforePresentHook(BeforePresentHook hook);
// PresentFrame and, when that reports a lost device, a reset with the kept presentation
// parameters (what frames without a world do). Returns the present's result.
gfx::Result PresentAndResetIfLost();

// Tests: replace how the device attempts and the desktop-format query are made; nullptr restores
// the real ones.
using DeviceCreator = std::unique_ptr<gfx::CDevice> (*)(const gfx::PresentParameters& pp,
                                                        gfx::DeviceType type, uint32_t behaviorFlags);
using DisplayModeQuery = bool (*)(gfx::Format& format);
void SetDeviceCreatorForTests(DeviceCreator creator, DisplayModeQuery displayMode);

}  // namespace app
