// Creation, formats, state bookkeeping, loss and presentation of the graphics device.
#include <cstdio>

#include "gfx/device_fixture.h"
#include "platform/gfx/present_rect.h"

namespace gfxtest {
namespace {

TEST(FvfTest, StridesOfTheFormatsInUse) {
  EXPECT_EQ(FvfStride(0x144), 28u);  // screen vertex
  EXPECT_EQ(FvfStride(0x142), 24u);  // world quad
  EXPECT_EQ(FvfStride(0x152), 36u);  // mesh: position, normal, diffuse, uv
  EXPECT_EQ(FvfStride(0x112), 32u);  // position, normal, uv
  EXPECT_EQ(FvfStride(0x116), 36u);  // one blend weight
  EXPECT_EQ(FvfStride(0x118), 40u);  // two blend weights
  EXPECT_EQ(FvfStride(D3DFVF_XYZB3 | D3DFVF_NORMAL | D3DFVF_TEX1), 44u);
  EXPECT_EQ(FvfStride(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR), 24u);
  EXPECT_EQ(FvfStride(0), 0u);
}

TEST(FvfTest, BlendWeightCounts) {
  EXPECT_EQ(FvfBlendWeights(0x112), 0u);
  EXPECT_EQ(FvfBlendWeights(0x144), 0u);
  EXPECT_EQ(FvfBlendWeights(0x116), 1u);
  EXPECT_EQ(FvfBlendWeights(0x118), 2u);
  EXPECT_EQ(FvfBlendWeights(D3DFVF_XYZB3), 3u);
  EXPECT_EQ(FvfBlendWeights(D3DFVF_XYZB4), 4u);
}

// A resized window and the full-screen desktop alike show the picture with its aspect kept.
TEST(PresentRectTest, KeepsTheAspectWithBars) {
  PresentRect r = ComputePresentRect(640, 480, 1920, 1080);  // pillar box
  EXPECT_EQ(r.width, 1440);
  EXPECT_EQ(r.height, 1080);
  EXPECT_EQ(r.x, 240);
  EXPECT_EQ(r.y, 0);
  r = ComputePresentRect(800, 300, 1024, 768);  // letter box
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.height, 384);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 192);
  r = ComputePresentRect(640, 480, 1280, 960);  // same aspect: no bars
  EXPECT_EQ(r.width, 1280);
  EXPECT_EQ(r.height, 960);
  r = ComputePresentRect(640, 480, 0, 0);
  EXPECT_EQ(r.width, 0);
}

using DeviceCreateTest = DeviceTest;

TEST_F(DeviceCreateTest, BackBufferFormatsAsD3DChecksThem) {
  device.reset();
  PresentParameters pp = Params(32, 32, false);
  pp.BackBufferFormat = D3DFMT_D16;
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_SW, D3DCREATE_HARDWARE_VERTEXPROCESSING));
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  pp = Params(32, 32, true);
  pp.BackBufferFormat = D3DFMT_D16;
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  pp.BackBufferFormat = D3DFMT_R5G6B5;
  EXPECT_TRUE(CDevice::Create(pp, D3DDEVTYPE_SW, D3DCREATE_SOFTWARE_VERTEXPROCESSING));
}

TEST_F(DeviceCreateTest, NeedsExactlyOneVertexProcessingKind) {
  device.reset();
  const PresentParameters pp = Params(32, 32);
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_REF, 0));
  EXPECT_FALSE(CDevice::Create(pp, D3DDEVTYPE_REF,
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING));
  EXPECT_TRUE(CDevice::Create(pp, D3DDEVTYPE_REF, D3DCREATE_MIXED_VERTEXPROCESSING));
}

TEST_F(DeviceCreateTest, DesktopModeAndCaps) {
  Format f = D3DFMT_UNKNOWN;
  ASSERT_TRUE(CDevice::GetAdapterDisplayMode(f));
  EXPECT_TRUE(f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5);
  Caps caps;
  caps.MaxVertexBlendMatrices = 0;
  device->GetDeviceCaps(caps);
  EXPECT_EQ(caps.MaxVertexBlendMatrices, 4u);
}

TEST_F(DeviceCreateTest, ZeroSizedWindowedBackBufferTakesTheClientArea) {
  device.reset();
  device = MakeDevice(0, 0);
  ASSERT_TRUE(device);
  Read();
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  const Viewport vp = device->GetViewport();
  EXPECT_EQ(vp.Width, kWidth);
  EXPECT_EQ(vp.Height, kHeight);
}

using DeviceStateTest = DeviceTest;

