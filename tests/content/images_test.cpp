// The generated pictures, decoded the way the game decodes them: through the texture loader's
// CPU path (decode, colour key 0xFF000000, power-of-two sizing), with PNG previews to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/gfx/png_writer.h"
#include "platform/gfxutil/image_decoder.h"
#include "platform/gfxutil/texture_loader.h"
#include "resource/szdd.h"
#include "support/content_fixture.h"
#include "support/scratch_dir.h"

namespace {

using contenttest::GameDir;

constexpr uint32_t kColorKey = 0xFF000000u;

struct Loaded {
  bool ok = false;
  gfxutil::ImageInfo info;
  gfxutil::Image level0;  // after colour key and sizing, as the texture gets it
};

Loaded Load(const std::string& name) {
  Loaded r;
  std::vector<uint8_t> bytes = ReadFileBytes(GameDir() + "/data/image/" + name);
  if (bytes.empty()) return r;
  if (IsCompressedName(name.c_str())) {
    std::vector<uint8_t> expanded;
    if (!ExpandSzdd(bytes.data(), bytes.size(), expanded)) return r;
    bytes.swap(expanded);
  }
  std::vector<gfxutil::Image> levels;
  r.ok = gfxutil::BuildTextureLevels(bytes.data(), bytes.size(), gfxutil::D3DX_DEFAULT, gfxutil::D3DX_DEFAULT,
                                     1, kColorKey, levels, &r.info) &&
         !levels.empty();
  if (r.ok) r.level0 = std::move(levels[0]);
  return r;
}

// The file as decoded, before keying or sizing, also written out as a PNG preview.
gfxutil::Image Decode(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadFileBytes(GameDir() + "/data/image/" + name);
  gfxutil::Image img;
  if (!gfxutil::DecodeImage(bytes.data(), bytes.size(), img)) return {};
  gfx::WritePng(contenttest::PreviewDir() + "/" + name + ".png", img.argb.data(), img.width, img.height);
  return img;
}

uint32_t Alpha(uint32_t p) { return p >> 24; }
int Luma(uint32_t p) {
  return static_cast<int>(((p >> 16) & 255) * 3 + ((p >> 8) & 255) * 6 + (p & 255)) / 10;
}

class GeneratedImages : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(GameDir().empty()) << "the generator failed"; }
};

TEST_F(GeneratedImages, FileSizesAreWhatTheScenesDrawWith) {
  struct Expect {
    const char* name;
    uint32_t w, h;
    gfxutil::ImageFileFormat format;
  } expects[] = {
      {"logo.jpg", 1024, 512, gfxutil::ImageFileFormat::Jpeg},
      {"title.jpg", 640, 480, gfxutil::ImageFileFormat::Jpeg},
      {"title_moji.bmp", 512, 512, gfxutil::ImageFileFormat::Bmp},
      {"stg00_home.jpg", 640, 480, gfxutil::ImageFileFormat::Jpeg},
      {"black.bmp", 16, 16, gfxutil::ImageFileFormat::Bmp},
      {"shadow.dds", 64, 64, gfxutil::ImageFileFormat::Dds},
      {"smoke.dds", 64, 64, gfxutil::ImageFileFormat::Dds},
      {"blood.dds", 64, 64, gfxutil::ImageFileFormat::Dds},
      {"blood.dds_enc", 64, 64, gfxutil::ImageFileFormat::Dds},
  };
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.name);
    const Loaded l = Load(e.name);
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.info.Width, e.w);
    EXPECT_EQ(l.info.Height, e.h);
    EXPECT_EQ(l.info.FileFormat, e.format);
    // The texture is the file's size rounded up to powers of two.
    EXPECT_EQ(l.level0.width, gfxutil::RoundUpPow2(e.w));
    EXPECT_EQ(l.level0.height, gfxutil::RoundUpPow2(e.h));
  }
}

TEST_F(GeneratedImages, PicturesAreOpaqueWhereTheyAreShown) {
  // A keyed-out texel in a full-screen picture would show the clear colour through it.
  for (const char* name : {"title.jpg", "stg00_home.jpg"}) {
    SCOPED_TRACE(name);
    const gfxutil::Image img = Decode(name);
    ASSERT_EQ(img.argb.size(), 640u * 480u);
    size_t keyed = 0;
    for (uint32_t p : img.argb) keyed += p == kColorKey;
    EXPECT_EQ(keyed, 0u);
  }
  const gfxutil::Image logo = Decode("logo.jpg");
  ASSERT_EQ(logo.width, 1024u);
  size_t keyed = 0;
  for (uint32_t y = 0; y < 480; ++y)
    for (uint32_t x = 0; x < 640; ++x) keyed += logo.At(x, y) == kColorKey;
  EXPECT_EQ(keyed, 0u);
}

