// Sprites, the fader's overlay and the font on the real device, checked by reading pixels back.
// Writes a screenshot of a half-way fade for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/graphics.h"
#include "effect/sprite.h"
#include "platform/gfx/device_test_hooks.h"
#include "support/game_graphics.h"
#include "support/image_files.h"

using namespace gamegfx;

namespace {

uint32_t R(uint32_t c) { return (c >> 16) & 255; }
uint32_t G(uint32_t c) { return (c >> 8) & 255; }
uint32_t B(uint32_t c) { return c & 255; }

// A picture with something to see in every part: colour bars over a grey ramp, a white frame.
std::vector<uint32_t> TestPicture(uint32_t w, uint32_t h) {
  const uint32_t bars[8] = {0xFFFFFFFF, 0xFFFFFF00, 0xFF00FFFF, 0xFF00FF00,
                            0xFFFF00FF, 0xFFFF0000, 0xFF0000FF, 0xFF202020};
  std::vector<uint32_t> px(w * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t c;
      if (y < h * 2 / 3) {
        c = bars[x * 8 / w];
      } else {
        const uint32_t g = 16 + x * 239 / (w - 1);
        c = 0xFF000000 | g << 16 | g << 8 | g;
      }
      if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) c = 0xFFFFFFFF;
      px[y * w + x] = c;
    }
  return px;
}

class SpritePixels : public GameGfxTest {
 protected:
  void SetUp() override {
    GameGfxTest::SetUp();
    // Near-black: pure black would be keyed away and the overlay would vanish.
    ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/black.bmp",
                                   testimg::Bmp24(8, 8, std::vector<uint32_t>(64, 0xFF010101))));
    Configure(1, 800, 600);
    ASSERT_EQ(InitReal(), 1) << "no device";
    device = app::GetDevice();
  }
  void BeginFrame(uint32_t clear) {
    device->BeginScene();
    device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
    Set2DRenderStates(*device);
    device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_POINT);
    device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_POINT);
  }
  void EndFrame() {
    device->EndScene();
    ASSERT_TRUE(gfx::TestHooks(device) && gfx::TestHooks(device)->ReadBackBuffer(pixels, width, height));
    ASSERT_EQ(width, 800u);
    ASSERT_EQ(height, 600u);
  }
  uint32_t Px(uint32_t x, uint32_t y) const { return pixels[y * width + x] & 0xFFFFFF; }
  int CountWhere(bool (*pred)(uint32_t)) const {
    int n = 0;
    for (uint32_t p : pixels) n += pred(p & 0xFFFFFF);
    return n;
  }
  gfx::CDevice* device = nullptr;
  std::vector<uint32_t> pixels;
  uint32_t width = 0, height = 0;
};

}  // namespace

TEST_F(SpritePixels, FullVirtualScreenCoversTheBackBuffer) {
  CSprite plain("data/image/none.bmp");  // untextured: the colour alone
  BeginFrame(0xFF0000FF);
  plain.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
  EndFrame();
  EXPECT_EQ(CountWhere([](uint32_t p) { return p != 0xFFFFFF; }), 0);
  EXPECT_EQ(Px(799, 599), 0xFFFFFFu);

  BeginFrame(0xFF0000FF);
  plain.Draw2D(0, 0, 320, 240, 0, 0, 1, 1, 0xFFFFFFFF);
  EndFrame();
  EXPECT_EQ(Px(399, 299), 0xFFFFFFu);
  EXPECT_EQ(Px(400, 100), 0x0000FFu);
  EXPECT_EQ(Px(100, 300), 0x0000FFu);
}

TEST_F(SpritePixels, ColourKeyedBlackIsTransparent) {
  // 2x2: black, white / white, black, stretched over the screen.
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/check.bmp",
                                 testimg::Bmp24(2, 2, {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000})));
  CSprite check("data/image/check.bmp");
  ASSERT_NE(check.GetTexture(), nullptr);
  BeginFrame(0xFFFF0000);
  check.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
  EndFrame();
  EXPECT_EQ(Px(200, 150), 0xFF0000u);  // black texel: the red below shows
  EXPECT_EQ(Px(600, 150), 0xFFFFFFu);
  EXPECT_EQ(Px(200, 450), 0xFFFFFFu);
  EXPECT_EQ(Px(600, 450), 0xFF0000u);
}

