#include "world/collision_model.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/log.h"
#include "unit/unit_body.h"

using gfxutil::Vector3;
using gfxutil::Vector4;

static_assert(std::endian::native == std::endian::little, "collision files are read in place");

namespace {

constexpr size_t kGroupHeaderBytes = 8;   // triangle count, index count
constexpr size_t kGroupTrailerBytes = 20;  // center, radius

Vector3 Xyz(const Vector4& v) { return {v.x, v.y, v.z}; }

bool Finite(const Vector4& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

// Reads a whole file; false when it cannot be opened or read.
bool ReadFile(const std::string& name, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(static_cast<size_t>(size));
    ok = std::fread(out.data(), 1, out.size(), f) == out.size();
  }
  std::fclose(f);
  return ok;
}

}  // namespace

CCollisionModel::CCollisionModel() = default;

CCollisionModel::CCollisionModel(const std::string& fileName) {
  std::vector<uint8_t> data;
  if (!ReadFile(fileName, data) || !Parse(data.data(), data.size())) Log("Not Found %s", fileName.c_str());
}

CCollisionModel::~CCollisionModel() = default;

void CCollisionModel::Reset() {
  groups_.reset();
  groupCount_ = 0;
}

bool CCollisionModel::Parse(const uint8_t* data, size_t size) {
  Reset();
  // Every count is checked against the bytes that remain before anything is allocated, so a
  // damaged file can neither make us read past its end nor allocate more than its size warrants.
  size_t at = 0;
  auto remaining = [&] { return size - at; };
  auto readInt = [&](int32_t& v) {
    std::memcpy(&v, data + at, 4);
    at += 4;
  };
  if (!data || size < 4) return false;
  int32_t groupCount = 0;
  readInt(groupCount);
  if (groupCount < 0 || static_cast<size_t>(groupCount) > remaining() / (kGroupHeaderBytes + kGroupTrailerBytes))
    return false;

  std::unique_ptr<CollisionGroup[]> groups(new (std::nothrow) CollisionGroup[groupCount]);
  if (!groups && groupCount > 0) return false;
  for (int32_t g = 0; g < groupCount; ++g) {
    CollisionGroup& group = groups[g];
    if (remaining() < kGroupHeaderBytes) return false;
    int32_t triangleCount = 0, indexCount = 0;
    readInt(triangleCount);
    readInt(indexCount);
    if (triangleCount < 0 || triangleCount > kMaxGroupTriangles || indexCount != 3 * triangleCount) return false;
    const size_t triangleBytes = static_cast<size_t>(triangleCount) * sizeof(CollisionTriangle);
    if (remaining() < triangleBytes + kGroupTrailerBytes) return false;

    group.triangleCount = triangleCount;
    group.indexCount = indexCount;
    group.triangles.reset(new (std::nothrow) CollisionTriangle[triangleCount]);
    group.planeDistances.reset(new (std::nothrow) float[triangleCount]());
    group.candidates.reset(new (std::nothrow) int32_t[triangleCount]());
    if (triangleCount > 0 && (!group.triangles || !group.planeDistances || !group.candidates)) return false;
    if (triangleBytes) std::memcpy(group.triangles.get(), data + at, triangleBytes);
    at += triangleBytes;
    for (int32_t t = 0; t < triangleCount; ++t) {
      const CollisionTriangle& tri = group.triangles[t];
      if (!Finite(tri.vertex[0]) || !Finite(tri.vertex[1]) || !Finite(tri.vertex[2]) || !Finite(tri.normal))
        return false;
    }
    std::memcpy(&group.center, data + at, 16);
    std::memcpy(&group.radius, data + at + 16, 4);
    at += kGroupTrailerBytes;
    if (!Finite(group.center) || !std::isfinite(group.radius) || group.radius < 0) return false;
  }
  if (at != size) return false;  // trailing bytes: not a file we wrote
  groups_ = std::move(groups);
  groupCount_ = groupCount;
  return true;
}

Vector3 CCollisionModel::Offset() const {
  if (!owner_) return {};
  return Xyz(owner_->position);
}

void CCollisionModel::Gather(const Vector3& p, float r) {
  const Vector3 offset = Offset();
  for (int32_t g = 0; g < groupCount_; ++g) {
    CollisionGroup& group = groups_[g];
    group.candidateCount = 0;
    const Vector3 c = Xyz(group.center) + offset;
    const float reach = 2.0f * group.radius;
    if (gfxutil::Vec3LengthSq(p - c) > reach * reach) continue;
    const CollisionTriangle* tris = group.triangles.get();
    float* distances = group.planeDistances.get();
    int32_t* candidates = group.candidates.get();
    int32_t count = 0;
    for (int32_t t = 0; t < group.triangleCount; ++t) {
      const Vector4& n = tris[t].normal;
      const Vector4& v0 = tris[t].vertex[0];
      const float d = n.x * (p.x - (v0.x + offset.x)) + n.y * (p.y - (v0.y + offset.y)) +
                      n.z * (p.z - (v0.z + offset.z));
      distances[t] = d;
      if (std::fabs(d) <= r) candidates[count++] = t;
    }
    group.candidateCount = count;
  }
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
    const Vector3 c = Xyz(group.center) + offset;
    const float reach = 2.0f * group.radius;
    if (gfxutil::Vec3LengthSq(s - c) > reach * reach) continue;
    for (int32_t k = 0; k < group.candidateCount; ++k) {
      const int32_t t = group.candidates[k];
      const CollisionTriangle& tri = group.triangles[t];
      if (tri.kind != kind) continue;
      const Vector3 v0 = Xyz(tri.vertex[0]) + offset;
      const Vector3 v1 = Xyz(tri.vertex[1]) + offset;
      const Vector3 v2 = Xyz(tri.vertex[2]) + offset;
      Vector3 point;
      if (!SegmentHitsTriangle(s, e, v0, v1, v2, Xyz(tri.normal), point)) continue;
      hit.point = point;
      hit.normal = gfxutil::Vec3Cross(v1 - v0, v2 - v0);
      hit.planeDistance = group.planeDistances[t];
      return true;
    }
  }
  hit.point = s;
  return false;
}
