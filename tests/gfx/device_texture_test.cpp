// Stage 0 operations with a texture, sampler states, and a lit, textured, fogged scene saved
// as a picture for a person to look at.
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "gfx/device_fixture.h"

namespace gfxtest {
namespace {

class DeviceTextureTest : public DeviceTest {
 protected:
  TexturePtr MakeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& texels, uint32_t levels = 1) {
    TexturePtr t = device->CreateTexture(w, h, levels);
    EXPECT_TRUE(t);
    if (t) {
      EXPECT_TRUE(t->SetLevel(0, texels.data()));
    }
    return t;
  }
};

TEST_F(DeviceTextureTest, ModulateScalesTexelsByDiffuse) {
  TexturePtr t = MakeTexture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 64, 64, 0xFF808080);
  Read();
  EXPECT_EQ(Px(16, 16), 0x800000u);  // top left texel: red
  EXPECT_EQ(Px(48, 16), 0x008000u);
  EXPECT_EQ(Px(16, 48), 0x000080u);
  EXPECT_EQ(Px(48, 48), 0x808080u);
}

TEST_F(DeviceTextureTest, ModulateScalesAndAddOps) {
  TexturePtr t = MakeTexture(1, 1, {0xFF404040});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  DrawRect(0, 0, 16, 64, 0xFF808080);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE4X);
  DrawRect(16, 0, 32, 64, 0xFF808080);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
  DrawRect(32, 0, 48, 64, 0xFF404040);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  DrawRect(48, 0, 64, 64, 0xFF123456);
  Read();
  EXPECT_NEAR(static_cast<int>(Red(Px(8, 32))), 0x40, 1);   // 2 * 0.25 * 0.5
  EXPECT_NEAR(static_cast<int>(Red(Px(24, 32))), 0x81, 1);  // 4 * 0.25 * 0.5
  EXPECT_EQ(Red(Px(40, 32)), 0x80u);
  EXPECT_EQ(Px(56, 32), 0x123456u);  // CURRENT at stage 0 is the diffuse colour
}

TEST_F(DeviceTextureTest, AlphaFromTextureOrDiffuse) {
  TexturePtr t = MakeTexture(2, 1, {0x00FF0000, 0xFFFF0000});  // transparent red, opaque red
  device->SetTexture(0, t.get());
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->Clear(D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  DrawRect(0, 0, 64, 32, 0x00FFFFFF);  // default ALPHAOP SELECTARG1(TEXTURE): diffuse alpha unused
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  DrawRect(0, 32, 64, 64, 0x80FFFFFF);
  Read();
  EXPECT_EQ(Px(16, 16), 0x0000FFu);
  EXPECT_EQ(Px(48, 16), 0xFF0000u);
  EXPECT_EQ(Px(16, 48), 0x0000FFu);
  EXPECT_NEAR(static_cast<int>(Red(Px(48, 48))), 128, 1);
  EXPECT_NEAR(static_cast<int>(Blue(Px(48, 48))), 127, 1);
}

TEST_F(DeviceTextureTest, AddressModes) {
  TexturePtr t = MakeTexture(2, 1, {0xFFFF0000, 0xFF00FF00});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 64, 32, 0xFFFFFFFF, 0, 0, 0, 2, 1);  // wrap (default)
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  DrawRect(0, 32, 64, 64, 0xFFFFFFFF, 0, 0, 0, 2, 1);
  Read();
  EXPECT_EQ(Px(8, 16), 0xFF0000u);
  EXPECT_EQ(Px(24, 16), 0x00FF00u);
  EXPECT_EQ(Px(40, 16), 0xFF0000u);
  EXPECT_EQ(Px(56, 16), 0x00FF00u);
  EXPECT_EQ(Px(8, 48), 0xFF0000u);
  EXPECT_EQ(Px(24, 48), 0x00FF00u);
  EXPECT_EQ(Px(40, 48), 0x00FF00u);
  EXPECT_EQ(Px(56, 48), 0x00FF00u);
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
  DrawRect(0, 0, 64, 32, 0xFFFFFFFF, 0, 0, 0, 2, 1);
  Read();
  EXPECT_EQ(Px(40, 16), 0x00FF00u);  // mirrored second copy starts with green
}