TEST_F(DeviceStateTest, DefaultsAreD3D8s) {
  device = MakeDevice(16, 16);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE), D3DZB_TRUE);
  EXPECT_EQ(device->GetRenderState(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(device->GetRenderState(D3DRS_CULLMODE), D3DCULL_CCW);
  EXPECT_EQ(device->GetRenderState(D3DRS_ZFUNC), D3DCMP_LESSEQUAL);
  EXPECT_EQ(device->GetRenderState(D3DRS_LIGHTING), 1u);
  EXPECT_EQ(device->GetRenderState(D3DRS_SRCBLEND), D3DBLEND_ONE);
  EXPECT_EQ(device->GetRenderState(D3DRS_DESTBLEND), D3DBLEND_ZERO);
  EXPECT_EQ(device->GetRenderState(D3DRS_FILLMODE), D3DFILL_SOLID);
  EXPECT_EQ(device->GetRenderState(D3DRS_COLORVERTEX), 1u);
  EXPECT_EQ(device->GetRenderState(D3DRS_SOFTWAREVERTEXPROCESSING), 1u);
  EXPECT_FLOAT_EQ(BitsFloat(device->GetRenderState(D3DRS_FOGEND)), 1.0f);
  EXPECT_FLOAT_EQ(BitsFloat(device->GetRenderState(D3DRS_FOGDENSITY)), 1.0f);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_ALPHAOP), D3DTOP_SELECTARG1);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
  EXPECT_EQ(device->GetTextureStageState(1, D3DTSS_COLOROP), D3DTOP_DISABLE);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_MINFILTER), D3DTEXF_POINT);
}

TEST_F(DeviceStateTest, StatesReadBackWhatWasSet) {
  device->SetRenderStateF(D3DRS_FOGSTART, 2000.0f);
  EXPECT_FLOAT_EQ(BitsFloat(device->GetRenderState(D3DRS_FOGSTART)), 2000.0f);
  device->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 2);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_MAXMIPLEVEL), 2u);
  Material m;
  m.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
  m.Power = 7;
  device->SetMaterial(m);
  EXPECT_FLOAT_EQ(device->GetMaterial().Diffuse.b, 0.3f);
  EXPECT_FLOAT_EQ(device->GetMaterial().Power, 7.0f);
  // Out-of-range states are ignored, not written past the table.
  device->SetRenderState(static_cast<RenderState>(5000), 1);
  EXPECT_EQ(device->GetRenderState(static_cast<RenderState>(5000)), 0u);
}

TEST_F(DeviceStateTest, MultiplyTransformPremultiplies) {
  const Matrix t = gfxutil::MatrixTranslation(1, 2, 3);
  const Matrix s = gfxutil::MatrixScaling(2, 2, 2);
  device->SetTransform(D3DTS_WORLD1, t);
  device->MultiplyTransform(D3DTS_WORLD1, s);
  // state = m * state: scale first, then translate.
  const Matrix expect = gfxutil::MatrixMultiply(s, t);
  EXPECT_EQ(device->GetTransform(D3DTS_WORLD1), expect);
  EXPECT_EQ(device->GetTransform(D3DTS_WORLDMATRIX(1)), expect);
  device->SetTransform(D3DTS_VIEW, s);
  EXPECT_EQ(device->GetTransform(D3DTS_VIEW), s);
  EXPECT_EQ(device->GetTransform(D3DTS_WORLD), Matrix{});
}

