// Image decoding and the CPU side of texture creation: known pixels per file kind, the colour
// key, power-of-two sizing, mip levels, and survival of corrupt files.
#include "platform/gfxutil/texture_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "support/image_files.h"

using namespace gfxutil;
using namespace testimg;

namespace {

int Ch(uint32_t p, int shift) { return int((p >> shift) & 255); }

::testing::AssertionResult Near(uint32_t got, uint32_t want, int tol) {
  for (int s : {24, 16, 8, 0})
    if (std::abs(Ch(got, s) - Ch(want, s)) > tol)
      return ::testing::AssertionFailure() << std::hex << "got 0x" << got << ", want 0x" << want;
  return ::testing::AssertionSuccess();
}

Image Decode(const std::vector<uint8_t>& f, ImageInfo* info = nullptr) {
  Image img;
  EXPECT_TRUE(DecodeImage(f.data(), f.size(), img, info));
  return img;
}

}  // namespace

TEST(ImageBmp, TwentyFourBitRowsPaddedBottomUp) {
  const std::vector<uint32_t> px = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFF000000, 0xFFFFFFFF};
  ImageInfo info;
  Image img = Decode(Bmp24(3, 2, px), &info);
  ASSERT_EQ(img.width, 3u);
  ASSERT_EQ(img.height, 2u);
  EXPECT_EQ(img.argb, px);
  EXPECT_EQ(info.FileFormat, ImageFileFormat::Bmp);
  EXPECT_EQ(info.Width, 3u);
}

TEST(ImageBmp, PalettizedTopDown) {
  Image img = Decode(Bmp8TopDown(2, 2, {0x000000, 0xFF8000, 0x0000FF}, {1, 2, 0, 1}));
  EXPECT_EQ(img.argb, (std::vector<uint32_t>{0xFFFF8000, 0xFF0000FF, 0xFF000000, 0xFFFF8000}));
}

TEST(ImageBmp, TruncatedOrOversizedIsRejected) {
  auto f = Bmp24(8, 8, std::vector<uint32_t>(64, 0xFF808080));
  Image img;
  auto cut = f;
  cut.resize(f.size() - 10);
  EXPECT_FALSE(DecodeImage(cut.data(), cut.size(), img));
  auto huge = f;
  huge[18] = huge[19] = huge[20] = 0xFF;  // width ~16M
  huge[21] = 0x00;
  EXPECT_FALSE(DecodeImage(huge.data(), huge.size(), img));
  EXPECT_FALSE(DecodeImage(f.data(), 20, img));
}

TEST(ImageJpeg, KnownColoursSurviveCompression) {
  std::vector<uint32_t> px(32 * 16);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 32; ++x) px[y * 32 + x] = x < 16 ? 0xFFE02010 : 0xFF1040C0;
  ImageInfo info;
  Image img = Decode(Jpeg(32, 16, px), &info);
  ASSERT_EQ(img.width, 32u);
  ASSERT_EQ(img.height, 16u);
  EXPECT_EQ(info.FileFormat, ImageFileFormat::Jpeg);
  EXPECT_TRUE(Near(img.At(4, 8), 0xFFE02010, 10));
  EXPECT_TRUE(Near(img.At(27, 8), 0xFF1040C0, 10));
}

TEST(ImageJpeg, GrayscaleExpandsToGrey) {
  Image img = Decode(Jpeg(8, 8, std::vector<uint32_t>(64, 0xFF000090), 95, true));
  ASSERT_EQ(img.argb.size(), 64u);
  EXPECT_TRUE(Near(img.At(3, 3), 0xFF909090, 3));
}

TEST(ImageJpeg, CorruptDataFailsQuietly) {
  auto f = Jpeg(16, 16, std::vector<uint32_t>(256, 0xFF336699));
  Image img;
  std::vector<uint8_t> head(f.begin(), f.begin() + 20);
  EXPECT_FALSE(DecodeImage(head.data(), head.size(), img));
  std::vector<uint8_t> junk = {0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78, 0x9A};
  EXPECT_FALSE(DecodeImage(junk.data(), junk.size(), img));
}

