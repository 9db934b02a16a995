// The front-end pictures (logo, title, caption sheet, stage card), the black overlay and the
// sprites of the shadow and the particles.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "assetgen.h"
#include "canvas.h"
#include "font_face.h"
#include "noise.h"
#include "platform/gfx/png_writer.h"
#include "textures.h"

namespace assetgen {

namespace {

constexpr float kPi = 3.14159265f;

// The shared look of the title and the stage cards: a dusk sky over layered forest.
const CColor kSkyTop = Rgb(30, 36, 82);
const CColor kSkyMid = Rgb(112, 78, 128);
const CColor kHorizon = Rgb(240, 168, 104);
const CColor kLetter = Rgb(255, 242, 206);
const CColor kLetterEdge = Rgb(48, 30, 64);

void Sky(CCanvas& c, int horizon) {
  c.VerticalGradient(0, horizon / 2, kSkyTop, kSkyMid);
  c.VerticalGradient(horizon / 2, horizon, kSkyMid, kHorizon);
  c.VerticalGradient(horizon, c.Height(), kHorizon, Rgb(200, 130, 90));
}

void Stars(CCanvas& c, int count, int maxY, uint64_t seed) {
  CRandom rnd(seed);
  for (int i = 0; i < count; ++i) {
    const float x = rnd.Range(0, static_cast<float>(c.Width())), y = rnd.Range(0, static_cast<float>(maxY));
    const float fade = 1.0f - y / static_cast<float>(maxY);
    c.FillEllipse(x, y, rnd.Range(0.6f, 1.4f), rnd.Range(0.6f, 1.4f), Rgb(255, 250, 230, 0.8f * fade));
  }
}

void Glow(CCanvas& c, float x, float y, float r, const CColor& col) {
  for (int i = 6; i >= 1; --i) {
    const float k = static_cast<float>(i) / 6.0f;
    c.FillEllipse(x, y, r * (1.0f + 1.6f * k), r * (1.0f + 1.6f * k), CColor{col.r, col.g, col.b, 0.08f}, 0,
                  r * k);
  }
  c.FillEllipse(x, y, r, r, col, 0, 1.5f);
}

// A rolling ridge line from `y0` down to the bottom, in one colour.
void Hills(CCanvas& c, float y0, float amp, float freq, float phase, const CColor& col) {
  std::vector<CPoint> pts;
  const int w = c.Width();
  for (int x = 0; x <= w; x += 4) {
    const float t = static_cast<float>(x) / static_cast<float>(w);
    pts.push_back({static_cast<float>(x), y0 - amp * (0.6f * std::sin(kPi * 2 * freq * t + phase) +
                                                      0.4f * std::sin(kPi * 5.3f * freq * t + 2 * phase))});
  }
  pts.push_back({static_cast<float>(w), static_cast<float>(c.Height())});
  pts.push_back({0, static_cast<float>(c.Height())});
  c.FillPolygon(pts, col);
}

// A conifer: stacked tiers on a short trunk, base at (x, y).
void Conifer(CCanvas& c, float x, float y, float h, const CColor& col) {
  const float w = h * 0.42f;
  c.FillRect(x - h * 0.03f, y - h * 0.12f, x + h * 0.03f, y, col);
  for (int tier = 0; tier < 3; ++tier) {
    const float base = y - h * (0.1f + 0.27f * static_cast<float>(tier));
    const float top = base - h * 0.45f;
    const float hw = w * (1.0f - 0.25f * static_cast<float>(tier));
    c.FillPolygon({{x - hw, base},
                   {x + hw, base},
                   {x + hw * 0.12f, top + h * 0.04f},
                   {x, top},
                   {x - hw * 0.12f, top + h * 0.04f}},
                  col);
  }
}

void ForestRow(CCanvas& c, float baseY, float minH, float maxH, float gap, const CColor& col, uint64_t seed) {
  CRandom rnd(seed);
  for (float x = -gap * 0.5f; x < static_cast<float>(c.Width()) + gap; x += gap * rnd.Range(0.7f, 1.3f))
    Conifer(c, x, baseY + rnd.Range(-4, 4), rnd.Range(minH, maxH), col);
}

// Letters with a dark rim and a soft drop shadow.
void Lettering(CFontFace& font, CCanvas& c, const std::string& text, float cx, float y, int size,
               float spacing, float bold, const CColor& fill, const CColor& edge) {
  font.DrawCentred(c, text, cx + size * 0.05f, y + size * 0.06f, size, CColor{0.05f, 0.03f, 0.1f, 0.45f},
                   spacing, bold + 2);
  const float r = std::max(2.0f, size * 0.035f);
  for (int i = 0; i < 12; ++i) {
    const float a = kPi * 2 * static_cast<float>(i) / 12.0f;
    font.DrawCentred(c, text, cx + r * std::cos(a), y + r * std::sin(a), size, edge, spacing, bold);
  }
  font.DrawCentred(c, text, cx, y, size, fill, spacing, bold);
}

// The bear, side on, facing left; (x, y) is where its feet meet the ground.
void Bear(CCanvas& c, float x, float y, float s) {
  const CColor fur = Rgb(110, 72, 46), dark = Rgb(70, 44, 30), muzzle = Rgb(196, 150, 106);
  c.FillEllipse(x + 20 * s, y - 30 * s, 16 * s, 24 * s, dark);  // far legs
  c.FillEllipse(x - 18 * s, y - 28 * s, 14 * s, 24 * s, dark);
  c.FillEllipse(x + 4 * s, y - 54 * s, 50 * s, 34 * s, fur, -0.08f);  // body
  c.FillEllipse(x + 36 * s, y - 24 * s, 13 * s, 24 * s, fur);         // near legs
  c.FillEllipse(x - 26 * s, y - 22 * s, 13 * s, 22 * s, fur);
  c.FillEllipse(x + 10 * s, y - 74 * s, 34 * s, 12 * s, Rgb(150, 104, 66, 0.5f), -0.08f);  // rim light
  c.FillEllipse(x - 50 * s, y - 76 * s, 26 * s, 24 * s, fur);                              // head
  c.FillEllipse(x - 40 * s, y - 98 * s, 9 * s, 9 * s, fur);                                // ears
  c.FillEllipse(x - 60 * s, y - 98 * s, 9 * s, 9 * s, fur);
  c.FillEllipse(x - 40 * s, y - 98 * s, 4.5f * s, 4.5f * s, dark);
  c.FillEllipse(x - 60 * s, y - 98 * s, 4.5f * s, 4.5f * s, dark);
  c.FillEllipse(x - 70 * s, y - 70 * s, 12 * s, 9 * s, muzzle);
  c.FillEllipse(x - 79 * s, y - 73 * s, 4 * s, 3.5f * s, Rgb(30, 20, 18));  // nose
  c.FillEllipse(x - 56 * s, y - 82 * s, 3 * s, 3 * s, Rgb(30, 20, 18));     // eye
}

// The small hero: round head, red cap, blue coat; (x, y) at the feet.
void Hero(CCanvas& c, float x, float y, float s) {
  const CColor coat = Rgb(64, 108, 178), boots = Rgb(74, 52, 40), skin = Rgb(246, 206, 168),
               cap = Rgb(214, 64, 52);
  c.FillEllipse(x - 7 * s, y - 6 * s, 6 * s, 7 * s, boots);
  c.FillEllipse(x + 7 * s, y - 6 * s, 6 * s, 7 * s, boots);
  c.FillEllipse(x, y - 26 * s, 15 * s, 18 * s, coat);
  c.Line(x + 12 * s, y - 34 * s, x + 22 * s, y - 46 * s, 6 * s, coat);  // waving arm
  c.FillEllipse(x + 23 * s, y - 48 * s, 4 * s, 4 * s, skin);
  c.FillEllipse(x, y - 52 * s, 14 * s, 14 * s, skin);
  c.FillPolygon({{x - 15 * s, y - 54 * s},
                 {x - 12 * s, y - 64 * s},
                 {x, y - 69 * s},
                 {x + 12 * s, y - 64 * s},
                 {x + 15 * s, y - 54 * s}},
                cap);
  c.FillEllipse(x, y - 70 * s, 4 * s, 4 * s, Rgb(250, 236, 210));
  c.FillEllipse(x - 5 * s, y - 50 * s, 1.8f * s, 2.2f * s, Rgb(40, 30, 30));
  c.FillEllipse(x + 5 * s, y - 50 * s, 1.8f * s, 2.2f * s, Rgb(40, 30, 30));
  c.Line(x - 16 * s, y - 40 * s, x + 16 * s, y - 40 * s, 4 * s, Rgb(240, 200, 80));  // scarf
}

CImage Logo(CFontFace& font) {
  CImage img(1024, 512);
  CCanvas c(img);
  c.Fill(Rgb(246, 243, 235));
  const float cx = 320, cy = 190;
  // The mark: sunlight through three leaves.
  c.FillEllipse(cx, cy, 86, 86, Rgb(44, 92, 62), 0, 1.5f);
  c.FillEllipse(cx, cy, 78, 78, Rgb(58, 118, 76), 0, 1.5f);
  for (int i = 0; i < 3; ++i) {
    const float a = -kPi / 2 + kPi * 2 * static_cast<float>(i) / 3.0f;
    const float lx = cx + 38 * std::cos(a), ly = cy + 38 * std::sin(a);
    c.FillEllipse(lx, ly, 36, 16, Rgb(236, 230, 200), a, 1.2f);
    c.Line(lx - 30 * std::cos(a), ly - 30 * std::sin(a), lx + 30 * std::cos(a), ly + 30 * std::sin(a), 2.5f,
           Rgb(58, 118, 76));
  }
  c.FillEllipse(cx, cy, 15, 15, Rgb(244, 170, 60), 0, 1.2f);
  font.DrawCentred(c, "KOMOREBI WORKS", cx, 338, 44, Rgb(52, 56, 60), 5.0f, 1.0f);
  c.FillRect(cx - 150, 356, cx + 150, 358, Rgb(58, 118, 76));
  font.DrawCentred(c, "こもれび工房", cx, 392, 24, Rgb(58, 118, 76), 6.0f);
  return img;
}

CImage Title(CFontFace& font) {
  CImage img(640, 480);
  CCanvas c(img);
  Sky(c, 330);
  Stars(c, 90, 200, 7);
  Glow(c, 488, 226, 36, Rgb(255, 226, 170));
  Hills(c, 300, 18, 1.3f, 0.4f, Rgb(130, 88, 120));
  ForestRow(c, 330, 50, 80, 28, Rgb(86, 64, 104), 21);
  ForestRow(c, 372, 80, 130, 44, Rgb(52, 44, 78), 22);
  Hills(c, 416, 14, 0.8f, 1.7f, Rgb(40, 48, 66));
  ForestRow(c, 470, 150, 220, 120, Rgb(30, 32, 52), 23);
  // Foreground meadow with the two friends.
  Hills(c, 448, 10, 0.6f, 2.4f, Rgb(48, 70, 62));
  Bear(c, 404, 448, 0.95f);
  Hero(c, 268, 452, 1.0f);
  Lettering(font, c, "BRIMMEL", 320, 150, 104, 6.0f, 2.0f, kLetter, kLetterEdge);
  font.DrawCentred(c, "a walk in the forest", 320, 190, 22, Rgb(250, 226, 190), 3.0f);
  return img;
}

// The caption sheet: "PRESS X" in the top-left 0.35 x 0.0666 of a 512x512 sheet, on pure black
// (which the texture loader keys out).
CImage Caption(CFontFace& font) {
  CImage img(512, 512, 0xFF000000u);
  CCanvas c(img);
  const float w = 512 * 0.35f, h = 512 * 0.0666f;
  font.DrawCentred(c, "PRESS X", w * 0.5f, h * 0.5f + 10.0f, 27, Rgb(255, 246, 220), 4.0f, 1.0f);
  return img;
}

CImage StageCard(CFontFace& font) {
  CImage img(640, 480);
  CCanvas c(img);
  Sky(c, 400);
  Stars(c, 40, 140, 9);
  Glow(c, 566, 196, 24, Rgb(255, 226, 170));
  Hills(c, 392, 12, 1.1f, 1.2f, Rgb(130, 88, 120));
  ForestRow(c, 424, 50, 76, 34, Rgb(70, 56, 96), 31);
  // The home: a low house with a tiled roof, lit windows and its lit door, the stage's goal,
  // spilling light before it.
  Hills(c, 446, 8, 0.7f, 0.3f, Rgb(44, 54, 70));
  const float hx = 420, hy = 436;
  c.FillRect(hx - 64, hy - 46, hx + 64, hy, Rgb(64, 56, 74));
  c.FillPolygon({{hx - 84, hy - 44}, {hx + 84, hy - 44}, {hx + 58, hy - 80}, {hx - 58, hy - 80}},
                Rgb(44, 40, 62));
  for (float x : {hx - 46, hx + 20}) {
    c.FillRect(x, hy - 36, x + 26, hy - 14, Rgb(255, 206, 120));
    c.FillRect(x + 12, hy - 36, x + 14, hy - 14, Rgb(64, 56, 74));
  }
  c.FillEllipse(hx, hy + 2, 26, 5, Rgb(255, 206, 120, 0.35f), 0, 5);
  c.FillRect(hx - 9, hy - 32, hx + 9, hy, Rgb(255, 222, 150));
  c.FillRect(0, 0, 640, 480, CColor{0.05f, 0.04f, 0.12f, 0.18f});
  font.DrawCentred(c, "STAGE 1", 320, 150, 30, Rgb(250, 226, 190), 10.0f, 0.5f);
  c.FillRect(230, 164, 410, 166, Rgb(250, 226, 190, 0.8f));
  Lettering(font, c, "HOME", 320, 244, 84, 8.0f, 2.0f, kLetter, kLetterEdge);
  font.DrawCentred(c, "Walk the yard, then go in at the house door.", 321, 293, 20,
                   CColor{0.1f, 0.05f, 0.15f, 0.5f}, 1.0f);
  font.DrawCentred(c, "Walk the yard, then go in at the house door.", 320, 292, 20, Rgb(250, 236, 214), 1.0f);
  return img;
}

// Soft round shadow: black, dense over most of its disc so the caster's vertex alpha (at most
// 100 of 255) still reads as a shadow, falling off smoothly to nothing at the rim. Its densest
// texel stays below full alpha so the loader's colour key (opaque black) never punches a hole.
CImage Shadow() {
  CImage img(64, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const float dx = (static_cast<float>(x) + 0.5f - 32) / 30,
                  dy = (static_cast<float>(y) + 0.5f - 32) / 30;
      const float d = std::min(1.0f, std::sqrt(dx * dx + dy * dy));
      const float a = std::pow(1.0f - d * d, 0.8f) * 250.0f;
      img.At(x, y) = static_cast<uint32_t>(a + 0.5f) << 24;
    }
  return img;
}

// A puff of dust: several soft lobes with a noisy rim; near-white so the particle colour tints it.
CImage Smoke() {
  CImage img(64, 64, 0x00E8E2D8u);
  CRandom rnd(404);
  struct Lobe {
    float x, y, r;
  } lobes[6];
  for (Lobe& l : lobes) l = {rnd.Range(22, 42), rnd.Range(24, 40), rnd.Range(10, 16)};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
      float density = 0.0f;
      for (const Lobe& l : lobes) {
        const float d2 = ((px - l.x) * (px - l.x) + (py - l.y) * (py - l.y)) / (l.r * l.r);
        density += std::exp(-d2 * 1.6f);
      }
      const float n = TileFbm(px / 64.0f, py / 64.0f, 4, 4, 405);
      const float rim = std::max(0.0f, 1.0f - std::hypot(px - 32, py - 32) / 31.0f);
      const float a =
          std::clamp(density * (0.55f + 0.7f * n) * 0.75f, 0.0f, 0.85f) * std::min(1.0f, rim * 2.5f);
      const float shade = 0.8f + 0.2f * (1.0f - py / 64.0f);
      img.At(x, y) = PackArgb(CColor{0.92f * shade, 0.89f * shade, 0.85f * shade, a});
    }
  return img;
}

// A red-brown splat with a few droplets.
CImage Blood() {
  CImage img(64, 64, 0x005A1410u);
  CCanvas c(img);
  CRandom rnd(606);
  c.FillEllipse(32, 32, 17, 14, Rgb(128, 26, 20), 0.3f, 2.0f);
  for (int i = 0; i < 7; ++i) {
    const float a = rnd.Range(0, kPi * 2), d = rnd.Range(14, 26), r = rnd.Range(2.5f, 6.0f);
    c.FillEllipse(32 + d * std::cos(a), 32 + d * std::sin(a), r, r * 0.8f, Rgb(112, 22, 18), a, 1.5f);
    c.Line(32, 32, 32 + d * 0.8f * std::cos(a), 32 + d * 0.8f * std::sin(a), r * 0.9f, Rgb(120, 24, 19));
  }
  c.FillEllipse(29, 29, 7, 5, Rgb(168, 52, 40, 0.7f), 0.3f, 3.0f);  // wet highlight
  return img;
}

// The desktop icon: the title card's dusk over the forest, its moon, and the title's lettering
// reduced to the initial, on a rounded square. Drawn at each size rather than scaled, so the
// small one keeps crisp edges.
CImage Icon(CFontFace& font, int size) {
  const float s = static_cast<float>(size) / 256.0f;
  CImage img(size, size);
  CCanvas c(img);
  Sky(c, static_cast<int>(200 * s));
  Stars(c, std::max(4, static_cast<int>(24 * s)), static_cast<int>(110 * s), 17);
  Glow(c, 196 * s, 70 * s, 17 * s, Rgb(255, 226, 170));
  Hills(c, 188 * s, 8 * s, 1.1f, 0.4f, Rgb(130, 88, 120));
  ForestRow(c, 214 * s, 34 * s, 52 * s, 22 * s, Rgb(70, 56, 96), 41);
  ForestRow(c, 262 * s, 60 * s, 90 * s, 40 * s, Rgb(30, 32, 52), 42);
  Lettering(font, c, "B", 124 * s, 176 * s, static_cast<int>(172 * s), 0.0f, std::max(1.0f, 5 * s), kLetter,
            kLetterEdge);
  // Rounded corners, with a one-texel soft edge.
  const float r = 44 * s, half = static_cast<float>(size) / 2;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = std::max(0.0f, std::fabs(static_cast<float>(x) + 0.5f - half) - (half - r));
      const float dy = std::max(0.0f, std::fabs(static_cast<float>(y) + 0.5f - half) - (half - r));
      const float inside = std::clamp(r - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
      uint32_t& px = img.At(x, y);
      const uint32_t a = static_cast<uint32_t>(static_cast<float>(px >> 24) * inside + 0.5f);
      px = (px & 0x00FFFFFFu) | (a << 24);
    }
  return img;
}

}  // namespace

