// The generator's building blocks on their own: textures tile and carry the alpha they promise,
// the encoders produce files the game's decoders read back, the wave writer writes what the
// wave reader reads.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "canvas.h"
#include "noise.h"
#include "platform/gfx/png_writer.h"
#include "platform/gfxutil/image_decoder.h"
#include "resource/szdd.h"
#include "sound/wave_file.h"
#include "synth.h"
#include "textures.h"

namespace {

using assetgen::CImage;
using assetgen::TextureKind;

const TextureKind kKinds[] = {TextureKind::Grass,   TextureKind::Earth, TextureKind::Wood, TextureKind::Bark,
                              TextureKind::Foliage, TextureKind::Stone, TextureKind::Wall, TextureKind::Roof};

int Channel(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 255); }
int Diff(uint32_t a, uint32_t b) {
  return std::abs(Channel(a, 16) - Channel(b, 16)) + std::abs(Channel(a, 8) - Channel(b, 8)) +
         std::abs(Channel(a, 0) - Channel(b, 0));
}

// Stepping across the wrap (last line to first) is no rougher than the roughest step between
// neighbouring lines inside: patterns with edges of their own (boards, tiles, cells) pass, a
// break in the pattern does not.
bool WrapsSmoothly(const CImage& img, bool columns) {
  const int n = img.width;
  auto lineStep = [&](int a, int b) {
    double sum = 0;
    for (int i = 0; i < n; ++i)
      sum += columns ? Diff(img.At(a, i), img.At(b, i)) : Diff(img.At(i, a), img.At(i, b));
    return sum;
  };
  double roughest = 0;
  for (int k = 0; k + 1 < n; ++k) roughest = std::max(roughest, lineStep(k, k + 1));
  return lineStep(n - 1, 0) <= roughest * 1.1 + 64;
}

const char* const kKindNames[] = {"grass", "earth", "wood", "bark", "foliage", "stone", "wall", "roof"};

TEST(Textures, EveryKindTilesWithoutASeam) {
  for (TextureKind kind : kKinds) {
    const char* name = kKindNames[static_cast<int>(kind)];
    SCOPED_TRACE(name);
    const CImage img = assetgen::MakeTextureImage(kind, 128);
    // A 2x2 tiling to look at: seams show at the middle lines.
    CImage tiled(256, 256);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) tiled.At(x, y) = img.At(x % 128, y % 128);
    gfx::WritePng(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/content-preview/texture_" + name + ".png",
                  tiled.argb.data(), 256, 256);
    ASSERT_EQ(img.width, 128);
    ASSERT_EQ(img.argb.size(), 128u * 128u);
    if (kind == TextureKind::Foliage) continue;  // holes make neighbour steps meaningless
    EXPECT_TRUE(WrapsSmoothly(img, true)) << "vertical seam";
    EXPECT_TRUE(WrapsSmoothly(img, false)) << "horizontal seam";
  }
  // The check itself sees a break: a ramp does not tile.
  CImage ramp(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) ramp.At(x, y) = 0xFF000000u | static_cast<uint32_t>(x * 2) << 8;
  EXPECT_FALSE(WrapsSmoothly(ramp, true));
  EXPECT_TRUE(WrapsSmoothly(ramp, false));
}

TEST(Textures, OnlyFoliageHasHolesAndNothingIsKeyedBlack) {
  for (TextureKind kind : kKinds) {
    SCOPED_TRACE(static_cast<int>(kind));
    const CImage img = assetgen::MakeTextureImage(kind, 64);
    size_t clear = 0, solid = 0, keyed = 0;
    for (uint32_t p : img.argb) {
      clear += (p >> 24) == 0;
      solid += (p >> 24) == 255;
      keyed += p == 0xFF000000u;
    }
    EXPECT_EQ(keyed, 0u);
    EXPECT_EQ(clear + solid, img.argb.size()) << "alpha is all or nothing";
    if (kind == TextureKind::Foliage) {
      EXPECT_GT(clear, img.argb.size() / 10);
      EXPECT_GT(solid, img.argb.size() / 3);
    } else {
      EXPECT_EQ(solid, img.argb.size());
    }
  }
}

