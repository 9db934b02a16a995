// The door: slides open along x while the player is within 100 units of its closed position in x
// and z, eases back when the player leaves, and never moves in y or z.
#include "unit/door.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "resource/model.h"
#include "resource/resource_cache.h"
#include "support/model_files.h"
#include "unit/player.h"
#include "unit/world_context.h"

using gfxutil::Vector4;

namespace {

class DoorTest : public ::testing::Test {
 protected:
  DoorTest() { world.player = &player; }
  void Place(float x, float y, float z) { player.SetPosition(x, y, z, 1); }
  CarriedOver carried;
  WorldContext world{.carried = &carried};
  CPlayer player{world, Vector4(0, 0, 0, 1), Vector4()};
  CDoor door{world, Vector4(200, 10, 300, 1)};
};

TEST_F(DoorTest, OpenPositionIsOneHundredFiftyAlongMinusX) {
  EXPECT_EQ(door.ClosedX(), 200.0f);
  EXPECT_EQ(door.OpenX(), 50.0f);
}

TEST_F(DoorTest, OpensWithinOneHundredInXAndZWhateverTheHeight) {
  Place(260, 900, 379);  // 60 and 79 away: 99.6 units
  door.Update();
  EXPECT_FLOAT_EQ(door.GetPosition().x, 200.0f - 15.0f);
  for (int i = 0; i < 200; ++i) door.Update();
  EXPECT_NEAR(door.GetPosition().x, 50.0f, 1e-3f);
  EXPECT_EQ(door.GetPosition().y, 10.0f);
  EXPECT_EQ(door.GetPosition().z, 300.0f);
}

TEST_F(DoorTest, StaysClosedAtOneHundredAndBeyond) {
  for (const Vector4 at : {Vector4(300, 10, 300, 1), Vector4(260, 10, 380, 1), Vector4(200, 10, 401, 1),
                           Vector4(90, 10, 300, 1)}) {
    Place(at.x, at.y, at.z);
    door.Update();
    EXPECT_EQ(door.GetPosition(), Vector4(200, 10, 300, 1)) << at.x << "," << at.z;
  }
}

TEST_F(DoorTest, ClosesAgainWhenThePlayerLeavesTheClosedPosition) {
  Place(200, 10, 300);
  for (int i = 0; i < 30; ++i) door.Update();
  const float open = door.GetPosition().x;
  ASSERT_LT(open, 100.0f);
  // Standing in the open doorway is 150 from the closed position: the door closes.
  Place(open, 10, 300);
  door.Update();
  EXPECT_FLOAT_EQ(door.GetPosition().x, open + (200.0f - open) * 0.1f);
  for (int i = 0; i < 200; ++i) door.Update();
  EXPECT_NEAR(door.GetPosition().x, 200.0f, 1e-3f);
  EXPECT_EQ(door.GetPosition().y, 10.0f);
  EXPECT_EQ(door.GetPosition().z, 300.0f);
}

TEST(DoorAlone, WithoutAPlayerTheDoorStays) {
  const WorldContext world;
  CDoor door(world, Vector4(5, 6, 7, 1));
  door.Update();
  EXPECT_EQ(door.GetPosition(), Vector4(5, 6, 7, 1));
}

class DoorDrawTest : public modeltest::ModelTest {};

TEST_F(DoorDrawTest, DrawsItsModelWhereItHasSlidTo) {
  const char* path = "data/mdl/object/door/door.mdl";
  std::filesystem::create_directories("data/mdl/object/door");
  std::vector<std::unique_ptr<xfile::CDataObject>> top;
  top.push_back(x.Triangle("panel", 0, 0, 0));
  ASSERT_TRUE(x.Write(path, top));
  ResourceCache<CModel> models({path});
  const boost::shared_ptr<CModel> model = models.Find(path);
  ASSERT_TRUE(model && model->Hierarchy().Root());
  CarriedOver carried;
  WorldContext world{.carried = &carried, .models = &models};
  CPlayer player(world, Vector4(0, 0, 0, 1), Vector4());
  world.player = &player;
  CDoor door(world, Vector4(30, 0, 0, 1));
  door.Update();
  door.Draw();
  ASSERT_EQ(device().indexedDraws.size(), 1u);
  const gfxutil::Matrix want = model->Hierarchy().Root()->frame.local * gfxutil::MatrixTranslation(15, 0, 0);
  const gfxutil::Matrix got = model->GetRecordedMatrix(0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], 1e-4f) << r << c;
}

}  // namespace