TEST_F(DeviceTextureTest, PointAndLinearFiltering) {
  TexturePtr t = MakeTexture(2, 1, {0xFF000000, 0xFFFFFFFF});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  DrawRect(0, 0, 64, 32, 0xFFFFFFFF);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  DrawRect(0, 32, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(31, 16), 0u);
  EXPECT_EQ(Px(32, 16), 0xFFFFFFu);
  const int mid = static_cast<int>(Red(Px(31, 48)) + Red(Px(32, 48))) / 2;
  EXPECT_NEAR(mid, 128, 8);
  EXPECT_LT(Red(Px(2, 48)), 8u);
}

TEST_F(DeviceTextureTest, MaxMipLevelClampsTheDetail) {
  TexturePtr t = device->CreateTexture(2, 2, 2);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->Levels(), 2u);
  const std::vector<uint32_t> red(4, 0xFFFF0000);
  const uint32_t green = 0xFF00FF00;
  ASSERT_TRUE(t->SetLevel(0, red.data()));
  ASSERT_TRUE(t->SetLevel(1, &green));
  EXPECT_FALSE(t->SetLevel(2, &green));
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);  // magnified: level 0
  Read();
  EXPECT_EQ(Px(32, 32), 0xFF0000u);
  device->SetTextureStageState(0, D3DTSS_MAXMIPLEVEL, 1);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0x00FF00u);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);  // no mipmapping: level 0 only
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0xFF0000u);
}

TEST_F(DeviceTextureTest, UnbindingReturnsToDiffuse) {
  TexturePtr t = MakeTexture(1, 1, {0xFF0000FF});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 32, 64, 0xFFFFFFFF);
  device->SetTexture(0, nullptr);
  DrawRect(32, 0, 64, 64, 0xFFFFFF00);
  Read();
  EXPECT_EQ(Px(16, 32), 0x0000FFu);
  EXPECT_EQ(Px(48, 32), 0xFFFF00u);
}

TEST_F(DeviceTextureTest, BoundTextureStaysAliveWhileBound) {
  TexturePtr t = MakeTexture(1, 1, {0xFF00FF00});
  device->SetTexture(0, t.get());
  t.reset();  // the device's binding keeps it, as D3D's reference does
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0x00FF00u);
}

TEST_F(DeviceTextureTest, RejectsImpossibleTextures) {
  EXPECT_FALSE(device->CreateTexture(0, 4, 1));
  EXPECT_FALSE(device->CreateTexture(1u << 20, 4, 1));
  TexturePtr t = device->CreateTexture(8, 2, 0);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Levels(), 4u);  // 8x2, 4x1, 2x1, 1x1
  EXPECT_FALSE(t->SetLevel(0, nullptr));
}

