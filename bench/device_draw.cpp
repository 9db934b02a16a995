// Cost of the device's draw path on the machine's GL: small quads drawn from user memory with
// state changes between them (as the 2D layer and particles do), and indexed mesh draws that
// are lit and fogged. A tiny target keeps rasterisation out of the figure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/os/window.h"

namespace {

intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }

struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t c;
  float u, v;
};

void Quad(gfx::CDevice& d, float x, float y, uint32_t c) {
  const ScreenVertex v[6] = {{x, y, 0, 1, c, 0, 0},     {x + 4, y + 4, 0, 1, c, 1, 1},
                             {x, y + 4, 0, 1, c, 0, 1}, {x, y, 0, 1, c, 0, 0},
                             {x + 4, y, 0, 1, c, 1, 0}, {x + 4, y + 4, 0, 1, c, 1, 1}};
  d.SetVertexShader(0x144);
  d.DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  if (!os::InitSystem() || !os::RegisterWindowClass("BrimmelBench", Proc) ||
      !os::CreateMainWindow("bench", 64, 64, true)) {
    return 1;
  }
  gfx::PresentParameters pp;
  pp.BackBufferWidth = 64;
  pp.BackBufferHeight = 64;
  pp.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
  pp.Windowed = true;
  pp.EnableAutoDepthStencil = true;
  auto dev = gfx::CDevice::Create(pp, gfx::D3DDEVTYPE_REF, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
  if (!dev) return 1;
  gfx::TexturePtr tex = dev->CreateTexture(8, 8, 1);
  gfx::TexturePtr tex2 = dev->CreateTexture(8, 8, 1);
  std::vector<uint32_t> texels(64, 0xFFFFFFFF);
  tex->SetLevel(0, texels.data());
  tex2->SetLevel(0, texels.data());

  // A 16x16 grid mesh with normals, drawn lit and fogged.
  struct V {
    float x, y, z, nx, ny, nz;
    uint32_t c;
    float u, v;
  };
  const int n = 16;
  gfx::VertexBufferPtr vb = dev->CreateVertexBuffer((n + 1) * (n + 1), 0x152);
  gfx::IndexBufferPtr ib = dev->CreateIndexBuffer(n * n * 6);
  auto* vv = static_cast<V*>(vb->Lock());
  for (int z = 0; z <= n; ++z)
    for (int x = 0; x <= n; ++x)
      vv[z * (n + 1) + x] = {x * 0.1f - 0.8f, z * 0.1f - 0.8f, 2, 0, 0, -1, 0xFFFFFFFF, 0, 0};
  vb->Unlock();
  uint16_t* ii = ib->Lock();
  for (int z = 0; z < n; ++z)
    for (int x = 0; x < n; ++x) {
      const uint16_t a = static_cast<uint16_t>(z * (n + 1) + x), c = static_cast<uint16_t>(a + n + 1);
      const uint16_t q[6] = {
          a, c, static_cast<uint16_t>(c + 1), a, static_cast<uint16_t>(c + 1), static_cast<uint16_t>(a + 1)};
      for (int k = 0; k < 6; ++k) *ii++ = q[k];
    }
  ib->Unlock();
  gfx::Light light;
  light.Type = gfx::D3DLIGHT_POINT;
  light.Diffuse = {1, 1, 1, 1};
  light.Range = 100;
  light.Attenuation0 = 1;
  dev->SetLight(0, light);
  dev->LightEnable(0, true);

  const int frames = 60;
  int quads = 1000, meshes = 100;
  bool toggle = true, swapOnly = false;
  auto frame = [&] {
    dev->BeginScene();
    dev->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev->SetRenderState(gfx::D3DRS_LIGHTING, 1);
    dev->SetRenderState(gfx::D3DRS_FOGENABLE, 1);
    dev->SetRenderState(gfx::D3DRS_FOGVERTEXMODE, gfx::D3DFOG_LINEAR);
    dev->SetRenderState(gfx::D3DRS_ZENABLE, 1);
    dev->SetTexture(0, tex.get());
    dev->SetStreamSource(vb.get());
    dev->SetIndices(ib.get(), 0);
    for (int i = 0; i < meshes; ++i) {
      dev->SetTransform(gfx::D3DTS_WORLD, gfxutil::MatrixTranslation(0.001f * i, 0, 0));
      dev->DrawIndexedPrimitive(gfx::D3DPT_TRIANGLELIST, 0, (n + 1) * (n + 1), 0, n * n * 2);
    }
    dev->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    dev->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
    dev->SetRenderState(gfx::D3DRS_ZENABLE, 0);
    dev->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_SRCALPHA);
    dev->SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_INVSRCALPHA);
    for (int i = 0; i < quads; ++i) {
      dev->SetTexture(0, (toggle && (i & 1)) ? (swapOnly ? tex2.get() : nullptr) : tex.get());
      Quad(*dev, static_cast<float>(i % 60), static_cast<float>((i / 60) % 60), 0x80FFFFFF);
    }
    dev->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 0);
    dev->EndScene();
    dev->Present();
  };
  auto measure = [&](const char* name, int q, int m, bool t) {
    quads = q;
    meshes = m;
    toggle = t;
    for (int i = 0; i < 5; ++i) frame();  // programs compiled, driver variants built
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) frame();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / frames;
    std::printf("%s: %.2f ms\n", name, ms);
    return ms;
  };
  const double empty = measure("device_frame_empty", 0, 0, false);
  const double sprites = measure("device_frame_1000_quads", 1000, 0, false);
  const double mixed = measure("device_frame_1000_quads_texture_toggling", 1000, 0, true);
  swapOnly = true;
  const double swapped = measure("device_frame_1000_quads_two_textures", 1000, 0, true);
  swapOnly = false;
  std::printf("device_quad_draw_texture_swap: %.2f us\n", (swapped - empty) * 1000.0 / 1000);
  const double meshFrame = measure("device_frame_100_lit_fogged_meshes", 0, 100, false);
  std::printf("device_quad_draw: %.2f us\n", (sprites - empty) * 1000.0 / 1000);
  std::printf("device_quad_draw_with_state_change: %.2f us\n", (mixed - empty) * 1000.0 / 1000);
  std::printf("device_mesh_draw_578_triangles: %.2f us\n", (meshFrame - empty) * 1000.0 / 100);
  dev.reset();
  return 0;
}
