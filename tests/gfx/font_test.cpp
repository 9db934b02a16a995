// The screen font: face choice, glyph atlas, layout (tabs, lines, alignment, clipping) and the
// states it draws with, checked on the recording device.
#include "platform/gfxutil/font.h"

#include <gtest/gtest.h>

#include "support/recording_device.h"

using namespace gfxutil;

namespace {

struct V {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};

FontDesc GameFont() {
  FontDesc d;
  d.height = 16;
  d.width = 8;
  d.charSet = 128;
  d.faceName = "ＭＳ ゴシック";
  return d;
}

int CoveredTexels(const std::vector<uint32_t>& atlas) {
  int n = 0;
  for (uint32_t p : atlas) n += (p >> 24) > 64;
  return n;
}

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    font = CFont::Create(device, GameFont());
    ASSERT_NE(font, nullptr) << "no Japanese-capable face installed";
  }
  int Width(const char* text, uint32_t format = 0) {
    Rect r{10, 20, 10, 20};
    font->DrawText(text, -1, &r, format | DT_CALCRECT, 0xFFFFFFFF);
    return r.right - r.left;
  }
  testdev::CRecordingDevice device;
  std::unique_ptr<CFont> font;
};

}  // namespace

TEST(Utf8, DecodesAndReplacesMalformedSequences) {
  std::vector<uint32_t> cps;
  DecodeUtf8("A\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80", 10, cps);
  EXPECT_EQ(cps, (std::vector<uint32_t>{'A', 0xE9, 0x6F22, 0x1F600}));
  DecodeUtf8(
      "\xC0\xAF"
      "x\xE6\xBC"
      "y\xFF",
      7, cps);  // overlong, truncated, invalid lead
  EXPECT_EQ(cps, (std::vector<uint32_t>{0xFFFD, 'x', 0xFFFD, 'y', 0xFFFD}));
  DecodeUtf8("\xED\xA0\x80", 3, cps);  // a lone surrogate
  EXPECT_EQ(cps, std::vector<uint32_t>{0xFFFD});
}

TEST_F(FontTest, FaceCoversJapanese) {
  EXPECT_FALSE(font->FacePath().empty());
  EXPECT_EQ(font->LineHeight(), 16);
}

TEST_F(FontTest, HalfAndFullWidthAdvances) {
  EXPECT_EQ(Width("FPS:60"), 48);
  EXPECT_EQ(Width("漢字"), 32);
  EXPECT_EQ(Width(""), 0);
}

TEST_F(FontTest, TabsExpandToEightCharacterStops) {
  EXPECT_EQ(Width("a\tb", DT_EXPANDTABS), 64 + 8);
  EXPECT_EQ(Width("abcdefghi\tb", DT_EXPANDTABS), 128 + 8);
  EXPECT_EQ(Width("a\tb"), 16);  // without the flag a tab takes no room
}

TEST_F(FontTest, LinesAndCalcRect) {
  Rect r{0, 0, 0, 0};
  EXPECT_EQ(font->DrawText("ab\nabcd", -1, &r, DT_CALCRECT, 0xFFFFFFFF), 32);
  EXPECT_EQ(r.right, 32);
  EXPECT_EQ(r.bottom, 32);
  EXPECT_TRUE(device.draws.empty());
  Rect s{0, 0, 0, 0};
  EXPECT_EQ(font->DrawText("ab\nabcd", -1, &s, DT_CALCRECT | DT_SINGLELINE, 0xFFFFFFFF), 16);
  EXPECT_EQ(s.right, 56);
}

TEST_F(FontTest, DrawsGlyphQuadsFromTheAtlas) {
  Rect r{0, 0, 1024, 768};
  EXPECT_EQ(font->DrawText("FPS:60", -1, &r, DT_EXPANDTABS, 0xFF20C040), 16);
  ASSERT_EQ(device.draws.size(), 1u);
  const testdev::Draw& d = device.draws[0];
  EXPECT_EQ(d.fvf, 0x144u);
  EXPECT_EQ(d.stride, 28u);
  EXPECT_EQ(d.primitives, 12u);  // six glyphs, two triangles each
  ASSERT_NE(d.texture, nullptr);
  auto* tex = static_cast<testdev::CMemoryTexture*>(d.texture);
  EXPECT_GT(CoveredTexels(tex->Level(0)), 40);
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
  for (size_t i = 0; i < 36; ++i) {
    const V v = d.Vertex<V>(i);
    EXPECT_EQ(v.diffuse, 0xFF20C040u);
    EXPECT_EQ(v.rhw, 1.0f);
    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
    minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
  }
  EXPECT_GE(minX, -0.5f);
  EXPECT_LE(maxX, 48.0f);
  EXPECT_GE(minY, -0.5f);
  EXPECT_LE(maxY, 16.0f);
  EXPECT_GT(maxY - minY, 8.0f);
}

