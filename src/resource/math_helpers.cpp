#include "resource/math_helpers.h"

#include <cmath>

namespace {
float g_sineTable[kSineTableSize];
}  // namespace

void BuildSineTable() {
  // Both factors are single-precision constants and their product is rounded before the sine.
  const float stepDegrees = 0.005494f;
  const float degreesToRadians = 0.017444445f;
  for (int i = 0; i < kSineTableSize; ++i) {
    float radians = static_cast<float>(i) * stepDegrees;
    radians = radians * degreesToRadians;
    g_sineTable[i] = static_cast<float>(std::sin(static_cast<double>(radians)));
  }
}

const float* SineTable() { return g_sineTable; }

float TableSin(uint16_t index) { return g_sineTable[index]; }

float TableCos(uint16_t index) { return g_sineTable[static_cast<uint16_t>(index + kCosineOffset)]; }

uint16_t SineIndexOfDegrees(float degrees) {
  // Out-of-range angles would make the float-to-int conversion undefined; clamp to a value
  // that keeps the 16-bit wrap meaningful for every angle a unit can hold.
  if (!(std::fabs(degrees) < 2.0e9f)) return 0;
  const int32_t whole = static_cast<int32_t>(degrees);
  return static_cast<uint16_t>(static_cast<uint32_t>(whole) * kSineStepsPerDegree);
}

bool TurnToward(float& angle, float target, float step) {
  float d = angle - target;
  if (d > kPi) d -= kTwoPi;
  if (d < -kPi) d += kTwoPi;
  if (d > 0) {
    angle -= step;
  } else if (d < 0) {
    angle += step;
  }
  if (step >= std::fabs(d)) {
    angle = target;
    return true;
  }
  return false;
}

namespace {
void Normalise(float& a) {
  for (int i = 0; i < 10000 && a > kTwoPi; ++i) a -= kTwoPi;
  for (int i = 0; i < 10000 && a < 0; ++i) a += kTwoPi;
}
}  // namespace

float AngleDifference(float& a, float& b) {
  Normalise(a);
  Normalise(b);
  float x = a - b;
  if (x > kPi) x -= kTwoPi;
  if (x < -kPi) x += kTwoPi;
  return x;
}

float Heading(float p0, float p1, float q0, float q1) { return std::atan2(p1 - q1, p0 - q0); }

gfxutil::Vector4 PointAlongWithOffset(const float direction[3], const gfxutil::Vector4& a,
                                      const gfxutil::Vector4& b, float s, float r, float t) {
  const float k = r * t;
  return {a.x + s * (b.x - a.x) - k * direction[0], a.y + s * (b.y - a.y) - k * direction[1],
          a.z + s * (b.z - a.z) - k * direction[2], 0.0f};
}

void ZeroVector4(gfxutil::Vector4& v) { v = gfxutil::Vector4(0, 0, 0, 0); }
