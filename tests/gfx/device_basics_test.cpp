// Creation, formats, state bookkeeping, loss and presentation of the graphics device.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gfx/device_fixture.h"
#include "platform/gfx/present_rect.h"
#include "support/scratch_dir.h"

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
  EXPECT_EQ(device->GetRenderState(D3DRS_LOCALVIEWER), 1u);
  EXPECT_EQ(device->GetRenderState(D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
  EXPECT_EQ(device->GetRenderState(D3DRS_DIFFUSEMATERIALSOURCE), D3DMCS_COLOR1);
  EXPECT_EQ(device->GetRenderState(D3DRS_SPECULARMATERIALSOURCE), D3DMCS_COLOR2);
  EXPECT_EQ(device->GetRenderState(D3DRS_AMBIENTMATERIALSOURCE), D3DMCS_MATERIAL);
  EXPECT_EQ(device->GetRenderState(D3DRS_EMISSIVEMATERIALSOURCE), D3DMCS_MATERIAL);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_ALPHAOP), D3DTOP_SELECTARG1);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
  EXPECT_EQ(device->GetTextureStageState(1, D3DTSS_COLOROP), D3DTOP_DISABLE);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_MINFILTER), D3DTEXF_POINT);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
  EXPECT_EQ(device->GetTextureStageState(1, D3DTSS_TEXCOORDINDEX), 1u);
  EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_MAXANISOTROPY), 1u);
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
  Hooks().SimulateDeviceLost(true, false);
  EXPECT_EQ(device->Present(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Reset(Params(kWidth, kHeight)), D3DERR_DEVICELOST);
  Hooks().SimulateDeviceLost(true, true);
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
  Hooks().SimulateDeviceLost(true, true);
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
  Hooks().SimulateDeviceLost(true, false);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Hooks().SimulateDeviceLost(false, false);
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
  Hooks().SimulateDeviceLost(true, true);
  EXPECT_EQ(device->Present(), D3DERR_DEVICELOST);
  Hooks().SimulateDeviceLost(false, false);
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
  Hooks().CapturePresents(true);
  device->Clear(D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  ASSERT_EQ(device->Present(), D3D_OK);
  std::vector<uint32_t> shown;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(Hooks().ReadLastPresent(shown, w, h));
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

// A back buffer the size of the window is drawn in the window's own buffer on a software
// rasteriser: the picture is still there to read after the present (F12 comes between frames),
// and when the window shrinks under it the frame still shows, scaled, as do the next ones.
TEST_F(DeviceTest, PictureOutlivesThePresentAndAWindowResize) {
  Hooks().CapturePresents(true);
  device->Clear(D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  DrawRect(0, 0, kWidth / 2, kHeight, 0xFFFF0000);
  ASSERT_EQ(device->Present(), D3D_OK);
  Read();
  EXPECT_EQ(pixels[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(pixels.back() & 0xFFFFFF, 0x0000FFu);

  ASSERT_TRUE(os::ResizeMainWindow(kWidth / 2, kHeight));
  std::vector<uint32_t> shown;
  uint32_t w = 0, h = 0;
  for (const uint32_t color : {0xFF00FF00u, 0xFFFFFF00u}) {
    device->Clear(D3DCLEAR_TARGET, color, 1.0f, 0);
    ASSERT_EQ(device->Present(), D3D_OK);
    ASSERT_TRUE(Hooks().ReadLastPresent(shown, w, h));
    ASSERT_EQ(w, kWidth / 2);
    ASSERT_EQ(h, kHeight);
    // A square picture in a tall window: bars above and below.
    EXPECT_EQ(shown[(h / 2) * w + w / 2] & 0xFFFFFF, color & 0xFFFFFF);
    EXPECT_EQ(shown[2 * w + w / 2] & 0xFFFFFF, 0u);
    Read();
    EXPECT_EQ(pixels[0] & 0xFFFFFF, color & 0xFFFFFF);
  }
  ASSERT_TRUE(os::ResizeMainWindow(kWidth, kHeight));
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
  testdev::Hooks(*dev).CapturePresents(true);
  dev->Clear(D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  ASSERT_EQ(dev->Present(), D3D_OK);
  std::vector<uint32_t> shown;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(testdev::Hooks(*dev).ReadLastPresent(shown, w, h));
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

// Programs are saved as driver binaries and read back on the next start. What a player relies
// on: the picture is the same either way, and a damaged or stale saved file costs a compile,
// never a wrong picture or a crash.
class ProgramStoreTest : public DeviceTest {
 protected:
  // A few program forms: a lit, fogged, textured square and a pretransformed textured one.
  std::vector<uint32_t> DrawForms(WorkCounts& counts) {
    Hooks().CountWork(true);
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    TexturePtr t = device->CreateTexture(2, 2, 1);
    EXPECT_TRUE(t && t->SetLevel(0, texels));
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101010, 1.0f, 0);
    device->BeginScene();
    device->SetTexture(0, t.get());
    DrawRect(4, 4, 28, 28, 0xFFFFFFFF);
    UseOrtho();
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_AMBIENT, 0x00404040);
    Material m;
    m.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
    m.Ambient = {1, 1, 1, 1};
    device->SetMaterial(m);
    Light light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0.3f, -0.2f, 1.0f};
    device->SetLight(0, light);
    device->LightEnable(0, true);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_FOGCOLOR, 0x000000FF);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderStateF(D3DRS_FOGSTART, 0.0f);
    device->SetRenderStateF(D3DRS_FOGEND, 100.0f);
    struct V {
      float x, y, z, nx, ny, nz, u, v;
    };
    const V v[6] = {{0.1f, 0.9f, 40, 0, 0, -1, 0, 0}, {0.9f, 0.1f, 40, 0, 0, -1, 1, 1},
                    {0.1f, 0.1f, 40, 0, 0, -1, 0, 1}, {0.1f, 0.9f, 40, 0, 0, -1, 0, 0},
                    {0.9f, 0.9f, 40, 0, 0, -1, 1, 0}, {0.9f, 0.1f, 40, 0, 0, -1, 1, 1}};
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(V)), D3D_OK);
    device->EndScene();
    Read();
    counts = Hooks().TakeWorkCounts();
    device->SetTexture(0, nullptr);
    return pixels;
  }
  // The saved files, by name and content.
  static std::vector<std::pair<std::string, std::vector<uint8_t>>> Saved(const std::string& folder) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
      files.emplace_back(e.path().string(), ReadFileBytes(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(ProgramStoreTest, SavedProgramsDrawAsCompiledOnesAndDamagedOnesAreCompiledAgain) {
  CScratchGameDir scratch("program_store");
  const char* before = std::getenv("XDG_CACHE_HOME");
  const std::string previous = before ? before : "";
  setenv("XDG_CACHE_HOME", scratch.Path().c_str(), 1);
  const std::string folder = scratch.Path() + "/brimmel/gl-programs";

  device = MakeDevice(kWidth, kHeight);  // nothing saved yet: every program is compiled, then saved
  ASSERT_TRUE(device);
  WorkCounts first;
  const std::vector<uint32_t> compiled = DrawForms(first);
  ASSERT_GE(first.programsBuilt, 2u);
  EXPECT_EQ(first.programsCompiled, first.programsBuilt);
  auto saved = Saved(folder);
  ASSERT_EQ(saved.size(), first.programsBuilt);

  device = MakeDevice(kWidth, kHeight);  // a later start reads them all
  WorkCounts second;
  EXPECT_EQ(DrawForms(second), compiled);
  EXPECT_EQ(second.programsBuilt, first.programsBuilt);
  EXPECT_EQ(second.programsCompiled, 0u);

  // One file with a flipped byte in the binary, one cut short, one holding something else.
  ASSERT_GE(saved.size(), 2u);
  auto write = [](const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  std::vector<uint8_t> flipped = saved[0].second;
  flipped[flipped.size() / 2 + 20] ^= 0x5A;
  write(saved[0].first, flipped);
  write(saved[1].first, std::vector<uint8_t>(saved[1].second.begin(), saved[1].second.begin() + 40));
  for (size_t i = 2; i < saved.size(); ++i) write(saved[i].first, std::vector<uint8_t>(64, 0xFF));
  device = MakeDevice(kWidth, kHeight);
  WorkCounts damaged;
  EXPECT_EQ(DrawForms(damaged), compiled);
  EXPECT_EQ(damaged.programsCompiled, damaged.programsBuilt);
  EXPECT_EQ(Saved(folder), saved);  // compiled and saved anew

  device = MakeDevice(kWidth, kHeight);
  WorkCounts repaired;
  EXPECT_EQ(DrawForms(repaired), compiled);
  EXPECT_EQ(repaired.programsCompiled, 0u);

  device.reset();
  if (before) {
    setenv("XDG_CACHE_HOME", previous.c_str(), 1);
  } else {
    unsetenv("XDG_CACHE_HOME");
  }
}

}  // namespace
}  // namespace gfxtest
