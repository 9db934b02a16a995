// Collision files of any content: the loader either rejects them or yields a model whose
// counts account for every byte, and queries on it stay inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "world/collision_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CCollisionModel model;
  if (!model.Parse(data, size)) {
    if (model.GroupCount() != 0) std::abort();
    return 0;
  }
  size_t bytes = 4;
  for (int32_t g = 0; g < model.GroupCount(); ++g) {
    const CollisionGroup& group = model.Group(g);
    if (group.triangleCount < 0 || group.triangleCount > kMaxGroupTriangles) std::abort();
    bytes += 28 + 68 * static_cast<size_t>(group.triangleCount);
  }
  if (bytes != size) std::abort();
  model.Gather({0, 0, 0}, 100);
  SegmentHit hit;
  model.SegmentTest(kCollisionFloor, {0, 50, 0}, {0, -50, 0}, hit);
  model.SegmentTest(kCollisionWall, {-50, 8, 0}, {50, 8, 0}, hit);
  return 0;
}
