// Angle helpers and the program-wide sine table shared by units, cameras and collision.
// Angles are radians unless a name says degrees; the table has 65,536 steps of about
// 0.005494 degrees, looked up at whole degrees x 182 with 16-bit wrap.
#pragma once
#include <cstdint>

#include "platform/gfxutil/math.h"

// The game's own approximations of a turn and a half turn, as single-precision floats.
inline constexpr float kTwoPi = 6.283f;
inline constexpr float kPi = 3.141f;

inline constexpr int kSineTableSize = 65536;
inline constexpr uint16_t kCosineOffset = 16384;
inline constexpr int kSineStepsPerDegree = 182;

// Fills the table; called once during graphics start-up, before any reader.
void BuildSineTable();

const float* SineTable();
// Raw table entries by 16-bit index; the cosine is a quarter table further on.
float TableSin(uint16_t index);
float TableCos(uint16_t index);
// Index of a whole-degree angle: integer part of the degrees x 182, modulo 65536.
uint16_t SineIndexOfDegrees(float degrees);

// Turns `angle` one `step` toward `target` the short way; true (and angle = target) on arrival.
bool TurnToward(float& angle, float target, float step);
// Normalises both angles into [0, kTwoPi] (at most 10000 steps each) and returns a - b
// wrapped to about +-kPi.
float AngleDifference(float& a, float& b);
// Direction from Q to P in the plane of the two coordinates given: atan2(p1 - q1, p0 - q0).
float Heading(float p0, float p1, float q0, float q1);
// A + s (B - A) - (r t) D, with w = 0.
gfxutil::Vector4 PointAlongWithOffset(const float direction[3], const gfxutil::Vector4& a,
                                      const gfxutil::Vector4& b, float s, float r, float t);
void ZeroVector4(gfxutil::Vector4& v);
