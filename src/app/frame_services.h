// The game's graphics start-up: the device with what the frames draw with, built in the order the
// game relies on (the sine table before any unit, the log and font with the device, then the
// black sprite).
#pragma once

#include "core/graphics.h"

namespace app {

// For the configured display: 1 on success, 0 on failure (see the log).
int InitGraphics(const CConfig& config);
// Always 1.
int ShutdownGraphics();

}  // namespace app
