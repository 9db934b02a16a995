// What the player and the leaves draw: the body raised to its hips, the head on the posed neck,
// the shadow of the second pass, the screen text; a leaf at its own world matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "core/graphics.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "support/expect_matrix.h"
#include "support/model_files.h"
#include "unit/leaf.h"
#include "unit/motion.h"
#include "unit/player.h"
#include "unit/shadow.h"
#include "unit/world_context.h"

using gfxutil::Matrix;
using gfxutil::Vector4;

namespace {

using Objects = std::vector<std::unique_ptr<xfile::CDataObject>>;

constexpr const char* kBody = "data/mdl/player/player.mdl";
constexpr const char* kHead = "data/mdl/player/head.mdl";

using testdev::ExpectNear;
using testdev::ScreenVertex;

class PlayerDrawTest : public modeltest::ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    std::filesystem::create_directories("data/mdl/player");
    std::filesystem::create_directories("data/mdl/object/leaf");
    // A body of three parts in different places, so each recorded slot is told apart.
    Objects body;
    auto top = x.New("Frame", "Top");
    const float at[3][3] = {{10, 0, 0}, {0, 20, 0}, {0, 0, 30}};
    for (int i = 0; i < 3; ++i) {
      auto part = x.New("Frame", std::string("part") + char('A' + i));
      part->AddChild(x.Translation(at[i][0], at[i][1], at[i][2]));
      part->AddChild(x.Triangle(std::string("mesh") + char('A' + i), 0, 0, 0));
      top->AddChild(std::move(part));
    }
    body.push_back(std::move(top));
    ASSERT_TRUE(x.Write(kBody, body));
    for (const char* path : {kHead, g_leafModelPaths[2]}) {
      Objects one;
      auto frame = x.New("Frame", "Only");
      frame->AddChild(x.Translation(1, 2, 3));
      frame->AddChild(x.Triangle("only", 0, 0, 0));
      one.push_back(std::move(frame));
      ASSERT_TRUE(x.Write(path, one));
    }
    models =
        std::make_unique<ResourceCache<CModel>>(std::list<std::string>{kBody, kHead, g_leafModelPaths[2]});
    world.carried = &carried;
    world.models = models.get();
  }
  void TearDown() override {
    models.reset();
    ModelTest::TearDown();
  }
  std::unique_ptr<ResourceCache<CModel>> models;
  CarriedOver carried;
  WorldContext world;
};

}  // namespace

TEST_F(PlayerDrawTest, BodyIsDrawnFortyUpAndTheHeadThirtyAboveRecordedMatrixTwo) {
  CPlayer p(world, Vector4(100, 50, -20, 1), Vector4(0, 0.7f, 0, 0));
  p.Body().rotation.z = 0.3f;  // leans: the body shows it, the head keeps only the heading
  CModel& body = *models->Find(kBody);
  CModel& head = *models->Find(kHead);
  device().indexedDraws.clear();
  device().SetRenderState(gfx::D3DRS_SPECULARENABLE, 1);
  device().SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_SRCALPHA);
  p.Draw();
  EXPECT_EQ(device().indexedDraws.size(), 4u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_ONE));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_ZERO));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SPECULARENABLE), 0u);
  ASSERT_EQ(body.Hierarchy().recordCount, 3);
  Matrix drawn[3];
  for (int i = 0; i < 3; ++i) drawn[i] = body.GetRecordedMatrix(i);
  const Matrix headDrawn = head.GetRecordedMatrix(0);
  // The unit itself has not moved.
  EXPECT_EQ(p.GetPosition(), Vector4(100, 50, -20, 1));

  // Drawing the body directly at the expected matrix leaves the same record.
  body.SetMatrix(gfxutil::MatrixRotationZ(0.3f) * gfxutil::MatrixRotationY(0.7f) *
                 gfxutil::MatrixTranslation(100, 90, -20));
  body.Draw(p.Body().motion->GetFrame());
  ExpectNear(body.GetRecordedMatrix(0), drawn[0], 1e-3f, "slot 0");
  ExpectNear(body.GetRecordedMatrix(1), drawn[1], 1e-3f, "slot 1");
  ExpectNear(body.GetRecordedMatrix(2), drawn[2], 1e-3f, "slot 2");

  const Matrix& neck = drawn[2];
  ASSERT_NE(neck.m[3][0], drawn[1].m[3][0]);  // the slots really differ
  const Matrix headAt = gfxutil::MatrixRotationY(0.7f) *
                        gfxutil::MatrixTranslation(neck.m[3][0], neck.m[3][1] + 30.0f, neck.m[3][2]);
  ExpectNear(p.HeadTransform().world, headAt, 1e-3f, "head transform");
  EXPECT_EQ(p.HeadTransform().rotation, Vector4(0, 0.7f, 0, 0));
  head.SetMatrix(headAt);
  head.Draw(std::nullopt);
  ExpectNear(head.GetRecordedMatrix(0), headDrawn, 1e-3f, "head");
}

