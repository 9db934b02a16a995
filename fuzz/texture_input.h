// The image fuzz targets share this: the input, with its signature forced to the format under
// test, goes through the texture loader's CPU side (decode, colour key, resize, mip chain) and
// through the format's decoder alone. Both must agree and stay within the stated limits. A target
// may pass `admit` to turn inputs away before anything is decoded.
#pragma once
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_target.h"
#include "platform/gfxutil/image_decoder.h"
#include "platform/gfxutil/texture_loader.h"

namespace fuzzimg {

inline void CheckImage(const gfxutil::Image& image) {
  FUZZ_CHECK(image.width > 0 && image.height > 0);
  FUZZ_CHECK(image.width <= gfxutil::kMaxImageDimension && image.height <= gfxutil::kMaxImageDimension);
  FUZZ_CHECK(uint64_t{image.width} * image.height <= gfxutil::kMaxImagePixels);
  FUZZ_CHECK(image.argb.size() == size_t{image.width} * image.height);
}

inline int LoadImage(const uint8_t* data, size_t size, const uint8_t* signature, size_t signatureSize,
                     bool (*decode)(const uint8_t*, size_t, gfxutil::Image&), gfxutil::ImageFileFormat format,
                     bool (*admit)(const uint8_t*, size_t) = nullptr) {
  if (size < signatureSize) return 0;
  std::vector<uint8_t> file(data, data + size);
  std::memcpy(file.data(), signature, signatureSize);
  if (admit && !admit(file.data(), file.size())) return 0;

  gfxutil::Image direct;
  const bool decoded = decode(file.data(), file.size(), direct);
  if (decoded) CheckImage(direct);

  std::vector<gfxutil::Image> levels;
  gfxutil::ImageInfo info;
  const bool built =
      gfxutil::BuildTextureLevels(file.data(), file.size(), gfxutil::D3DX_DEFAULT, gfxutil::D3DX_DEFAULT,
                                  gfxutil::D3DX_DEFAULT, 0xFF000000u, levels, &info);
  FUZZ_CHECK(built == decoded);
  if (!built) return 0;
  FUZZ_CHECK(info.FileFormat == format);
  FUZZ_CHECK(info.Width == direct.width && info.Height == direct.height);
  FUZZ_CHECK(!levels.empty());
  const uint32_t w = std::min(gfxutil::RoundUpPow2(direct.width), gfxutil::kMaxTextureDimension);
  const uint32_t h = std::min(gfxutil::RoundUpPow2(direct.height), gfxutil::kMaxTextureDimension);
  FUZZ_CHECK(levels[0].width == w && levels[0].height == h);
  FUZZ_CHECK(levels.size() == gfxutil::FullMipCount(w, h));
  for (size_t i = 0; i < levels.size(); ++i) {
    FUZZ_CHECK(levels[i].argb.size() == size_t{levels[i].width} * levels[i].height);
    if (i > 0) {
      FUZZ_CHECK(levels[i].width == std::max(1u, levels[i - 1].width / 2));
      FUZZ_CHECK(levels[i].height == std::max(1u, levels[i - 1].height / 2));
    }
  }
  FUZZ_CHECK(levels.back().width == 1 && levels.back().height == 1);
  return 0;
}

}  // namespace fuzzimg
