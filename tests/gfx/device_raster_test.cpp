// Where pretransformed quads land and how blending, culling, depth, fill and alpha test treat them.
#include <algorithm>
#include <utility>
#include <vector>

#include "gfx/device_fixture.h"

namespace gfxtest {
namespace {

using DeviceRasterTest = DeviceTest;

TEST_F(DeviceRasterTest, PretransformedQuadCoversExactlyItsPixels) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawRect(10, 20, 30, 40, 0xFFFFFFFF);
  Read();
  for (uint32_t y = 20; y < 40; ++y) {
    EXPECT_EQ(Px(10, y), 0xFFFFFFu) << y;
    EXPECT_EQ(Px(29, y), 0xFFFFFFu) << y;
    EXPECT_EQ(Px(9, y), 0u) << y;
    EXPECT_EQ(Px(30, y), 0u) << y;
  }
  for (uint32_t x = 10; x < 30; ++x) {
    EXPECT_EQ(Px(x, 20), 0xFFFFFFu) << x;
    EXPECT_EQ(Px(x, 39), 0xFFFFFFu) << x;
    EXPECT_EQ(Px(x, 19), 0u) << x;
    EXPECT_EQ(Px(x, 40), 0u) << x;
  }
}

TEST_F(DeviceRasterTest, VirtualScreenScaleCoversTheWholeTarget) {
  // The 2D layer's 640x480 scale onto a 64x64 target: y ends a hair short of 64.
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 640 * 0.0015625f * 64, 480 * 0.0020833f * 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(0, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(63, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(0, 63), 0xFFFFFFu);
  EXPECT_EQ(Px(63, 63), 0xFFFFFFu);
}

TEST_F(DeviceRasterTest, PretransformedFollowsTheViewport) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  Viewport vp;
  vp.X = 16;
  vp.Y = 8;
  vp.Width = 32;
  vp.Height = 32;
  device->SetViewport(vp);
  // Screen coordinates stay those of the render target.
  DrawRect(20, 10, 24, 14, 0xFF00FF00);
  Read();
  EXPECT_EQ(Px(20, 10), 0x00FF00u);
  EXPECT_EQ(Px(23, 13), 0x00FF00u);
  EXPECT_EQ(Px(19, 10), 0u);
  EXPECT_EQ(Px(24, 13), 0u);
}

TEST_F(DeviceRasterTest, HalfAlphaBlackOverWhiteIsHalfGrey) {
  device->Clear(D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  DrawRect(0, 0, 64, 64, 0x80000000);
  Read();
  EXPECT_NEAR(static_cast<int>(Red(Px(32, 32))), 127, 1);
  EXPECT_NEAR(static_cast<int>(Green(Px(5, 60))), 127, 1);
}

TEST_F(DeviceRasterTest, UnboundStagePassesDiffuseAlpha) {
  // Default stage 0 (colour MODULATE(TEXTURE, CURRENT), alpha SELECTARG1(TEXTURE)) with no
  // texture: the stage is off and the vertex alpha blends. A white stand-in texture would
  // give opaque black here.
  device->Clear(D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTexture(0, nullptr);
  DrawRect(0, 0, 64, 64, 0x40FF0000);
  Read();
  const uint32_t c = Px(32, 32);
  EXPECT_EQ(Red(c), 255u);
  EXPECT_NEAR(static_cast<int>(Green(c)), 191, 1);  // 0.75 of white remains
}

TEST_F(DeviceRasterTest, UnboundStageWithOnlyAlphaReadingTextureSamplesZero) {
  // The colour op ignores the texture, so the stage runs; its alpha reads a null texture.
  device->Clear(D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  DrawRect(0, 0, 64, 64, 0xFF000000);
  Read();
  EXPECT_EQ(Px(32, 32), 0xFFFFFFu);  // alpha 0: nothing drawn
}

TEST_F(DeviceRasterTest, CullModesFollowScreenWinding) {
  // Clockwise on screen (y down), then the same triangle counter-clockwise.
  const ScreenVertex cw[3] = {
      {8, 8, 0, 1, 0xFFFF0000, 0, 0}, {56, 8, 0, 1, 0xFFFF0000, 0, 0}, {8, 56, 0, 1, 0xFFFF0000, 0, 0}};
  const ScreenVertex ccw[3] = {cw[0], cw[2], cw[1]};
  device->SetVertexShader(0x144);
  struct Case {
    uint32_t cull;
    bool cwShown, ccwShown;
  } cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
  for (const Case& c : cases) {
    device->SetRenderState(D3DRS_CULLMODE, c.cull);
    device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ScreenVertex));
    Read();
    EXPECT_EQ(Px(16, 16) != 0, c.cwShown) << "cull " << c.cull;
    device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ScreenVertex));
    Read();
    EXPECT_EQ(Px(16, 16) != 0, c.ccwShown) << "cull " << c.cull;
  }
}

