#include "world/collision_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/os/files.h"

using gfxutil::Vector3;
using gfxutil::Vector4;

namespace {
// Bounds start from a box turned inside out; a subset with no faces keeps it and so gets center 0.
constexpr float kBoundsStart = 1000000.0f;

Vector4 WithZeroW(const Vector3& v) { return {v.x, v.y, v.z, 0.0f}; }

}  // namespace

CollisionTriangle MakeCollisionTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2) {
  CollisionTriangle t;
  t.vertex[0] = WithZeroW(v0);
  t.vertex[1] = WithZeroW(v1);
  t.vertex[2] = WithZeroW(v2);
  const Vector3 n = gfxutil::Vec3Normalize(gfxutil::Vec3Cross(v1 - v0, v2 - v0));
  t.normal = WithZeroW(n);
  t.kind = n.y >= kFloorNormalY ? kCollisionFloor : kCollisionWall;
  return t;
}

void ComputeGroupBounds(const CollisionTriangle* triangles, size_t count, Vector4& center, float& radius) {
  Vector3 lo(kBoundsStart, kBoundsStart, kBoundsStart);
  Vector3 hi(-kBoundsStart, -kBoundsStart, -kBoundsStart);
  for (size_t t = 0; t < count; ++t) {
    for (const Vector4& v : triangles[t].vertex) {
      lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
      hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
    }
  }
  const Vector3 c = (lo + hi) * 0.5f;
  center = WithZeroW(c);
  radius = 0;
  for (size_t t = 0; t < count; ++t) {
    for (const Vector4& v : triangles[t].vertex) {
      radius = std::max(radius, gfxutil::Vec3Length(Vector3(v.x, v.y, v.z) - c));
    }
  }
}

bool BuildCollisionGroups(const CollisionMeshData& mesh, std::vector<CollisionGroupData>& groups,
                          std::string& error) {
  groups.clear();
  const size_t faceTotal = mesh.indices.size() / 3;
  for (const MeshSubsetRange& subset : mesh.subsets) {
    if (subset.firstFace > faceTotal || subset.faceCount > faceTotal - subset.firstFace) {
      error = "subset faces lie outside the index list";
      return false;
    }
    CollisionGroupData group;
    group.triangles.reserve(subset.faceCount);
    for (uint32_t f = subset.firstFace; f < subset.firstFace + subset.faceCount; ++f) {
      Vector3 v[3];
      for (int i = 0; i < 3; ++i) {
        const uint32_t index = mesh.indices[3 * static_cast<size_t>(f) + i];
        if (index >= mesh.positions.size()) {
          error = "index " + std::to_string(index) + " lies outside the vertex list";
          return false;
        }
        v[i] = mesh.positions[index];
      }
      group.triangles.push_back(MakeCollisionTriangle(v[0], v[1], v[2]));
    }
    ComputeGroupBounds(group.triangles.data(), group.triangles.size(), group.center, group.radius);
    groups.push_back(std::move(group));
  }
  return true;
}

bool EncodeCollisionFile(const std::vector<CollisionGroupData>& groups, std::vector<uint8_t>& bytes,
                         std::string& error) {
  bytes.clear();
  if (groups.size() > static_cast<size_t>(INT32_MAX)) {
    error = "too many groups";
    return false;
  }
  size_t total = 4;
  for (const CollisionGroupData& group : groups) {
    if (group.triangles.size() > static_cast<size_t>(kMaxGroupTriangles)) {
      error = "a group has " + std::to_string(group.triangles.size()) + " triangles, more than " +
              std::to_string(kMaxGroupTriangles);
      return false;
    }
    total += 8 + group.triangles.size() * sizeof(CollisionTriangle) + 20;
  }
  bytes.resize(total);
  size_t at = 0;
  auto put = [&](const void* p, size_t n) {
    if (n) std::memcpy(bytes.data() + at, p, n);
    at += n;
  };
  const int32_t groupCount = static_cast<int32_t>(groups.size());
  put(&groupCount, 4);
  for (const CollisionGroupData& group : groups) {
    const int32_t triangleCount = static_cast<int32_t>(group.triangles.size());
    const int32_t indexCount = 3 * triangleCount;
    put(&triangleCount, 4);
    put(&indexCount, 4);
    put(group.triangles.data(), group.triangles.size() * sizeof(CollisionTriangle));
    put(&group.center, 16);
    put(&group.radius, 4);
  }
  return true;
}

bool WriteCollisionFile(const std::string& path, const std::vector<CollisionGroupData>& groups,
                        std::string& error) {
  std::vector<uint8_t> bytes;
  if (!EncodeCollisionFile(groups, bytes, error)) return false;
  FILE* f = os::OpenFile(path, "wb");
  if (!f) {
    error = "cannot create " + path;
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
