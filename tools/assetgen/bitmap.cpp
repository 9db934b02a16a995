#include "bitmap.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {

const uint32_t kPalette[kSwatchCount] = {
    0xF2C8A0,  // skin
    0xC8463C,  // shirt
    0x3C5A8C,  // pants
    0x5A3C28,  // boots
    0xE8B43C,  // scarf
    0x6E8C46,  // pack
    0xB48C64,  // bedroll
    0x3C7846,  // hat
    0xD2A03C,  // hat band
    0x282828,  // eye
    0xF09696,  // cheek
    0x6E4628,  // hair
    0x8C5A32,  // fur brown
    0xD2AA78,  // fur light
    0x3C2819,  // nose
    0xE6DCC8,  // claw
    0xF08C28,  // wing orange
    0x1E1E23,  // wing black
    0xF5F5EB,  // wing white
    0x468CDC,  // wing blue
    0x32281E,  // bug body
    0xA0703C,  // wood
    0x6E4623,  // dark wood
    0x9696A0,  // metal
    0xFFE0A0,  // glass: the door's panes, lit from inside the house
    0x5AA03C,  // leaf green
    0xE6C83C,  // leaf yellow
    0xE67828,  // leaf orange
    0xC83228,  // leaf red
    0x8C6432,  // leaf brown
    0x96C846,  // leaf lime
    0x466E2D,  // vein
};

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

float Lattice(int x, int y, int period, uint32_t seed) {
  const uint32_t px = static_cast<uint32_t>(((x % period) + period) % period);
  const uint32_t py = static_cast<uint32_t>(((y % period) + period) % period);
  return static_cast<float>(Hash(px, py, seed) & 0xFFFF) / 65535.0f;
}

float Fbm(float x, float y, int period, uint32_t seed, int octaves) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * TiledNoise(x, y, period, seed + static_cast<uint32_t>(o) * 17u);
    norm += amp;
    x *= 2, y *= 2, period *= 2, amp *= 0.5f;
  }
  return sum / norm;
}

}  // namespace

float TiledNoise(float x, float y, int period, uint32_t seed) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = x - static_cast<float>(ix), fy = y - static_cast<float>(iy);
  fx = fx * fx * (3 - 2 * fx), fy = fy * fy * (3 - 2 * fy);
  const float a = Lattice(ix, iy, period, seed), b = Lattice(ix + 1, iy, period, seed);
  const float c = Lattice(ix, iy + 1, period, seed), d = Lattice(ix + 1, iy + 1, period, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

uint32_t Shade(uint32_t rgb, float f) {
  auto ch = [&](int s) {
    const float v = static_cast<float>((rgb >> s) & 0xFF) * f;
    return static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f)) << s;
  };
  return ch(16) | ch(8) | ch(0);
}

uint32_t Mix(uint32_t a, uint32_t b, float t) {
  auto ch = [&](int s) {
    const float va = static_cast<float>((a >> s) & 0xFF), vb = static_cast<float>((b >> s) & 0xFF);
    return static_cast<uint32_t>(std::clamp(va + (vb - va) * t, 0.0f, 255.0f)) << s;
  };
  return ch(16) | ch(8) | ch(0);
}

