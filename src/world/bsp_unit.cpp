#include "world/bsp_unit.h"

#include <string>
#include <vector>

#include "core/log.h"

CBspUnit::CBspUnit(const CollisionMeshData& mesh) {
  std::vector<CollisionGroupData> groups;
  std::string error;
  if (!BuildCollisionGroups(mesh, groups, error)) {
    Log("CBspUnit: %s\n", error.c_str());
    return;
  }
  // The triangles were only needed for the bounds; they go when `groups` does.
  subsetCount_ = static_cast<int32_t>(groups.size());
  subsets_ = std::make_unique<BspSubset[]>(groups.size());
  for (size_t i = 0; i < groups.size(); ++i) {
    BspSubset& s = subsets_[i];
    s.triangleCount = static_cast<int32_t>(groups[i].triangles.size());
    s.indexCount = 3 * s.triangleCount;
    s.center = groups[i].center;
    s.radius = groups[i].radius;
  }
}
