// The Direct3D-8-like device: fixed-function state, transforms, light 0, stage-0 texturing,
// flexible vertex formats and triangle lists, drawn with OpenGL 3.3 core. The back buffer is
// always an off-screen target of the presentation size; Present shows it in the window (scaled
// with its aspect kept in full screen) and tests read it back.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/types.h"

namespace gfx {

class CDevice;

// A managed-pool texture: survives Reset. Texels are 0xAARRGGBB.
class CTexture {
 public:
  virtual ~CTexture() = default;
  virtual uint32_t Width() const = 0;   // level 0
  virtual uint32_t Height() const = 0;  // level 0
  virtual uint32_t Levels() const = 0;
  // Uploads one level (width >> level by height >> level, at least 1), rows top to bottom.
  virtual bool SetLevel(uint32_t level, const uint32_t* argb) = 0;
};
using TexturePtr = std::shared_ptr<CTexture>;

class CVertexBuffer {
 public:
  virtual ~CVertexBuffer() = default;
  virtual uint32_t Fvf() const = 0;
  virtual uint32_t Stride() const = 0;
  virtual uint32_t Count() const = 0;
  // CPU copy; Unlock sends the changes to the GPU.
  virtual void* Lock() = 0;
  virtual void Unlock() = 0;
  virtual const void* Data() const = 0;
};
using VertexBufferPtr = std::shared_ptr<CVertexBuffer>;

class CIndexBuffer {
 public:
  virtual ~CIndexBuffer() = default;
  virtual uint32_t Count() const = 0;
  virtual uint16_t* Lock() = 0;
  virtual void Unlock() = 0;
  virtual const uint16_t* Data() const = 0;
};
using IndexBufferPtr = std::shared_ptr<CIndexBuffer>;

class CDevice {
 public:
  virtual ~CDevice() = default;

  // One of the seven creation attempts: HAL maps to an accelerated context, REF and SW to
  // software rendering. Fails (nullptr) when no context of that kind can be had or the
  // back-buffer format cannot be used. Renders into the main window (os::CreateMainWindow).
  static std::unique_ptr<CDevice> Create(const PresentParameters& pp, DeviceType type,
                                         uint32_t behaviorFlags);
  // The desktop's format (X8R8G8B8 or R5G6B5); false when it cannot be read.
  static bool GetAdapterDisplayMode(Format& format);
  // Whether a full-screen back buffer can have this format code (depth and palette formats,
  // for one, cannot).
  static bool IsBackBufferFormat(uint32_t format);

  virtual void GetDeviceCaps(Caps& caps) const = 0;

  // Frame.
  virtual Result TestCooperativeLevel() = 0;
  virtual Result BeginScene() = 0;
  virtual Result EndScene() = 0;
  virtual Result Clear(uint32_t flags, Color color, float z, uint32_t stencil) = 0;
  virtual Result Present() = 0;
  virtual Result Reset(const PresentParameters& pp) = 0;
  virtual void SetViewport(const Viewport& vp) = 0;
  virtual Viewport GetViewport() const = 0;

  // State.
  virtual void SetRenderState(RenderState state, uint32_t value) = 0;
  virtual uint32_t GetRenderState(RenderState state) const = 0;
  void SetRenderStateF(RenderState state, float value) { SetRenderState(state, FloatBits(value)); }
  virtual void SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) = 0;
  virtual uint32_t GetTextureStageState(uint32_t stage, TextureStageState type) const = 0;
  virtual void SetTransform(TransformState state, const Matrix& m) = 0;
  virtual Matrix GetTransform(TransformState state) const = 0;
  // state = m * state, as D3D's MultiplyTransform.
  virtual void MultiplyTransform(TransformState state, const Matrix& m) = 0;
  virtual void SetMaterial(const Material& material) = 0;
  virtual Material GetMaterial() const = 0;
  virtual void SetLight(uint32_t index, const Light& light) = 0;
  virtual void LightEnable(uint32_t index, bool enable) = 0;
  // nullptr unbinds: stage 0 then passes the diffuse colour and alpha.
  virtual void SetTexture(uint32_t stage, CTexture* texture) = 0;
  // D3D8's SetVertexShader with a flexible vertex format.
  virtual void SetVertexShader(uint32_t fvf) = 0;

  // Drawing.
  virtual Result DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                 uint32_t stride) = 0;
  virtual void SetStreamSource(CVertexBuffer* vb) = 0;
  virtual void SetIndices(CIndexBuffer* ib, uint32_t baseVertexIndex) = 0;
  virtual Result DrawIndexedPrimitive(PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                                      uint32_t startIndex, uint32_t primitiveCount) = 0;

  // Resources (managed pool).
  virtual TexturePtr CreateTexture(uint32_t width, uint32_t height, uint32_t levels) = 0;
  virtual VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) = 0;
  virtual IndexBufferPtr CreateIndexBuffer(uint32_t count) = 0;

  // A PNG of the back buffer (the player's screenshot key).
  virtual bool SaveScreenshot(const std::string& pngPath) = 0;
  // The back buffer as 0xAARRGGBB, top row first (the pause screen keeps the last picture);
  // false where it cannot be read.
  virtual bool ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) {
    (void)argb, (void)width, (void)height;
    return false;
  }
  // A back buffer of another size, everything else kept as it is (render states, lights,
  // transforms, resources): what a restart with that size would draw, without one. The viewport is
  // the caller's to set. False (and the old back buffer kept) when the size cannot be had.
  virtual bool ResizeBackBuffer(uint32_t width, uint32_t height) {
    (void)width, (void)height;
    return false;
  }
  // Off: frames no one will see (a host loop catching up on several steps at once) draw nothing;
  // Clear, the draws and Present succeed without work. A lost device is still reported.
  virtual void SetDrawing(bool on) { (void)on; }
};

}  // namespace gfx
