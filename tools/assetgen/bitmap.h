// A small RGB picture painted in code and written as a 24-bit BMP: the palette atlas the models
// are coloured from, and tiling stage textures made from value noise.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assetgen.h"

namespace assetgen {

class CBitmap {
 public:
  CBitmap(int width, int height) : w_(width), h_(height), px_(static_cast<size_t>(width) * height, 0) {}
  int Width() const { return w_; }
  int Height() const { return h_; }
  uint32_t At(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  void Set(int x, int y, uint32_t rgb) { px_[static_cast<size_t>(y) * w_ + x] = rgb & 0xFFFFFF; }
  // Bottom-up 24-bit BMP, rows padded to four bytes.
  std::vector<uint8_t> EncodeBmp() const;
  bool WriteBmp(const COutput& out, const std::string& relative) const {
    return out.Write(relative, EncodeBmp());
  }

 private:
  int w_, h_;
  std::vector<uint32_t> px_;
};

// Deterministic value noise in 0..1 that tiles with the given period (in lattice cells).
float TiledNoise(float x, float y, int period, uint32_t seed);
// Colour arithmetic on 0xRRGGBB.
uint32_t Shade(uint32_t rgb, float factor);
uint32_t Mix(uint32_t a, uint32_t b, float t);

// The 8 x 8 palette atlas: cell i has colour kPalette[i], a faint grain and a darker rim.
CBitmap MakePaletteAtlas();

enum class Tile {
  Grass,
  Dirt,
  Planks,
  Stone,
  Roof,
  Plaster,
  Bark,
  Foliage,
  Rock,
  Hedge,
  Mat,
  Flowers,
  Glass,
  Lamplight
};
// A 128 x 128 tiling texture; Lamplight is one panel (spread over a face with UseFitted) and
// looks the same turned or mirrored, as a face's texture axes may be either way round.
CBitmap MakeTile(Tile kind);

// Palette cells shared by the models.
enum Swatch : int {
  kSkin = 0,
  kShirt,
  kPants,
  kBoots,
  kScarf,
  kPack,
  kBedroll,
  kHat,
  kHatBand,
  kEye,
  kCheek,
  kHair,
  kFurBrown,
  kFurLight,
  kNose,
  kClaw,
  kWingOrange,
  kWingBlack,
  kWingWhite,
  kWingBlue,
  kBugBody,
  kWood,
  kWoodDark,
  kMetal,
  kGlass,
  kLeafGreen,
  kLeafYellow,
  kLeafOrange,
  kLeafRed,
  kLeafBrown,
  kLeafLime,
  kVein,
  kSwatchCount
};

}  // namespace assetgen
