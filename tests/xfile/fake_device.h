// A gfx::CDevice that draws nothing and records what meshes ask of it.
#pragma once
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"

namespace xtest {

class CFakeVertexBuffer : public gfx::CVertexBuffer {
 public:
  CFakeVertexBuffer(uint32_t count, uint32_t fvf, uint32_t stride)
      : fvf_(fvf), stride_(stride), data_(count * stride) {
    count_ = count;
  }
  uint32_t Fvf() const override { return fvf_; }
  uint32_t Stride() const override { return stride_; }
  uint32_t Count() const override { return count_; }
  void* Lock() override { return data_.data(); }
  void Unlock() override { ++unlocks; }
  const void* Data() const override { return data_.data(); }
  int unlocks = 0;

 private:
  uint32_t fvf_, stride_, count_;
  std::vector<uint8_t> data_;
};

class CFakeIndexBuffer : public gfx::CIndexBuffer {
 public:
  explicit CFakeIndexBuffer(uint32_t count) : data_(count) {}
  uint32_t Count() const override { return static_cast<uint32_t>(data_.size()); }
  uint16_t* Lock() override { return data_.data(); }
  void Unlock() override {}
  const uint16_t* Data() const override { return data_.data(); }

 private:
  std::vector<uint16_t> data_;
};

class CFakeDevice : public gfx::CDevice {
 public:
  struct Draw {
    uint32_t minIndex, numVertices, startIndex, primitiveCount, fvf;
    gfx::CVertexBuffer* vb;
  };
  std::vector<Draw> draws;
  uint32_t fvf = 0;
  gfx::CVertexBuffer* vb = nullptr;
  gfx::CIndexBuffer* ib = nullptr;
  int buffersCreated = 0;

  void GetDeviceCaps(gfx::Caps& caps) const override { caps = gfx::Caps{}; }
  gfx::Result TestCooperativeLevel() override { return gfx::D3D_OK; }
  gfx::Result BeginScene() override { return gfx::D3D_OK; }
  gfx::Result EndScene() override { return gfx::D3D_OK; }
  gfx::Result Clear(uint32_t, gfx::Color, float, uint32_t) override { return gfx::D3D_OK; }
  gfx::Result Present() override { return gfx::D3D_OK; }
  gfx::Result Reset(const gfx::PresentParameters&) override { return gfx::D3D_OK; }
  void SetViewport(const gfx::Viewport&) override {}
  gfx::Viewport GetViewport() const override { return {}; }
  void SetRenderState(gfx::RenderState, uint32_t) override {}
  uint32_t GetRenderState(gfx::RenderState) const override { return 0; }
  void SetTextureStageState(uint32_t, gfx::TextureStageState, uint32_t) override {}
  uint32_t GetTextureStageState(uint32_t, gfx::TextureStageState) const override { return 0; }
  void SetTransform(gfx::TransformState, const gfx::Matrix&) override {}
  gfx::Matrix GetTransform(gfx::TransformState) const override { return {}; }
  void MultiplyTransform(gfx::TransformState, const gfx::Matrix&) override {}
  void SetMaterial(const gfx::Material&) override {}
  gfx::Material GetMaterial() const override { return {}; }
  void SetLight(uint32_t, const gfx::Light&) override {}
  void LightEnable(uint32_t, bool) override {}
  void SetTexture(uint32_t, gfx::CTexture*) override {}
  void SetVertexShader(uint32_t f) override { fvf = f; }
  gfx::Result DrawPrimitiveUP(gfx::PrimitiveType, uint32_t, const void*, uint32_t) override {
    return gfx::D3D_OK;
  }
  void SetStreamSource(gfx::CVertexBuffer* v) override { vb = v; }
  void SetIndices(gfx::CIndexBuffer* i, uint32_t) override { ib = i; }
  gfx::Result DrawIndexedPrimitive(gfx::PrimitiveType, uint32_t minIndex, uint32_t numVertices,
                                   uint32_t startIndex, uint32_t primitiveCount) override {
    draws.push_back({minIndex, numVertices, startIndex, primitiveCount, fvf, vb});
    return gfx::D3D_OK;
  }
  gfx::TexturePtr CreateTexture(uint32_t, uint32_t, uint32_t) override { return nullptr; }
  gfx::VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t f) override;
  gfx::IndexBufferPtr CreateIndexBuffer(uint32_t count) override {
    ++buffersCreated;
    return std::make_shared<CFakeIndexBuffer>(count);
  }
  bool ReadBackBuffer(std::vector<uint32_t>&, uint32_t&, uint32_t&) override { return false; }
  bool SaveScreenshot(const std::string&) override { return false; }
  void SimulateDeviceLost(bool, bool) override {}
};

}  // namespace xtest
