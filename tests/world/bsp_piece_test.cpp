#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/gfx/draw_order.h"
#include "resource/mesh.h"
#include "resource/resource_cache.h"
#include "support/model_files.h"
#include "world/bsp.h"
#include "world/bsp_list.h"
#include "world/bsp_unit.h"
#include "world/collision_model.h"
#include "world/collision_world.h"
#include "world/mesh_collision_data.h"

namespace modeltest {
namespace {

using Objects = std::vector<std::unique_ptr<xfile::CDataObject>>;

// Three groups: near the origin ahead, beyond the view distance, and far off to the left.
constexpr const char* kPiece = "data/bsp/ground.xxx";
constexpr const char* kCollision = "data/bsp/ground.dec";

void WritePiece(CXBuilder& x) {
  std::filesystem::create_directories("data/bsp");
  Objects top;
  top.push_back(x.Triangle("near", 0, 0, 100));
  top.push_back(x.Triangle("far", 0, 0, 9000));
  top.push_back(x.Triangle("left", -3000, 0, 10));
  ASSERT_TRUE(x.Write(kPiece, top));
}

// Writes the collision file of the piece as colbuild does.
void WriteCollision() {
  std::vector<uint32_t> adjacency;
  auto mesh = gfxutil::LoadMeshFromX(kPiece, gfxutil::D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(mesh, nullptr);
  CollisionMeshData data;
  ASSERT_TRUE(CollisionMeshFromMesh(*mesh, data));
  std::vector<CollisionGroupData> groups;
  std::string error;
  ASSERT_TRUE(BuildCollisionGroups(data, groups, error)) << error;
  ASSERT_TRUE(WriteCollisionFile(kCollision, groups, error)) << error;
}

// A ground and three fixtures standing apart on it: the ground first, the fixtures in no order of
// size. Each group is one triangle, so a draw's first index over three is its subset.
constexpr const char* kYard = "data/bsp/yard.xxx";

void WriteYard(CXBuilder& x) {
  std::filesystem::create_directories("data/bsp");
  Objects top;
  top.push_back(x.Triangle("ground", 0, 0, 1000, nullptr, 0.8f, 400));
  top.push_back(x.Triangle("shed", -300, 0, 1000, nullptr, 0.8f, 30));
  top.push_back(x.Triangle("stone", 0, 0, 1000, nullptr, 0.8f, 5));
  top.push_back(x.Triangle("post", 300, 0, 1000, nullptr, 0.8f, 15));
  ASSERT_TRUE(x.Write(kYard, top));
}

// What the stage frame sets before the opaque pass (the recording device starts with nothing set).
void StageDepthState(testdev::CRecordingDevice& d) {
  d.SetRenderState(gfx::D3DRS_ZENABLE, gfx::D3DZB_TRUE);
  d.SetRenderState(gfx::D3DRS_ZWRITEENABLE, 1);
  d.SetRenderState(gfx::D3DRS_ZFUNC, gfx::D3DCMP_LESSEQUAL);
}

BspView ViewFromOrigin() {
  BspView v;
  v.eye = {0, 0, 0};
  v.viewProjection = gfxutil::MatrixLookAtLH({0, 0, 0}, {0, 0, 1}, {0, 1, 0}) *
                     gfxutil::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3, 10, 4800);
  return v;
}

class BspTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    WritePiece(x);
    WriteCollision();
  }
};

TEST_F(BspTest, PieceAppendsItsCollisionUnitToTheWorld) {
  ResourceCache<CCollisionModel> cache({kCollision});
  CCollisionWorld world;
  CBsp piece(kPiece, &cache, &world);
  ASSERT_EQ(world.Count(), 1);
  const auto& unit = world.Units().front();
  EXPECT_EQ(unit->Owner(), &piece.body);
  EXPECT_EQ(unit->Model(), cache.Find(kCollision).get());
  EXPECT_EQ(unit->Model()->GroupCount(), 3);
  EXPECT_EQ(piece.subsetTypes, std::vector<uint16_t>(4, 0));
}

TEST_F(BspTest, UnlistedCollisionFileAddsNoUnit) {
  ResourceCache<CCollisionModel> cache({});
  CCollisionWorld world;
  CBsp piece(kPiece, &cache, &world);
  EXPECT_EQ(world.Count(), 0);
  EXPECT_EQ(piece.Mesh()->GetGroupCount(), 3u);
}

TEST_F(BspTest, BoundsMatchTheCollisionFileGroups) {
  ResourceCache<CCollisionModel> cache({kCollision});
  CCollisionWorld world;
  CBsp piece(kPiece, &cache, &world);
  const CCollisionModel& model = *cache.Find(kCollision);
  ASSERT_EQ(piece.Bounds()->SubsetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(piece.Bounds()->Subset(i).center, model.Group(i).center) << i;
    EXPECT_EQ(piece.Bounds()->Subset(i).radius, model.Group(i).radius) << i;
    EXPECT_EQ(piece.Bounds()->Subset(i).triangleCount, 1);
  }
  EXPECT_NEAR(piece.Bounds()->Subset(1).center.z, 9000.0f, 1e-3f);
  EXPECT_NEAR(piece.Bounds()->Subset(0).radius, std::sqrt(2.0f), 1e-5f);
}

TEST_F(BspTest, SubsetCullingDecidesWhatIsDrawn) {
  CCollisionWorld world;
  CBsp piece(kPiece, nullptr, &world);
  const BspView view = ViewFromOrigin();
  EXPECT_EQ(piece.DrawSubset(0, view), 1);
  EXPECT_EQ(piece.DrawSubset(1, view), 0);
  EXPECT_EQ(piece.DrawSubset(2, view), -2);
  EXPECT_EQ(device().indexedDraws.size(), 1u);
  // From inside the far group's sphere it draws whatever the projection says.
  BspView inside = view;
  inside.eye = {0, 0, 9000};
  EXPECT_EQ(piece.DrawSubset(1, inside), 1);
  EXPECT_EQ(device().indexedDraws.size(), 2u);
}

