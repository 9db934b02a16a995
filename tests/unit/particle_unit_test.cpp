// Particle units: spread, per-frame step, drawing and life.
#include "unit/particle_unit.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <cmath>
#include <cstdlib>

#include "effect/sprite.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"
#include "support/recording_graphics.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"

using gfxutil::Vector4;

namespace {

using testdev::WorldVertex;

// At the origin looking down +z.
class CFixedCamera : public CCamera {
 public:
  void Update() override { ApplyView(gfxutil::Matrix()); }
};

class ParticleTest : public ::testing::Test {
 protected:
  // A definition drawn with the world's sprite.
  CParticleFile Definition(const std::string& blocks) const {
    return CParticleFile(CScriptFile::FromText(blocks + "#sprite\ndata/image/p.bmp\n#end\n#EOF\n"), &sprites);
  }
  void SetUp() override {
    ASSERT_TRUE(graphics.ok());
    cameras.Add(0, boost::make_shared<CFixedCamera>());
    cameras.SetCurrent(0);
    std::srand(1);
  }
  testdev::CRecordingDevice& device() { return graphics.device(); }
  boost::shared_ptr<CParticleUnit> Emit(const CParticleFile& def, float x = 0, float y = 0, float z = 200) {
    auto p = boost::make_shared<CParticleUnit>(world, x, y, z, 0.0f, def);
    registry.Insert(CParticleUnit::kRegistryName, p);
    return p;
  }
  // One world frame of the passes a particle takes part in; returns the draws it made.
  size_t Frame() {
    const size_t before = device().draws.size();
    registry.RemoveFinished();
    cameras.Update();
    registry.Update();
    registry.LatePass();
    registry.Draw();
    registry.DrawSecondPass();
    registry.DrawScreen();
    return device().draws.size() - before;
  }

  testdev::CRecordingGraphics graphics{"particle_unit"};
  ResourceCache<CSprite> sprites{{"data/image/p.bmp"}};
  WorldContext world{.config = &graphics.config(), .cameras = &cameras};
  CCameraManager cameras{world};
  CUnitRegistry registry{world};
};

}  // namespace

TEST_F(ParticleTest, KillZeroIsDrawnOnceAndDies) {
  boost::weak_ptr<CParticleUnit> p = Emit(Definition("#kill\n0\n#end\n#alpha\n1\n#end\n"));
  EXPECT_EQ(Frame(), 1u);
  EXPECT_TRUE(p.lock()->IsFinished());
  EXPECT_EQ(Frame(), 0u);
  EXPECT_TRUE(p.expired());
}

TEST_F(ParticleTest, KillKIsDrawnKPlusOneTimes) {
  Emit(Definition("#kill\n4\n#end\n"));
  size_t draws = 0;
  for (int i = 0; i < 20; ++i) draws += Frame();
  EXPECT_EQ(draws, 5u);
  EXPECT_EQ(registry.Count(), 0u);
}

TEST_F(ParticleTest, AlphaZeroNeverFadesAndDiesOnlyByLife) {
  auto p = Emit(Definition("#kill\n100\n#end\n#alpha\n0\n#end\n"));
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(Frame(), 1u);
    EXPECT_EQ(p->Opacity(), 255);
    EXPECT_FALSE(p->IsFinished());
  }
  EXPECT_EQ(p->Life(), 0);
  EXPECT_EQ(Frame(), 1u);
  EXPECT_TRUE(p->IsFinished());
}

TEST_F(ParticleTest, InvisibleParticleFadesButKeepsItsLife) {
  auto p = Emit(Definition("#kill\n10\n#end\n#alpha\n20\n#end\n"), 0, 0, 3000);  // beyond 1920
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Frame(), 0u);
  EXPECT_FALSE(p->IsVisible());
  EXPECT_EQ(p->Opacity(), 255 - 5 * 20);
  EXPECT_EQ(p->Life(), 10);
  p->SetPosition(0, 0, 200, 0);  // back into view
  EXPECT_EQ(Frame(), 1u);
  EXPECT_EQ(p->Life(), 9);
  EXPECT_EQ(p->Opacity(), 255 - 6 * 20);
}

TEST_F(ParticleTest, OffScreenParticleAlsoKeepsItsLife) {
  auto p = Emit(Definition("#kill\n10\n#end\n#alpha\n1\n#end\n"), -5000, 0, 200);
  EXPECT_EQ(Frame(), 0u);
  EXPECT_EQ(p->Life(), 10);
  EXPECT_EQ(p->Opacity(), 254);
}

