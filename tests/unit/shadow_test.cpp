// The blob shadow.
#include "unit/shadow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "effect/sprite.h"
#include "resource/resource_cache.h"
#include "support/image_files.h"
#include "support/recording_graphics.h"

using gfxutil::Matrix;
using gfxutil::Vector3;
using gfxutil::Vector4;

namespace {

class ShadowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(graphics.ok()); }
  testdev::CRecordingDevice& device() { return graphics.device(); }
  testdev::CRecordingGraphics graphics{"shadow"};
};

}  // namespace

TEST(ShadowFigures, AlphaFadesFromOneHundredToTwentyAndTheQuadGrows) {
  EXPECT_EQ(CShadow::Alpha(0.0f), 100u);
  EXPECT_EQ(CShadow::Alpha(5.0f), 70u);
  EXPECT_EQ(CShadow::Alpha(13.0f), 22u);
  EXPECT_EQ(CShadow::Alpha(13.4f), 20u);
  EXPECT_EQ(CShadow::Alpha(20.0f), 20u);
  EXPECT_EQ(CShadow::Alpha(1e30f), 20u);
  EXPECT_EQ(CShadow::Alpha(0.5f), 97u);  // the integer part
  EXPECT_EQ(CShadow::HalfSize(30.0f, 20.0f), 40.0f);
  EXPECT_EQ(CShadow::HalfSize(30.0f, 0.0f), 30.0f);
}

TEST(ShadowFigures, CasterBelowTheGroundDoesNotWrapIntoTheColourBytes) {
  EXPECT_EQ(CShadow::Alpha(-10.0f), 160u);
  EXPECT_EQ(CShadow::Alpha(-100.0f), 255u);
}

TEST(ShadowFigures, OrientationTurnsUpOntoTheNormal) {
  const Vector3 normals[] = {{0, 1, 0},          {1, 0, 0},           {0, 0, -1},
                             {0.3f, 0.9f, 0.1f}, {-0.5f, 0.5f, 0.7f}, {0, -1, 0}};
  for (const Vector3& n : normals) {
    const Vector3 want = gfxutil::Vec3Normalize(n);
    const Vector3 got = gfxutil::Vec3TransformNormal(Vector3(0, 1, 0), CShadow::UpTo(n));
    EXPECT_NEAR(got.x, want.x, 1e-5f);
    EXPECT_NEAR(got.y, want.y, 1e-5f);
    EXPECT_NEAR(got.z, want.z, 1e-5f);
  }
  // A rotation: lengths are kept.
  const Matrix m = CShadow::UpTo(Vector3(0.3f, 0.9f, 0.1f));
  EXPECT_NEAR(gfxutil::Vec3Length(gfxutil::Vec3TransformNormal(Vector3(1, 0, 0), m)), 1.0f, 1e-5f);
  // No normal at all: flat.
  EXPECT_EQ(CShadow::UpTo(Vector3(0, 0, 0)), Matrix());
}

TEST_F(ShadowTest, TakesItsImageFromTheSpriteCacheItIsGiven) {
  {
    ResourceCache<CSprite> sprites({"data/image/other.bmp"});
    CShadow shadow(&sprites);
    EXPECT_FALSE(shadow.Sprite());  // not listed: drawn untextured
  }
  {
    ResourceCache<CSprite> sprites({CShadow::kImage});
    CShadow shadow(&sprites);
    EXPECT_EQ(shadow.Sprite(), sprites.Find(CShadow::kImage));
    CShadow without(nullptr);
    EXPECT_FALSE(without.Sprite());
  }
}

TEST_F(ShadowTest, CasterTwentyAboveTheGroundDrawsAlphaTwentyAndHalfSizeRadiusPlusTen) {
  CShadow shadow(nullptr);
  ShadowRecord r;
  r.radius = 30.0f;
  r.height = 20.0f;
  r.groundNormal = Vector4(0, 1, 0, 0);
  r.groundPoint = Vector4(100, 5, -50, 0);
  device().draws.clear();
  shadow.DrawShadow(r);
  ASSERT_EQ(device().draws.size(), 1u);
  const testdev::Draw& d = device().draws[0];
  EXPECT_EQ(d.fvf, 0x142u);
  EXPECT_EQ(d.stride, 24u);
  EXPECT_EQ(d.primitives, 2u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_CULLMODE), gfx::D3DCULL_NONE);
  const float want[6][5] = {{-40, 10, -40, 0, 1}, {40, 10, 40, 1, 0},  {-40, 10, 40, 0, 0},
                            {-40, 10, -40, 0, 1}, {40, 10, -40, 1, 1}, {40, 10, 40, 1, 0}};
  for (int i = 0; i < 6; ++i) {
    const testdev::WorldVertex v = d.Vertex<testdev::WorldVertex>(i);
    EXPECT_EQ(v.x, want[i][0]);
    EXPECT_EQ(v.y, want[i][1]);
    EXPECT_EQ(v.z, want[i][2]);
    EXPECT_EQ(v.u, want[i][3]);
    EXPECT_EQ(v.v, want[i][4]);
    EXPECT_EQ(v.color, 0x14FFFFFFu);
  }
  // Lies at the ground point lifted by 2 along the normal.
  EXPECT_EQ(d.world, gfxutil::MatrixTranslation(100, 7, -50));
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_CULLMODE), gfx::D3DCULL_CCW);
  EXPECT_EQ(device().boundTexture, nullptr);
}

TEST_F(ShadowTest, OnASlopeTheQuadTurnsWithTheGround) {
  CShadow shadow(nullptr);
  ShadowRecord r;
  r.radius = 10.0f;
  const Vector3 n = gfxutil::Vec3Normalize(Vector3(1, 1, 0));
  r.groundNormal = Vector4(n.x, n.y, n.z, 0);
  r.groundPoint = Vector4(0, 0, 0, 0);
  device().draws.clear();
  shadow.DrawShadow(r);
  ASSERT_EQ(device().draws.size(), 1u);
  const Matrix& w = device().draws[0].world;
  // The quad's local up (its height of 10) points along the normal, from 2 out along it.
  const Vector3 centre = gfxutil::Vec3TransformCoord(Vector3(0, 10, 0), w);
  EXPECT_NEAR(centre.x, 12.0f * n.x, 1e-4f);
  EXPECT_NEAR(centre.y, 12.0f * n.y, 1e-4f);
  EXPECT_NEAR(centre.z, 0.0f, 1e-4f);
}

TEST_F(ShadowTest, DrawsWithItsTextureBoundAndUnbindsIt) {
  // The loader tells images by their content, so a BMP under the shadow's name will do.
  std::filesystem::create_directories("data/image");
  ASSERT_TRUE(
      testimg::WriteFile(CShadow::kImage, testimg::Bmp32(4, 4, std::vector<uint32_t>(16, 0x80FFFFFF))));
  ResourceCache<CSprite> sprites({CShadow::kImage});
  CShadow shadow(&sprites);
  ASSERT_TRUE(shadow.Sprite());
  ASSERT_NE(shadow.Sprite()->GetTexture(), nullptr);
  device().draws.clear();
  shadow.DrawShadow(ShadowRecord{});
  ASSERT_EQ(device().draws.size(), 1u);
  EXPECT_EQ(device().draws[0].texture, shadow.Sprite()->GetTexture());
  EXPECT_EQ(device().boundTexture, nullptr);
}