TEST_F(FontTest, JapaneseGlyphsAreRendered) {
  Rect r{0, 0, 640, 480};
  const int before = CoveredTexels(font->AtlasPixels());
  font->DrawText("こんにちは世界", -1, &r, 0, 0xFFFFFFFF);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].primitives, 14u);
  EXPECT_GT(CoveredTexels(font->AtlasPixels()), before + 7 * 20);
}

TEST_F(FontTest, DrawsWithOwnStatesAndRestoresTheCallers) {
  device.SetRenderState(gfx::D3DRS_ZENABLE, 1);
  device.SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 0);
  device.SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_ZERO);
  device.SetTextureStageState(0, gfx::D3DTSS_COLOROP, gfx::D3DTOP_SELECTARG1);
  Rect r{0, 0, 100, 100};
  font->DrawText("x", -1, &r, 0, 0xFFFFFFFF);
  ASSERT_EQ(device.draws.size(), 1u);
  const testdev::Draw& d = device.draws[0];
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ZENABLE), 0u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_SRCBLEND), uint32_t(gfx::D3DBLEND_SRCALPHA));
  EXPECT_EQ(d.renderStates.at(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(d.stageStates.at(gfx::D3DTSS_COLOROP), uint32_t(gfx::D3DTOP_MODULATE));
  EXPECT_EQ(device.GetRenderState(gfx::D3DRS_ZENABLE), 1u);
  EXPECT_EQ(device.GetRenderState(gfx::D3DRS_ALPHABLENDENABLE), 0u);
  EXPECT_EQ(device.GetRenderState(gfx::D3DRS_DESTBLEND), uint32_t(gfx::D3DBLEND_ZERO));
  EXPECT_EQ(device.GetTextureStageState(0, gfx::D3DTSS_COLOROP), uint32_t(gfx::D3DTOP_SELECTARG1));
  EXPECT_EQ(device.boundTexture, nullptr);
}

TEST_F(FontTest, ClipsToTheRectangleUnlessTold) {
  Rect r{0, 0, 20, 100};
  font->DrawText("WWWWWW", -1, &r, 0, 0xFFFFFFFF);
  ASSERT_EQ(device.draws.size(), 1u);
  const testdev::Draw& d = device.draws[0];
  EXPECT_LE(d.primitives, 6u);  // glyphs wholly outside are dropped
  for (size_t i = 0; i < d.primitives * 3; ++i) EXPECT_LE(d.Vertex<V>(i).x, 19.5f);
  Rect n{0, 0, 20, 100};
  font->DrawText("WWWWWW", -1, &n, DT_NOCLIP, 0xFFFFFFFF);
  EXPECT_EQ(device.draws.back().primitives, 12u);
}

TEST_F(FontTest, CentredAndRightAligned) {
  Rect r{0, 0, 100, 16};
  font->DrawText("ab", -1, &r, DT_RIGHT, 0xFFFFFFFF);
  float maxX = 0;
  for (size_t i = 0; i < 12; ++i) maxX = std::max(maxX, device.draws.back().Vertex<V>(i).x);
  EXPECT_GT(maxX, 90.0f);
  font->DrawText("ab", -1, &r, DT_CENTER, 0xFFFFFFFF);
  float minX = 1e9f;
  for (size_t i = 0; i < 12; ++i) minX = std::min(minX, device.draws.back().Vertex<V>(i).x);
  EXPECT_GT(minX, 40.0f);
  EXPECT_LT(minX, 50.0f);
}

TEST_F(FontTest, AtlasRefillsWhenFull) {
  // Thousands of distinct kanji overflow one 512x512 atlas; drawing must go on.
  std::string text;
  for (uint32_t cp = 0x4E00; cp < 0x4E00 + 1200; ++cp) {
    text += char(0xE0 | (cp >> 12));
    text += char(0x80 | ((cp >> 6) & 0x3F));
    text += char(0x80 | (cp & 0x3F));
  }
  Rect r{0, 0, 100000, 16};
  font->DrawText(text.c_str(), -1, &r, 0, 0xFFFFFFFF);
  font->DrawText("FPS:60", -1, &r, 0, 0xFFFFFFFF);
  EXPECT_EQ(device.draws.back().primitives, 12u);
}