TEST_F(DeviceRasterTest, DepthTestKeepsTheNearerQuad) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 40, 40, 0xFFFF0000, 0.2f);
  DrawRect(20, 20, 64, 64, 0xFF00FF00, 0.8f);
  Read();
  EXPECT_EQ(Px(30, 30), 0xFF0000u);  // the far green quad lost
  EXPECT_EQ(Px(50, 50), 0x00FF00u);
  // Equal depth passes under the default LESSEQUAL.
  DrawRect(0, 0, 10, 10, 0xFF0000FF, 0.2f);
  Read();
  EXPECT_EQ(Px(5, 5), 0x0000FFu);
  // Depth test off: the far quad draws over.
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  DrawRect(20, 20, 64, 64, 0xFF00FF00, 0.8f);
  Read();
  EXPECT_EQ(Px(30, 30), 0x00FF00u);
}

TEST_F(DeviceRasterTest, DepthWriteOffLeavesTheDepthBuffer) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  DrawRect(0, 0, 64, 64, 0xFFFF0000, 0.2f);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  DrawRect(0, 0, 64, 64, 0xFF00FF00, 0.8f);
  Read();
  EXPECT_EQ(Px(32, 32), 0x00FF00u);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
  DrawRect(0, 0, 64, 64, 0xFF0000FF, 0.5f);
  Read();
  EXPECT_EQ(Px(32, 32), 0x00FF00u);  // 0.5 is not greater than 0.8
}

TEST_F(DeviceRasterTest, WireframeDrawsEdgesOnly) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  DrawRect(10, 10, 50, 50, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(30, 10), 0xFFFFFFu);  // top edge
  EXPECT_EQ(Px(10, 30), 0xFFFFFFu);  // left edge
  EXPECT_EQ(Px(30, 30), 0xFFFFFFu);  // the shared diagonal is an edge too
  EXPECT_EQ(Px(40, 20), 0u);         // inside either triangle
  EXPECT_EQ(Px(20, 40), 0u);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  DrawRect(10, 10, 50, 50, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(40, 20), 0xFFFFFFu);
}

TEST_F(DeviceRasterTest, AlphaTestDiscardsByEightBitCompare) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device->SetRenderState(D3DRS_ALPHAREF, 0x80);
  DrawRect(0, 0, 32, 64, 0x80FF0000);   // equal: fails GREATER
  DrawRect(32, 0, 64, 64, 0x81FF0000);  // one step above: passes
  Read();
  EXPECT_EQ(Px(16, 32), 0u);
  EXPECT_EQ(Px(48, 32), 0xFF0000u);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  DrawRect(0, 0, 32, 64, 0x80FF0000);
  Read();
  EXPECT_EQ(Px(16, 32), 0xFF0000u);
}

TEST_F(DeviceRasterTest, FlatShadingTakesTheFirstVertexColour) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  const ScreenVertex v[3] = {
      {8, 8, 0, 1, 0xFFFF0000, 0, 0}, {56, 8, 0, 1, 0xFF00FF00, 0, 0}, {8, 56, 0, 1, 0xFF0000FF, 0, 0}};
  device->SetVertexShader(0x144);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ScreenVertex));
  Read();
  EXPECT_EQ(Px(40, 12), 0xFF0000u);
  EXPECT_EQ(Px(12, 40), 0xFF0000u);
  device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ScreenVertex));
  Read();
  EXPECT_GT(Green(Px(40, 12)), 128u);
}