// A lit, textured, fogged scene with a translucent overlay: written as a PNG for a person.
TEST_F(DeviceTextureTest, LitTexturedFoggedScene) {
  device = MakeDevice(320, 240);
  ASSERT_TRUE(device);
  // A checker texture with a mip chain.
  TexturePtr checker = device->CreateTexture(64, 64, 0);
  ASSERT_TRUE(checker);
  for (uint32_t l = 0; l < checker->Levels(); ++l) {
    const uint32_t s = std::max(1u, 64u >> l);
    std::vector<uint32_t> texels(s * s);
    for (uint32_t y = 0; y < s; ++y)
      for (uint32_t x = 0; x < s; ++x)
        texels[y * s + x] = (((x * 8 / s) + (y * 8 / s)) & 1) ? 0xFFE0E0E0 : 0xFF8040A0;
    if (s < 8) std::fill(texels.begin(), texels.end(), 0xFFB090C0);
    ASSERT_TRUE(checker->SetLevel(l, texels.data()));
  }
  device->SetTransform(D3DTS_PROJECTION,
                       gfxutil::MatrixPerspectiveFovLH(0.9f, 320.0f / 240.0f, 1.0f, 200.0f));
  device->SetTransform(D3DTS_VIEW, gfxutil::MatrixLookAtLH({0, 6, -12}, {0, 0, 10}, {0, 1, 0}));
  device->SetTransform(D3DTS_WORLD, Matrix{});
  Material m;
  m.Diffuse = {1, 1, 1, 1};
  m.Ambient = {1, 1, 1, 1};
  device->SetMaterial(m);
  Light l;
  l.Type = D3DLIGHT_POINT;
  l.Diffuse = {1.0f, 0.95f, 0.8f, 1};
  l.Ambient = {0.1f, 0.1f, 0.1f, 1};
  l.Position = {0, 4, 2};
  l.Range = 40;
  l.Attenuation0 = 0.2f;
  l.Attenuation1 = 0.05f;
  device->SetLight(0, l);
  device->LightEnable(0, true);
  device->SetRenderState(D3DRS_LIGHTING, 1);
  device->SetRenderState(D3DRS_AMBIENT, 0x00303030);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
  device->SetRenderState(D3DRS_FOGENABLE, 1);
  device->SetRenderState(D3DRS_FOGCOLOR, 0xFFB4B4FF);
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_RANGEFOGENABLE, 1);
  device->SetRenderStateF(D3DRS_FOGSTART, 15.0f);
  device->SetRenderStateF(D3DRS_FOGEND, 60.0f);
  for (auto f : {D3DTSS_MINFILTER, D3DTSS_MAGFILTER, D3DTSS_MIPFILTER})
    device->SetTextureStageState(0, f, D3DTEXF_LINEAR);
  device->SetTexture(0, checker.get());

  ASSERT_EQ(device->BeginScene(), D3D_OK);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFB4B4FF, 1.0f, 0);
  // Floor: a grid of 0x152 vertices (position, normal, diffuse, uv) in an index buffer.
  struct V {
    float x, y, z, nx, ny, nz;
    uint32_t c;
    float u, v;
  };
  const int n = 40;
  VertexBufferPtr vb = device->CreateVertexBuffer((n + 1) * (n + 1), 0x152);
  IndexBufferPtr ib = device->CreateIndexBuffer(n * n * 6);
  ASSERT_TRUE(vb && ib);
  auto* vv = static_cast<V*>(vb->Lock());
  for (int z = 0; z <= n; ++z)
    for (int x = 0; x <= n; ++x)
      vv[z * (n + 1) + x] = {x * 2.0f - n, 0, z * 2.0f - 14, 0, 1, 0, 0xFFFFFFFF, x * 0.5f, z * 0.5f};
  vb->Unlock();
  uint16_t* ii = ib->Lock();
  for (int z = 0; z < n; ++z)
    for (int x = 0; x < n; ++x) {
      const uint16_t a = static_cast<uint16_t>(z * (n + 1) + x), b = static_cast<uint16_t>(a + 1),
                     c = static_cast<uint16_t>(a + n + 1), d = static_cast<uint16_t>(c + 1);
      const uint16_t quad[6] = {a, c, d, a, d, b};  // clockwise seen from above
      std::copy(quad, quad + 6, ii);
      ii += 6;
    }
  ib->Unlock();
  device->SetStreamSource(vb.get());
  device->SetIndices(ib.get(), 0);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, (n + 1) * (n + 1), 0, n * n * 2), D3D_OK);

  // A textured, lit box hovering near the light.
  device->SetTransform(D3DTS_WORLD, gfxutil::MatrixMultiply(gfxutil::MatrixRotationY(0.6f),
                                                            gfxutil::MatrixTranslation(-2.5f, 1.5f, 4)));
  const float s = 1.5f;
  const float faces[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  for (const auto& f : faces) {
    const Vector3 nrm{f[0], f[1], f[2]};
    // Two axes spanning the face, ordered so the face winds clockwise seen from outside.
    const Vector3 up = std::fabs(nrm.y) > 0.5f ? Vector3{0, 0, 1} : Vector3{0, 1, 0};
    const Vector3 right = gfxutil::Vec3Cross(nrm, up);
    auto P = [&](float a, float b) { return (nrm + right * a + up * b) * s; };
    const Vector3 p[4] = {P(-1, 1), P(1, 1), P(1, -1), P(-1, -1)};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    V tri[6];
    const int order[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) {
      const int k = order[i];
      tri[i] = {p[k].x, p[k].y, p[k].z, nrm.x, nrm.y, nrm.z, 0xFFFFFFFF, uv[k][0], uv[k][1]};
    }
    device->SetVertexShader(0x152);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tri, sizeof(V)), D3D_OK);
  }

  // A translucent black band across the top, drawn as the 2D layer does.
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_FOGENABLE, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  DrawRect(0, 0, 320, 30, 0x80000000);
  ASSERT_EQ(device->EndScene(), D3D_OK);

  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/device_scene.png";
  ASSERT_TRUE(device->SaveScreenshot(path));
  Read();
  // Far away the floor melts into the fog colour; near the light it is lit and checkered.
  const uint32_t horizon = Px(160, 78);
  EXPECT_NEAR(static_cast<int>(Red(horizon)), 0xB4, 12);
  EXPECT_NEAR(static_cast<int>(Blue(horizon)), 0xFF, 12);
  // The band halves the sky colour.
  EXPECT_NEAR(static_cast<int>(Red(Px(300, 10))), 0xB4 / 2, 2);
  // Near floor shows both checker colours.
  uint32_t light = 0, dark = 255;
  for (uint32_t x = 0; x < 320; x += 2) {
    light = std::max(light, Green(Px(x, 220)));
    dark = std::min(dark, Green(Px(x, 220)));
  }
  EXPECT_GT(light, dark + 60);
}

}  // namespace
}  // namespace gfxtest

