#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

CColor Rgb(int r, int g, int b, float a) {
  return CColor{static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                static_cast<float>(b) / 255.0f, a};
}

CColor Mix(const CColor& x, const CColor& y, float t) {
  return CColor{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

CColor Scaled(const CColor& c, float k) { return CColor{c.r * k, c.g * k, c.b * k, c.a}; }

namespace {
uint32_t ToByte(float v) {
  const float s = std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f;
  return static_cast<uint32_t>(s);
}
}  // namespace

uint32_t PackArgb(const CColor& c) {
  const uint32_t a = ToByte(c.a);
  uint32_t r = ToByte(c.r), g = ToByte(c.g), b = ToByte(c.b);
  if (a == 255 && r == 0 && g == 0 && b == 0) r = g = b = 1;
  return a << 24 | r << 16 | g << 8 | b;
}

CColor UnpackArgb(uint32_t v) {
  return CColor{static_cast<float>((v >> 16) & 255) / 255.0f, static_cast<float>((v >> 8) & 255) / 255.0f,
                static_cast<float>(v & 255) / 255.0f, static_cast<float>(v >> 24) / 255.0f};
}

void CCanvas::Set(int x, int y, const CColor& c) {
  if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
  image_.At(x, y) = PackArgb(c);
}

void CCanvas::Blend(int x, int y, const CColor& c, float coverage) {
  if (x < 0 || y < 0 || x >= image_.width || y >= image_.height || coverage <= 0.0f) return;
  const float sa = std::min(coverage, 1.0f) * c.a;
  const CColor d = UnpackArgb(image_.At(x, y));
  const float oa = sa + d.a * (1.0f - sa);
  CColor o{0, 0, 0, oa};
  if (oa > 0.0f) {
    o.r = (c.r * sa + d.r * d.a * (1.0f - sa)) / oa;
    o.g = (c.g * sa + d.g * d.a * (1.0f - sa)) / oa;
    o.b = (c.b * sa + d.b * d.a * (1.0f - sa)) / oa;
  }
  image_.At(x, y) = PackArgb(o);
}

void CCanvas::Fill(const CColor& c) { std::fill(image_.argb.begin(), image_.argb.end(), PackArgb(c)); }

void CCanvas::FillRect(float x0, float y0, float x1, float y1, const CColor& c) {
  FillPolygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, c);
}

void CCanvas::VerticalGradient(int y0, int y1, const CColor& top, const CColor& bottom) {
  y0 = std::max(y0, 0);
  y1 = std::min(y1, image_.height);
  for (int y = y0; y < y1; ++y) {
    const float t = y1 - y0 > 1 ? static_cast<float>(y - y0) / static_cast<float>(y1 - y0 - 1) : 0.0f;
    const uint32_t v = PackArgb(Mix(top, bottom, t));
    for (int x = 0; x < image_.width; ++x) image_.At(x, y) = v;
  }
}

void CCanvas::FillEllipse(float cx, float cy, float rx, float ry, const CColor& c, float angle,
                          float feather) {
  const float r = std::max(rx, ry) + feather + 1.0f;
  const int xa = static_cast<int>(std::floor(cx - r)), xb = static_cast<int>(std::ceil(cx + r));
  const int ya = static_cast<int>(std::floor(cy - r)), yb = static_cast<int>(std::ceil(cy + r));
  const float ca = std::cos(angle), sa = std::sin(angle);
  const float f = std::max(feather, 0.01f);
  for (int y = std::max(ya, 0); y <= std::min(yb, image_.height - 1); ++y) {
    for (int x = std::max(xa, 0); x <= std::min(xb, image_.width - 1); ++x) {
      const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
      const float lx = (dx * ca + dy * sa) / rx, ly = (-dx * sa + dy * ca) / ry;
      // Distance outside the rim, approximately in pixels.
      const float d = (std::sqrt(lx * lx + ly * ly) - 1.0f) * std::min(rx, ry);
      const float cov = std::clamp(0.5f - d / f, 0.0f, 1.0f);
      if (cov > 0.0f) Blend(x, y, c, cov);
    }
  }
}

void CCanvas::FillPolygon(const std::vector<CPoint>& points, const CColor& c) {
  if (points.size() < 3) return;
  float minY = points[0].y, maxY = points[0].y;
  for (const CPoint& p : points) {
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const int ya = std::max(static_cast<int>(std::floor(minY)), 0);
  const int yb = std::min(static_cast<int>(std::ceil(maxY)), image_.height - 1);
  constexpr int kSub = 4;
  struct Crossing {
    float x;
    int dir;
  };
  std::vector<Crossing> xs;
  const float w = static_cast<float>(image_.width);
  for (int y = ya; y <= yb; ++y) {
    std::fill(coverage_.begin(), coverage_.end(), 0.0f);
    bool any = false;
    for (int s = 0; s < kSub; ++s) {
      const float sy = static_cast<float>(y) + (static_cast<float>(s) + 0.5f) / kSub;
      xs.clear();
      for (size_t i = 0; i < points.size(); ++i) {
        const CPoint& a = points[i];
        const CPoint& b = points[(i + 1) % points.size()];
        if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy)) {
          const float t = (sy - a.y) / (b.y - a.y);
          xs.push_back({a.x + t * (b.x - a.x), b.y > a.y ? 1 : -1});
        }
      }
      std::sort(xs.begin(), xs.end(), [](const Crossing& p, const Crossing& q) { return p.x < q.x; });
      int winding = 0;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        winding += xs[i].dir;
        if (winding == 0) continue;
        const float x0 = std::clamp(xs[i].x, 0.0f, w), x1 = std::clamp(xs[i + 1].x, 0.0f, w);
        if (x1 <= x0) continue;
        any = true;
        const int p0 = static_cast<int>(x0), p1 = static_cast<int>(x1);
        if (p0 == p1) {
          coverage_[p0] += (x1 - x0) / kSub;
        } else {
          coverage_[p0] += (static_cast<float>(p0 + 1) - x0) / kSub;
          for (int p = p0 + 1; p < p1; ++p) coverage_[p] += 1.0f / kSub;
          coverage_[p1] += (x1 - static_cast<float>(p1)) / kSub;
        }
      }
    }
    if (!any) continue;
    for (int x = 0; x < image_.width; ++x)
      if (coverage_[x] > 0.0f) Blend(x, y, c, coverage_[x]);
  }
}

void CCanvas::Line(float x0, float y0, float x1, float y1, float width, const CColor& c) {
  const float hw = width * 0.5f;
  const int xa = std::max(static_cast<int>(std::floor(std::min(x0, x1) - hw - 1)), 0);
  const int xb = std::min(static_cast<int>(std::ceil(std::max(x0, x1) + hw + 1)), image_.width - 1);
  const int ya = std::max(static_cast<int>(std::floor(std::min(y0, y1) - hw - 1)), 0);
  const int yb = std::min(static_cast<int>(std::ceil(std::max(y0, y1) + hw + 1)), image_.height - 1);
  const float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
  for (int y = ya; y <= yb; ++y) {
    for (int x = xa; x <= xb; ++x) {
      const float px = static_cast<float>(x) + 0.5f - x0, py = static_cast<float>(y) + 0.5f - y0;
      const float t = len2 > 0.0f ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
      const float ex = px - t * dx, ey = py - t * dy;
      const float cov = std::clamp(hw + 0.5f - std::sqrt(ex * ex + ey * ey), 0.0f, 1.0f);
      if (cov > 0.0f) Blend(x, y, c, cov);
    }
  }
}

}  // namespace assetgen
