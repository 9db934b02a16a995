// A graphics device that records the calls the world's drawing makes, for checking the order of
// state changes and the vertices sent, without a GL context.
#pragma once
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace testworld {

class CRecordingDevice : public gfx::CDevice {
 public:
  struct Draw {
    gfx::PrimitiveType type;
    uint32_t count;
    uint32_t stride;
    uint32_t fvf;
    gfx::Matrix world;
    uint32_t lighting;
    uint32_t fill;
    std::vector<uint8_t> bytes;
  };
  std::vector<std::string> calls;  // "rs <state> <value>", "fvf <v>", "world", "draw"
  std::vector<Draw> draws;

  void GetDeviceCaps(gfx::Caps&) const override {}
  gfx::Result TestCooperativeLevel() override { return gfx::D3D_OK; }
  gfx::Result BeginScene() override { return gfx::D3D_OK; }
  gfx::Result EndScene() override { return gfx::D3D_OK; }
  gfx::Result Clear(uint32_t, gfx::Color, float, uint32_t) override { return gfx::D3D_OK; }
  gfx::Result Present() override { return gfx::D3D_OK; }
  gfx::Result Reset(const gfx::PresentParameters&) override { return gfx::D3D_OK; }
  void SetViewport(const gfx::Viewport&) override {}
  gfx::Viewport GetViewport() const override { return {}; }
  void SetRenderState(gfx::RenderState state, uint32_t value) override {
    states_[state] = value;
    calls.push_back("rs " + std::to_string(state) + " " + std::to_string(value));
  }
  uint32_t GetRenderState(gfx::RenderState state) const override {
    auto it = states_.find(state);
    return it == states_.end() ? 0 : it->second;
  }
  void SetTextureStageState(uint32_t, gfx::TextureStageState, uint32_t) override {}
  uint32_t GetTextureStageState(uint32_t, gfx::TextureStageState) const override { return 0; }
  void SetTransform(gfx::TransformState state, const gfx::Matrix& m) override {
    if (state == gfx::D3DTS_WORLD) world_ = m;
    calls.push_back("transform " + std::to_string(state));
  }
  gfx::Matrix GetTransform(gfx::TransformState) const override { return world_; }
  void MultiplyTransform(gfx::TransformState, const gfx::Matrix&) override {}
  void SetMaterial(const gfx::Material&) override {}
  gfx::Material GetMaterial() const override { return {}; }
  void SetLight(uint32_t, const gfx::Light&) override {}
  void LightEnable(uint32_t, bool) override {}
  void SetTexture(uint32_t, gfx::CTexture*) override {}
  void SetVertexShader(uint32_t fvf) override {
    fvf_ = fvf;
    calls.push_back("fvf " + std::to_string(fvf));
  }
  gfx::Result DrawPrimitiveUP(gfx::PrimitiveType type, uint32_t count, const void* vertices,
                              uint32_t stride) override {
    Draw d{type,
           count,
           stride,
           fvf_,
           world_,
           GetRenderState(gfx::D3DRS_LIGHTING),
           GetRenderState(gfx::D3DRS_FILLMODE),
           {}};
    const auto* p = static_cast<const uint8_t*>(vertices);
    d.bytes.assign(p, p + 3 * count * stride);
    draws.push_back(std::move(d));
    calls.push_back("draw");
    return gfx::D3D_OK;
  }
  void SetStreamSource(gfx::CVertexBuffer*) override {}
  void SetIndices(gfx::CIndexBuffer*, uint32_t) override {}
  gfx::Result DrawIndexedPrimitive(gfx::PrimitiveType, uint32_t, uint32_t, uint32_t, uint32_t) override {
    return gfx::D3D_OK;
  }
  gfx::TexturePtr CreateTexture(uint32_t, uint32_t, uint32_t) override { return nullptr; }
  gfx::VertexBufferPtr CreateVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
  gfx::IndexBufferPtr CreateIndexBuffer(uint32_t) override { return nullptr; }
  bool ReadBackBuffer(std::vector<uint32_t>&, uint32_t&, uint32_t&) override { return false; }
  bool SaveScreenshot(const std::string&) override { return false; }
  void SimulateDeviceLost(bool, bool) override {}

 private:
  std::map<uint32_t, uint32_t> states_;
  gfx::Matrix world_;
  uint32_t fvf_ = 0;
};

}  // namespace testworld