namespace gfxtest {
namespace {

// Drivers that hand a freed name out again (Mesa does not, most others do) must not fool the
// device's binding cache into taking the new object for the old one.
TEST_F(DeviceTextureTest, ReusedTextureNamesAreBoundAfresh) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  TexturePtr a = MakeTexture(1, 1, {0xFFFF0000});
  device->SetTexture(0, a.get());
  DrawRect(0, 0, 32, 64, 0xFFFFFFFF);
  device->SetTexture(0, nullptr);
  a.reset();
  TexturePtr b = MakeTexture(1, 1, {0xFF00FF00});
  device->SetTexture(0, b.get());
  DrawRect(32, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(16, 32), 0xFF0000u);
  EXPECT_EQ(Px(48, 32), 0x00FF00u);
}

TEST_F(DeviceTextureTest, ReusedBufferNamesAreBoundAfresh) {
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  auto fill = [](CVertexBuffer& vb, float x0, uint32_t color) {
    auto* v = static_cast<ScreenVertex*>(vb.Lock());
    v[0] = {x0, 0, 0, 1, color, 0, 0};
    v[1] = {x0 + 32, 0, 0, 1, color, 0, 0};
    v[2] = {x0 + 32, 64, 0, 1, color, 0, 0};
    v[3] = {x0, 64, 0, 1, color, 0, 0};
    vb.Unlock();
  };
  auto indices = [](CIndexBuffer& ib) {
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    std::copy(quad, quad + 6, ib.Lock());
    ib.Unlock();
  };
  VertexBufferPtr vb = device->CreateVertexBuffer(4, 0x144);
  IndexBufferPtr ib = device->CreateIndexBuffer(6);
  ASSERT_TRUE(vb && ib);
  fill(*vb, 0, 0xFFFF0000);
  indices(*ib);
  device->SetStreamSource(vb.get());
  device->SetIndices(ib.get(), 0);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
  device->SetStreamSource(nullptr);
  device->SetIndices(nullptr, 0);
  vb.reset();
  ib.reset();
  vb = device->CreateVertexBuffer(4, 0x144);
  ib = device->CreateIndexBuffer(6);
  ASSERT_TRUE(vb && ib);
  fill(*vb, 32, 0xFF00FF00);
  indices(*ib);
  device->SetStreamSource(vb.get());
  device->SetIndices(ib.get(), 0);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
  Read();
  EXPECT_EQ(Px(16, 32), 0xFF0000u);
  EXPECT_EQ(Px(48, 32), 0x00FF00u);
}

// Small blended draws that switch between two textures, a third one and none are gathered into
// few GL draws; the picture must be the one the draws give one by one, in order, also when a
// texture is rewritten or a state changes between them.
TEST_F(DeviceTextureTest, GatheredDrawsDrawWhatTheDrawsOneByOneDraw) {
  const std::vector<std::vector<uint32_t>> texels = {{0xFFFF0000, 0x80FF8000, 0x40FF0080, 0xC0FFFFFF},
                                                     {0xFF00FF00, 0x2000FF00, 0xA000FFFF, 0xFF008000},
                                                     {0xFF0000FF}};
  std::vector<TexturePtr> t = {MakeTexture(2, 2, texels[0]), MakeTexture(2, 2, texels[1]),
                               MakeTexture(1, 1, texels[2])};
  const uint32_t yellow = 0xFFFFFF00;
  auto scene = [&](bool shortcuts) {
    Hooks().SetShortcuts(shortcuts);
    for (size_t k = 0; k < t.size(); ++k) t[k]->SetLevel(0, texels[k].data());
    device->Clear(D3DCLEAR_TARGET, 0xFF202020, 1.0f, 0);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    Hooks().CountWork(true);
    for (int i = 0; i < 40; ++i) {
      device->SetTexture(0, i % 4 == 3 ? nullptr : t[size_t(i % 3)].get());
      if (i == 17) t[2]->SetLevel(0, &yellow);  // drawn just before: those draws stay blue
      if (i == 29) device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      const float x = float((i * 7) % 48), y = float((i * 5) % 44);
      DrawRect(x, y, x + 16, y + 20, 0xC0FFFFFFu - uint32_t(i) * 0x030507u);
    }
    device->SetTexture(0, nullptr);
    std::vector<uint32_t> picture;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(Hooks().ReadBackBuffer(picture, w, h));
    return std::make_pair(picture, Hooks().TakeWorkCounts().draws);
  };
  const auto [plain, plainDraws] = scene(false);
  const auto [quick, quickDraws] = scene(true);
  EXPECT_EQ(plainDraws, 40u);
  EXPECT_LT(quickDraws, 20u);  // gathered; a third texture, the upload and the state split them
  ASSERT_EQ(plain.size(), quick.size());
  int differing = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8)
      if (std::abs(int((plain[i] >> shift) & 0xFF) - int((quick[i] >> shift) & 0xFF)) > 1) {
        ++differing;
        break;
      }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(DeviceTextureTest, BorderAddressingSamplesTransparentBlackOutside) {
  // D3D8's border colour starts as 0: outside 0..1 the texture reads as transparent black,
  // where clamping repeats the edge texel.
  TexturePtr t = MakeTexture(1, 1, {0xFF00FF00});
  device->SetTexture(0, t.get());
  device->Clear(D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_BORDER);
  DrawRect(0, 0, 64, 32, 0xFFFFFFFF, 0, 0, 0, 2, 1);
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  DrawRect(0, 32, 64, 64, 0xFFFFFFFF, 0, 0, 0, 2, 1);
  Read();
  EXPECT_EQ(Px(8, 16), 0x00FF00u);
  EXPECT_EQ(Px(56, 16), 0u);
  EXPECT_EQ(Px(56, 48), 0x00FF00u);
}

TEST_F(DeviceTextureTest, TextureFactorFeedsTheStage) {
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80336699);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->Clear(D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0x336699u);
}

}  // namespace
}  // namespace gfxtest