bool GenerateIcons(const std::string& dir, const std::vector<int>& sizes) {
  std::unique_ptr<CFontFace> font = CFontFace::Open();
  if (!font) return false;
  for (const int size : sizes) {
    if (size < 16 || size > 1024) return false;
    const std::string folder = dir + "/" + std::to_string(size) + "x" + std::to_string(size);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const CImage icon = Icon(*font, size);
    if (!gfx::WritePng(folder + "/brimmel.png", icon.argb.data(), static_cast<uint32_t>(size),
                       static_cast<uint32_t>(size)))
      return false;
  }
  return true;
}

bool GenerateImages(const COutput& out) {
  std::unique_ptr<CFontFace> font = CFontFace::Open();
  if (!font) return false;
  bool ok = WriteJpeg(out, "data/image/logo.jpg", Logo(*font), 92);
  ok = ok && WriteJpeg(out, "data/image/title.jpg", Title(*font), 92);
  ok = ok && WriteBmp(out, "data/image/title_moji.bmp", Caption(*font));
  ok = ok && WriteJpeg(out, "data/image/stg00_home.jpg", StageCard(*font), 92);
  // The overlay of the fader and the letterbox bars is drawn tinted by its vertex colour, so only
  // its alpha matters: a hair above black keeps it opaque through the colour key.
  ok = ok && WriteBmp(out, "data/image/black.bmp", CImage(16, 16, 0xFF010101u));
  ok = ok && WriteDds(out, "data/image/shadow.dds", Shadow());
  ok = ok && WriteDds(out, "data/image/smoke.dds", Smoke());
  const CImage blood = Blood();
  ok = ok && WriteDds(out, "data/image/blood.dds", blood, DdsFormat::DXT5);
  ok = ok && WriteEnc(out, "data/image/blood.dds_enc", EncodeDds(blood, DdsFormat::DXT5));
  return ok;
}

}  // namespace assetgen
