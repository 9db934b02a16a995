// Per-subset bounding spheres of a background piece's mesh, built the same way as the collision
// groups; only the counts and the spheres are kept.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/gfxutil/math.h"
#include "world/collision_writer.h"

struct BspSubset {
  int32_t indexCount = 0;
  int32_t triangleCount = 0;
  gfxutil::Vector4 center;  // in the piece's local frame
  float radius = 0;
};

class CBspUnit {
 public:
  // A mesh whose subsets or indices do not fit its own lists gives no subsets.
  explicit CBspUnit(const CollisionMeshData& mesh);

  int32_t SubsetCount() const { return subsetCount_; }
  const BspSubset& Subset(int32_t i) const { return subsets_[i]; }

 private:
  int32_t subsetCount_ = 0;
  std::unique_ptr<BspSubset[]> subsets_;
};
