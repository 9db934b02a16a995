// The stage surfaces, drawn from tileable noise. Every lattice and stroke wraps around the tile
// edges, so neighbouring copies meet without a seam.
#include "textures.h"

#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "noise.h"

namespace assetgen {

namespace {

constexpr float kTau = 6.28318530718f;

// Distance on a unit torus: the shortest way across the tile's wrap.
float WrapDelta(float d) { return d - std::round(d); }

// Per pixel: (u, v) in [0, 1) at the pixel centre.
template <typename F>
void Shade(CImage& img, F&& f) {
  const float n = static_cast<float>(img.width);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      img.At(x, y) = PackArgb(f((static_cast<float>(x) + 0.5f) / n, (static_cast<float>(y) + 0.5f) / n));
}

// Draws an ellipse on the tile and its wrapped copies.
void WrappedEllipse(CCanvas& c, float cx, float cy, float rx, float ry, const CColor& col, float angle,
                    float feather) {
  const float n = static_cast<float>(c.Width());
  for (int oy = -1; oy <= 1; ++oy)
    for (int ox = -1; ox <= 1; ++ox) {
      const float x = cx + ox * n, y = cy + oy * n, r = std::max(rx, ry) + 2;
      if (x + r < 0 || x - r > n || y + r < 0 || y - r > n) continue;
      c.FillEllipse(x, y, rx, ry, col, angle, feather);
    }
}

void WrappedLine(CCanvas& c, float x0, float y0, float x1, float y1, float w, const CColor& col) {
  const float n = static_cast<float>(c.Width());
  for (int oy = -1; oy <= 1; ++oy)
    for (int ox = -1; ox <= 1; ++ox) c.Line(x0 + ox * n, y0 + oy * n, x1 + ox * n, y1 + oy * n, w, col);
}

CImage Grass(int size) {
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const float f = TileFbm(u, v, 4, 5, 11);
    const float g = TileFbm(u, v, 16, 2, 12);
    return Mix(Mix(Rgb(62, 104, 38), Rgb(104, 150, 58), f), Rgb(132, 160, 70),
               std::max(0.0f, g - 0.62f) * 2.0f);
  });
  CCanvas c(img);
  CRandom rnd(101);
  const float s = static_cast<float>(size);
  const int blades = size * size / 40;
  for (int i = 0; i < blades; ++i) {
    const float x = rnd.Uniform() * s, y = rnd.Uniform() * s;
    const float len = s * rnd.Range(0.012f, 0.035f), lean = rnd.Range(-0.4f, 0.4f);
    const CColor col = rnd.Uniform() < 0.5f ? Rgb(46, 86, 30, 0.55f) : Rgb(150, 186, 84, 0.45f);
    WrappedLine(c, x, y, x + lean * len, y - len, std::max(1.0f, s / 256.0f), col);
  }
  return img;
}

CImage Earth(int size) {
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const float f = TileFbm(u, v, 4, 6, 21);
    const float m = TileFbm(u, v, 32, 2, 22);
    return Scaled(Mix(Rgb(104, 78, 52), Rgb(150, 118, 80), f), 0.85f + 0.3f * m);
  });
  CCanvas c(img);
  CRandom rnd(202);
  const float s = static_cast<float>(size);
  for (int i = 0; i < size / 2; ++i) {
    const float r = s * rnd.Range(0.004f, 0.012f);
    const float x = rnd.Uniform() * s, y = rnd.Uniform() * s;
    const float tone = rnd.Range(0.75f, 1.15f);
    WrappedEllipse(c, x + r * 0.2f, y + r * 0.3f, r, r * 0.8f, Rgb(60, 44, 30, 0.5f), 0.0f, 1.0f);
    WrappedEllipse(c, x, y, r, r * 0.8f, Scaled(Rgb(150, 138, 120), tone), rnd.Range(0.0f, 3.0f), 1.0f);
  }
  return img;
}

CImage Wood(int size) {
  // Four boards across the tile, each with its own tone and an end joint at its own place.
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const int board = std::min(static_cast<int>(v * 4.0f), 3);
    const float inBoard = v * 4.0f - static_cast<float>(board);
    const float tone = 0.85f + 0.3f * LatticeValue(board, 0, 31);
    const float grain = 0.5f + 0.5f * std::sin(kTau * (v * 48.0f + 1.5f * TileFbm(u, v, 2, 3, 32)));
    CColor col = Scaled(Mix(Rgb(150, 104, 62), Rgb(186, 138, 88), grain), tone);
    const float edge = std::min(inBoard, 1.0f - inBoard);
    if (edge < 0.035f) col = Scaled(col, 0.45f + 0.55f * edge / 0.035f);
    const float joint = LatticeValue(board, 1, 33);
    if (std::fabs(WrapDelta(u - joint)) < 0.006f) col = Scaled(col, 0.5f);
    return col;
  });
  return img;
}

CImage Bark(int size) {
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const float warp = TileFbm(u, v, 3, 4, 41);
    const float ridge = std::fabs(std::sin(kTau * (u * 9.0f + 0.8f * warp)));
    const float fine = TileFbm(u * 1.0f, v, 8, 3, 42);
    const CColor dark = Rgb(58, 40, 28), light = Rgb(120, 92, 66);
    return Mix(dark, light, std::pow(ridge, 0.6f) * (0.6f + 0.5f * fine));
  });
  return img;
}