TEST(Textures, AreDeterministicAndDistinct) {
  EXPECT_EQ(assetgen::MakeTexture(TextureKind::Stone, 64), assetgen::MakeTexture(TextureKind::Stone, 64));
  EXPECT_NE(assetgen::MakeTexture(TextureKind::Stone, 64), assetgen::MakeTexture(TextureKind::Wall, 64));
  // A size out of range is brought into range rather than overrunning anything.
  EXPECT_EQ(assetgen::MakeTexture(TextureKind::Grass, 4).size(), 8u * 8u);
}

CImage Pattern(int w, int h) {
  CImage img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t a = static_cast<uint32_t>((x * 255) / std::max(1, w - 1));
      img.At(x, y) =
          a << 24 | static_cast<uint32_t>(x * 7 & 255) << 16 | static_cast<uint32_t>(y * 5 & 255) << 8 | 0x40;
    }
  return img;
}

TEST(Encoders, UncompressedDdsAndBmpRoundTripExactly) {
  const CImage img = Pattern(13, 7);  // odd sizes: BMP row padding
  gfxutil::Image out;
  const std::vector<uint8_t> dds = assetgen::EncodeDds(img);
  ASSERT_TRUE(gfxutil::DecodeImage(dds.data(), dds.size(), out));
  EXPECT_EQ(out.width, 13u);
  EXPECT_EQ(out.height, 7u);
  EXPECT_EQ(out.argb, img.argb);
  const std::vector<uint8_t> bmp = assetgen::EncodeBmp(img);
  ASSERT_TRUE(gfxutil::DecodeImage(bmp.data(), bmp.size(), out));
  ASSERT_EQ(out.argb.size(), img.argb.size());
  for (size_t i = 0; i < img.argb.size(); ++i) EXPECT_EQ(out.argb[i], img.argb[i] | 0xFF000000u) << i;
}

TEST(Encoders, BlockCompressedDdsStaysClose) {
  const CImage img = Pattern(16, 8);
  for (assetgen::DdsFormat f : {assetgen::DdsFormat::DXT1, assetgen::DdsFormat::DXT5}) {
    SCOPED_TRACE(static_cast<int>(f));
    const std::vector<uint8_t> dds = assetgen::EncodeDds(img, f);
    gfxutil::Image out;
    ASSERT_TRUE(gfxutil::DecodeImage(dds.data(), dds.size(), out));
    ASSERT_EQ(out.argb.size(), img.argb.size());
    for (size_t i = 0; i < img.argb.size(); ++i) {
      const uint32_t a = img.argb[i], b = out.argb[i];
      if (f == assetgen::DdsFormat::DXT1) {
        // One bit of alpha: transparent below half, otherwise the colour.
        EXPECT_EQ((b >> 24) == 255, (a >> 24) >= 128) << i;
        if ((a >> 24) >= 128) {
          EXPECT_LE(Diff(a, b), 3 * 40) << i;
        }
      } else {
        EXPECT_LE(std::abs(Channel(a, 24) - Channel(b, 24)), 20) << i;
        EXPECT_LE(Diff(a, b), 3 * 40) << i;
      }
    }
  }
}

TEST(Encoders, JpegDecodesAtItsSizeAndNearItsColours) {
  CImage img(40, 24, 0xFF336699u);
  const std::vector<uint8_t> jpg = assetgen::EncodeJpeg(img, 95);
  gfxutil::Image out;
  ASSERT_TRUE(gfxutil::DecodeImage(jpg.data(), jpg.size(), out));
  EXPECT_EQ(out.width, 40u);
  EXPECT_EQ(out.height, 24u);
  EXPECT_LE(Diff(out.At(20, 12), 0xFF336699u), 9);
  EXPECT_TRUE(assetgen::EncodeJpeg(CImage()).empty());
}

TEST(Encoders, CompressedFormExpandsToTheOriginal) {
  const std::vector<uint8_t> bmp = assetgen::EncodeBmp(assetgen::MakeTextureImage(TextureKind::Wall, 64));
  const std::vector<uint8_t> enc = assetgen::EncodeEnc(bmp);
  std::vector<uint8_t> back;
  ASSERT_TRUE(ExpandSzdd(enc.data(), enc.size(), back));
  EXPECT_EQ(back, bmp);
}

