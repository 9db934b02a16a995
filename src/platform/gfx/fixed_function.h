// The fixed-function pipeline's state as its programs take it: the key that picks a program and
// the values of its uniforms, worked out from the D3D state without GL. Each uniform group has a
// serial that moves on only when the group's values change, so a program re-sends only the
// groups that differ from what it last had (gl_fixed_function.h sends them).
#pragma once
#include <array>
#include <cstdint>

#include "platform/gfx/shader_key.h"
#include "platform/gfx/state_cache.h"

namespace gfx {

// The plain form of one stage-0 operation (colour or alpha), or the general stage. At stage 0
// CURRENT is the diffuse colour; an argument with a modifier is left to the general stage.
inline StageForm PlainStageForm(uint32_t op, uint32_t arg1, uint32_t arg2) {
  auto form = [](uint32_t arg) {
    if (arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT) return kDiffuseStage;
    return arg == D3DTA_TEXTURE ? kTextureStage : kGeneralStage;
  };
  if (op == D3DTOP_SELECTARG1) return form(arg1);
  if (op == D3DTOP_SELECTARG2) return form(arg2);
  if (op == D3DTOP_MODULATE) {
    const StageForm a = form(arg1), b = form(arg2);
    if ((a == kTextureStage && b == kDiffuseStage) || (a == kDiffuseStage && b == kTextureStage))
      return kModulateStage;
  }
  return kGeneralStage;
}

class CFixedFunction {
 public:
  struct LightBlock {
    float matDiffuse[4], matAmbient[4], matSpecular[4], matEmissive[4], power;
    int32_t source[4];  // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
    float globalAmbient[3];
    // The light in view space.
    float diffuse[4], specular[4], ambient[4], position[3], direction[3], attenuation[4], spot[3];
    int32_t flags[4];  // normalize normals, specular, local viewer, light type (0 none)
  };
  struct FogBlock {
    float fog[4], color[3];  // start, end, 1 / (end - start), density
    int32_t range;
  };
  struct StageBlock {
    int32_t color[3], alpha[3], stageOff, specularAdd, alphaTest[2];
    float factor[4];
  };

  // The program for a draw of this vertex format (it has a position). `textured`: a texture is
  // bound, or the draw is gathered; with `shortcuts` common stage set-ups are compiled in.
  static ShaderKey Key(const CStateCache& state, uint32_t fvf, bool textured, bool batched, bool shortcuts);

  // Every group counts as changed, as for a new device.
  void Reset();
  // Brings the values up to date for a draw of this format with the program of `key`.
  void Refresh(const CStateCache& state, uint32_t fvf, const ShaderKey& key);

  uint32_t Serial(UniformGroup g) const { return serial_[g]; }
  // World_i * View per blend matrix, row-major as GLSL reads the transpose it needs.
  const float* WorldView() const { return &worldView_[0][0]; }
  const float* NormalMatrix() const { return normalMatrix_; }
  const LightBlock& Lights() const { return light_; }
  const FogBlock& Fog() const { return fog_; }
  const StageBlock& Stage() const { return stage_; }

 private:
  void Bump(UniformGroup g) { serial_[g] = ++nextSerial_; }

  uint32_t seenTransforms_ = 0, seenViewport_ = 0;
  bool transformsKnown_ = false;
  float worldView_[4][16] = {};
  float normalMatrix_[9] = {};
  std::array<uint32_t, kGroupCount> serial_{};
  uint32_t nextSerial_ = 0;
  LightBlock light_{};
  FogBlock fog_{};
  StageBlock stage_{};
};

}  // namespace gfx
