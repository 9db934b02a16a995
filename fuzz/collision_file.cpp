// Collision files of any content: the loader either rejects them with a reason or yields a model
// whose counts account for every byte up to the end of its last group (any bytes after it are
// named in the report), and queries on it stay inside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_target.h"
#include "world/collision_model.h"

FUZZ_TARGET(collision_file) {
  CCollisionModel model;
  std::string report;
  if (!model.Parse(data, size, &report)) {
    FUZZ_CHECK(model.GroupCount() == 0);
    FUZZ_CHECK(!report.empty());
    return 0;
  }
  size_t bytes = 4;
  for (int32_t g = 0; g < model.GroupCount(); ++g) {
    const CollisionGroup& group = model.Group(g);
    FUZZ_CHECK(group.triangleCount >= 0 && group.triangleCount <= kMaxGroupTriangles);
    bytes += 28 + 68 * static_cast<size_t>(group.triangleCount);
  }
  FUZZ_CHECK(bytes <= size);
  FUZZ_CHECK(report.empty() == (bytes == size));
  model.Gather({0, 0, 0}, 100);
  SegmentHit hit;
  model.SegmentTest(kCollisionFloor, {0, 50, 0}, {0, -50, 0}, hit);
  model.SegmentTest(kCollisionWall, {-50, 8, 0}, {50, 8, 0}, hit);
  return 0;
}