TEST_F(SpritePixels, HalfAlphaBlackHalvesWhite) {
  const boost::shared_ptr<CSprite>& black = app::GetBlackSprite();
  ASSERT_NE(black, nullptr);
  ASSERT_NE(black->GetTexture(), nullptr);
  BeginFrame(0xFFFFFFFF);
  black->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 128u << 24);
  EndFrame();
  const uint32_t p = Px(400, 300);
  EXPECT_NEAR(int(R(p)), 127, 3);
  EXPECT_NEAR(int(G(p)), 127, 3);
  EXPECT_NEAR(int(B(p)), 127, 3);
  // Without the image the overlay is an untextured quad and darkens the same.
  CSprite none("data/image/missing_black.bmp");
  BeginFrame(0xFFFFFFFF);
  none.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 128u << 24);
  EndFrame();
  EXPECT_NEAR(int(R(Px(10, 590))), 127, 3);
}

TEST_F(SpritePixels, HalfWayFadeOverAPicture) {
  const uint32_t w = 256, h = 256;
  const auto picture = TestPicture(w, h);
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/picture.bmp", testimg::Bmp24(w, h, picture)));
  CSprite pic("data/image/picture.bmp");
  ASSERT_NE(pic.GetTexture(), nullptr);

  BeginFrame(0xFF000000);
  pic.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
  EndFrame();
  const std::vector<uint32_t> plain = pixels;
  EXPECT_EQ(Px(400, 150), picture[(150 * h / 600) * w + 400 * w / 800] & 0xFFFFFF);

  BeginFrame(0xFF000000);
  pic.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
  app::GetBlackSprite()->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 128u << 24);
  EndFrame();
  const std::string shot = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/fade_half.png";
  EXPECT_TRUE(device->SaveScreenshot(shot)) << shot;
  int checked = 0;
  for (uint32_t y = 5; y < 600; y += 37)
    for (uint32_t x = 5; x < 800; x += 41) {
      const uint32_t a = plain[y * 800 + x], b = Px(x, y);
      for (int s : {16, 8, 0}) {
        const int want = int(((a >> s) & 255) * 127 / 255);
        ASSERT_NEAR(int((b >> s) & 255), want, 3) << x << "," << y;
      }
      ++checked;
    }
  EXPECT_GT(checked, 200);
}

TEST_F(SpritePixels, FontDrawsTextPixels) {
  gfxutil::CFont* font = app::GetFont();
  ASSERT_NE(font, nullptr);
  for (const char* text : {"FPS:60", "ゲーム開始"}) {
    BeginFrame(0xFF000000);
    gfxutil::Rect r{0, 20, 1024, 768};
    font->DrawText(text, -1, &r, gfxutil::DT_EXPANDTABS, 0xFFFFFFFF);
    EndFrame();
    int lit = 0, outside = 0;
    for (uint32_t y = 0; y < 600; ++y)
      for (uint32_t x = 0; x < 800; ++x) {
        if (G(Px(x, y)) < 128) continue;
        if (y >= 20 && y < 36 && x < 100)
          ++lit;
        else
          ++outside;
      }
    EXPECT_GT(lit, 40) << text;
    EXPECT_EQ(outside, 0) << text;
  }
  BeginFrame(0xFF203040);
  gfxutil::Rect lines{8, 8, 1024, 768};
  font->DrawText("POS:1.000000,\t2.5\nDEG:0.000000\nゲーム開始 森のステージ", -1, &lines,
                 gfxutil::DT_EXPANDTABS, 0xFFFFFFFF);
  EndFrame();
  EXPECT_TRUE(device->SaveScreenshot(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/font_text.png"));
  // The caller's states come back: depth test still on after drawing text.
  device->SetRenderState(gfx::D3DRS_ZENABLE, 1);
  gfxutil::Rect r{0, 0, 100, 20};
  font->DrawText("x", -1, &r, 0, 0xFFFFFFFF);
  EXPECT_EQ(device->GetRenderState(gfx::D3DRS_ZENABLE), 1u);
}
