// Image files held in memory -> 0xAARRGGBB pixels: JPEG (libjpeg), BMP (SDL's reader) and DDS
// (DXT1/3/5 and uncompressed 16/24/32-bit, level 0 only). Every decoder rejects corrupt or
// implausibly large input instead of crashing or allocating without bound.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gfxutil {

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> argb;  // rows top to bottom
  uint32_t& At(uint32_t x, uint32_t y) { return argb[size_t(y) * width + x]; }
  uint32_t At(uint32_t x, uint32_t y) const { return argb[size_t(y) * width + x]; }
};

enum class ImageFileFormat : uint32_t { Unknown, Bmp, Jpeg, Dds };

// What the file itself holds, as D3DXIMAGE_INFO reports it.
struct ImageInfo {
  uint32_t Width = 0, Height = 0;
  ImageFileFormat FileFormat = ImageFileFormat::Unknown;
};

// Limits on what a file may claim before anything is allocated for it.
constexpr uint32_t kMaxImageDimension = 16384;
constexpr uint64_t kMaxImagePixels = 1ull << 24;
// Each scan of a progressive JPEG is a pass over the whole frame; encoders write about ten.
constexpr int kMaxJpegScans = 100;

bool DecodeJpeg(const uint8_t* data, size_t size, Image& out);
bool DecodeBmp(const uint8_t* data, size_t size, Image& out);
bool DecodeDds(const uint8_t* data, size_t size, Image& out);
// Chooses the decoder by the file's signature.
bool DecodeImage(const void* data, size_t size, Image& out, ImageInfo* info = nullptr);

}  // namespace gfxutil