TEST_F(ParticleTest, FullyFadedParticleDiesInItsNextDraw) {
  auto p = Emit(Definition("#kill\n100\n#end\n#alpha\n100\n#end\n"));
  EXPECT_EQ(Frame(), 1u);  // 155
  EXPECT_EQ(Frame(), 1u);  // 55
  EXPECT_FALSE(p->IsFinished());
  EXPECT_EQ(Frame(), 1u);  // 0: drawn transparent, then finished
  EXPECT_EQ(p->Opacity(), 0);
  EXPECT_TRUE(p->IsFinished());
  EXPECT_EQ(device().draws.back().Vertex<WorldVertex>(0).color >> 24, 0u);
}

TEST_F(ParticleTest, NegativeAlphaRaisesTheOpacityAndOnlyItsLowByteReachesTheColour) {
  auto p = Emit(Definition("#alpha\n-10\n#end\n#kill\n100\n#end\n#color\n1\n2\n3\n#end\n"));
  Frame();
  EXPECT_EQ(p->Opacity(), 265);
  EXPECT_EQ(p->Color(), 0x09010203u);
  EXPECT_EQ(device().draws.back().Vertex<WorldVertex>(0).color, 0x09010203u);
}

TEST_F(ParticleTest, OpacityDoesNotWrapForAHugeNegativeRate) {
  auto p = Emit(Definition("#alpha\n-20000\n#end\n#kill\n100\n#end\n"));
  Frame();
  Frame();
  EXPECT_EQ(p->Opacity(), 32767);
  EXPECT_FALSE(p->IsFinished());
}

TEST_F(ParticleTest, StepAcceleratesThenAppliesFrictionThenMovesAndGrows) {
  auto p = Emit(Definition("#speed\n100\n200\n0\n#end\n#acceleration\n0\n-50\n10\n#end\n"
                           "#frict\n50\n100\n100\n#end\n#scale\n25\n#end\n#kill\n50\n#end\n"),
                10, 20, 300);
  p->Update();
  EXPECT_FLOAT_EQ(p->Velocity().x, 0.5f);  // (1 + 0) * 0.5
  EXPECT_FLOAT_EQ(p->Velocity().y, 1.5f);  // (2 - 0.5) * 1
  EXPECT_FLOAT_EQ(p->Velocity().z, 0.1f);
  EXPECT_FLOAT_EQ(p->GetPosition().x, 10.5f);
  EXPECT_FLOAT_EQ(p->GetPosition().y, 21.5f);
  EXPECT_FLOAT_EQ(p->GetPosition().z, 300.1f);
  EXPECT_FLOAT_EQ(p->Body().scaleX, 1.25f);
  EXPECT_FLOAT_EQ(p->Body().scaleY, 1.25f);
  EXPECT_FLOAT_EQ(p->Body().scaleZ, 1.25f);
  // No gravity or damping from the unit base.
  EXPECT_EQ(p->Body().fallSpeed, 0.0f);
  EXPECT_EQ(p->Body().velocityY, 0.0f);
}

TEST_F(ParticleTest, FrictZeroStopsTheParticleAfterItsFirstMove) {
  auto p = Emit(Definition("#speed\n300\n0\n0\n#end\n#frict\n0\n0\n0\n#end\n"));
  p->Update();
  EXPECT_EQ(p->GetPosition().x, 0.0f);
  EXPECT_EQ(p->Velocity().x, 0.0f);
}

TEST_F(ParticleTest, TurnsItsFaceTowardTheCamera) {
  auto p = Emit(Definition(""), 100, 0, 100);
  p->Update();
  EXPECT_FLOAT_EQ(p->GetRotation().y, std::atan2(-100.0f, -100.0f));
  EXPECT_EQ(p->GetRotation().x, 0.0f);
  EXPECT_EQ(p->GetRotation().z, 0.0f);
}

TEST_F(ParticleTest, SpreadLiesOnAThousandthGridWithinTheRand) {
  const CParticleFile def = Definition("#speed\n0\n100\n0\n#end\n#rand\n50\n0\n3\n#end\n");
  float minX = 1, maxX = -1;
  for (int i = 0; i < 400; ++i) {
    CParticleUnit p(world, 0, 0, 0, 0, def);
    const Vector4 v = p.Velocity();
    EXPECT_GE(v.x, -0.5f - 1e-6f);
    EXPECT_LE(v.x, 0.5f + 1e-6f);
    EXPECT_NEAR(v.x * 1000.0f, std::round(v.x * 1000.0f), 1e-3f);
    EXPECT_EQ(v.y, 1.0f);  // rand 0: no spread on that axis
    EXPECT_GE(v.z, -0.03f - 1e-6f);
    EXPECT_LE(v.z, 0.03f + 1e-6f);
    minX = std::min(minX, v.x);
    maxX = std::max(maxX, v.x);
  }
  EXPECT_LT(minX, -0.4f);
  EXPECT_GT(maxX, 0.4f);
}

