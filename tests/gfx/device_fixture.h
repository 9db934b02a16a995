// Shared set-up of the device tests: one hidden main window per program, a fresh reference
// device per test, and helpers that draw and read pixels back.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/os/window.h"
#include "support/reference_device.h"

namespace gfxtest {

using namespace gfx;

// 0x144: screen position, colour, texture coordinate.
struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
// 0x042: world position and colour.
struct ColorVertex {
  float x, y, z;
  uint32_t diffuse;
};
// 0x012: world position and normal.
struct NormalVertex {
  float x, y, z, nx, ny, nz;
};

inline uint32_t Red(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t Blue(uint32_t c) { return c & 0xFF; }

class DeviceTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kWidth = 64, kHeight = 64;

  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override { device.reset(); }

  static PresentParameters Params(uint32_t w, uint32_t h, bool windowed = true) {
    return testdev::ReferenceParams(w, h, windowed);
  }
  static std::unique_ptr<CDevice> MakeDevice(uint32_t w, uint32_t h, bool windowed = true) {
    return testdev::MakeReferenceDevice(w, h, windowed);
  }

  // The device's test hooks (the reference device has them).
  CDeviceTestHooks& Hooks() { return testdev::Hooks(*device); }
  // Reads the back buffer into `pixels`.
  void Read();
  uint32_t Px(uint32_t x, uint32_t y) const { return pixels[y * width + x] & 0xFFFFFF; }

  // A rectangle of two clockwise triangles in screen pixels.
  void DrawRect(float x0, float y0, float x1, float y1, uint32_t color, float z = 0.0f, float u0 = 0,
                float v0 = 0, float u1 = 1, float v1 = 1);
  // A square of half-size e centred on (cx, cy) at depth z in view space, facing the eye.
  void DrawSquare(float cx, float cy, float z, float e, uint32_t color);
  // Orthographic view onto x, y in [-1, 1], z in [0, 100].
  void UseOrtho();

  std::unique_ptr<CDevice> device;
  std::vector<uint32_t> pixels;
  uint32_t width = 0, height = 0;
};

}  // namespace gfxtest
