// Deterministic randomness for the generators: a seeded generator and tileable value noise.
// Nothing here depends on the machine, the clock or the standard library's distributions.
#pragma once
#include <cstdint>

namespace assetgen {

class CRandom {
 public:
  explicit CRandom(uint64_t seed) : state_(seed) {}
  uint32_t Next();
  // Uniform in [0, 1).
  float Uniform() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
  float Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }
  // Uniform integer in [lo, hi].
  int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }

 private:
  uint64_t state_;
};

// A well-mixed hash of a lattice point, in [0, 1).
float LatticeValue(int x, int y, uint32_t seed);
// Smooth value noise in [0, 1) that repeats every `period` units in x and y.
float ValueNoise(float x, float y, int period, uint32_t seed);
// Sum of `octaves` layers of value noise (each twice the frequency, half the weight), in [0, 1).
// (u, v) in [0, 1) covers one tile; `cells` is the coarsest layer's lattice count per tile.
float TileFbm(float u, float v, int cells, int octaves, uint32_t seed);

}  // namespace assetgen
