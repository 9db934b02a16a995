// Antialiased drawing into an ARGB image: the few shapes the pictures and sprites are made of.
#pragma once
#include <cstdint>
#include <vector>

#include "textures.h"

namespace assetgen {

// Colour with components in 0..1.
struct CColor {
  float r = 0, g = 0, b = 0, a = 1;
};
CColor Rgb(int r, int g, int b, float a = 1.0f);
CColor Mix(const CColor& x, const CColor& y, float t);
CColor Scaled(const CColor& c, float k);  // rgb times k, alpha kept
// Clamps to bytes. An opaque pixel never comes out exactly black: the texture loader's colour
// key would punch it out.
uint32_t PackArgb(const CColor& c);
CColor UnpackArgb(uint32_t argb);

struct CPoint {
  float x = 0, y = 0;
};

class CCanvas {
 public:
  explicit CCanvas(CImage& image) : image_(image), coverage_(static_cast<size_t>(image.width) + 2) {}
  int Width() const { return image_.width; }
  int Height() const { return image_.height; }
  CImage& Image() { return image_; }

  // Source-over blend of c, weighted by coverage (0..1), at one pixel; outside pixels are ignored.
  void Blend(int x, int y, const CColor& c, float coverage = 1.0f);
  void Set(int x, int y, const CColor& c);
  void Fill(const CColor& c);
  void FillRect(float x0, float y0, float x1, float y1, const CColor& c);
  // Top-to-bottom gradient over rows [y0, y1), whole width.
  void VerticalGradient(int y0, int y1, const CColor& top, const CColor& bottom);
  // Ellipse with optional rotation (radians); `feather` pixels of soft edge.
  void FillEllipse(float cx, float cy, float rx, float ry, const CColor& c, float angle = 0.0f,
                   float feather = 1.0f);
  // Polygon by the non-zero rule, 4 sub-rows per pixel with exact horizontal coverage.
  void FillPolygon(const std::vector<CPoint>& points, const CColor& c);
  // A round-capped stroke.
  void Line(float x0, float y0, float x1, float y1, float width, const CColor& c);

 private:
  CImage& image_;
  std::vector<float> coverage_;
};

}  // namespace assetgen