TEST_F(DeviceRasterTest, RejectsBadDraws) {
  const ScreenVertex v[3] = {};
  device->SetVertexShader(0x144);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 28), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 12),
            D3DERR_INVALIDCALL);  // shorter than the format
  EXPECT_EQ(device->DrawPrimitiveUP(static_cast<PrimitiveType>(99), 1, v, 28), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL);  // no buffers
}

TEST_F(DeviceRasterTest, ManyUserDrawsWrapTheStreamingBuffer) {
  // Far more than the streaming buffer holds in one pass; every draw must still land.
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  std::vector<ScreenVertex> big(30000, ScreenVertex{0, 0, 0, 1, 0, 0, 0});
  device->SetVertexShader(0x144);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 10000, big.data(), sizeof(ScreenVertex)), D3D_OK);
  }
  DrawRect(0, 0, 8, 8, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(4, 4), 0xFFFFFFu);
}

TEST_F(DeviceRasterTest, IndexedDrawUsesBaseVertex) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  VertexBufferPtr vb = device->CreateVertexBuffer(8, 0x144);
  IndexBufferPtr ib = device->CreateIndexBuffer(6);
  ASSERT_TRUE(vb && ib);
  ASSERT_EQ(vb->Stride(), 28u);
  auto* v = static_cast<ScreenVertex*>(vb->Lock());
  // Vertices 0-3: a red square on the left; 4-7: a green square on the right.
  const float xs[2] = {0, 32};
  const uint32_t colors[2] = {0xFFFF0000, 0xFF00FF00};
  for (int q = 0; q < 2; ++q) {
    v[q * 4 + 0] = {xs[q], 0, 0, 1, colors[q], 0, 0};
    v[q * 4 + 1] = {xs[q] + 32, 0, 0, 1, colors[q], 0, 0};
    v[q * 4 + 2] = {xs[q] + 32, 64, 0, 1, colors[q], 0, 0};
    v[q * 4 + 3] = {xs[q], 64, 0, 1, colors[q], 0, 0};
  }
  vb->Unlock();
  uint16_t* idx = ib->Lock();
  const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  std::copy(quad, quad + 6, idx);
  ib->Unlock();
  device->SetStreamSource(vb.get());
  device->SetIndices(ib.get(), 4);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
  Read();
  EXPECT_EQ(Px(48, 32), 0x00FF00u);
  EXPECT_EQ(Px(16, 32), 0u);
  device->SetIndices(ib.get(), 0);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 1), D3D_OK);  // second triangle only
  Read();
  EXPECT_EQ(Px(4, 40), 0xFF0000u);
  EXPECT_EQ(Px(28, 8), 0u);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2),
            D3DERR_INVALIDCALL);  // past the end
}

TEST_F(DeviceRasterTest, BuffersOutlivingTheirDeviceAreHarmless) {
  VertexBufferPtr vb = device->CreateVertexBuffer(3, 0x144);
  TexturePtr tex = device->CreateTexture(4, 4, 0);
  ASSERT_TRUE(vb && tex);
  EXPECT_EQ(tex->Levels(), 3u);
  device->SetStreamSource(vb.get());
  device.reset();
  const uint32_t texel[16] = {};
  EXPECT_FALSE(tex->SetLevel(0, texel));
  vb->Unlock();
  vb.reset();
  tex.reset();
  device = MakeDevice(kWidth, kHeight);
  ASSERT_TRUE(device);
}

