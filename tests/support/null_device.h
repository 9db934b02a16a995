// A device that draws nothing: states, transforms and buffers are kept so the game's calls behave
// as on a real device, but nothing is recorded and no GL is touched. For long runs (soak, sweeps,
// frame benchmarks) where a recording device would grow without bound. Steady frames on it
// allocate nothing.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"

namespace testdev {

class CNullDevice : public gfx::CDevice {
 public:
  void GetDeviceCaps(gfx::Caps& caps) const override { caps = gfx::Caps{}; }
  gfx::Result TestCooperativeLevel() override { return gfx::D3D_OK; }
  gfx::Result BeginScene() override;
  gfx::Result EndScene() override;
  gfx::Result Clear(uint32_t, gfx::Color, float, uint32_t) override { return gfx::D3D_OK; }
  gfx::Result Present() override;
  gfx::Result Reset(const gfx::PresentParameters&) override { return gfx::D3D_OK; }
  void SetViewport(const gfx::Viewport& vp) override { viewport_ = vp; }
  gfx::Viewport GetViewport() const override { return viewport_; }
  void SetRenderState(gfx::RenderState state, uint32_t value) override;
  uint32_t GetRenderState(gfx::RenderState state) const override;
  void SetTextureStageState(uint32_t stage, gfx::TextureStageState type, uint32_t value) override;
  uint32_t GetTextureStageState(uint32_t stage, gfx::TextureStageState type) const override;
  void SetTransform(gfx::TransformState state, const gfx::Matrix& m) override;
  gfx::Matrix GetTransform(gfx::TransformState state) const override;
  void MultiplyTransform(gfx::TransformState state, const gfx::Matrix& m) override;
  void SetMaterial(const gfx::Material& m) override { material_ = m; }
  gfx::Material GetMaterial() const override { return material_; }
  void SetLight(uint32_t, const gfx::Light&) override {}
  void LightEnable(uint32_t, bool) override {}
  void SetTexture(uint32_t, gfx::CTexture*) override {}
  void SetVertexShader(uint32_t) override {}
  gfx::Result DrawPrimitiveUP(gfx::PrimitiveType type, uint32_t count, const void* vertices,
                              uint32_t stride) override;
  // Bound buffers are kept alive while bound, as on the real device.
  void SetStreamSource(gfx::CVertexBuffer* vb) override;
  void SetIndices(gfx::CIndexBuffer* ib, uint32_t baseVertexIndex) override;
  gfx::Result DrawIndexedPrimitive(gfx::PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                                   uint32_t startIndex, uint32_t primitiveCount) override;
  gfx::TexturePtr CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  gfx::VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) override;
  gfx::IndexBufferPtr CreateIndexBuffer(uint32_t count) override;
  bool SaveScreenshot(const std::string&) override { return false; }

  // What was submitted, so callers can see the game really drew.
  uint64_t presents = 0;
  uint64_t primitives = 0;
  uint64_t badDraws = 0;  // draws with no vertices, no bound buffers or indices out of range
  int sceneDepth = 0;     // BeginScene without EndScene

 private:
  std::array<uint32_t, gfx::D3DRS_MAX> renderStates_{};
  std::array<uint32_t, gfx::D3DTSS_MAX> stageStates_{};
  gfx::Matrix view_, projection_;
  std::array<gfx::Matrix, 4> world_{};
  gfx::Material material_{};
  gfx::Viewport viewport_{};
  std::shared_ptr<gfx::CVertexBuffer> stream_;
  std::shared_ptr<gfx::CIndexBuffer> indices_;
  uint32_t baseVertex_ = 0;
};

// Installs CNullDevice as what InitGraphics creates (and an X8R8G8B8 desktop). LastNullDevice is
// the one made most recently, owned by the graphics services: valid until they shut down.
void UseNullDevice();
void RestoreRealDevice();
CNullDevice* LastNullDevice();

}  // namespace testdev