TEST_F(ParticleTest, SpreadDrawsOneRandPerAxisInOrder) {
  const CParticleFile def = Definition("#rand\n100\n200\n300\n#end\n");
  std::srand(77);
  const int a = std::rand(), b = std::rand(), c = std::rand();
  std::srand(77);
  CParticleUnit p(world, 0, 0, 0, 0, def);
  EXPECT_FLOAT_EQ(p.Velocity().x, float(-1000 + a % 2001) * 0.001f);
  EXPECT_FLOAT_EQ(p.Velocity().y, float(-2000 + b % 4001) * 0.001f);
  EXPECT_FLOAT_EQ(p.Velocity().z, float(-3000 + c % 6001) * 0.001f);
}

TEST_F(ParticleTest, NegativeSpreadActsAsItsAbsoluteValue) {
  const CParticleFile negative = Definition("#rand\n-100\n0\n-7\n#end\n");
  const CParticleFile positive = Definition("#rand\n100\n0\n7\n#end\n");
  for (unsigned seed = 1; seed < 20; ++seed) {
    std::srand(seed);
    CParticleUnit a(world, 0, 0, 0, 0, negative);
    std::srand(seed);
    CParticleUnit b(world, 0, 0, 0, 0, positive);
    EXPECT_EQ(a.Velocity(), b.Velocity());
  }
}

TEST_F(ParticleTest, CallersMayAdjustTheirCopyOfTheDefinition) {
  CParticleFile def = Definition("#speed\n100\n0\n0\n#end\n");
  CParticleFile copy = def;
  copy.speed.x = 9.0f;
  CParticleUnit p(world, 0, 0, 0, 0, copy);
  EXPECT_EQ(p.Velocity().x, 9.0f);
  EXPECT_FLOAT_EQ(def.speed.x, 1.0f);
}

TEST_F(ParticleTest, DrawsASixteenUnitSquareFacingTheCameraWithItsStates) {
  auto p = Emit(Definition("#color\n10\n20\n30\n#end\n#kill\n5\n#end\n#alpha\n5\n#end\n#scale\n100\n#end\n"),
                50, 0, 300);
  device().draws.clear();
  p->Update();
  p->DrawSecondPass();
  ASSERT_EQ(device().draws.size(), 1u);
  const testdev::Draw& d = device().draws[0];
  EXPECT_EQ(d.fvf, 0x142u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_LIGHTING), 0u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_SRCBLEND), gfx::D3DBLEND_SRCALPHA);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_DESTBLEND), gfx::D3DBLEND_INVSRCALPHA);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_CULLMODE), gfx::D3DCULL_NONE);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ZENABLE), gfx::D3DZB_TRUE);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ZWRITEENABLE), 0u);
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_COLOROP), gfx::D3DTOP_MODULATE);
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_COLORARG1), gfx::D3DTA_TEXTURE);
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_COLORARG2), gfx::D3DTA_DIFFUSE);
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_ALPHAOP), gfx::D3DTOP_MODULATE);
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_ALPHAARG2), gfx::D3DTA_DIFFUSE);
  const WorldVertex v0 = d.Vertex<WorldVertex>(0), v1 = d.Vertex<WorldVertex>(1);
  EXPECT_EQ(v0.x, -8.0f);
  EXPECT_EQ(v0.y, -8.0f);
  EXPECT_EQ(v1.x, 8.0f);
  EXPECT_EQ(v1.y, 8.0f);
  EXPECT_EQ(v0.color, 0xFA0A141Eu);
  // World matrix: yaw toward the camera, scale 2, at the position.
  const gfxutil::Matrix want = gfxutil::MatrixRotationY(std::atan2(-50.0f, -300.0f)) *
                               gfxutil::MatrixScaling(2, 2, 2) * gfxutil::MatrixTranslation(50, 0, 300);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(d.world.m[r][c], want.m[r][c], 1e-4f);
  // Restored afterwards.
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_LIGHTING), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_CULLMODE), gfx::D3DCULL_CCW);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_ZENABLE), gfx::D3DZB_TRUE);
}

TEST_F(ParticleTest, DefinitionThatCouldNotBeReadDrawsNothing) {
  CParticleFile missing(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/particle_unit/none.par", &sprites);
  auto p = Emit(missing);
  EXPECT_TRUE(p->IsFinished());
  EXPECT_EQ(Frame(), 0u);
  EXPECT_EQ(registry.Count(), 0u);
}
