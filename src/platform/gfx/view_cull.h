// Which parts of an indexed draw can show: with the shortcuts on, a draw whose vertices all lie
// beyond one side of the view is left out, and a large triangle list is looked at in pieces,
// each left out on the same test (a stage's ground or a room is mostly out of sight, and the
// renderer would transform and clip all of it). Free of GL: the device draws the runs planned.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gfx/state_cache.h"

namespace gfx {

// Whether a box of untransformed positions (min x, y, z, max x, y, z), transformed by `m` as the
// vertex shader does, has all its corners beyond the same side of the view volume of a viewport
// of this size.
bool BoxOutsideView(const Matrix& m, const float box[6], uint32_t viewportWidth, uint32_t viewportHeight);

struct IndexRun {
  uint32_t start, count;
  bool operator==(const IndexRun&) const = default;
};

// The box around the vertices that `count` indices from `first` use; false when not known.
class CIndexedBounds {
 public:
  virtual bool Box(uint32_t first, uint32_t count, float box[6]) const = 0;

 protected:
  ~CIndexedBounds() = default;
};

class CViewCull {
 public:
  // Indices per piece a large triangle list is culled by: 32 triangles, two of the index
  // buffer's measured runs of indices.
  static constexpr uint32_t kPiece = 96;

  // The runs of `count` indices from `start` to draw (none: the draw is left out). Positions the
  // vertex shader moves (vertex blending) or does not know (pretransformed), and every draw with
  // the shortcuts off, are drawn whole.
  const std::vector<IndexRun>& Plan(const CStateCache& state, uint32_t fvf, bool triangleList, uint32_t start,
                                    uint32_t count, bool shortcuts, const CIndexedBounds& bounds);

 private:
  std::vector<IndexRun> runs_;  // kept between draws, so planning allocates nothing
};

}  // namespace gfx
