// Sprites on the recording device: the exact vertices of the screen and world quads, the texture
// loader over plain and compressed files, the missing-file path and the shared 2D states.
#include "effect/sprite.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/graphics.h"
#include "core/log.h"
#include "resource/szdd.h"
#include "support/game_graphics.h"
#include "support/image_files.h"

using namespace gamegfx;

namespace {

struct SV {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
struct WV {
  float x, y, z;
  uint32_t diffuse;
  float u, v;
};

class SpriteTest : public GameGfxTest {
 protected:
  void SetUp() override {
    GameGfxTest::SetUp();
    const std::vector<uint32_t> px = {0xFF000000, 0xFFFFFFFF, 0xFF808080, 0xFF000000,
                                      0xFF102030, 0xFF000000, 0xFFFFFFFF, 0xFF405060};
    image = px;
    ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/pic.bmp", testimg::Bmp24(4, 2, px)));
    Configure(1, 800, 600);
    ASSERT_EQ(InitRecording(), 1);
    recorder().draws.clear();
  }
  std::vector<uint32_t> image;
};

}  // namespace

TEST_F(SpriteTest, Draw2DScalesTheVirtualScreen) {
  CSprite sprite("data/image/pic.bmp");
  sprite.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0x80FFFFFF);
  ASSERT_EQ(recorder().draws.size(), 1u);
  const testdev::Draw& d = recorder().draws[0];
  EXPECT_EQ(d.fvf, 0x144u);
  EXPECT_EQ(d.stride, 28u);
  EXPECT_EQ(d.primitives, 2u);
  EXPECT_EQ(d.texture, sprite.GetTexture());
  EXPECT_EQ(recorder().boundTexture, nullptr);  // unbound after the draw
  const float right = 640 * (0.0015625f * 800.0f), bottom = 480 * (0.0020833f * 600.0f);
  EXPECT_FLOAT_EQ(right, 800.0f);
  EXPECT_LT(bottom, 600.0f);
  EXPECT_GT(bottom, 599.9f);
  const float want[6][4] = {{0, 0, 0, 0}, {right, bottom, 1, 1}, {0, bottom, 0, 1},
                            {0, 0, 0, 0}, {right, 0, 1, 0},      {right, bottom, 1, 1}};
  for (int i = 0; i < 6; ++i) {
    const SV v = d.Vertex<SV>(i);
    EXPECT_FLOAT_EQ(v.x, want[i][0]) << i;
    EXPECT_FLOAT_EQ(v.y, want[i][1]) << i;
    EXPECT_EQ(v.u, want[i][2]) << i;
    EXPECT_EQ(v.v, want[i][3]) << i;
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(v.rhw, 1.0f);
    EXPECT_EQ(v.diffuse, 0x80FFFFFFu);
  }
}

TEST_F(SpriteTest, Draw2DSetsNoStates) {
  CSprite sprite("data/image/pic.bmp");
  const auto before = recorder().renderStates;
  const auto stagesBefore = recorder().stageStates;
  sprite.Draw2D(10, 20, 30, 40, 0.25f, 0.5f, 0.75f, 1, 0xFFFFFFFF);
  EXPECT_EQ(recorder().renderStates, before);
  EXPECT_EQ(recorder().stageStates, stagesBefore);
  const SV v = recorder().draws[0].Vertex<SV>(4);  // (x1, y0, u1, v0)
  EXPECT_FLOAT_EQ(v.x, 30 * 0.0015625f * 800);
  EXPECT_FLOAT_EQ(v.y, 20 * 0.0020833f * 600);
  EXPECT_EQ(v.u, 0.75f);
  EXPECT_EQ(v.v, 0.5f);
}

TEST_F(SpriteTest, Draw3DMapsTheWholeTexture) {
  CSprite sprite("data/image/pic.bmp");
  const gfx::Matrix world = gfxutil::MatrixTranslation(1, 2, 3);
  sprite.Draw3D(world, 0xFF00FF00, -5, -6, 5, 6);
  ASSERT_EQ(recorder().draws.size(), 1u);
  const testdev::Draw& d = recorder().draws[0];
  EXPECT_EQ(d.fvf, 0x142u);
  EXPECT_EQ(d.stride, 24u);
  EXPECT_EQ(d.world, world);
  EXPECT_EQ(d.texture, sprite.GetTexture());
  const float want[6][4] = {{-5, -6, 0, 1}, {5, 6, 1, 0},  {-5, 6, 0, 0},
                            {-5, -6, 0, 1}, {5, -6, 1, 1}, {5, 6, 1, 0}};
  for (int i = 0; i < 6; ++i) {
    const WV v = d.Vertex<WV>(i);
    EXPECT_EQ(v.x, want[i][0]);
    EXPECT_EQ(v.y, want[i][1]);
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(v.u, want[i][2]);
    EXPECT_EQ(v.v, want[i][3]);
    EXPECT_EQ(v.diffuse, 0xFF00FF00u);
  }
}