TEST(Canvas, OpaqueBlackNeverSurvivesPacking) {
  EXPECT_NE(assetgen::PackArgb(assetgen::CColor{0, 0, 0, 1}), 0xFF000000u);
  EXPECT_EQ(assetgen::PackArgb(assetgen::CColor{0, 0, 0, 0}), 0u);
  EXPECT_EQ(assetgen::PackArgb(assetgen::CColor{2, -1, 0.5f, 1}), 0xFFFF0080u);
}

TEST(Canvas, PolygonCoverageIsAntialiasedAndExact) {
  CImage img(8, 8, 0x00000000u);
  assetgen::CCanvas c(img);
  c.FillRect(2.0f, 2.0f, 4.5f, 6.0f, assetgen::CColor{1, 1, 1, 1});
  EXPECT_EQ(img.At(2, 2) >> 24, 255u);
  EXPECT_EQ(img.At(3, 5) >> 24, 255u);
  EXPECT_NEAR(static_cast<int>(img.At(4, 3) >> 24), 128, 2);  // half covered
  EXPECT_EQ(img.At(5, 3) >> 24, 0u);
  EXPECT_EQ(img.At(1, 3) >> 24, 0u);
  EXPECT_EQ(img.At(3, 6) >> 24, 0u);
}

TEST(Noise, RandomSequenceIsFixedAndTileNoiseWraps) {
  assetgen::CRandom a(5), b(5), c(6);
  for (int i = 0; i < 10; ++i) {
    const uint32_t x = a.Next();
    EXPECT_EQ(x, b.Next());
    EXPECT_NE(x, c.Next());
  }
  for (float v = 0.0f; v < 1.0f; v += 0.1f) {
    EXPECT_NEAR(assetgen::TileFbm(0.0f, v, 4, 4, 9), assetgen::TileFbm(1.0f, v, 4, 4, 9), 1e-5f);
    EXPECT_NEAR(assetgen::TileFbm(v, 0.0f, 4, 4, 9), assetgen::TileFbm(v, 1.0f, 4, 4, 9), 1e-5f);
  }
}

TEST(Synth, WaveWriterOutputReadsBack) {
  assetgen::CWave w(22050, 2, 100);
  for (size_t i = 0; i < w.samples.size(); ++i) w.samples[i] = static_cast<float>(i % 7) / 7.0f - 0.5f;
  w.samples[0] = 3.0f;  // clipped, not wrapped
  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/synth_roundtrip.wav";
  assetgen::COutput out(BRIMMEL_TEST_OUTPUT_DIR);
  ASSERT_TRUE(assetgen::WriteWav(out, "synth_roundtrip.wav", w));
  CWaveFile f;
  ASSERT_EQ(f.Open(path.c_str()), 0) << f.FailureReason();
  EXPECT_EQ(f.GetFormat()->channels, 2);
  EXPECT_EQ(f.GetFormat()->samplesPerSec, 22050u);
  ASSERT_EQ(f.GetSize(), 400u);
  std::vector<int16_t> s(200);
  ASSERT_EQ(f.Read(s.data(), 400), 400u);
  EXPECT_EQ(s[0], 32767);
  EXPECT_EQ(s[1], static_cast<int16_t>(std::lround((1.0f / 7.0f - 0.5f) * 32767.0)));
  f.Close();
  std::filesystem::remove(path);
}

TEST(Synth, FadedEdgesStartAndEndAtZero) {
  assetgen::CWave w(22050, 1, 1000);
  for (float& s : w.samples) s = 0.8f;
  assetgen::FadeEdges(w, 0.004f);
  EXPECT_EQ(w.samples.front(), 0.0f);
  EXPECT_EQ(w.samples.back(), 0.0f);
  EXPECT_FLOAT_EQ(w.samples[500], 0.8f);
  for (size_t i = 1; i < 88; ++i) EXPECT_GE(w.samples[i], w.samples[i - 1]);
}

}  // namespace
