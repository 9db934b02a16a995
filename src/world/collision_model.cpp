#include "world/collision_model.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/log.h"
#include "platform/os/files.h"
#include "world/unit_body.h"

using gfxutil::Vector3;
using gfxutil::Vector4;

static_assert(std::endian::native == std::endian::little, "collision files are read in place");

namespace {

constexpr size_t kGroupHeaderBytes = 8;    // triangle count, index count
constexpr size_t kGroupTrailerBytes = 20;  // center, radius

Vector3 Xyz(const Vector4& v) { return {v.x, v.y, v.z}; }

bool Finite(const Vector4& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

// Puts the reason into `report` (when asked for) and answers false.
bool Refuse(std::string* report, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool Refuse(std::string* report, const char* format, ...) {
  if (report) {
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *report = text;
  }
  return false;
}

}  // namespace

CCollisionModel::CCollisionModel() = default;

CCollisionModel::CCollisionModel(const std::string& fileName) {
  std::vector<uint8_t> data;
  if (!os::ReadWholeFile(fileName, data)) {
    Log("Not Found %s", fileName.c_str());
    return;
  }
  std::string report;
  if (!Parse(data.data(), data.size(), &report))
    Log("bad collision file %s: %s\n", fileName.c_str(), report.c_str());
  else if (!report.empty())
    Log("collision file %s: %s\n", fileName.c_str(), report.c_str());
}

CCollisionModel::~CCollisionModel() = default;

void CCollisionModel::Reset() {
  groups_.reset();
  groupCount_ = 0;
}

bool CCollisionModel::Parse(const uint8_t* data, size_t size, std::string* report) {
  Reset();
  if (report) report->clear();
  // Every count is checked against the bytes that remain before anything is allocated, so a
  // damaged file can neither make us read past its end nor allocate more than its size warrants.
  size_t at = 0;
  auto remaining = [&] { return size - at; };
  auto readInt = [&](int32_t& v) {
    std::memcpy(&v, data + at, 4);
    at += 4;
  };
  if (!data || size < 4)
    return Refuse(report, "%zu bytes, too few for a group count", data ? size : size_t{0});
  int32_t groupCount = 0;
  readInt(groupCount);
  if (groupCount < 0) return Refuse(report, "group count %d is negative", groupCount);
  if (static_cast<size_t>(groupCount) > remaining() / (kGroupHeaderBytes + kGroupTrailerBytes))
    return Refuse(report, "%d groups cannot fit in %zu bytes", groupCount, size);

  std::unique_ptr<CollisionGroup[]> groups(new (std::nothrow) CollisionGroup[groupCount]);
  if (!groups && groupCount > 0) return Refuse(report, "no memory for %d groups", groupCount);
  for (int32_t g = 0; g < groupCount; ++g) {
    CollisionGroup& group = groups[g];
    if (remaining() < kGroupHeaderBytes)
      return Refuse(report, "group %d: the file ends before its counts", g);
    int32_t triangleCount = 0, indexCount = 0;
    readInt(triangleCount);
    readInt(indexCount);
    if (triangleCount < 0) return Refuse(report, "group %d: triangle count %d is negative", g, triangleCount);
    if (triangleCount > kMaxGroupTriangles)
      return Refuse(report, "group %d: %d triangles, more than the %d a group can hold", g, triangleCount,
                    kMaxGroupTriangles);
    if (indexCount != 3 * triangleCount)
      return Refuse(report, "group %d: index count %d is not 3 × %d triangles", g, indexCount, triangleCount);
    const size_t triangleBytes = static_cast<size_t>(triangleCount) * sizeof(CollisionTriangle);
    if (remaining() < triangleBytes + kGroupTrailerBytes)
      return Refuse(report, "group %d: %d triangles and the bounds need %zu bytes, %zu are left", g,
                    triangleCount, triangleBytes + kGroupTrailerBytes, remaining());

    group.triangleCount = triangleCount;
    group.indexCount = indexCount;
    group.triangles.reset(new (std::nothrow) CollisionTriangle[triangleCount]);
    if (triangleCount > 0 && !group.triangles)
      return Refuse(report, "group %d: no memory for %d triangles", g, triangleCount);
    if (triangleBytes) std::memcpy(group.triangles.get(), data + at, triangleBytes);
    at += triangleBytes;
    for (int32_t t = 0; t < triangleCount; ++t) {
      const CollisionTriangle& tri = group.triangles[t];
      if (!Finite(tri.vertex[0]) || !Finite(tri.vertex[1]) || !Finite(tri.vertex[2]) || !Finite(tri.normal))
        return Refuse(report, "group %d: triangle %d holds a number that is not finite", g, t);
    }
    std::memcpy(&group.center, data + at, 16);
    std::memcpy(&group.radius, data + at + 16, 4);
    at += kGroupTrailerBytes;
    if (!Finite(group.center) || !std::isfinite(group.radius))
      return Refuse(report, "group %d: its center or radius is not a finite number", g);
    if (group.radius < 0)
      return Refuse(report, "group %d: radius %g is negative", g, static_cast<double>(group.radius));
    BuildTree(group);
  }
  // Padding or a footer a writer added: the groups are all there.
  if (at != size && report) {
    char text[80];
    std::snprintf(text, sizeof text, "%zu bytes after the last group ignored", size - at);
    *report = text;
  }
  groups_ = std::move(groups);
  groupCount_ = groupCount;
  return true;
}

Vector3 CCollisionModel::Offset() const {
  if (!owner_) return {};
  return Xyz(owner_->position);
}

void CCollisionModel::Gather(const Vector3& p, float r) {
  // Plane distances are worked out only for the triangles a probe reaches (PlaneDistance), so a
  // query costs what lies around it rather than what the stage holds; candidates and results
  // are those of testing every triangle of every group in order.
  const Vector3 offset = Offset();
  gatherPoint_ = p;
  gatherRadius_ = r;
  gatherOffset_ = offset;
  for (int32_t g = 0; g < groupCount_; ++g) {
    CollisionGroup& group = groups_[g];
    const Vector3 c = Xyz(group.center) + offset;
    const float reach = 2.0f * group.radius;
    group.gathered = !(gfxutil::Vec3LengthSq(p - c) > reach * reach);
  }
}

float CCollisionModel::PlaneDistance(const CollisionGroup& group, int32_t t) const {
  const Vector4& n = group.triangles[t].normal;
  const Vector4& v0 = group.triangles[t].vertex[0];
  const Vector3& p = gatherPoint_;
  const Vector3& o = gatherOffset_;
  return n.x * (p.x - (v0.x + o.x)) + n.y * (p.y - (v0.y + o.y)) + n.z * (p.z - (v0.z + o.z));
}

bool SegmentHitsTriangle(const Vector3& s, const Vector3& e, const Vector3& v0, const Vector3& v1,
                         const Vector3& v2, const Vector3& n, Vector3& hit) {
  using gfxutil::Vec3Cross;
  using gfxutil::Vec3Dot;
  const float planeD = -Vec3Dot(n, v0);
  const float a = Vec3Dot(n, s) + planeD;
  const float b = Vec3Dot(n, e) + planeD;
  if (a * b >= 0) return false;
  const Vector3 dir = e - s;
  const float w = Vec3Dot(n, dir);
  if (w == 0) return false;
  const float t = -a / w;
  const Vector3 h = s + dir * t;
  if (Vec3Dot(h - v0, Vec3Cross(v0 - v1, n)) < 0) return false;
  if (Vec3Dot(h - v1, Vec3Cross(v1 - v2, n)) < 0) return false;
  if (Vec3Dot(h - v0, Vec3Cross(v2 - v0, n)) < 0) return false;
  hit = h;
  return true;
}

bool CCollisionModel::SegmentTest(uint8_t kind, const Vector3& s, const Vector3& e, SegmentHit& hit) const {
  const Vector3 offset = Offset();
  for (int32_t g = 0; g < groupCount_; ++g) {
    const CollisionGroup& group = groups_[g];
    if (!group.gathered) continue;  // no candidates
    const Vector3 c = Xyz(group.center) + offset;
    const float reach = 2.0f * group.radius;
    if (gfxutil::Vec3LengthSq(s - c) > reach * reach) continue;
    if (SegmentTestGroup(group, kind, s, e, hit)) return true;
  }
  hit.point = s;
  return false;
}

namespace {

constexpr int32_t kLeafTriangles = 4;
// Deep enough for any median-split tree over kMaxGroupTriangles triangles.
constexpr int kTreeStack = 64;

float MaxAbs(const Vector3& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }

struct Box {
  float lo[3] = {INFINITY, INFINITY, INFINITY};
  float hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  void Add(const Vector4& v) {
    const float c[3] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], c[i]);
      hi[i] = std::max(hi[i], c[i]);
    }
  }
  void Add(const Box& b) {
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], b.lo[i]);
      hi[i] = std::max(hi[i], b.hi[i]);
    }
  }
};

