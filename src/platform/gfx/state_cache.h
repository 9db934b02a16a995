// The Direct3D state as the game set it, kept as D3D values: render and texture-stage states,
// transforms, material, lights and the viewport. Nothing here knows GL; before a draw the device
// turns it into GL state (gl_pipeline.h) and a program's key and uniforms (fixed_function.h).
#pragma once
#include <array>
#include <cstdint>

#include "platform/gfx/types.h"

namespace gfx {

class CStateCache {
 public:
  static constexpr uint32_t kStages = 8;
  static constexpr uint32_t kLights = 8;
  using StageStates = std::array<uint32_t, D3DTSS_MAX>;

  // D3D8's defaults for a device of this back buffer and kind of vertex processing.
  void Reset(bool autoDepthStencil, bool softwareVertexProcessing, uint32_t width, uint32_t height);

  // Reads take states already checked against D3DRS_MAX, kStages and D3DTSS_MAX.
  uint32_t Render(uint32_t state) const { return rs_[state]; }
  const StageStates& Stage(uint32_t stage) const { return tss_[stage]; }
  const Matrix& View() const { return view_; }
  const Matrix& Projection() const { return projection_; }
  const Matrix& World(uint32_t i) const { return world_[i]; }
  // Identity for a transform state without a matrix here.
  Matrix Transform(TransformState state) const;
  const Material& GetMaterial() const { return material_; }
  const Light& GetLight(uint32_t index) const { return lights_[index]; }
  const Viewport& GetViewport() const { return viewport_; }
  // The one light drawn, the lowest-numbered enabled one of a known type; -1 for none.
  int ActiveLight() const;
  // Moves on with every transform set (the same matrix again included), and every viewport.
  uint32_t TransformSerial() const { return transformSerial_; }
  uint32_t ViewportSerial() const { return viewportSerial_; }

  // A state the device does not act on is kept and reported once.
  void SetRender(uint32_t state, uint32_t value);
  void SetStage(uint32_t stage, uint32_t type, uint32_t value) { tss_[stage][type] = value; }
  // False (nothing kept) for a transform state without a matrix here.
  bool SetTransform(TransformState state, const Matrix& m);
  void SetMaterial(const Material& material) { material_ = material; }
  void SetLight(uint32_t index, const Light& light) { lights_[index] = light; }
  bool LightOn(uint32_t index) const { return lightOn_[index]; }
  void EnableLight(uint32_t index, bool enable);
  void SetViewport(const Viewport& vp);

 private:
  std::array<uint32_t, D3DRS_MAX> rs_{};
  std::array<StageStates, kStages> tss_{};
  Matrix view_, projection_, world_[4];
  Material material_;
  std::array<Light, kLights> lights_{};
  std::array<bool, kLights> lightOn_{};
  Viewport viewport_;
  uint32_t transformSerial_ = 0, viewportSerial_ = 0;

  std::array<bool, D3DRS_MAX> warned_{};
  bool warnedLights_ = false;
};

}  // namespace gfx
