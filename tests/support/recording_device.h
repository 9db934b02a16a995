// A device without GL for tests of code that drives the device: it keeps states, transforms and
// textures in memory and records every draw (state at the time, format, the vertex bytes).
// On request it also keeps the order of calls as text and makes buffers that meshes draw from.
// Long runs want CNullDevice (support/null_device.h), which records nothing.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "support/memory_index_buffer.h"
#include "support/memory_vertex_buffer.h"

namespace testdev {

class CMemoryTexture : public gfx::CTexture {
 public:
  CMemoryTexture(uint32_t w, uint32_t h, uint32_t levels);
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  uint32_t Levels() const override { return uint32_t(levels_.size()); }
  bool SetLevel(uint32_t level, const uint32_t* argb) override;
  const std::vector<uint32_t>& Level(uint32_t level) const { return levels_[level]; }
  int uploads = 0;

 private:
  uint32_t width_, height_;
  std::vector<std::vector<uint32_t>> levels_;
};

// The layouts of the game's screen-space and world-space quads, for reading draws back.
struct ScreenVertex {  // XYZRHW | DIFFUSE | TEX1
  float x, y, z, rhw;
  uint32_t color;
  float u, v;
};
struct WorldVertex {  // XYZ | DIFFUSE | TEX1
  float x, y, z;
  uint32_t color;
  float u, v;
};

struct Draw {
  gfx::PrimitiveType type = gfx::D3DPT_TRIANGLELIST;
  uint32_t fvf = 0;
  uint32_t stride = 0;
  uint32_t primitives = 0;
  gfx::CTexture* texture = nullptr;
  std::map<uint32_t, uint32_t> renderStates;
  std::map<uint32_t, uint32_t> stageStates;
  gfx::Matrix world;
  std::vector<uint8_t> vertices;
  template <class V>
  V Vertex(size_t i) const {
    V v;
    __builtin_memcpy(&v, vertices.data() + i * stride, sizeof v);
    return v;
  }
  // A render state as it was at the draw (0 when never set).
  uint32_t State(uint32_t state) const {
    auto it = renderStates.find(state);
    return it == renderStates.end() ? 0 : it->second;
  }
};

// One DrawIndexedPrimitive, with the format, stream, vertex blending, world matrices, material
// and texture in force.
struct IndexedDrawCall {
  gfx::PrimitiveType type = gfx::D3DPT_TRIANGLELIST;
  uint32_t minIndex = 0, numVertices = 0, startIndex = 0, primitiveCount = 0, fvf = 0;
  gfx::CVertexBuffer* vb = nullptr;
  uint32_t vertexBlend = 0, software = 0;
  gfx::Matrix world[4];
  gfx::Material material;
  gfx::CTexture* texture = nullptr;
  uint32_t zFunc = 0;  // the depth test
};

class CRecordingDevice : public gfx::CDevice {
 public:
  void GetDeviceCaps(gfx::Caps& caps) const override {
    caps = gfx::Caps{};
    caps.MaxVertexBlendMatrices = maxBlend;
  }
  gfx::Result TestCooperativeLevel() override { return cooperative; }
  gfx::Result BeginScene() override {
    ++beginScenes;
    Note("begin");
    return gfx::D3D_OK;
  }
  gfx::Result EndScene() override {
    ++endScenes;
    Note("end");
    return gfx::D3D_OK;
  }
  gfx::Result Clear(uint32_t flags, gfx::Color color, float z, uint32_t stencil) override;
  gfx::Result Present() override {
    ++presents;
    Note("present");
    return presentResult;
  }
  gfx::Result Reset(const gfx::PresentParameters&) override {
    ++resets;
    return gfx::D3D_OK;
  }
  void SetViewport(const gfx::Viewport& vp) override { viewport = vp; }
  gfx::Viewport GetViewport() const override { return viewport; }
  void SetRenderState(gfx::RenderState state, uint32_t value) override;
  uint32_t GetRenderState(gfx::RenderState state) const override;
  void SetTextureStageState(uint32_t stage, gfx::TextureStageState type, uint32_t value) override;
  uint32_t GetTextureStageState(uint32_t stage, gfx::TextureStageState type) const override;
  void SetTransform(gfx::TransformState state, const gfx::Matrix& m) override;
  gfx::Matrix GetTransform(gfx::TransformState state) const override;
  void MultiplyTransform(gfx::TransformState state, const gfx::Matrix& m) override;
  void SetMaterial(const gfx::Material& m) override { material = m; }
  gfx::Material GetMaterial() const override { return material; }
  void SetLight(uint32_t index, const gfx::Light& light) override {
    lights[index] = light;
    Note("light " + std::to_string(index));
  }
  void LightEnable(uint32_t index, bool on) override {
    lightsEnabled[index] = on;
    Note("light enable " + std::to_string(index) + "=" + std::to_string(on));
  }
  void SetTexture(uint32_t stage, gfx::CTexture* texture) override;
  void SetVertexShader(uint32_t fvf) override;
  gfx::Result DrawPrimitiveUP(gfx::PrimitiveType type, uint32_t count, const void* vertices,
                              uint32_t stride) override;
  void SetStreamSource(gfx::CVertexBuffer* vb) override { streamSource = vb; }
  void SetIndices(gfx::CIndexBuffer* ib, uint32_t) override { indices = ib; }
  gfx::Result DrawIndexedPrimitive(gfx::PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                                   uint32_t startIndex, uint32_t primitiveCount) override;
  gfx::TexturePtr CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  gfx::VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) override;
  gfx::IndexBufferPtr CreateIndexBuffer(uint32_t count) override;
  bool SaveScreenshot(const std::string&) override { return false; }
  // What Present and TestCooperativeLevel answer from now on, as a lost device would.
  void SimulateDeviceLost(bool lost, bool resettable);

  std::map<uint32_t, uint32_t> renderStates;
  std::map<uint32_t, uint32_t> stageStates;  // stage 0 only
  std::map<uint32_t, gfx::Matrix> transforms;
  gfx::Material material;
  gfx::Viewport viewport;
  gfx::CTexture* boundTexture = nullptr;
  uint32_t fvf = 0;
  std::vector<Draw> draws;
  std::vector<gfx::Color> clears;
  int beginScenes = 0, endScenes = 0, presents = 0, resets = 0;
  std::map<uint32_t, gfx::Light> lights;
  std::map<uint32_t, bool> lightsEnabled;
  // When set, every call that changes state or draws is noted here in call order: "begin",
  // "clear", "rs <state>=<value>", "tss <stage> <type>=<value>", "transform <state>", "fvf <v>",
  // "light <i>", "light enable <i>=<on>", "draw", "end", "present". Off by default: long runs
  // would grow it without bound.
  std::vector<std::string>* journal = nullptr;
  gfx::Result presentResult = gfx::D3D_OK;
  gfx::Result cooperative = gfx::D3D_OK;
  uint32_t maxBlend = 4;  // the vertex-blend matrices the caps offer

  // Off by default: without buffers meshes do not draw, as most tests of this device expect.
  bool createBuffers = false;
  int buffersCreated = 0;
  gfx::CVertexBuffer* streamSource = nullptr;
  gfx::CIndexBuffer* indices = nullptr;
  std::vector<IndexedDrawCall> indexedDraws;

 private:
  void Note(const std::string& what) {
    if (journal) journal->push_back(what);
  }
};

}  // namespace testdev
