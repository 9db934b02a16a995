// The process-wide sound device with its primary buffer and 3D listener.
#pragma once
#include "platform/audio/device.h"
#include "platform/audio/listener.h"
#include "platform/gfxutil/math.h"

// Creates the device and the listener; on failure shows a message box and returns false, and the
// game goes on silent. The cooperative level needs no window here, so none is passed.
bool InitSound();
// Puts the listener at the eye and turns it the way the view looks, at once. The frame render
// passes the current camera's eye and view.
void UpdateListener(const gfxutil::Vector3& eye, const gfxutil::Matrix& view);
// Releases listener, primary buffer and device, in that order.
bool ShutdownSound();

// Holds every sound where it is (the game is paused) and lets it go on from there; does nothing
// without a device.
void PauseSound(bool paused);

// nullptr when there is no device (never initialised, failed, or shut down).
audio::CDevice* GetSoundDevice();
audio::CListener* GetSoundListener();
