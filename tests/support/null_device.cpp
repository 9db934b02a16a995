#include "support/null_device.h"

#include <algorithm>
#include <memory>

#include "core/graphics.h"
#include "support/memory_index_buffer.h"
#include "support/memory_vertex_buffer.h"

namespace testdev {

namespace {

class CNullTexture final : public gfx::CTexture {
 public:
  CNullTexture(uint32_t w, uint32_t h, uint32_t levels) : width_(w), height_(h), levels_(levels) {}
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  uint32_t Levels() const override { return levels_; }
  bool SetLevel(uint32_t level, const uint32_t* argb) override { return level < levels_ && argb; }

 private:
  uint32_t width_, height_, levels_;
};

CNullDevice* g_last = nullptr;

std::unique_ptr<gfx::CDevice> Make(const gfx::PresentParameters&, gfx::DeviceType, uint32_t) {
  auto device = std::make_unique<CNullDevice>();
  g_last = device.get();
  return device;
}

bool Desktop(gfx::Format& format) {
  format = gfx::D3DFMT_X8R8G8B8;
  return true;
}

}  // namespace

gfx::Result CNullDevice::BeginScene() {
  ++sceneDepth;
  return gfx::D3D_OK;
}

gfx::Result CNullDevice::EndScene() {
  --sceneDepth;
  return gfx::D3D_OK;
}

gfx::Result CNullDevice::Present() {
  ++presents;
  return gfx::D3D_OK;
}

void CNullDevice::SetRenderState(gfx::RenderState state, uint32_t value) {
  if (state < renderStates_.size()) renderStates_[state] = value;
}

uint32_t CNullDevice::GetRenderState(gfx::RenderState state) const {
  return state < renderStates_.size() ? renderStates_[state] : 0;
}

void CNullDevice::SetTextureStageState(uint32_t stage, gfx::TextureStageState type, uint32_t value) {
  if (stage == 0 && type < stageStates_.size()) stageStates_[type] = value;
}

uint32_t CNullDevice::GetTextureStageState(uint32_t stage, gfx::TextureStageState type) const {
  return stage == 0 && type < stageStates_.size() ? stageStates_[type] : 0;
}

void CNullDevice::SetTransform(gfx::TransformState state, const gfx::Matrix& m) {
  if (state == gfx::D3DTS_VIEW)
    view_ = m;
  else if (state == gfx::D3DTS_PROJECTION)
    projection_ = m;
  else if (state >= gfx::D3DTS_WORLD && state < gfx::D3DTS_WORLD + world_.size())
    world_[state - gfx::D3DTS_WORLD] = m;
}

gfx::Matrix CNullDevice::GetTransform(gfx::TransformState state) const {
  if (state == gfx::D3DTS_VIEW) return view_;
  if (state == gfx::D3DTS_PROJECTION) return projection_;
  if (state >= gfx::D3DTS_WORLD && state < gfx::D3DTS_WORLD + world_.size())
    return world_[state - gfx::D3DTS_WORLD];
  return gfx::Matrix{};
}

void CNullDevice::MultiplyTransform(gfx::TransformState state, const gfx::Matrix& m) {
  SetTransform(state, m * GetTransform(state));
}

void CNullDevice::SetStreamSource(gfx::CVertexBuffer* vb) {
  auto* b = dynamic_cast<CMemoryVertexBuffer*>(vb);
  stream_ = b ? b->shared_from_this() : nullptr;
}

void CNullDevice::SetIndices(gfx::CIndexBuffer* ib, uint32_t baseVertexIndex) {
  auto* b = dynamic_cast<CMemoryIndexBuffer*>(ib);
  indices_ = b ? b->shared_from_this() : nullptr;
  baseVertex_ = baseVertexIndex;
}

gfx::Result CNullDevice::DrawPrimitiveUP(gfx::PrimitiveType, uint32_t count, const void* vertices,
                                         uint32_t stride) {
  if (!vertices || stride == 0) {
    ++badDraws;
    return gfx::D3DERR_INVALIDCALL;
  }
  primitives += count;
  return gfx::D3D_OK;
}

gfx::Result CNullDevice::DrawIndexedPrimitive(gfx::PrimitiveType, uint32_t minIndex, uint32_t numVertices,
                                              uint32_t startIndex, uint32_t primitiveCount) {
  if (!stream_ || !indices_ || startIndex + size_t(primitiveCount) * 3 > indices_->Count() ||
      size_t(baseVertex_) + minIndex + numVertices > stream_->Count()) {
    ++badDraws;
    return gfx::D3DERR_INVALIDCALL;
  }
  primitives += primitiveCount;
  return gfx::D3D_OK;
}

gfx::TexturePtr CNullDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels) {
  if (!width || !height || !levels) return nullptr;
  return std::make_shared<CNullTexture>(width, height, levels);
}

gfx::VertexBufferPtr CNullDevice::CreateVertexBuffer(uint32_t count, uint32_t fvf) {
  if (!count || gfx::FvfStride(fvf) == 0) return nullptr;
  return std::make_shared<CMemoryVertexBuffer>(count, fvf);
}

gfx::IndexBufferPtr CNullDevice::CreateIndexBuffer(uint32_t count) {
  if (!count) return nullptr;
  return std::make_shared<CMemoryIndexBuffer>(count);
}

void UseNullDevice() {
  g_last = nullptr;
  app::SetDeviceCreatorForTests(Make, Desktop);
}

void RestoreRealDevice() { app::SetDeviceCreatorForTests(nullptr, nullptr); }

CNullDevice* LastNullDevice() { return g_last; }

}  // namespace testdev
