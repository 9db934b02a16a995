// Builds collision triangles and per-subset bounds from a mesh's positions, indices and subset
// ranges, and writes them as a collision file. Background pieces use the same building to get
// their subset bounds, so the drawn and the collided geometry agree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "world/collision_model.h"

// One subset of a mesh whose faces are grouped by attribute: faces firstFace .. firstFace+faceCount-1.
struct MeshSubsetRange {
  uint32_t firstFace = 0;
  uint32_t faceCount = 0;
};

// A triangle list (three indices per face) with its subset table.
struct CollisionMeshData {
  std::vector<gfxutil::Vector3> positions;
  std::vector<uint32_t> indices;
  std::vector<MeshSubsetRange> subsets;
};

struct CollisionGroupData {
  std::vector<CollisionTriangle> triangles;
  gfxutil::Vector4 center;
  float radius = 0;
};

// Normal = normalize(cross(v1 - v0, v2 - v0)) (zero when degenerate); floor when its y >= 0.8.
CollisionTriangle MakeCollisionTriangle(const gfxutil::Vector3& v0, const gfxutil::Vector3& v1,
                                        const gfxutil::Vector3& v2);
// Center of the axis-aligned box of all vertices and the largest distance from it to a vertex;
// no triangles give center 0 and radius 0.
void ComputeGroupBounds(const CollisionTriangle* triangles, size_t count, gfxutil::Vector4& center,
                        float& radius);

// One group per subset. False (and `error` says why) when a face or index lies outside the mesh.
bool BuildCollisionGroups(const CollisionMeshData& mesh, std::vector<CollisionGroupData>& groups,
                          std::string& error);

// The collision file image; false when a group exceeds what the loader accepts.
bool EncodeCollisionFile(const std::vector<CollisionGroupData>& groups, std::vector<uint8_t>& bytes,
                         std::string& error);
bool WriteCollisionFile(const std::string& path, const std::vector<CollisionGroupData>& groups,
                        std::string& error);