std::vector<uint8_t> CBitmap::EncodeBmp() const {
  const uint32_t row = (static_cast<uint32_t>(w_) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(h_), size = 54 + image;
  std::vector<uint8_t> b(size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put32(2, size), put32(10, 54), put32(14, 40), put32(18, static_cast<uint32_t>(w_)),
      put32(22, static_cast<uint32_t>(h_));
  b[26] = 1, b[28] = 24;
  put32(34, image), put32(38, 2835), put32(42, 2835);
  for (int y = 0; y < h_; ++y) {
    uint8_t* r = &b[54 + static_cast<size_t>(h_ - 1 - y) * row];
    for (int x = 0; x < w_; ++x) {
      const uint32_t c = At(x, y);
      r[3 * x] = static_cast<uint8_t>(c), r[3 * x + 1] = static_cast<uint8_t>(c >> 8),
            r[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return b;
}

CBitmap MakePaletteAtlas() {
  CBitmap bmp(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      const int cell = (y / 16) * 8 + x / 16;
      const uint32_t base = cell < kSwatchCount ? kPalette[cell] : 0xFF00FF;
      const int lx = x % 16, ly = y % 16;
      const int edge = std::min(std::min(lx, 15 - lx), std::min(ly, 15 - ly));
      float f = 0.94f + 0.12f * TiledNoise(x * 0.5f, y * 0.5f, 64, 7u);
      if (edge <= 3) f *= 0.86f + 0.035f * static_cast<float>(edge);
      bmp.Set(x, y, Shade(base, f));
    }
  return bmp;
}

CBitmap MakeTile(Tile kind) {
  CBitmap bmp(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      const float fx = static_cast<float>(x) / 128.0f, fy = static_cast<float>(y) / 128.0f;
      const float n = Fbm(fx * 8, fy * 8, 8, 11u + static_cast<uint32_t>(kind), 4);
      const float fine = TiledNoise(fx * 64, fy * 64, 64, 5u);
      uint32_t c = 0;
      switch (kind) {
        case Tile::Grass:
          c = Shade(Mix(0x4E8C34, 0x76AA40, n), 0.9f + 0.2f * fine);
          break;
        case Tile::Dirt:
          c = Shade(Mix(0x8C6E46, 0xB49664, n), 0.9f + 0.2f * fine);
          break;
        case Tile::Planks: {
          const int board = y / 16;
          const float grain = TiledNoise(fx * 4 + board * 0.37f, fy * 64, 64, 3u + board);
          c = Shade(Mix(0x8C5A2D, 0xB4824B, grain), (y % 16 == 0) ? 0.55f : 0.92f + 0.1f * n);
          if (((x + board * 37) % 128) == 0) c = Shade(c, 0.6f);
          break;
        }
        case Tile::Stone: {
          const int row = y / 32, col = (x + (row % 2) * 32) / 64;
          const float cell = Lattice(col, row, 1000, 9u);
          const bool mortar = (y % 32) < 3 || ((x + (row % 2) * 32) % 64) < 3;
          c = mortar ? 0x6E6A64 : Shade(Mix(0x9A968C, 0xBEB8AA, cell), 0.85f + 0.25f * n);
          break;
        }
        case Tile::Roof: {
          const int row = y / 16;
          const float scallop =
              std::fabs(std::sin(3.14159265f * static_cast<float>((x + row * 8) % 16) / 16.0f));
          const bool gap = (y % 16) > 11 + static_cast<int>(3 * scallop);
          c = Shade(Mix(0xA03C2D, 0xC8553C, n), gap ? 0.6f : 0.92f + 0.1f * fine);
          break;
        }
        case Tile::Plaster:
          c = Shade(Mix(0xE6DCC3, 0xF5EBD7, n), 0.95f + 0.06f * fine);
          break;
        case Tile::Bark: {
          const float ridge = TiledNoise(fx * 16, fy * 2, 16, 21u);
          c = Shade(Mix(0x4B3220, 0x78553A, ridge), 0.85f + 0.25f * fine);
          break;
        }
        case Tile::Foliage:
          c = Shade(Mix(0x2D6E2D, 0x5A9B3C, Fbm(fx * 16, fy * 16, 16, 31u, 3)), 0.85f + 0.25f * fine);
          break;
        case Tile::Rock:
          c = Shade(Mix(0x7D7873, 0xA59F96, n), 0.8f + 0.3f * fine);
          break;
        case Tile::Hedge:
          c = Shade(Mix(0x285A23, 0x468232, Fbm(fx * 16, fy * 16, 16, 41u, 3)), 0.8f + 0.3f * fine);
          break;
        case Tile::Mat: {
          const bool border = x < 10 || x > 117 || y < 10 || y > 117;
          const bool stripe = ((x / 8) % 2) == 0;
          c = border ? 0x8C2323 : (stripe ? 0xE6B43C : 0xD29628);
          c = Shade(c, 0.9f + 0.15f * fine);
          break;
        }
        case Tile::Glass: {
          // Dark panes with a pale streak and glazing bars.
          const bool bar = (x % 64) < 4 || (y % 64) < 4;
          const float streak = std::fabs(static_cast<float>((x + y) % 64) - 20.0f) < 6.0f ? 1.0f : 0.0f;
          c = bar ? 0x5A3C23 : Mix(Mix(0x283C5A, 0x46648C, fy), 0xB4C8DC, 0.5f * streak);
          break;
        }
        case Tile::Lamplight: {
          // Paper lit from behind in a wooden frame with one cross bar each way: palest at the
          // middle, warmer towards the frame, so a lit lantern or screen reads as giving light.
          const float cx = std::fabs(fx + 0.5f / 128 - 0.5f) * 2, cy = std::fabs(fy + 0.5f / 128 - 0.5f) * 2;
          const float d = std::min(1.0f, std::sqrt(cx * cx + cy * cy) / 1.4142f);
          const float rim = std::max(cx, cy), bar = std::min(cx, cy);
          if (rim > 0.92f)
            c = Shade(0x4B3220, 0.9f + 0.2f * fine);
          else if (bar < 0.035f)
            c = Shade(0x6E4623, 0.9f + 0.2f * fine);
          else
            c = Shade(Mix(0xFFF0BE, 0xF0A046, d * d), 0.97f + 0.03f * fine);
          break;
        }
        case Tile::Flowers: {
          c = Shade(Mix(0x4E8C34, 0x76AA40, n), 0.9f + 0.2f * fine);
          const uint32_t h =
              (static_cast<uint32_t>(x / 8) * 73856093u) ^ (static_cast<uint32_t>(y / 8) * 19349663u);
          const int cx = 4, cy = 4, dx = x % 8 - cx, dy = y % 8 - cy;
          if ((h % 3) == 0 && dx * dx + dy * dy <= 4) {
            static const uint32_t petals[4] = {0xF05A78, 0xF5E650, 0xF5F5F5, 0xA064DC};
            c = petals[(h >> 4) % 4];
          }
          break;
        }
      }
      bmp.Set(x, y, c);
    }
  return bmp;
}

}  // namespace assetgen