TEST_F(GeneratedImages, PicturesAreNotBlank) {
  // Enough tonal range in the part that is shown: a failed drawing step would leave a flat fill.
  struct Area {
    const char* name;
    uint32_t w, h;
  } areas[] = {{"logo.jpg", 640, 480}, {"title.jpg", 640, 480}, {"stg00_home.jpg", 640, 480}};
  for (const Area& a : areas) {
    SCOPED_TRACE(a.name);
    const gfxutil::Image img = Decode(a.name);
    ASSERT_GE(img.width, a.w);
    int lo = 255, hi = 0;
    for (uint32_t y = 0; y < a.h; ++y)
      for (uint32_t x = 0; x < a.w; ++x) {
        lo = std::min(lo, Luma(img.At(x, y)));
        hi = std::max(hi, Luma(img.At(x, y)));
      }
    EXPECT_GT(hi - lo, 120);
  }
}

TEST_F(GeneratedImages, TitleLettersStandOutInTheUpperMiddle) {
  // "BRIMMEL" is lettered in a light cream across the middle of the upper third.
  const gfxutil::Image img = Decode("title.jpg");
  ASSERT_EQ(img.width, 640u);
  size_t light = 0;
  for (uint32_t y = 80; y < 160; ++y)
    for (uint32_t x = 120; x < 520; ++x) light += Luma(img.At(x, y)) > 220;
  EXPECT_GT(light, 3000u);
}

TEST_F(GeneratedImages, CaptionSheetIsTransparentBlackAroundLightLetters) {
  const Loaded l = Load("title_moji.bmp");
  ASSERT_TRUE(l.ok);
  Decode("title_moji.bmp");
  const gfxutil::Image& img = l.level0;
  ASSERT_EQ(img.width, 512u);
  // The scene samples (0, 0)-(0.35, 0.0666) of the sheet.
  const uint32_t cw = static_cast<uint32_t>(512 * 0.35), ch = static_cast<uint32_t>(512 * 0.0666);
  size_t opaqueLight = 0, inside = 0;
  for (uint32_t y = 0; y < ch; ++y)
    for (uint32_t x = 0; x < cw; ++x) {
      ++inside;
      if (Alpha(img.At(x, y)) == 255 && Luma(img.At(x, y)) > 200) ++opaqueLight;
    }
  EXPECT_GT(opaqueLight, inside / 20) << "the letters are missing or too faint";
  EXPECT_LT(opaqueLight, inside / 2) << "the background is not black";
  // The frame of the caption area and everything outside it is keyed out.
  for (uint32_t x = 0; x < cw; ++x) {
    EXPECT_EQ(Alpha(img.At(x, 0)), 0u) << x;
    EXPECT_EQ(Alpha(img.At(x, ch - 1)), 0u) << x;
  }
  size_t opaqueOutside = 0;
  for (uint32_t y = 0; y < img.height; ++y)
    for (uint32_t x = 0; x < img.width; ++x)
      if ((x >= cw || y >= ch) && Alpha(img.At(x, y)) != 0) ++opaqueOutside;
  EXPECT_EQ(opaqueOutside, 0u);
}

TEST_F(GeneratedImages, TitleScreenComposite) {
  // The title as the scene shows it: the caption's sheet corner drawn at (208, 320)-(432, 352)
  // over the picture at full strength. Written out for a person to look at; the caption must
  // contrast with what lies under it.
  gfxutil::Image title = Decode("title.jpg");
  const Loaded caption = Load("title_moji.bmp");
  ASSERT_EQ(title.width, 640u);
  ASSERT_TRUE(caption.ok);
  double under = 0, letters = 0;
  int underCount = 0, letterCount = 0;
  for (uint32_t y = 320; y < 352; ++y)
    for (uint32_t x = 208; x < 432; ++x) {
      const double u = (x - 208 + 0.5) / 224.0 * 0.35, v = (y - 320 + 0.5) / 32.0 * 0.0666;
      const uint32_t c = caption.level0.At(static_cast<uint32_t>(u * 512), static_cast<uint32_t>(v * 512));
      const uint32_t a = Alpha(c);
      uint32_t& d = title.At(x, y);
      under += Luma(d);
      ++underCount;
      if (a == 255 && Luma(c) > 200) {
        letters += Luma(c);
        ++letterCount;
      }
      uint32_t out = 0xFF000000u;
      for (int s = 0; s <= 16; s += 8)
        out |= ((((c >> s) & 255) * a + ((d >> s) & 255) * (255 - a)) / 255) << s;
      d = out;
    }
  gfx::WritePng(contenttest::PreviewDir() + "/title_screen.png", title.argb.data(), title.width,
                title.height);
  ASSERT_GT(letterCount, 0);
  EXPECT_GT(letters / letterCount - under / underCount, 80.0);
}

