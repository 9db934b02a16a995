// The order a stage's opaque subsets may be drawn in when the device lets callers reorder them
// (smallest first, as far as it can), and the depth test each draw needs so that the picture is
// the one the list's own order gives: where two subsets meet at equal depth, the one later in the
// list shows.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gfxutil/math.h"

// A subset's bounding sphere in world space. A list of them is in the list's order: pieces in
// order, each piece's subsets from 0 up.
struct OpaqueBounds {
  gfxutil::Vector3 center;
  float radius = 0;
};

struct OpaqueDraw {
  uint32_t index = 0;      // into the list's order
  bool losesTies = false;  // depth test "less" rather than "less or equal"
};

// Every subset once. Two subsets whose spheres come within tieDistance of each other are taken to
// touch: only touching subsets can give a pixel the same depth, so only their order is kept.
std::vector<OpaqueDraw> OrderOpaqueDraws(const std::vector<OpaqueBounds>& bounds, float tieDistance);

// How far apart two surfaces may lie and still round to one depth at some pixel, with a view
// reaching viewDistance: a wide margin over the depth buffer's steps at the far end of the view.
float DepthTieDistance(float viewDistance);