TEST_F(BspTest, OpaquePassDrawsVisibleSubsetsAndRestoresTheMipBias) {
  CCollisionWorld world;
  CBspList list({kPiece, kPiece}, nullptr, &world);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(world.Count(), 0);
  StageDepthState(device());
  list.DrawOpaque(ViewFromOrigin());
  EXPECT_EQ(device().indexedDraws.size(), 2u);  // the near group of each piece
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS), gfx::FloatBits(0.0f));
  EXPECT_EQ(device().GetTextureStageState(0, gfx::D3DTSS_MINFILTER), uint32_t(gfx::D3DTEXF_LINEAR));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ALPHABLENDENABLE), 0u);
  // Reordered across pieces (smallest subset first), each draw still has its own piece's place.
  gfx::SetReorderOpaqueDraws(true);
  list.Pieces().back()->body.world = gfxutil::MatrixTranslation(5, 0, 0);
  device().indexedDraws.clear();
  list.DrawOpaque(ViewFromOrigin());
  gfx::SetReorderOpaqueDraws(false);
  ASSERT_EQ(device().indexedDraws.size(), 2u);
  EXPECT_EQ(device().indexedDraws[0].world[0].m[3][0], list.Pieces().front()->body.world.m[3][0]);
  EXPECT_EQ(device().indexedDraws[1].world[0].m[3][0], 5.0f);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(BspTest, ReorderedOpaquePassDrawsTheFixturesSmallestFirstAndTheGroundLast) {
  WriteYard(x);
  CCollisionWorld world;
  CBspList list({kYard}, nullptr, &world);
  StageDepthState(device());
  const auto drawn = [&] {
    std::vector<uint32_t> subsets, tests;
    for (const auto& d : device().indexedDraws) subsets.push_back(d.startIndex / 3), tests.push_back(d.zFunc);
    device().indexedDraws.clear();
    return std::make_pair(subsets, tests);
  };
  constexpr uint32_t kLessEqual = gfx::D3DCMP_LESSEQUAL, kLess = gfx::D3DCMP_LESS;

  list.DrawOpaque(ViewFromOrigin());
  EXPECT_EQ(drawn().first, (std::vector<uint32_t>{0, 1, 2, 3})) << "the list's order";

  gfx::SetReorderOpaqueDraws(true);
  list.DrawOpaque(ViewFromOrigin());
  const auto [subsets, tests] = drawn();
  EXPECT_EQ(subsets, (std::vector<uint32_t>{2, 3, 1, 0}));
  // The ground goes after fixtures listed after it, which win where they meet it at equal depth.
  EXPECT_EQ(tests, (std::vector<uint32_t>{kLessEqual, kLessEqual, kLessEqual, kLess}));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ZFUNC), kLessEqual);

  // Without depth writes the order would show: the list's order again.
  device().SetRenderState(gfx::D3DRS_ZWRITEENABLE, 0);
  list.DrawOpaque(ViewFromOrigin());
  EXPECT_EQ(drawn().first, (std::vector<uint32_t>{0, 1, 2, 3}));
  gfx::SetReorderOpaqueDraws(false);
}

TEST_F(BspTest, TranslucentPassDrawsNothingWithAllTypesZero) {
  CCollisionWorld world;
  CBspList list({kPiece}, nullptr, &world);
  list.DrawTranslucent(ViewFromOrigin());
  EXPECT_TRUE(device().indexedDraws.empty());
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_LIGHTING), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_FOGENABLE), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_SRCALPHA));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_INVSRCALPHA));
  // A type above 6 is translucent, and still culled.
  list.Pieces().front()->subsetTypes[0] = 7;
  list.Pieces().front()->subsetTypes[1] = 7;
  list.DrawTranslucent(ViewFromOrigin());
  EXPECT_EQ(device().indexedDraws.size(), 1u);
}

TEST_F(BspTest, MissingMeshGivesAnEmptyPiece) {
  CCollisionWorld world;
  CBsp piece("data/bsp/none.xxx", nullptr, &world);
  EXPECT_EQ(piece.Bounds()->SubsetCount(), 0);
  EXPECT_EQ(piece.subsetTypes.size(), 1u);
  piece.DrawOpaque(ViewFromOrigin());
  piece.DrawTranslucent(ViewFromOrigin());
  EXPECT_TRUE(device().indexedDraws.empty());
}

TEST_F(BspTest, CurrentViewFollowsTheDeviceTransforms) {
  const gfxutil::Matrix view = gfxutil::MatrixLookAtLH({5, 6, 7}, {0, 0, 0}, {0, 1, 0});
  const gfxutil::Matrix proj = gfxutil::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3, 10, 4800);
  device().SetTransform(gfx::D3DTS_VIEW, view);
  device().SetTransform(gfx::D3DTS_PROJECTION, proj);
  const BspView v = CurrentBspView();
  EXPECT_NEAR(v.eye.x, 5.0f, 1e-4f);
  EXPECT_NEAR(v.eye.y, 6.0f, 1e-4f);
  EXPECT_NEAR(v.eye.z, 7.0f, 1e-4f);
  EXPECT_EQ(v.viewProjection, view * proj);
  EXPECT_EQ(v.width, 640);
  EXPECT_EQ(v.height, 480);
}

}  // namespace
}  // namespace modeltest