TEST_F(PlayerDrawTest, WithoutItsModelsThePlayerDrawsNothing) {
  models.reset();
  world.models = nullptr;
  CPlayer p{world, Vector4(), Vector4()};
  device().indexedDraws.clear();
  p.Draw();
  EXPECT_TRUE(device().indexedDraws.empty());
}

TEST_F(PlayerDrawTest, SecondPassLaysAShadowOfRadiusThirtyAtTheGroundPoint) {
  CPlayer p(world, Vector4(5, 7, 7, 1), Vector4());
  device().draws.clear();
  p.DrawSecondPass();  // no shadow service: nothing
  EXPECT_TRUE(device().draws.empty());

  CShadow shadow(nullptr);
  world.shadow = &shadow;
  p.Body().groundDistance = 10.0f;
  p.Body().groundNormal = Vector4(0, 1, 0, 0);
  p.Body().groundPoint = Vector4(5, -3, 7, 0);
  p.DrawSecondPass();
  ASSERT_EQ(device().draws.size(), 1u);
  const testdev::Draw& d = device().draws[0];
  const testdev::WorldVertex v0 = d.Vertex<testdev::WorldVertex>(0);
  EXPECT_EQ(v0.x, -35.0f);  // 30 + 10 / 2
  EXPECT_EQ(v0.z, -35.0f);
  EXPECT_EQ(v0.color, 0x28FFFFFFu);  // alpha 100 - 6 x 10
  EXPECT_EQ(d.world, gfxutil::MatrixTranslation(5, -1, 7));
  // Blended over the ground.
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_SRCALPHA));
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_COLOROP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_ALPHAOP), uint32_t(gfx::D3DTOP_MODULATE));
}

TEST_F(PlayerDrawTest, ScreenTextIsThreeWhiteLinesOfPositionAnglesAndFrame) {
  ASSERT_NE(app::GetFont(), nullptr);
  CPlayer p(world, Vector4(1.5f, -2, 3, 1), Vector4(0, 1.0f, 0, 0));
  device().draws.clear();
  p.DrawScreen();
  const char* lines[3] = {"POS:1.500000,-2.000000,3.000000", "DEG:0.000000,57.290001,0.000000", "0.000000"};
  ASSERT_EQ(device().draws.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const testdev::Draw& d = device().draws[i];
    // One quad per character: none of them is blank.
    ASSERT_EQ(d.vertices.size(), std::strlen(lines[i]) * 6 * sizeof(ScreenVertex)) << lines[i];
    float top = 1e9f, bottom = -1e9f;
    for (size_t k = 0; k < d.vertices.size() / sizeof(ScreenVertex); ++k) {
      const ScreenVertex v = d.Vertex<ScreenVertex>(k);
      EXPECT_EQ(v.color, 0xFFFFFFFFu);
      top = std::min(top, v.y);
      bottom = std::max(bottom, v.y);
    }
    EXPECT_GE(top, 20.0f * i - 0.5f) << lines[i];
    EXPECT_LT(top, 20.0f * i + 20.0f) << lines[i];
    EXPECT_GT(bottom, top);
  }
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_ONE));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_ZERO));
}

TEST_F(PlayerDrawTest, ALeafDrawsItsModelAtItsOwnWorldMatrix) {
  CLeaf leaf(world, Vector4(10, 0, -5, 0), Vector4(4, 0, 2, 0), 2);
  for (int i = 0; i < 3; ++i) leaf.Update();
  CModel& model = *models->Find(g_leafModelPaths[2]);
  ASSERT_EQ(leaf.Model().get(), &model);
  device().indexedDraws.clear();
  leaf.Draw();
  EXPECT_EQ(device().indexedDraws.size(), 1u);
  const Matrix drawn = model.GetRecordedMatrix(0);
  model.SetMatrix(leaf.BuildWorldMatrix());
  model.Draw(std::nullopt);
  ExpectNear(model.GetRecordedMatrix(0), drawn, 1e-3f, "leaf");
  EXPECT_NE(leaf.GetRotation(), Vector4());  // it has tumbled, so the matrix is not a bare translation
}