// A progressive file may repeat its scans without end, each pass over the whole frame. Beyond a
// limit far above what encoders write (about ten) it is refused before those scans are decoded,
// and the reason is logged; up to the limit it decodes as before.
TEST(ImageJpeg, ProgressiveFileWithTooManyScansIsRefused) {
  std::vector<uint32_t> px(24 * 16);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 24; ++x) px[y * 24 + x] = x < 12 ? 0xFFD03020 : 0xFF2050B0;
  const std::vector<uint8_t> plain = Jpeg(24, 16, px, 90, false, true);
  const int scans = JpegScanCount(plain);
  ASSERT_GT(scans, 2);
  ASSERT_LT(scans, kMaxJpegScans);
  const Image reference = Decode(plain);
  ASSERT_EQ(reference.width, 24u);
  EXPECT_TRUE(Near(reference.At(3, 8), 0xFFD03020, 10));
  EXPECT_TRUE(Near(reference.At(20, 8), 0xFF2050B0, 10));

  // The first scan sets the DC coefficients outright, so repeating it changes no pixel.
  const std::vector<uint8_t> atLimit = RepeatFirstJpegScan(plain, kMaxJpegScans - scans);
  ASSERT_EQ(JpegScanCount(atLimit), kMaxJpegScans);
  EXPECT_EQ(Decode(atLimit).argb, reference.argb);

  for (int copies : {kMaxJpegScans - scans + 1, 1000}) {
    const std::vector<uint8_t> crafted = RepeatFirstJpegScan(plain, copies);
    Image img;
    std::vector<Image> levels;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(DecodeImage(crafted.data(), crafted.size(), img)) << copies;
    EXPECT_FALSE(
        BuildTextureLevels(crafted.data(), crafted.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, levels));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("more than " + std::to_string(kMaxJpegScans) + " scans"), std::string::npos) << log;
    EXPECT_TRUE(img.argb.empty());
  }
}