// With its shortcuts on the device leaves out indexed draws whose vertices all lie beyond one
// side of the view, and the pieces of a long triangle list that do. Nothing that would show may
// go: squares across an edge or just inside it are drawn, the picture is the plain device's, and a
// vertex buffer rewritten into view is drawn.
TEST_F(DeviceRasterTest, DrawsBeyondTheViewAreLeftOutAndNothingElse) {
  // Squares as (centre x, centre y, depth, half size, colour); the view is x, y in [-1, 1], depth
  // 0..100.
  struct Square {
    float x, y, z, e;
    uint32_t color;
  };
  const Square squares[] = {
      {0.0f, 0.0f, 50, 0.3f, 0xFFFF0000},    // in view
      {-1.5f, 0.0f, 50, 0.3f, 0xFF00FF00},   // left of it
      {-1.1f, 0.5f, 50, 0.3f, 0xFF0000FF},   // across the left edge
      {0.0f, -0.6f, 150, 0.3f, 0xFFFFFF00},  // beyond the far plane
      {0.6f, 0.6f, -10, 0.3f, 0xFF00FFFF},   // before the near plane
      {1.2f, -0.5f, 50, 0.24f, 0xFFFF00FF},  // its left edge a pixel inside the right side
  };
  const uint32_t n = sizeof squares / sizeof squares[0];
  // Each in buffers of its own, as each model has.
  std::vector<VertexBufferPtr> vbs;
  std::vector<IndexBufferPtr> ibs;
  auto place = [&](uint32_t i, const Square& q) {
    auto* v = static_cast<ColorVertex*>(vbs[i]->Lock());
    v[0] = {q.x - q.e, q.y + q.e, q.z, q.color};
    v[1] = {q.x + q.e, q.y + q.e, q.z, q.color};
    v[2] = {q.x + q.e, q.y - q.e, q.z, q.color};
    v[3] = {q.x - q.e, q.y - q.e, q.z, q.color};
    vbs[i]->Unlock();
  };
  for (uint32_t i = 0; i < n; ++i) {
    vbs.push_back(device->CreateVertexBuffer(4, D3DFVF_XYZ | D3DFVF_DIFFUSE));
    ibs.push_back(device->CreateIndexBuffer(6));
    ASSERT_TRUE(vbs[i] && ibs[i]);
    place(i, squares[i]);
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    std::copy(quad, quad + 6, ibs[i]->Lock());
    ibs[i]->Unlock();
  }
  // A row of 48 small squares in one list, from far left of the view into it: its first 16
  // squares (32 triangles) lie beyond the left side, the next 16 cross it.
  constexpr uint16_t kRow = 48;
  auto rowVb = device->CreateVertexBuffer(kRow * 4, D3DFVF_XYZ | D3DFVF_DIFFUSE);
  auto rowIb = device->CreateIndexBuffer(kRow * 6);
  ASSERT_TRUE(rowVb && rowIb);
  auto* rv = static_cast<ColorVertex*>(rowVb->Lock());
  uint16_t* ri = rowIb->Lock();
  for (uint16_t k = 0; k < kRow; ++k) {
    const float x = -4.0f + 0.1f * k, y = 0.8f;
    for (int c = 0; c < 4; ++c)
      rv[k * 4 + c] = {x + ((c == 1 || c == 2) ? 0.04f : -0.04f), y + (c < 2 ? 0.04f : -0.04f), 30,
                       0xFFFFFFFF};
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    for (int c = 0; c < 6; ++c) ri[k * 6 + c] = static_cast<uint16_t>(k * 4 + quad[c]);
  }
  rowVb->Unlock();
  rowIb->Unlock();

  auto scene = [&](bool shortcuts) {
    Hooks().SetShortcuts(shortcuts);
    UseOrtho();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    Hooks().CountWork(true);
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    for (uint32_t i = 0; i < n; ++i) {
      device->SetStreamSource(vbs[i].get());
      device->SetIndices(ibs[i].get(), 0);
      EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    }
    device->SetStreamSource(rowVb.get());
    device->SetIndices(rowIb.get(), 0);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kRow * 4, 0, kRow * 2), D3D_OK);
    std::vector<uint32_t> picture;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(Hooks().ReadBackBuffer(picture, w, h));
    return std::make_pair(picture, Hooks().TakeWorkCounts());
  };
  const auto [plain, plainCounts] = scene(false);
  const auto [quick, quickCounts] = scene(true);
  EXPECT_EQ(plainCounts.culledDraws, 0u);
  EXPECT_EQ(quickCounts.culledDraws, 3u);
  EXPECT_EQ(quickCounts.culledTriangles, 6u + 32u);
  EXPECT_EQ(quick, plain);
  EXPECT_EQ(quick[6 * kWidth + kWidth / 2 + 3] & 0xFFFFFF, 0xFFFFFFu);  // the row shows
  // The square across the right side shows its column of pixels at the edge.
  EXPECT_EQ(quick[48 * kWidth + kWidth - 1] & 0xFFFFFF, 0xFF00FFu);

  // The square left of the view, moved into it.
  place(1, {0.5f, -0.5f, 40, 0.2f, 0xFF00FF00});
  const auto [moved, movedCounts] = scene(true);
  EXPECT_EQ(movedCounts.culledDraws, 2u);
  EXPECT_EQ(moved[48 * kWidth + 48] & 0xFFFFFF, 0x00FF00u);
  device->SetStreamSource(nullptr);
  device->SetIndices(nullptr, 0);
}

