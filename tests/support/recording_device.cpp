#include "support/recording_device.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace testdev {

CMemoryTexture::CMemoryTexture(uint32_t w, uint32_t h, uint32_t levels) : width_(w), height_(h) {
  for (uint32_t l = 0; l < levels; ++l) {
    const uint32_t lw = std::max(1u, w >> l), lh = std::max(1u, h >> l);
    levels_.emplace_back(size_t(lw) * lh, 0);
  }
}

bool CMemoryTexture::SetLevel(uint32_t level, const uint32_t* argb) {
  if (level >= levels_.size() || !argb) return false;
  std::memcpy(levels_[level].data(), argb, levels_[level].size() * 4);
  ++uploads;
  return true;
}

gfx::Result CRecordingDevice::Clear(uint32_t, gfx::Color color, float, uint32_t) {
  clears.push_back(color);
  Note("clear");
  return gfx::D3D_OK;
}

void CRecordingDevice::SetRenderState(gfx::RenderState state, uint32_t value) {
  renderStates[state] = value;
  Note("rs " + std::to_string(state) + "=" + std::to_string(value));
}

uint32_t CRecordingDevice::GetRenderState(gfx::RenderState state) const {
  auto it = renderStates.find(state);
  return it == renderStates.end() ? 0 : it->second;
}

void CRecordingDevice::SetTextureStageState(uint32_t stage, gfx::TextureStageState type, uint32_t value) {
  if (stage == 0) stageStates[type] = value;
  Note("tss " + std::to_string(stage) + " " + std::to_string(type) + "=" + std::to_string(value));
}

uint32_t CRecordingDevice::GetTextureStageState(uint32_t stage, gfx::TextureStageState type) const {
  auto it = stageStates.find(type);
  return stage == 0 && it != stageStates.end() ? it->second : 0;
}

void CRecordingDevice::SetTransform(gfx::TransformState state, const gfx::Matrix& m) {
  transforms[state] = m;
  Note("transform " + std::to_string(state));
}

gfx::Matrix CRecordingDevice::GetTransform(gfx::TransformState state) const {
  auto it = transforms.find(state);
  return it == transforms.end() ? gfx::Matrix{} : it->second;
}

void CRecordingDevice::MultiplyTransform(gfx::TransformState state, const gfx::Matrix& m) {
  transforms[state] = m * GetTransform(state);
}

void CRecordingDevice::SetTexture(uint32_t stage, gfx::CTexture* texture) {
  if (stage == 0) boundTexture = texture;
}

void CRecordingDevice::SetVertexShader(uint32_t fvf) {
  this->fvf = fvf;
  Note("fvf " + std::to_string(fvf));
}

gfx::Result CRecordingDevice::DrawPrimitiveUP(gfx::PrimitiveType type, uint32_t count, const void* vertices,
                                              uint32_t stride) {
  Draw d;
  d.type = type;
  d.fvf = fvf;
  d.stride = stride;
  d.primitives = count;
  d.texture = boundTexture;
  d.renderStates = renderStates;
  d.stageStates = stageStates;
  d.world = GetTransform(gfx::D3DTS_WORLD);
  const auto* b = static_cast<const uint8_t*>(vertices);
  d.vertices.assign(b, b + size_t(count) * 3 * stride);
  draws.push_back(std::move(d));
  Note("draw");
  return gfx::D3D_OK;
}

gfx::Result CRecordingDevice::DrawIndexedPrimitive(gfx::PrimitiveType type, uint32_t minIndex,
                                                   uint32_t numVertices, uint32_t startIndex,
                                                   uint32_t primitiveCount) {
  IndexedDrawCall d{type, minIndex, numVertices, startIndex, primitiveCount, fvf, streamSource,
                    0,    0,        {},          {},         nullptr,        0};
  d.vertexBlend = GetRenderState(gfx::D3DRS_VERTEXBLEND);
  d.software = GetRenderState(gfx::D3DRS_SOFTWAREVERTEXPROCESSING);
  for (uint32_t k = 0; k < 4; ++k) d.world[k] = GetTransform(gfx::D3DTS_WORLDMATRIX(k));
  d.material = material;
  d.texture = boundTexture;
  d.zFunc = GetRenderState(gfx::D3DRS_ZFUNC);
  indexedDraws.push_back(d);
  return gfx::D3D_OK;
}

gfx::VertexBufferPtr CRecordingDevice::CreateVertexBuffer(uint32_t count, uint32_t fvf) {
  if (!createBuffers) return nullptr;
  ++buffersCreated;
  return std::make_shared<CMemoryVertexBuffer>(count, fvf);
}

gfx::IndexBufferPtr CRecordingDevice::CreateIndexBuffer(uint32_t count) {
  if (!createBuffers) return nullptr;
  ++buffersCreated;
  return std::make_shared<CMemoryIndexBuffer>(count);
}

gfx::TexturePtr CRecordingDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels) {
  if (!width || !height || !levels) return nullptr;
  return std::make_shared<CMemoryTexture>(width, height, levels);
}

void CRecordingDevice::SimulateDeviceLost(bool lost, bool resettable) {
  presentResult = lost ? gfx::D3DERR_DEVICELOST : gfx::D3D_OK;
  cooperative = lost ? (resettable ? gfx::D3DERR_DEVICENOTRESET : gfx::D3DERR_DEVICELOST) : gfx::D3D_OK;
}

}  // namespace testdev