TEST_F(GeneratedImages, BlackOverlayStaysOpaqueThroughTheColourKey) {
  // The fader multiplies the texture's alpha by its own: a keyed-out overlay would never darken.
  const Loaded l = Load("black.bmp");
  ASSERT_TRUE(l.ok);
  for (uint32_t p : l.level0.argb) {
    EXPECT_EQ(Alpha(p), 255u);
    EXPECT_LE(Luma(p), 2);
  }
}

TEST_F(GeneratedImages, ShadowIsASoftRoundBlob) {
  const Loaded l = Load("shadow.dds");
  ASSERT_TRUE(l.ok);
  Decode("shadow.dds");
  const gfxutil::Image& img = l.level0;
  // Dense in the middle (not keyed out), nothing at the corners and rims, falling off outward.
  EXPECT_GT(Alpha(img.At(32, 32)), 150u);
  EXPECT_LT(Alpha(img.At(32, 32)), 255u);
  EXPECT_EQ(Alpha(img.At(0, 0)), 0u);
  EXPECT_EQ(Alpha(img.At(63, 63)), 0u);
  EXPECT_LE(Alpha(img.At(32, 1)), 8u);
  for (uint32_t x = 33; x < 62; ++x) EXPECT_LE(Alpha(img.At(x, 32)), Alpha(img.At(x - 1, 32))) << x;
  // Round: the same alpha at equal distances along the axes and the diagonal.
  EXPECT_NEAR(static_cast<int>(Alpha(img.At(32 + 14, 32))), static_cast<int>(Alpha(img.At(32, 31 - 14))), 3);
  EXPECT_NEAR(static_cast<int>(Alpha(img.At(32 + 10, 32 + 10))), static_cast<int>(Alpha(img.At(32 + 14, 32))),
              12);
}

TEST_F(GeneratedImages, ParticleSpritesFadeToClearEdges) {
  for (const char* name : {"smoke.dds", "blood.dds"}) {
    SCOPED_TRACE(name);
    const Loaded l = Load(name);
    ASSERT_TRUE(l.ok);
    Decode(name);
    const gfxutil::Image& img = l.level0;
    uint32_t border = 0;
    for (uint32_t i = 0; i < 64; ++i)
      border = std::max(
          {border, Alpha(img.At(i, 0)), Alpha(img.At(0, i)), Alpha(img.At(i, 63)), Alpha(img.At(63, i))});
    EXPECT_LE(border, 8u) << "a visible square edge";
    EXPECT_GT(Alpha(img.At(32, 32)), 100u);
  }
  // Smoke is pale (the particle colour tints it); blood is red.
  const Loaded smoke = Load("smoke.dds"), blood = Load("blood.dds");
  const uint32_t s = smoke.level0.At(32, 32), b = blood.level0.At(32, 32);
  EXPECT_GT(Luma(s), 150);
  EXPECT_GT((b >> 16) & 255, 2 * ((b >> 8) & 255));
}

TEST_F(GeneratedImages, CompressedCopyExpandsToTheSamePixels) {
  const Loaded plain = Load("blood.dds"), packed = Load("blood.dds_enc");
  ASSERT_TRUE(plain.ok);
  ASSERT_TRUE(packed.ok);
  EXPECT_EQ(plain.level0.argb, packed.level0.argb);
  // And it is really packed: smaller than the file it expands to.
  EXPECT_LT(ReadFileBytes(GameDir() + "/data/image/blood.dds_enc").size(),
            ReadFileBytes(GameDir() + "/data/image/blood.dds").size());
}

}  // namespace