TEST_F(SpriteTest, LoadsWithColourKeyAndOneLevel) {
  CSprite sprite("data/image/pic.bmp");
  ASSERT_NE(sprite.GetTexture(), nullptr);
  EXPECT_EQ(sprite.GetWidth(), 4u);
  EXPECT_EQ(sprite.GetHeight(), 2u);
  auto* tex = static_cast<testdev::CMemoryTexture*>(sprite.GetTexture());
  EXPECT_EQ(tex->Levels(), 1u);
  std::vector<uint32_t> keyed = image;
  for (uint32_t& p : keyed)
    if (p == 0xFF000000) p = 0;
  EXPECT_EQ(tex->Level(0), keyed);
}

TEST_F(SpriteTest, CompressedFilesExpandFirst) {
  const auto bmp = testimg::Bmp24(4, 2, image);
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/pic.bmp_enc", CompressSzdd(bmp.data(), bmp.size())));
  CSprite sprite("data/image/pic.bmp_enc");
  ASSERT_NE(sprite.GetTexture(), nullptr);
  EXPECT_EQ(static_cast<testdev::CMemoryTexture*>(sprite.GetTexture())->Level(0)[1], 0xFFFFFFFFu);
  // The same bytes without the compressed name are not an image.
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/packed.bmp", CompressSzdd(bmp.data(), bmp.size())));
  EXPECT_EQ(LoadTexture("data/image/packed.bmp", 1), nullptr);
}

TEST_F(SpriteTest, MeshTexturesGetTwoLevels) {
  gfx::TexturePtr t = LoadTexture("data/image/pic.bmp", 2);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Levels(), 2u);
}

TEST_F(SpriteTest, MissingOrCorruptFileIsLoggedAndStillDraws) {
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/broken.jpg", {0xFF, 0xD8, 0xFF, 0x00, 0x01}));
  CSprite missing("data/image/nothere.bmp");
  CSprite broken("data/image/broken.jpg");
  EXPECT_EQ(missing.GetTexture(), nullptr);
  EXPECT_EQ(broken.GetTexture(), nullptr);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("NotFound data/image/nothere.bmp\n"), std::string::npos);
  EXPECT_NE(log.find("NotFound data/image/broken.jpg\n"), std::string::npos);
  missing.Draw2D(0, 0, 10, 10, 0, 0, 1, 1, 0xFF000000);
  ASSERT_EQ(recorder().draws.size(), 1u);
  EXPECT_EQ(recorder().draws[0].texture, nullptr);
}

// A script cut short can name a folder ("data/"): it opens like a file but reports an end far
// beyond anything readable, and reading it asked for that much memory.
TEST_F(SpriteTest, AFolderNamedAsAnImageIsLoggedAndNotRead) {
  std::filesystem::create_directories(dir + "/data/image/folder.bmp_enc");
  CSprite top("data/");
  CSprite folder("data/image/folder.bmp_enc");
  EXPECT_EQ(top.GetTexture(), nullptr);
  EXPECT_EQ(folder.GetTexture(), nullptr);
  EXPECT_EQ(LoadTexture("data/image", 1), nullptr);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("NotFound data/\n"), std::string::npos);
  EXPECT_NE(log.find("NotFound data/image/folder.bmp_enc\n"), std::string::npos);
}

TEST_F(SpriteTest, TwoDStatesForFaderAndFrontEnd) {
  Set2DRenderStates(recorder());
  auto rs = [&](gfx::RenderState s) { return recorder().GetRenderState(s); };
  auto ts = [&](gfx::TextureStageState s) { return recorder().GetTextureStageState(0, s); };
  EXPECT_EQ(rs(gfx::D3DRS_ZENABLE), 0u);
  EXPECT_EQ(rs(gfx::D3DRS_ZWRITEENABLE), 0u);
  EXPECT_EQ(rs(gfx::D3DRS_LIGHTING), 0u);
  EXPECT_EQ(rs(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(rs(gfx::D3DRS_FOGENABLE), 0u);
  EXPECT_EQ(rs(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_SRCALPHA));
  EXPECT_EQ(rs(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(rs(gfx::D3DRS_CULLMODE), uint32_t(gfx::D3DCULL_CCW));
  EXPECT_EQ(ts(gfx::D3DTSS_COLOROP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(ts(gfx::D3DTSS_COLORARG1), uint32_t(gfx::D3DTA_TEXTURE));
  EXPECT_EQ(ts(gfx::D3DTSS_COLORARG2), uint32_t(gfx::D3DTA_CURRENT));
  EXPECT_EQ(ts(gfx::D3DTSS_ALPHAOP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(ts(gfx::D3DTSS_ALPHAARG1), uint32_t(gfx::D3DTA_TEXTURE));
  EXPECT_EQ(ts(gfx::D3DTSS_ALPHAARG2), uint32_t(gfx::D3DTA_CURRENT));
  EXPECT_EQ(recorder().stageStates.count(gfx::D3DTSS_MINFILTER), 0u);  // no filtering states
}

TEST(SpriteNoDevice, NoDeviceMeansNoTexture) {
  ASSERT_EQ(app::GetDevice(), nullptr);
  EXPECT_EQ(LoadTexture("data/image/pic.bmp", 1), nullptr);
}
