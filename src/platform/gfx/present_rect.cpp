#include "platform/gfx/present_rect.h"

namespace gfx {

PresentRect ComputePresentRect(uint32_t backWidth, uint32_t backHeight, int drawableWidth,
                               int drawableHeight) {
  PresentRect r;
  if (drawableWidth <= 0 || drawableHeight <= 0) return r;
  r.width = drawableWidth;
  r.height = drawableHeight;
  if (backWidth == 0 || backHeight == 0) return r;
  // Compare aspects in integers so equal aspects give exactly the full drawable.
  const uint64_t lhs = static_cast<uint64_t>(drawableWidth) * backHeight;
  const uint64_t rhs = static_cast<uint64_t>(drawableHeight) * backWidth;
  if (lhs > rhs) {  // drawable is wider: bars left and right
    r.width = static_cast<int>(rhs / backHeight);
    r.x = (drawableWidth - r.width) / 2;
  } else if (lhs < rhs) {  // drawable is taller: bars top and bottom
    r.height = static_cast<int>(lhs / backWidth);
    r.y = (drawableHeight - r.height) / 2;
  }
  return r;
}

}  // namespace gfx