TEST_F(DeviceStateTest, SceneBracketsPair) {
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(DeviceStateTest, ClearKeepsToTheViewport) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  Viewport vp;
  vp.X = 8;
  vp.Y = 4;
  vp.Width = 16;
  vp.Height = 8;
  device->SetViewport(vp);
  device->Clear(D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  Read();
  EXPECT_EQ(Px(8, 4), 0xFF0000u);
  EXPECT_EQ(Px(23, 11), 0xFF0000u);
  EXPECT_EQ(Px(7, 4), 0u);
  EXPECT_EQ(Px(24, 11), 0u);
  EXPECT_EQ(Px(8, 3), 0u);
  EXPECT_EQ(Px(8, 12), 0u);
  // A viewport outside the target is refused.
  Viewport bad = vp;
  bad.Width = 1000;
  device->SetViewport(bad);
  EXPECT_EQ(device->GetViewport().Width, 16u);
}

using DeviceLostTest = DeviceTest;

TEST_F(DeviceLostTest, LostThenNotResetThenReset) {
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(device->Present(), D3D_OK);
  device->SimulateDeviceLost(true, false);
  EXPECT_EQ(device->Present(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Reset(Params(kWidth, kHeight)), D3DERR_DEVICELOST);
  device->SimulateDeviceLost(true, true);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device->Present(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Reset(Params(kWidth, kHeight)), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(device->Present(), D3D_OK);
}

TEST_F(DeviceLostTest, ResetRestoresDefaultsAndKeepsManagedTextures) {
  TexturePtr tex = device->CreateTexture(1, 1, 1);
  ASSERT_TRUE(tex);
  const uint32_t blue = 0xFF0000FF;
  ASSERT_TRUE(tex->SetLevel(0, &blue));
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SimulateDeviceLost(true, true);
  ASSERT_EQ(device->Reset(Params(32, 16)), D3D_OK);
  EXPECT_EQ(device->GetRenderState(D3DRS_CULLMODE), D3DCULL_CCW);
  EXPECT_EQ(device->GetViewport().Width, 32u);
  EXPECT_EQ(device->GetViewport().Height, 16u);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device->SetTexture(0, tex.get());
  DrawRect(0, 0, 32, 16, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(width, 32u);
  EXPECT_EQ(height, 16u);
  EXPECT_EQ(Px(16, 8), 0x0000FFu);
}

TEST_F(DeviceLostTest, DrawsWhileLostAreDropped) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SimulateDeviceLost(true, false);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  device->SimulateDeviceLost(false, false);
  Read();
  EXPECT_EQ(Px(32, 32), 0u);
}

// Steps a host loop runs only to catch up draw nothing and succeed; a loss still shows.
TEST_F(DeviceLostTest, StepsNotDrawnLeaveThePictureAndStillReportALoss) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetDrawing(false);
  EXPECT_EQ(device->Clear(D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  EXPECT_EQ(device->Present(), D3D_OK);
  Read();
  EXPECT_EQ(Px(32, 32), 0u);
  device->SimulateDeviceLost(true, true);
  EXPECT_EQ(device->Present(), D3DERR_DEVICELOST);
  device->SimulateDeviceLost(false, false);
  device->SetDrawing(true);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0xFFFFFFu);
}

// A window whose shape differs from the back buffer's (the player resized it) shows the whole
// picture scaled across its width, with bars above and below.
TEST_F(DeviceTest, WindowedPresentKeepsTheAspectInAnyWindow) {
  device = MakeDevice(16, 8);
  ASSERT_TRUE(device);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->CapturePresents(true);
  device->Clear(D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  ASSERT_EQ(device->Present(), D3D_OK);
  std::vector<uint32_t> shown;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(device->ReadLastPresent(shown, w, h));
  ASSERT_EQ(w, kWidth);
  ASSERT_EQ(h, kHeight);
  const auto at = [&](uint32_t x, uint32_t y) { return shown[y * w + x] & 0xFFFFFF; };
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(w - 1, h - 1), 0u);
  EXPECT_EQ(at(0, h / 2), 0x00FF00u);
  EXPECT_EQ(at(w - 1, h / 2), 0x00FF00u);
  EXPECT_EQ(at(w / 2, h / 4 + 1), 0x00FF00u);  // the picture is 64 x 32 from row 16
  EXPECT_EQ(at(w / 2, h / 4 - 2), 0u);
}

TEST_F(DeviceTest, ScreenshotWritesAPng) {
  device->Clear(D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/device_clear.png";
  std::remove(path.c_str());
  ASSERT_TRUE(device->SaveScreenshot(path));
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_TRUE(f);
  unsigned char sig[8] = {};
  EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
  std::fclose(f);
  EXPECT_EQ(sig[1], 'P');
  EXPECT_EQ(sig[2], 'N');
  EXPECT_EQ(sig[3], 'G');
  EXPECT_FALSE(device->SaveScreenshot("/nonexistent-dir/x.png"));
}

// Full screen: a desktop-sized window showing the back buffer with its aspect kept.
class FullScreenPresentTest : public ::testing::Test {
 protected:
  static intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }
};

TEST_F(FullScreenPresentTest, LetterboxesAWideBackBuffer) {
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelGfxTest", Proc));
  ASSERT_TRUE(os::CreateMainWindow("gfx full screen", 320, 240, false));
  PresentParameters pp;
  pp.BackBufferWidth = 64;
  pp.BackBufferHeight = 16;  // far wider than any desktop
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.Windowed = false;
  pp.EnableAutoDepthStencil = true;
  auto dev = CDevice::Create(pp, D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
  ASSERT_TRUE(dev);
  dev->CapturePresents(true);
  dev->Clear(D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  ASSERT_EQ(dev->Present(), D3D_OK);
  std::vector<uint32_t> shown;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(dev->ReadLastPresent(shown, w, h));
  ASSERT_GT(w, 0u);
  ASSERT_GT(h, 0u);
  // The image is w x w/4, centred: black above and below, red in the middle, full width.
  const uint32_t imageH = w / 4;
  ASSERT_LT(imageH + 4, h);
  EXPECT_EQ(shown[0] & 0xFFFFFF, 0u);
  EXPECT_EQ(shown[(h - 1) * w] & 0xFFFFFF, 0u);
  EXPECT_EQ(shown[(h / 2) * w] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shown[(h / 2) * w + w - 1] & 0xFFFFFF, 0xFF0000u);
  const uint32_t top = (h - imageH) / 2;
  EXPECT_EQ(shown[(top - 2) * w + w / 2] & 0xFFFFFF, 0u);
  EXPECT_EQ(shown[(top + 2) * w + w / 2] & 0xFFFFFF, 0xFF0000u);
  dev.reset();
}

}  // namespace
}  // namespace gfxtest
