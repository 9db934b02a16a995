// Procedural surface textures and the image-file writers every generator shares.
// Pixels are 0xAARRGGBB, row-major with the top row first; all output is deterministic.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assetgen.h"

namespace assetgen {

// An ARGB picture held in memory.
struct CImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // width * height pixels

  CImage() = default;
  CImage(int w, int h, uint32_t fill = 0xFF000000u)
      : width(w), height(h), argb(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}
  uint32_t& At(int x, int y) { return argb[static_cast<size_t>(y) * width + x]; }
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};

// Surfaces for the stages. Every kind tiles seamlessly in both directions.
// Foliage carries alpha: 0 between the leaves (for alpha testing), 255 on them; every
// other kind is fully opaque.
enum class TextureKind { Grass, Earth, Wood, Bark, Foliage, Stone, Wall, Roof };

// size × size ARGB pixels (size a power of two, 8..1024). Same kind and size give the same pixels.
std::vector<uint32_t> MakeTexture(TextureKind kind, int size);
CImage MakeTextureImage(TextureKind kind, int size);

// File encoders: the bytes of the file, empty on a bad image.
std::vector<uint8_t> EncodeJpeg(const CImage& image, int quality = 90);  // baseline, 4:2:0, alpha dropped
std::vector<uint8_t> EncodeBmp(const CImage& image);                     // 24-bit bottom-up, alpha dropped
enum class DdsFormat { A8R8G8B8, DXT1, DXT5 };
std::vector<uint8_t> EncodeDds(const CImage& image, DdsFormat format = DdsFormat::A8R8G8B8);
// The compressed "…enc" form of any file's bytes (16-byte header, size at offset 12, LZSS).
std::vector<uint8_t> EncodeEnc(const std::vector<uint8_t>& bytes);

// Encode and write under the game folder (relative path such as "data/image/grass.jpg").
bool WriteJpeg(const COutput& out, const std::string& relative, const CImage& image, int quality = 90);
bool WriteBmp(const COutput& out, const std::string& relative, const CImage& image);
bool WriteDds(const COutput& out, const std::string& relative, const CImage& image,
              DdsFormat format = DdsFormat::A8R8G8B8);
// Writes the compressed form of a file: e.g. WriteEnc(out, "data/image/wall.bmp_enc", EncodeBmp(img)).
bool WriteEnc(const COutput& out, const std::string& relative, const std::vector<uint8_t>& bytes);

}  // namespace assetgen