int32_t BuildNode(std::vector<CollisionTreeNode>& nodes, int32_t* order, const std::vector<Box>& boxes,
                  const std::vector<Vector3>& centroids, int32_t first, int32_t count) {
  const int32_t index = static_cast<int32_t>(nodes.size());
  nodes.emplace_back();
  Box box, centers;
  int32_t minIndex = INT32_MAX;
  for (int32_t i = first; i < first + count; ++i) {
    const int32_t t = order[i];
    box.Add(boxes[t]);
    centers.Add(Vector4(centroids[t].x, centroids[t].y, centroids[t].z, 0));
    minIndex = std::min(minIndex, t);
  }
  CollisionTreeNode node{};
  std::copy(box.lo, box.lo + 3, node.lo);
  std::copy(box.hi, box.hi + 3, node.hi);
  node.minIndex = minIndex;
  if (count <= kLeafTriangles) {
    node.count = count;
    node.first = first;
    nodes[index] = node;
    return index;
  }
  int axis = 0;
  for (int i = 1; i < 3; ++i) {
    if (centers.hi[i] - centers.lo[i] > centers.hi[axis] - centers.lo[axis]) axis = i;
  }
  const int32_t half = count / 2;
  std::nth_element(order + first, order + first + half, order + first + count, [&](int32_t a, int32_t b) {
    const float ca = axis == 0 ? centroids[a].x : axis == 1 ? centroids[a].y : centroids[a].z;
    const float cb = axis == 0 ? centroids[b].x : axis == 1 ? centroids[b].y : centroids[b].z;
    return ca < cb || (ca == cb && a < b);
  });
  BuildNode(nodes, order, boxes, centroids, first, half);
  node.count = 0;
  node.first = BuildNode(nodes, order, boxes, centroids, first + half, count - half);
  nodes[index] = node;
  return index;
}

}  // namespace

