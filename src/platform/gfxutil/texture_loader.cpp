#include "platform/gfxutil/texture_loader.h"

#include <algorithm>
#include <cmath>

namespace gfxutil {
namespace {

// Filter taps of one destination index along one axis.
struct Taps {
  uint32_t first = 0;
  std::vector<float> weights;
};

std::vector<Taps> BuildTaps(uint32_t srcSize, uint32_t dstSize) {
  std::vector<Taps> taps(dstSize);
  const double scale = double(srcSize) / dstSize;
  const double radius = std::max(1.0, scale);
  for (uint32_t i = 0; i < dstSize; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    const int64_t lo = int64_t(std::ceil(centre - radius)), hi = int64_t(std::floor(centre + radius));
    // Edge texels repeat outward, so the taps collapse onto the clamped range.
    const uint32_t first = uint32_t(std::clamp<int64_t>(lo, 0, srcSize - 1));
    const uint32_t last = uint32_t(std::clamp<int64_t>(hi, 0, srcSize - 1));
    Taps& t = taps[i];
    t.first = first;
    t.weights.assign(last - first + 1, 0.0f);
    double sum = 0;
    for (int64_t s = lo; s <= hi; ++s) {
      const double w = 1.0 - std::abs(double(s) - centre) / radius;
      if (w <= 0) continue;
      const uint32_t c = uint32_t(std::clamp<int64_t>(s, 0, srcSize - 1));
      t.weights[c - first] += float(w);
      sum += w;
    }
    if (sum <= 0) {  // centre exactly between nothing: take the nearest texel
      t.weights.assign(1, 1.0f);
      t.first = uint32_t(std::clamp<int64_t>(std::llround(centre), 0, srcSize - 1));
      continue;
    }
    for (float& w : t.weights) w = float(w / sum);
  }
  return taps;
}

uint32_t Pack(const float c[4]) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const float v = std::clamp(c[k] + 0.5f, 0.0f, 255.0f);
    out |= uint32_t(v) << (24 - 8 * k);
  }
  return out;
}

}  // namespace

uint32_t RoundUpPow2(uint32_t v) {
  uint32_t p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

uint32_t FullMipCount(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  for (uint32_t side = std::max(width, height); side > 1; side >>= 1) ++levels;
  return levels;
}

void ApplyColorKey(Image& image, Color key) {
  if (key == 0) return;
  for (uint32_t& t : image.argb)
    if (t == key) t = 0;
}

Image ResampleImage(const Image& src, uint32_t width, uint32_t height) {
  if (src.width == width && src.height == height) return src;
  Image dst;
  dst.width = width;
  dst.height = height;
  dst.argb.resize(size_t(width) * height);
  if (src.argb.empty() || width == 0 || height == 0) return dst;
  const std::vector<Taps> tx = BuildTaps(src.width, width), ty = BuildTaps(src.height, height);
  // Horizontal pass into floats (a, r, g, b per texel), then vertical. Only the source rows one
  // destination row reads are kept, in a ring: a whole intermediate picture (8 MB for a 1024-wide
  // title) would set the start-up peak.
  size_t ring = 1;
  for (const Taps& t : ty) ring = std::max(ring, t.weights.size());
  std::vector<float> rows(ring * width * 4);
  std::vector<int64_t> held(ring, -1);  // source row in each ring slot
  auto row = [&](uint32_t y) -> const float* {
    float* out = &rows[(y % ring) * width * 4];
    if (held[y % ring] == int64_t(y)) return out;
    held[y % ring] = y;
    for (uint32_t x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      const Taps& t = tx[x];
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const uint32_t p = src.At(t.first + uint32_t(k), y);
        const float w = t.weights[k];
        acc[0] += w * float(p >> 24);
        acc[1] += w * float((p >> 16) & 255);
        acc[2] += w * float((p >> 8) & 255);
        acc[3] += w * float(p & 255);
      }
      std::copy(acc, acc + 4, out + size_t(x) * 4);
    }
    return out;
  };
  std::vector<const float*> taps(ring);
  for (uint32_t y = 0; y < height; ++y) {
    const Taps& t = ty[y];
    // Rows come in increasing order and a destination row reads at most `ring` of them, so none
    // it needs is evicted while it is gathered.
    for (size_t k = 0; k < t.weights.size(); ++k) taps[k] = row(t.first + uint32_t(k));
    for (uint32_t x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const float* m = taps[k] + size_t(x) * 4;
        for (int c = 0; c < 4; ++c) acc[c] += t.weights[k] * m[c];
      }
      dst.At(x, y) = Pack(acc);
    }
  }
  return dst;
}