TEST_F(DeviceRasterTest, BothAlphaSourceBlendsSetTheDestinationFactorToo) {
  // A quarter-alpha black quad over white; the destination blend asked for is overridden.
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  const struct {
    uint32_t srcBlend;
    int grey;
  } cases[] = {{D3DBLEND_BOTHSRCALPHA, 191}, {D3DBLEND_BOTHINVSRCALPHA, 64}};
  for (const auto& c : cases) {
    device->SetRenderState(D3DRS_SRCBLEND, c.srcBlend);
    device->Clear(D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    DrawRect(0, 0, 64, 64, 0x40000000);
    Read();
    EXPECT_NEAR(static_cast<int>(Red(Px(32, 32))), c.grey, 1) << "source blend " << c.srcBlend;
  }
  // SRCALPHASAT: min(source alpha, 1 - destination alpha), nothing over an opaque target.
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHASAT);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->Clear(D3DCLEAR_TARGET, 0xFF404040, 1.0f, 0);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0x404040u);
}

TEST_F(DeviceRasterTest, EachPrimitiveKindDrawsItsShape) {
  const uint32_t kRed = 0xFFFF0000;
  auto at = [&](float x, float y) { return ScreenVertex{x, y, 0, 1, kRed, 0, 0}; };
  device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  auto draw = [&](PrimitiveType type, uint32_t count, const std::vector<ScreenVertex>& v) {
    device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    EXPECT_EQ(device->DrawPrimitiveUP(type, count, v.data(), sizeof(ScreenVertex)), D3D_OK) << type;
    Read();
  };
  // Two triangles of a strip and of a fan each fill the square 8..56; a fan read as a strip
  // would leave its left middle empty, a strip read as a list its lower right.
  draw(D3DPT_TRIANGLESTRIP, 2, {at(8, 8), at(56, 8), at(8, 56), at(56, 56)});
  for (auto [x, y] : {std::pair{10u, 10u}, {53u, 10u}, {10u, 53u}, {53u, 53u}, {10u, 32u}})
    EXPECT_EQ(Px(x, y), 0xFF0000u) << "strip " << x << "," << y;
  EXPECT_EQ(Px(60, 60), 0u);
  draw(D3DPT_TRIANGLEFAN, 2, {at(8, 8), at(56, 8), at(56, 56), at(8, 56)});
  for (auto [x, y] : {std::pair{10u, 10u}, {53u, 10u}, {10u, 53u}, {53u, 53u}, {10u, 32u}})
    EXPECT_EQ(Px(x, y), 0xFF0000u) << "fan " << x << "," << y;
  // Lines: a list of two separate rows, and a strip bending down a column.
  auto lit = [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    int n = 0;
    for (uint32_t y = y0; y <= y1; ++y)
      for (uint32_t x = x0; x <= x1; ++x) n += Px(x, y) != 0;
    return n;
  };
  draw(D3DPT_LINELIST, 2, {at(4, 10), at(60, 10), at(4, 40), at(60, 40)});
  EXPECT_GT(lit(30, 9, 30, 11), 0);
  EXPECT_GT(lit(30, 39, 30, 41), 0);
  EXPECT_EQ(lit(0, 20, 63, 30), 0) << "nothing joins the two lines";
  draw(D3DPT_LINESTRIP, 2, {at(4, 10), at(40, 10), at(40, 60)});
  EXPECT_GT(lit(20, 9, 20, 11), 0);
  EXPECT_GT(lit(39, 35, 41, 35), 0);
  EXPECT_EQ(lit(0, 30, 30, 63), 0);
  // Points: one pixel each, nothing between them.
  draw(D3DPT_POINTLIST, 2, {at(16, 16), at(48, 48)});
  EXPECT_GT(lit(15, 15, 17, 17), 0);
  EXPECT_GT(lit(47, 47, 49, 49), 0);
  EXPECT_EQ(lit(20, 20, 44, 44), 0);
}

}  // namespace
}  // namespace gfxtest