void CCollisionModel::BuildTree(CollisionGroup& group) {
  const int32_t n = group.triangleCount;
  group.extent = 0;
  group.nodes.reset();
  group.order.reset();
  if (n == 0) return;
  std::vector<Box> boxes(n);
  std::vector<Vector3> centroids(n);
  for (int32_t t = 0; t < n; ++t) {
    const CollisionTriangle& tri = group.triangles[t];
    for (const Vector4& v : tri.vertex) {
      boxes[t].Add(v);
      group.extent = std::max(group.extent, MaxAbs(Xyz(v)));
    }
    centroids[t] = (Xyz(tri.vertex[0]) + Xyz(tri.vertex[1]) + Xyz(tri.vertex[2])) * (1.0f / 3.0f);
  }
  group.order = std::make_unique<int32_t[]>(n);
  for (int32_t t = 0; t < n; ++t) group.order[t] = t;
  std::vector<CollisionTreeNode> nodes;
  nodes.reserve(2 * (n / kLeafTriangles + 1));
  BuildNode(nodes, group.order.get(), boxes, centroids, 0, n);
  group.nodes = std::make_unique<CollisionTreeNode[]>(nodes.size());
  std::copy(nodes.begin(), nodes.end(), group.nodes.get());
}

bool CCollisionModel::SegmentTestGroup(const CollisionGroup& group, uint8_t kind, const Vector3& s,
                                       const Vector3& e, SegmentHit& hit) const {
  if (!group.nodes) return false;
  const Vector3 offset = Offset();
  // A triangle the segment passes meets the segment's box; the box is taken in the group's own
  // frame and widened well beyond what rounding in the crossing point could add.
  const float margin = 1e-4f * (1.0f + group.extent + std::max({MaxAbs(s), MaxAbs(e), MaxAbs(offset)}));
  const float qlo[3] = {std::min(s.x, e.x) - offset.x - margin, std::min(s.y, e.y) - offset.y - margin,
                        std::min(s.z, e.z) - offset.z - margin};
  const float qhi[3] = {std::max(s.x, e.x) - offset.x + margin, std::max(s.y, e.y) - offset.y + margin,
                        std::max(s.z, e.z) - offset.z + margin};
  // The earliest triangle (lowest index) that passes is the one an in-order scan would report.
  int32_t best = INT32_MAX;
  Vector3 bestPoint;
  int32_t stack[kTreeStack];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    const CollisionTreeNode& node = group.nodes[stack[--top]];
    if (node.minIndex >= best) continue;
    if (node.lo[0] > qhi[0] || node.hi[0] < qlo[0] || node.lo[1] > qhi[1] || node.hi[1] < qlo[1] ||
        node.lo[2] > qhi[2] || node.hi[2] < qlo[2])
      continue;
    if (node.count > 0) {
      for (int32_t i = node.first; i < node.first + node.count; ++i) {
        const int32_t t = group.order[i];
        if (t >= best) continue;
        const CollisionTriangle& tri = group.triangles[t];
        if (tri.kind != kind) continue;
        if (!(std::fabs(PlaneDistance(group, t)) <= gatherRadius_)) continue;
        Vector3 point;
        if (SegmentHitsTriangle(s, e, Xyz(tri.vertex[0]) + offset, Xyz(tri.vertex[1]) + offset,
                                Xyz(tri.vertex[2]) + offset, Xyz(tri.normal), point)) {
          best = t;
          bestPoint = point;
        }
      }
      continue;
    }
    // Visit the child holding lower indices first: its hits make the other side's skippable.
    const int32_t left = static_cast<int32_t>(&node - group.nodes.get()) + 1;
    const int32_t right = node.first;
    const bool leftFirst = group.nodes[left].minIndex <= group.nodes[right].minIndex;
    if (top + 2 > kTreeStack) return false;  // cannot happen for a median-split tree
    stack[top++] = leftFirst ? right : left;
    stack[top++] = leftFirst ? left : right;
  }
  if (best == INT32_MAX) return false;
  const CollisionTriangle& tri = group.triangles[best];
  const Vector3 v0 = Xyz(tri.vertex[0]) + offset;
  hit.point = bestPoint;
  hit.normal = gfxutil::Vec3Cross(Xyz(tri.vertex[1]) + offset - v0, Xyz(tri.vertex[2]) + offset - v0);
  hit.planeDistance = PlaneDistance(group, best);
  return true;
}
