#include "world/collision_world.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/collision_fixtures.h"
#include "support/recording_device.h"

namespace {

using namespace testworld;
using testdev::CRecordingDevice;

boost::shared_ptr<CCollisionModel> OneFloor(float y) {
  CollisionGroupData g;
  AddFloor(g, -5, 5, -5, 5, y);
  return MakeModel({g});
}

TEST(CollisionWorldTest, UnitsKeepTheirModelAlive) {
  auto model = OneFloor(0);
  UnitBody owner;
  {
    CCollisionWorld world;
    world.Add(boost::make_shared<CCollisionUnit>(&owner, model));
    EXPECT_EQ(model.use_count(), 2);
    EXPECT_EQ(world.Units().front()->Owner(), &owner);
    EXPECT_EQ(world.Units().front()->removal, 0);
    world.Clear();
    EXPECT_EQ(world.Count(), 0);
    EXPECT_TRUE(world.Units().empty());
    EXPECT_EQ(model.use_count(), 1);
  }
}

TEST(CollisionWorldTest, PurgeDropsFlaggedUnitsAndKeepsTheOrder) {
  CCollisionWorld world;
  UnitBody owners[4];
  std::vector<boost::shared_ptr<CCollisionUnit>> units;
  for (auto& o : owners) {
    units.push_back(boost::make_shared<CCollisionUnit>(&o, OneFloor(0)));
    world.Add(units.back());
  }
  EXPECT_EQ(world.Count(), 4);
  units[0]->removal = 1;
  units[2]->removal = 7;
  world.Purge();
  ASSERT_EQ(world.Count(), 2);
  auto it = world.Units().begin();
  EXPECT_EQ((*it++)->Owner(), &owners[1]);
  EXPECT_EQ((*it++)->Owner(), &owners[3]);
  EXPECT_EQ(units[0].use_count(), 1);  // released by the world
  world.Purge();
  EXPECT_EQ(world.Count(), 2);
}

TEST(CollisionWorldTest, AModelIsQueriedAtEachOfItsUnitsOwners) {
  // One shared model placed twice: the owner is set before every query.
  CCollisionWorld world;
  auto model = OneFloor(0);
  UnitBody a, b;
  a.position = {100, 0, 0, 1};
  b.position = {0, 0, 100, 1};
  world.Add(boost::make_shared<CCollisionUnit>(&a, model));
  world.Add(boost::make_shared<CCollisionUnit>(&b, model));
  UnitBody body = MovingBody({0, -3, 100}, {0, -5, 100});
  world.Collide(body, CCollisionWorld::kBodyMode);
  EXPECT_EQ(body.landed, 1);
  EXPECT_EQ(body.position.y, 0.0f);
  EXPECT_EQ(model->Owner(), &b);
}

TEST(CollisionWorldTest, DebugDrawIsAWhiteWireframePerTriangleInTheOwnersFrame) {
  CCollisionWorld world;
  UnitBody owner;
  owner.world = gfxutil::MatrixTranslation(1, 2, 3);
  CollisionGroupData g1, g2;
  AddFloor(g1, -5, 5, -5, 5, 0);
  g2.triangles.push_back(MakeCollisionTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}));
  world.Add(boost::make_shared<CCollisionUnit>(&owner, MakeModel({g1, g2})));
  UnitBody other;
  world.Add(boost::make_shared<CCollisionUnit>(&other, OneFloor(7)));

  CRecordingDevice device;
  std::vector<std::string> calls;
  device.journal = &calls;
  world.Draw(device);
  ASSERT_EQ(device.draws.size(), 5u);
  for (const auto& d : device.draws) {
    EXPECT_EQ(d.type, gfx::D3DPT_TRIANGLELIST);
    EXPECT_EQ(d.primitives, 1u);
    EXPECT_EQ(d.stride, 24u);
    EXPECT_EQ(d.fvf, 0x142u);
    EXPECT_EQ(d.State(gfx::D3DRS_LIGHTING), 0u);
    EXPECT_EQ(d.State(gfx::D3DRS_FILLMODE), static_cast<uint32_t>(gfx::D3DFILL_WIREFRAME));
    for (int v = 0; v < 3; ++v) {
      uint32_t colour;
      float uv[2];
      std::memcpy(&colour, &d.vertices[v * 24 + 12], 4);
      std::memcpy(uv, &d.vertices[v * 24 + 16], 8);
      EXPECT_EQ(colour, 0xFFFFFFFFu);
      EXPECT_EQ(uv[0], 0.0f);
      EXPECT_EQ(uv[1], 0.0f);
    }
  }
  EXPECT_EQ(device.draws[0].world, owner.world);
  EXPECT_EQ(device.draws[4].world, gfxutil::Matrix());
  // Vertices are sent in the model's own frame; the world transform places them.
  float xyz[9];
  for (int v = 0; v < 3; ++v) std::memcpy(&xyz[3 * v], &device.draws[2].vertices[v * 24], 12);
  EXPECT_EQ(xyz[3 * 1 + 1], 1.0f);
  EXPECT_EQ(xyz[3 * 2 + 0], 1.0f);
  float y;
  std::memcpy(&y, &device.draws[4].vertices[4], 4);
  EXPECT_EQ(y, 7.0f);
  // Lighting off and wireframe first; solid fill and lighting back on afterwards.
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "rs 137=0");
  EXPECT_EQ(calls[1], "rs 8=2");
  EXPECT_EQ(calls[calls.size() - 2], "rs 8=3");
  EXPECT_EQ(calls.back(), "rs 137=1");
}

}  // namespace
