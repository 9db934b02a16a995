#include "gfx/device_fixture.h"

namespace gfxtest {

namespace {
intptr_t TestProc(uint32_t, uintptr_t, intptr_t) { return 0; }
}  // namespace

void DeviceTest::SetUpTestSuite() {
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelGfxTest", TestProc));
  ASSERT_TRUE(os::CreateMainWindow("gfx test", kWidth, kHeight, true));
}

// The window stays until the process ends: destroying the last GL window unloads the GL driver,
// and the leak checker could then no longer tell the driver's own leftovers by library name.
void DeviceTest::TearDownTestSuite() {}

void DeviceTest::SetUp() {
  device = MakeDevice(kWidth, kHeight);
  ASSERT_TRUE(device) << "no reference device";
  device->SetRenderState(D3DRS_LIGHTING, 0);
}

void DeviceTest::Read() { ASSERT_TRUE(Hooks().ReadBackBuffer(pixels, width, height)); }

void DeviceTest::DrawRect(float x0, float y0, float x1, float y1, uint32_t color, float z, float u0, float v0,
                          float u1, float v1) {
  const ScreenVertex v[6] = {
      {x0, y0, z, 1, color, u0, v0}, {x1, y1, z, 1, color, u1, v1}, {x0, y1, z, 1, color, u0, v1},
      {x0, y0, z, 1, color, u0, v0}, {x1, y0, z, 1, color, u1, v0}, {x1, y1, z, 1, color, u1, v1},
  };
  device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
}

void DeviceTest::DrawSquare(float cx, float cy, float z, float e, uint32_t color) {
  // Clockwise as seen by an eye looking down +z with y up.
  const ColorVertex v[6] = {
      {cx - e, cy + e, z, color}, {cx + e, cy - e, z, color}, {cx - e, cy - e, z, color},
      {cx - e, cy + e, z, color}, {cx + e, cy + e, z, color}, {cx + e, cy - e, z, color},
  };
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColorVertex)), D3D_OK);
}

void DeviceTest::UseOrtho() {
  Matrix p;  // x, y unchanged; z / 100 into D3D's 0..1 depth
  p.m[2][2] = 0.01f;
  device->SetTransform(D3DTS_PROJECTION, p);
  device->SetTransform(D3DTS_VIEW, Matrix{});
  device->SetTransform(D3DTS_WORLD, Matrix{});
}

}  // namespace gfxtest
