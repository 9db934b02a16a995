// A stage's solid surfaces as loaded from a collision file ("...dec"): triangle soups grouped by
// material subset, each group with a bounding sphere and a search tree built at load. Vertices
// are in the owner's local frame and are used offset by the owner's position. Queries keep their
// state in the model, so one model is never queried twice at the same time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"

struct UnitBody;

// The 68-byte record shared by memory and the collision file.
struct CollisionTriangle {
  gfxutil::Vector4 vertex[3];  // w is 0 when built
  gfxutil::Vector4 normal;     // unit face normal, or zero for a degenerate triangle
  uint16_t unused0 = 0;
  uint8_t kind = 0;  // kCollisionFloor or kCollisionWall
  uint8_t unused1 = 0;
};
static_assert(sizeof(CollisionTriangle) == 68);

inline constexpr uint8_t kCollisionWall = 0;
inline constexpr uint8_t kCollisionFloor = 1;
// Floors are triangles whose unit normal rises at least this steeply.
inline constexpr float kFloorNormalY = 0.8f;
// The most candidates one group can take part in a query with, hence the most triangles a group
// of a collision file may hold.
inline constexpr int32_t kMaxGroupTriangles = 131070;

// A node of a group's search tree over its triangles' bounding boxes (local frame).
struct CollisionTreeNode {
  float lo[3], hi[3];
  int32_t minIndex;  // smallest triangle index below this node
  int32_t count;     // > 0: a leaf over order[first .. first + count)
  int32_t first;     // leaf: start in order[]; inner node: index of the right child (the left follows)
};

struct CollisionGroup {
  int32_t indexCount = 0;  // 3 x triangle count
  int32_t triangleCount = 0;
  gfxutil::Vector4 center;  // of the axis-aligned bounds
  float radius = 0;         // largest distance from the center to a vertex
  std::unique_ptr<CollisionTriangle[]> triangles;
  // Built once at load so that a probe visits only the triangles around it.
  std::unique_ptr<CollisionTreeNode[]> nodes;
  std::unique_ptr<int32_t[]> order;
  float extent = 0;  // largest absolute vertex coordinate, for rounding margins
  // Scratch of the last gather: whether the group was within reach of the gather point.
  bool gathered = false;
};

// What a segment test reports on a hit.
struct SegmentHit {
  gfxutil::Vector3 point;
  gfxutil::Vector3 normal;  // cross(v1 - v0, v2 - v0), not normalised
  float planeDistance = 0;  // from the last gather
};

class CCollisionModel {
 public:
  // Reads the file. A missing one logs "Not Found %s"; a short, oversized or corrupt one logs
  // "bad collision file %s: " and the reason. Either leaves the model without groups.
  explicit CCollisionModel(const std::string& fileName);
  CCollisionModel();
  ~CCollisionModel();
  CCollisionModel(const CCollisionModel&) = delete;
  CCollisionModel& operator=(const CCollisionModel&) = delete;

  // Replaces the content with the collision file image in `data`; false (and no groups) when it
  // is not a well-formed file. Bytes after the last group are ignored. `report` gets the reason
  // for a failure, or a note on ignored bytes.
  bool Parse(const uint8_t* data, size_t size, std::string* report = nullptr);

  int32_t GroupCount() const { return groupCount_; }
  CollisionGroup& Group(int32_t i) { return groups_[i]; }
  const CollisionGroup& Group(int32_t i) const { return groups_[i]; }

  // The unit whose position offsets the vertices; set by the collision world before a query.
  void SetOwner(const UnitBody* owner) { owner_ = owner; }
  const UnitBody* Owner() const { return owner_; }

  // Selects the candidates for the segment tests that follow: in groups whose world center lies
  // within twice their radius of `p`, the triangles whose plane is within `r` of `p`.
  void Gather(const gfxutil::Vector3& p, float r);
  // The first candidate of the wanted kind, in group and triangle order, that the segment from
  // `s` to `e` crosses, with its plane distance from the gather point. On a miss `hit.point`
  // is `s`.
  bool SegmentTest(uint8_t kind, const gfxutil::Vector3& s, const gfxutil::Vector3& e, SegmentHit& hit) const;
  // Plane distance of triangle t of group g from the last gather point: n . (P - v0).
  float PlaneDistance(const CollisionGroup& group, int32_t t) const;

 private:
  gfxutil::Vector3 Offset() const;
  void Reset();
  static void BuildTree(CollisionGroup& group);
  bool SegmentTestGroup(const CollisionGroup& group, uint8_t kind, const gfxutil::Vector3& s,
                        const gfxutil::Vector3& e, SegmentHit& hit) const;

  int32_t groupCount_ = 0;
  std::unique_ptr<CollisionGroup[]> groups_;
  const UnitBody* owner_ = nullptr;
  // Scratch of the last gather.
  gfxutil::Vector3 gatherPoint_;
  float gatherRadius_ = 0;
  gfxutil::Vector3 gatherOffset_;
};

// Segment against one triangle (world vertices, stored unit normal). An end exactly on the plane
// does not hit; points on an edge are inside; either side hits.
bool SegmentHitsTriangle(const gfxutil::Vector3& s, const gfxutil::Vector3& e, const gfxutil::Vector3& v0,
                         const gfxutil::Vector3& v1, const gfxutil::Vector3& v2, const gfxutil::Vector3& n,
                         gfxutil::Vector3& hit);
