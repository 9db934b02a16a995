// Steady-state frames must not touch the heap: counts the C++ allocations our own code makes
// while drawing (the GL driver's shader compiler allocates as it likes and is not counted).
#include <vector>

#include "gfx/device_fixture.h"
#include "support/allocation_counter.h"

namespace gfxtest {
namespace {

using DeviceAllocTest = DeviceTest;

TEST_F(DeviceAllocTest, SteadyFramesAllocateNothing) {
#ifndef BRIMMEL_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting needs the plain build";
#else
  TexturePtr tex = device->CreateTexture(4, 4, 0);
  ASSERT_TRUE(tex);
  VertexBufferPtr vb = device->CreateVertexBuffer(4, 0x144);
  IndexBufferPtr ib = device->CreateIndexBuffer(6);
  ASSERT_TRUE(vb && ib);
  uint16_t* idx = ib->Lock();
  const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  std::copy(quad, quad + 6, idx);
  ib->Unlock();
  Light l;
  l.Type = D3DLIGHT_POINT;
  l.Range = 10;
  l.Attenuation0 = 1;
  device->SetLight(0, l);
  device->LightEnable(0, true);
  UseOrtho();
  auto frame = [&](int i) {
    device->BeginScene();
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetTransform(D3DTS_WORLD, gfxutil::MatrixTranslation(0.01f * i, 0, 0));
    device->SetTexture(0, tex.get());
    DrawSquare(0, 0, 2, 0.5f, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, i % 2 ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    DrawRect(0, 0, 32, 32, 0x80FFFFFF);
    device->SetStreamSource(vb.get());
    device->SetIndices(ib.get(), 0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
    device->SetTexture(0, nullptr);
    DrawRect(32, 32, 64, 64, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->EndScene();
    device->Present();
  };
  for (int i = 0; i < 4; ++i) frame(i);  // both filter samplers and every program exist now
  testalloc::StartCounting();
  for (int i = 0; i < 20; ++i) frame(i);
  testalloc::StopCounting();
  EXPECT_EQ(testalloc::Counted(), 0);
  // The counter itself works: a vector made here is seen.
  testalloc::StartCounting();
  auto* probe = new std::vector<int>(8);
  testalloc::StopCounting();
  delete probe;
  EXPECT_GE(testalloc::Counted(), 1);
#endif
}

}  // namespace
}  // namespace gfxtest