TEST(ImageDds, Dxt1FourColourBlock) {
  auto f = DdsHeader(4, 4, "DXT1");
  Put16(f, 0xF800);      // c0 red
  Put16(f, 0x001F);      // c1 blue
  Put32(f, 0xE4E4E4E4);  // rows of indices 0 1 2 3
  Image img = Decode(f);
  ASSERT_EQ(img.width, 4u);
  EXPECT_EQ(img.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(img.At(1, 0), 0xFF0000FFu);
  EXPECT_EQ(img.At(2, 1), 0xFFAA0055u);
  EXPECT_EQ(img.At(3, 3), 0xFF5500AAu);
}

TEST(ImageDds, Dxt1ThreeColourModeHasTransparentBlack) {
  auto f = DdsHeader(4, 4, "DXT1");
  Put16(f, 0x001F);  // c0 <= c1
  Put16(f, 0xF800);
  Put32(f, 0xE4E4E4E4);
  Image img = Decode(f);
  EXPECT_EQ(img.At(2, 0), 0xFF7F007Fu);
  EXPECT_EQ(img.At(3, 0), 0x00000000u);
}

TEST(ImageDds, Dxt3AndDxt5Alpha) {
  auto f3 = DdsHeader(4, 4, "DXT3");
  Put32(f3, 0x000080F0);  // texel 0 alpha 0, texel 1 alpha F, texel 2 alpha 0, texel 3 alpha 8
  Put32(f3, 0);
  Put16(f3, 0xFFFF);
  Put16(f3, 0x0000);
  Put32(f3, 0);  // all white
  Image a = Decode(f3);
  EXPECT_EQ(a.At(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(a.At(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(a.At(3, 0), 0x88FFFFFFu);

  auto f5 = DdsHeader(4, 4, "DXT5");
  f5.push_back(255);  // a0
  f5.push_back(0);    // a1
  // 3-bit indices: texel 0 -> 0, texel 1 -> 1, texel 2 -> 2, texel 3 -> 7
  const uint64_t bits = 0ull | 1ull << 3 | 2ull << 6 | 7ull << 9;
  for (int k = 0; k < 6; ++k) f5.push_back(uint8_t(bits >> (8 * k)));
  Put16(f5, 0x07E0);  // green
  Put16(f5, 0x0000);
  Put32(f5, 0);
  Image b = Decode(f5);
  EXPECT_EQ(b.At(0, 0), 0xFF00FF00u);
  EXPECT_EQ(b.At(1, 0), 0x0000FF00u);
  EXPECT_EQ(b.At(2, 0), 0xDA00FF00u);  // (6 * 255) / 7 = 218
  EXPECT_EQ(b.At(3, 0), 0x2400FF00u);  // 255 / 7 = 36
}

TEST(ImageDds, PartialBlocksAreClipped) {
  auto f = DdsHeader(5, 3, "DXT1");
  for (int block = 0; block < 2; ++block) {
    Put16(f, block ? 0x07E0 : 0xF800);
    Put16(f, 0);
    Put32(f, 0);
  }
  Image img = Decode(f);
  ASSERT_EQ(img.width, 5u);
  ASSERT_EQ(img.height, 3u);
  EXPECT_EQ(img.At(3, 2), 0xFFFF0000u);
  EXPECT_EQ(img.At(4, 0), 0xFF00FF00u);
}

TEST(ImageDds, UncompressedFormats) {
  auto f16 = DdsHeader(2, 1, nullptr, 16, 0xF800, 0x07E0, 0x001F);
  Put16(f16, 0xF800);
  Put16(f16, 0x07FF);
  Image a = Decode(f16);
  EXPECT_EQ(a.argb, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FFFF}));

  auto f24 = DdsHeader(1, 2, nullptr, 24, 0xFF0000, 0x00FF00, 0x0000FF);
  for (uint8_t b : {0x30, 0x20, 0x10, 0xCC, 0xBB, 0xAA}) f24.push_back(b);
  Image b = Decode(f24);
  EXPECT_EQ(b.argb, (std::vector<uint32_t>{0xFF102030, 0xFFAABBCC}));

  auto f32 = DdsHeader(1, 1, nullptr, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000);
  Put32(f32, 0x80123456);
  EXPECT_EQ(Decode(f32).argb, std::vector<uint32_t>{0x80123456});

  auto f1555 = DdsHeader(1, 1, nullptr, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
  Put16(f1555, 0x7FFF);  // white, alpha bit clear
  EXPECT_EQ(Decode(f1555).argb, std::vector<uint32_t>{0x00FFFFFF});
}

TEST(ImageDds, TruncatedOrUnknownIsRejected) {
  Image img;
  auto f = DdsHeader(8, 8, "DXT5");
  f.resize(f.size() + 16 * 3);  // four blocks needed
  EXPECT_FALSE(DecodeImage(f.data(), f.size(), img));
  auto big = DdsHeader(1u << 20, 1u << 20, "DXT1");
  EXPECT_FALSE(DecodeImage(big.data(), big.size(), img));
  auto odd = DdsHeader(4, 4, "ATI2");
  odd.resize(odd.size() + 16);
  EXPECT_FALSE(DecodeImage(odd.data(), odd.size(), img));
  auto rgb8 = DdsHeader(4, 4, nullptr, 8, 0xE0, 0x1C, 0x03);
  rgb8.resize(rgb8.size() + 16);
  EXPECT_FALSE(DecodeImage(rgb8.data(), rgb8.size(), img));
}

TEST(TextureLevels, PowerOfTwoRounding) {
  EXPECT_EQ(RoundUpPow2(0), 1u);
  EXPECT_EQ(RoundUpPow2(1), 1u);
  EXPECT_EQ(RoundUpPow2(3), 4u);
  EXPECT_EQ(RoundUpPow2(480), 512u);
  EXPECT_EQ(RoundUpPow2(640), 1024u);
  EXPECT_EQ(RoundUpPow2(1024), 1024u);
  EXPECT_EQ(FullMipCount(8, 2), 4u);
  EXPECT_EQ(FullMipCount(1, 1), 1u);

  auto f = Bmp24(3, 5, std::vector<uint32_t>(15, 0xFF4080C0));
  std::vector<Image> levels;
  ImageInfo info;
  ASSERT_TRUE(
      BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0xFF000000, levels, &info));
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0].width, 4u);
  EXPECT_EQ(levels[0].height, 8u);
  EXPECT_EQ(info.Width, 3u);  // the file's own size is reported separately
  EXPECT_EQ(info.Height, 5u);
  for (uint32_t p : levels[0].argb) EXPECT_EQ(p, 0xFF4080C0u);  // stretched, not padded
}

TEST(TextureLevels, StretchKeepsEdgesAndOrder) {
  // 2 texels wide, black|white, stretched to 4: a ramp that keeps both ends.
  auto f = Bmp24(2, 1, {0xFF101010, 0xFFF0F0F0});
  std::vector<Image> levels;
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), 4, 1, 1, 0, levels));
  const Image& l = levels[0];
  ASSERT_EQ(l.width, 4u);
  EXPECT_EQ(l.At(0, 0), 0xFF101010u);
  EXPECT_EQ(l.At(3, 0), 0xFFF0F0F0u);
  EXPECT_LT(Ch(l.At(1, 0), 0), Ch(l.At(2, 0), 0));
  // Shrinking averages.
  auto g = Bmp24(4, 1, {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF});
  ASSERT_TRUE(BuildTextureLevels(g.data(), g.size(), 1, 1, 1, 0, levels));
  EXPECT_TRUE(Near(levels[0].At(0, 0), 0xFF808080, 2));
  // One filter on both axes: a column resampled reads as the same row resampled, growing or
  // shrinking (the vertical pass keeps only the source rows within reach of each output row).
  std::vector<uint32_t> ramp;
  for (uint32_t i = 0; i < 12; ++i)
    ramp.push_back(0xFF000000 | (i * 21) << 16 | ((i * 97) & 255) << 8 | (i & 1) * 255);
  const auto row = Bmp24(12, 1, ramp), column = Bmp24(1, 12, ramp);
  for (uint32_t size : {2u, 5u, 32u}) {
    std::vector<Image> across, down;
    ASSERT_TRUE(BuildTextureLevels(row.data(), row.size(), size, 1, 1, 0, across));
    ASSERT_TRUE(BuildTextureLevels(column.data(), column.size(), 1, size, 1, 0, down));
    ASSERT_EQ(down[0].height, size);
    for (uint32_t i = 0; i < size; ++i) EXPECT_EQ(across[0].At(i, 0), down[0].At(0, i)) << size << " " << i;
  }
}