Image HalveImage(const Image& src) {
  Image dst;
  dst.width = std::max(1u, src.width / 2);
  dst.height = std::max(1u, src.height / 2);
  dst.argb.resize(size_t(dst.width) * dst.height);
  const uint32_t sx = src.width > 1 ? 2 : 1, sy = src.height > 1 ? 2 : 1;
  for (uint32_t y = 0; y < dst.height; ++y) {
    for (uint32_t x = 0; x < dst.width; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0};
      for (uint32_t j = 0; j < sy; ++j)
        for (uint32_t i = 0; i < sx; ++i) {
          const uint32_t p = src.At(x * sx + i, y * sy + j);
          for (int c = 0; c < 4; ++c) sum[c] += (p >> (24 - 8 * c)) & 255;
        }
      const uint32_t n = sx * sy;
      uint32_t out = 0;
      for (int c = 0; c < 4; ++c) out |= ((sum[c] + n / 2) / n) << (24 - 8 * c);
      dst.At(x, y) = out;
    }
  }
  return dst;
}

bool BuildTextureLevels(const void* data, size_t size, uint32_t width, uint32_t height, uint32_t mipLevels,
                        Color colorKey, std::vector<Image>& levels, ImageInfo* srcInfo) {
  Image image;
  ImageInfo info;
  if (!DecodeImage(data, size, image, &info)) return false;
  // The key is compared on source texels, before any filtering mixes them.
  ApplyColorKey(image, colorKey);
  if (width == 0 || width == D3DX_DEFAULT) width = RoundUpPow2(image.width);
  if (height == 0 || height == D3DX_DEFAULT) height = RoundUpPow2(image.height);
  width = std::min(width, kMaxTextureDimension);
  height = std::min(height, kMaxTextureDimension);
  const uint32_t full = FullMipCount(width, height);
  const uint32_t count = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? full : std::min(mipLevels, full);
  std::vector<Image> out;
  out.reserve(count);
  if (image.width == width && image.height == height) {
    out.push_back(std::move(image));
  } else {
    out.push_back(ResampleImage(image, width, height));
    image = Image();
  }
  while (out.size() < count) out.push_back(HalveImage(out.back()));
  levels.swap(out);
  if (srcInfo) *srcInfo = info;
  return true;
}

gfx::TexturePtr CreateTextureFromFileInMemoryEx(gfx::CDevice& device, const void* data, size_t size,
                                                uint32_t width, uint32_t height, uint32_t mipLevels,
                                                Color colorKey, ImageInfo* srcInfo) {
  std::vector<Image> levels;
  if (!BuildTextureLevels(data, size, width, height, mipLevels, colorKey, levels, srcInfo)) return nullptr;
  return CreateTextureFromLevels(device, std::move(levels));
}

gfx::TexturePtr CreateTextureFromLevels(gfx::CDevice& device, std::vector<Image>&& levels) {
  if (levels.empty()) return nullptr;
  gfx::TexturePtr texture =
      device.CreateTexture(levels[0].width, levels[0].height, static_cast<uint32_t>(levels.size()));
  if (!texture) return nullptr;
  for (uint32_t i = 0; i < levels.size(); ++i) {
    if (!texture->SetLevel(i, levels[i].argb.data())) return nullptr;
    levels[i] = Image();
  }
  return texture;
}

}  // namespace gfxutil