CImage Foliage(int size) {
  // Leaves on a clear background: the holes let the sky show through the crowns.
  CImage img(size, size, PackArgb(Rgb(40, 72, 30, 0.0f)));
  CCanvas c(img);
  CRandom rnd(505);
  const float s = static_cast<float>(size);
  // Leaf sizes scale with the tile, so a fixed count covers the same share at every size
  // (about three fifths solid).
  for (int i = 0; i < 200; ++i) {
    const float x = rnd.Uniform() * s, y = rnd.Uniform() * s;
    const float len = s * rnd.Range(0.04f, 0.075f);
    const float ang = rnd.Range(0.0f, kTau);
    const float tone = rnd.Range(0.7f, 1.2f);
    const CColor leaf = Scaled(Mix(Rgb(48, 96, 36), Rgb(96, 146, 52), rnd.Uniform()), tone);
    WrappedEllipse(c, x, y, len, len * 0.42f, leaf, ang, 1.0f);
    WrappedLine(c, x - std::cos(ang) * len * 0.8f, y - std::sin(ang) * len * 0.8f,
                x + std::cos(ang) * len * 0.8f, y + std::sin(ang) * len * 0.8f, std::max(1.0f, s / 300.0f),
                Scaled(leaf, 0.7f));
  }
  // Alpha is for alpha testing: a leaf is solid, a gap is empty.
  for (uint32_t& p : img.argb) p = (p >> 24) >= 128 ? (p | 0xFF000000u) : (p & 0x00FFFFFFu);
  return img;
}

// Cells of a jittered grid, wrapped: the nearest and second-nearest centre for (u, v).
void Cells(float u, float v, int n, uint32_t seed, float& d1, float& d2, int& id) {
  d1 = d2 = 1e9f;
  id = 0;
  const int cx = static_cast<int>(u * n), cy = static_cast<int>(v * n);
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i) {
      const int gx = ((cx + i) % n + n) % n, gy = ((cy + j) % n + n) % n;
      const float px = (static_cast<float>(gx) + 0.2f + 0.6f * LatticeValue(gx, gy, seed)) / n;
      const float py = (static_cast<float>(gy) + 0.2f + 0.6f * LatticeValue(gx, gy, seed + 7)) / n;
      const float dx = WrapDelta(u - px), dy = WrapDelta(v - py);
      const float d = std::sqrt(dx * dx + dy * dy) * n;
      if (d < d1) {
        d2 = d1;
        d1 = d;
        id = gy * n + gx;
      } else if (d < d2) {
        d2 = d;
      }
    }
}

CImage Stone(int size) {
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    float d1, d2;
    int id;
    Cells(u, v, 6, 61, d1, d2, id);
    const float tone = 0.8f + 0.35f * LatticeValue(id, 3, 62);
    const float speck = TileFbm(u, v, 16, 3, 63);
    CColor col = Scaled(Mix(Rgb(112, 110, 104), Rgb(156, 152, 142), speck), tone);
    const float gap = d2 - d1;
    if (gap < 0.12f) col = Mix(Rgb(70, 66, 58), col, std::max(0.0f, gap - 0.04f) / 0.08f);
    return Scaled(col, 1.0f - 0.25f * std::min(d1, 1.0f));
  });
  return img;
}

CImage Wall(int size) {
  // Plaster with a faint mottle and trowel strokes.
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const float f = TileFbm(u, v, 4, 6, 71);
    const float streak = TileFbm(u, v, 8, 2, 72);
    return Scaled(Mix(Rgb(214, 200, 170), Rgb(232, 222, 196), f), 0.92f + 0.1f * streak);
  });
  return img;
}

CImage Roof(int size) {
  // Rows of rounded clay tiles, each row overlapping the one below.
  CImage img(size, size);
  Shade(img, [](float u, float v) {
    const float rows = 8.0f, cols = 8.0f;
    const int row = std::min(static_cast<int>(v * rows), 7);
    const float inRow = v * rows - static_cast<float>(row);
    const float shift = (row % 2) * 0.5f;
    const float across = u * cols + shift;
    const float inTile = across - std::floor(across);
    const float round = std::sin(3.14159265f * inTile);
    const float tone = 0.9f + 0.2f * LatticeValue(static_cast<int>(std::floor(across)) % 8, row, 81);
    CColor col = Scaled(Mix(Rgb(70, 76, 92), Rgb(128, 136, 156), round), tone);
    if (inRow > 0.82f) col = Scaled(col, 0.55f);
    return Scaled(col, 0.9f + 0.15f * TileFbm(u, v, 8, 2, 82));
  });
  return img;
}

}  // namespace

CImage MakeTextureImage(TextureKind kind, int size) {
  size = std::clamp(size, 8, 1024);
  switch (kind) {
    case TextureKind::Grass:
      return Grass(size);
    case TextureKind::Earth:
      return Earth(size);
    case TextureKind::Wood:
      return Wood(size);
    case TextureKind::Bark:
      return Bark(size);
    case TextureKind::Foliage:
      return Foliage(size);
    case TextureKind::Stone:
      return Stone(size);
    case TextureKind::Wall:
      return Wall(size);
    case TextureKind::Roof:
      return Roof(size);
  }
  return CImage(size, size);
}

std::vector<uint32_t> MakeTexture(TextureKind kind, int size) { return MakeTextureImage(kind, size).argb; }

}  // namespace assetgen
