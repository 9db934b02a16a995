// Small worlds for the collision tests: quads of floor and wall built through the writer, so
// every model a test queries went through the same encoding and loading as a stage's files.
#pragma once
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <vector>

#include "world/collision_model.h"
#include "world/collision_writer.h"
#include "world/unit_body.h"

namespace testworld {

using gfxutil::Vector3;
using gfxutil::Vector4;

// Two triangles facing up, covering x0..x1, z0..z1 at height y.
inline void AddFloor(CollisionGroupData& g, float x0, float x1, float z0, float z1, float y) {
  g.triangles.push_back(MakeCollisionTriangle({x0, y, z0}, {x0, y, z1}, {x1, y, z0}));
  g.triangles.push_back(MakeCollisionTriangle({x1, y, z1}, {x1, y, z0}, {x0, y, z1}));
}

// A vertical wall in the plane z = z, covering x0..x1 and y0..y1.
inline void AddWallZ(CollisionGroupData& g, float x0, float x1, float y0, float y1, float z) {
  g.triangles.push_back(MakeCollisionTriangle({x0, y0, z}, {x1, y0, z}, {x0, y1, z}));
  g.triangles.push_back(MakeCollisionTriangle({x1, y1, z}, {x0, y1, z}, {x1, y0, z}));
}

inline void Finish(CollisionGroupData& g) {
  ComputeGroupBounds(g.triangles.data(), g.triangles.size(), g.center, g.radius);
}

inline boost::shared_ptr<CCollisionModel> MakeModel(std::vector<CollisionGroupData> groups) {
  for (auto& g : groups) Finish(g);
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(EncodeCollisionFile(groups, bytes, error)) << error;
  auto model = boost::make_shared<CCollisionModel>();
  EXPECT_TRUE(model->Parse(bytes.data(), bytes.size()));
  return model;
}

inline Vector3 Xyz(const Vector4& v) { return {v.x, v.y, v.z}; }

// A body that moved from `from` to `to`, with every result field holding a recognisable value.
inline UnitBody MovingBody(const Vector3& from, const Vector3& to) {
  UnitBody b;
  b.previousPosition = {from.x, from.y, from.z, 1.0f};
  b.position = {to.x, to.y, to.z, 1.0f};
  b.fallSpeed = 3.5f;
  b.fallAux = 7.0f;
  b.landed = 9;
  b.wall = 9;
  b.third = 9;
  b.groundDistance = 123.0f;
  b.probeStart = {11, 12, 13, 14};
  b.probeEnd = {15, 16, 17, 18};
  b.landingNormal = {0.5f, 0.5f, 0.5f, 0.5f};
  b.wallNormal = {-1, -2, -3, -4};
  b.groundPoint = {21, 22, 23, 24};
  b.groundNormal = {31, 32, 33, 34};
  b.movement = {41, 42, 43, 44};
  b.velocityX = 1.5f;
  b.velocityY = 2.5f;
  b.velocityZ = 3.5f;
  return b;
}

}  // namespace testworld
