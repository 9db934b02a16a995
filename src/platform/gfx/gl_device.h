// CDevice on OpenGL 3.3 core: D3D8 state kept as D3D values, turned into GL state, program
// choice and uniforms just before each draw, sending only what changed. The device is a façade
// over parts with one job each, which it owns and hands what they need:
//   state_cache.h        the D3D state as set
//   fixed_function.h     that state as a program's key and uniform values (gl_fixed_function.h
//                        sends them)
//   gl_pipeline.h        GL's own state, changed only where it differs
//   draw_batch.h         small draws from memory gathered into one (gl_upload_ring.h carries them)
//   view_cull.h          indexed draws, or pieces of them, left out beyond the view
//   gl_back_buffer.h     the back buffer, the present and the pictures read back
//   gl_context.h         the GL context, and making a device on it
#pragma once
#include <SDL.h>

#include <array>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/draw_batch.h"
#include "platform/gfx/fixed_function.h"
#include "platform/gfx/gl_back_buffer.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_index_buffer.h"
#include "platform/gfx/gl_pipeline.h"
#include "platform/gfx/gl_shader_cache.h"
#include "platform/gfx/gl_texture.h"
#include "platform/gfx/gl_upload_ring.h"
#include "platform/gfx/gl_vertex_buffer.h"
#include "platform/gfx/state_cache.h"
#include "platform/gfx/view_cull.h"

namespace gfx {

class CGlDevice final : public CDevice, public CDeviceTestHooks {
 public:
  // nullptr when the context lacks what the device needs or the back buffer cannot be made.
  static std::unique_ptr<CGlDevice> Make(SDL_Window* window, std::unique_ptr<CGlContext> context,
                                         const PresentParameters& pp, uint32_t behaviorFlags);
  ~CGlDevice() override;

  void GetDeviceCaps(Caps& caps) const override;
  Result TestCooperativeLevel() override;
  Result BeginScene() override;
  Result EndScene() override;
  Result Clear(uint32_t flags, Color color, float z, uint32_t stencil) override;
  Result Present() override;
  Result Reset(const PresentParameters& pp) override;
  void SetViewport(const Viewport& vp) override;
  Viewport GetViewport() const override { return state_.GetViewport(); }

  void SetRenderState(RenderState state, uint32_t value) override;
  uint32_t GetRenderState(RenderState state) const override;
  void SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) override;
  uint32_t GetTextureStageState(uint32_t stage, TextureStageState type) const override;
  void SetTransform(TransformState state, const Matrix& m) override;
  Matrix GetTransform(TransformState state) const override { return state_.Transform(state); }
  void MultiplyTransform(TransformState state, const Matrix& m) override;
  void SetMaterial(const Material& material) override;
  Material GetMaterial() const override { return state_.GetMaterial(); }
  void SetLight(uint32_t index, const Light& light) override;
  void LightEnable(uint32_t index, bool enable) override;
  void SetTexture(uint32_t stage, CTexture* texture) override;
  void SetVertexShader(uint32_t fvf) override { fvf_ = fvf; }

  Result DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                         uint32_t stride) override;
  void SetStreamSource(CVertexBuffer* vb) override;
  void SetIndices(CIndexBuffer* ib, uint32_t baseVertexIndex) override;
  Result DrawIndexedPrimitive(PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                              uint32_t startIndex, uint32_t primitiveCount) override;

  TexturePtr CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) override;
  IndexBufferPtr CreateIndexBuffer(uint32_t count) override;

  bool SaveScreenshot(const std::string& pngPath) override;
  void SetDrawing(bool on) override;
  bool ResizeBackBuffer(uint32_t width, uint32_t height) override;

  // CDeviceTestHooks
  bool ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) override;
  void SimulateDeviceLost(bool lost, bool resettable) override;
  void CapturePresents(bool on) override { backBuffer_.CapturePresents(on); }
  void ScribbleAfterSwap(bool on) override { backBuffer_.ScribbleAfterSwap(on); }
  bool ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) override {
    return backBuffer_.ReadLastPresent(argb, width, height);
  }
  void CountWork(bool on) override;
  WorkCounts TakeWorkCounts() override;
  void SetShortcuts(bool on) override;

 private:
  CGlDevice(SDL_Window* window, std::unique_ptr<CGlContext> context, uint32_t behaviorFlags);
  void ResetState();
  // Program, uniforms, GL state and textures for a draw of this format; `batched`: the gathered
  // draw, with its textures.
  bool Prepare(uint32_t fvf, bool batched = false);
  // Sends the gathered draws.
  void Flush();
  void CountDraw(GLenum mode, uint32_t vertices);
  bool CheckContextReset();
  // Drawing is dropped quietly, as D3D drops it on a lost device.
  bool Dropping() const { return simulatedLost_ || contextReset_ || !drawing_; }

  std::unique_ptr<CGlContext> context_;  // first in, last out: the parts' GL objects go before it
  ContextToken token_;
  uint32_t behaviorFlags_;
  bool clipControl_ = false, robust_ = false;
  WorkCounts counts_;

  CGlBackBuffer backBuffer_;
  CStateCache state_;
  CFixedFunction fixed_;
  CGlPipeline pipeline_;
  CDrawBatch batch_;
  CGlUploadRing ring_;
  CViewCull cull_;
  GlObject vao_;
  std::unique_ptr<CShaderCache> shaders_;

  // What is bound to draw with; the textures are all CGlTexture (SetTexture sees to that).
  std::array<TexturePtr, CStateCache::kStages> textures_{};
  std::shared_ptr<CGlVertexBuffer> stream_;
  std::shared_ptr<CGlIndexBuffer> indices_;
  uint32_t baseVertex_ = 0;
  uint32_t fvf_ = 0;
  bool inScene_ = false;

  // loss
  bool simulatedLost_ = false, resettable_ = false, contextReset_ = false;

  // counting and shortcuts
  bool drawing_ = true;
  bool countFragments_ = false, fragmentQueryOpen_ = false;
  // Fragments shaded, and those that passed the depth test where the first counts something else.
  GLenum fragmentQueryTargets_[2] = {0, 0};
  GlObject fragmentQueries_[2];
  bool shortcuts_ = true;
};

}  // namespace gfx