TEST(TextureLevels, ColourKeyOnSourceTexels) {
  const std::vector<uint32_t> px = {0xFF000000, 0xFF010000, 0xFFFFFFFF, 0xFF000000};
  std::vector<Image> levels;
  auto f = Bmp24(2, 2, px);
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0xFF000000, levels));
  EXPECT_EQ(levels[0].argb, (std::vector<uint32_t>{0x00000000, 0xFF010000, 0xFFFFFFFF, 0x00000000}));
  // A key of 0 keys nothing; half-transparent black is not opaque black.
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, levels));
  EXPECT_EQ(levels[0].argb, px);
  auto dds = DdsHeader(1, 1, nullptr, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000);
  Put32(dds, 0x80000000);
  ASSERT_TRUE(BuildTextureLevels(dds.data(), dds.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0xFF000000, levels));
  EXPECT_EQ(levels[0].argb, std::vector<uint32_t>{0x80000000});
  // Keyed before stretching: the transparency spreads into the stretched neighbours.
  auto row = Bmp24(3, 1, {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF});
  ASSERT_TRUE(BuildTextureLevels(row.data(), row.size(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0xFF000000, levels));
  ASSERT_EQ(levels[0].width, 4u);
  EXPECT_LT(Ch(levels[0].At(1, 0), 24), 255);
}

TEST(TextureLevels, MipChainWithBoxFilter) {
  const std::vector<uint32_t> px = {0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0,
                                    0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000};
  auto f = Bmp24(4, 2, px);
  std::vector<Image> levels;
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 2, 0, levels));
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[1].width, 2u);
  EXPECT_EQ(levels[1].height, 1u);
  EXPECT_EQ(levels[1].At(0, 0), 0xFF909090u);  // (0 + 64 + 255 + 255) / 4 = 143.5 -> 144
  EXPECT_EQ(levels[1].At(1, 0), 0xFF505050u);  // (128 + 192) / 4 = 80
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, levels));
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[2].width, 1u);
  EXPECT_EQ(levels[2].height, 1u);
  ASSERT_TRUE(BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 9, 0, levels));
  EXPECT_EQ(levels.size(), 3u);  // never more than the full chain
}

TEST(TextureLevels, MutatedFilesNeverCrash) {
  // A light in-process fuzz: flipped bytes in each kind of file must decode or fail, nothing else.
  std::vector<std::vector<uint8_t>> seeds;
  seeds.push_back(Bmp24(5, 3, std::vector<uint32_t>(15, 0xFF336699)));
  seeds.push_back(Bmp8TopDown(3, 3, {0, 0xFFFFFF}, std::vector<uint8_t>(9, 1)));
  seeds.push_back(Jpeg(16, 16, std::vector<uint32_t>(256, 0xFF336699)));
  auto dds = DdsHeader(8, 8, "DXT5");
  dds.resize(dds.size() + 64, 0x5A);
  seeds.push_back(dds);
  std::mt19937 rng(11);
  int decoded = 0;
  for (const auto& seed : seeds) {
    for (int round = 0; round < 150; ++round) {
      auto f = seed;
      const int flips = 1 + int(rng() % 6);
      for (int k = 0; k < flips; ++k) f[rng() % f.size()] = uint8_t(rng());
      if (rng() % 4 == 0) f.resize(rng() % f.size());
      std::vector<Image> levels;
      if (BuildTextureLevels(f.data(), f.size(), D3DX_DEFAULT, D3DX_DEFAULT, 2, 0xFF000000, levels)) {
        ++decoded;
        ASSERT_FALSE(levels.empty());
        EXPECT_EQ(levels[0].argb.size(), size_t(levels[0].width) * levels[0].height);
      }
    }
  }
  EXPECT_GT(decoded, 0);
}
