// Where the back buffer lands in the window's drawable when it is shown.
#pragma once
#include <cstdint>

namespace gfx {

struct PresentRect {
  int x = 0, y = 0, width = 0, height = 0;  // GL window coordinates (origin bottom left)
};

// The largest centred rectangle of the drawable with the back buffer's aspect, in a window of
// any size as in full screen; the rest is left for black bars.
PresentRect ComputePresentRect(uint32_t backWidth, uint32_t backHeight, int drawableWidth,
                               int drawableHeight);

}  // namespace gfx
