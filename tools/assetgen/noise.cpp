#include "noise.h"

#include <cmath>

namespace assetgen {

uint32_t CRandom::Next() {
  // splitmix64: fast, and the same sequence on every machine.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

float LatticeValue(int x, int y, uint32_t seed) {
  uint32_t h =
      static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

namespace {
int Wrap(int v, int period) {
  const int m = v % period;
  return m < 0 ? m + period : m;
}
float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }
}  // namespace

float ValueNoise(float x, float y, int period, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int x0 = Wrap(static_cast<int>(fx), period), y0 = Wrap(static_cast<int>(fy), period);
  const int x1 = Wrap(x0 + 1, period), y1 = Wrap(y0 + 1, period);
  const float tx = Smooth(x - fx), ty = Smooth(y - fy);
  const float a = LatticeValue(x0, y0, seed), b = LatticeValue(x1, y0, seed);
  const float c = LatticeValue(x0, y1, seed), d = LatticeValue(x1, y1, seed);
  const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

float TileFbm(float u, float v, int cells, int octaves, uint32_t seed) {
  float sum = 0.0f, weight = 0.5f, total = 0.0f;
  int period = cells;
  for (int i = 0; i < octaves; ++i) {
    sum += weight * ValueNoise(u * static_cast<float>(period), v * static_cast<float>(period), period,
                               seed + static_cast<uint32_t>(i) * 101u);
    total += weight;
    weight *= 0.5f;
    period *= 2;
  }
  return sum / total;
}

}  // namespace assetgen
