// What picks a fixed-function program (the structural state) and how its uniforms are grouped.
// Free of GL, so the choice can be made and checked without a context.
#pragma once
#include <cstdint>

namespace gfx {

struct ShaderKey {
  bool pretransformed = false;
  bool lighting = false;
  // Whether a light is on; its type is a uniform, since each program costs a software renderer
  // most of a megabyte for as long as it lives.
  bool light = false;
  bool hasNormal = false;
  uint32_t blendCount = 0;  // 0..3 stored weights read
  uint32_t fogMode = 0;     // 0 off, D3DFOG_EXP/EXP2/LINEAR, 4 = factor from specular alpha
  bool textured = false;
  bool alphaTest = false;
  bool flat = false;
  // Stage 0 folded into the program when it is one of the plain forms (0: the general stage
  // driven by uniforms); the same for colour and alpha.
  uint32_t colorForm = 0, alphaForm = 0;
  // Specular lighting and its sum compiled out (1) or in (2); 0: chosen by a uniform.
  uint32_t specularForm = 0;
  // Gathered draws: a texture slot per vertex (0 none, 1 unit 0, 2 unit 1).
  bool batched = false;

  uint32_t Index() const;
};

// The plain forms of a stage-0 operation: its result is one of these, or the general stage.
enum StageForm : uint32_t { kGeneralStage, kDiffuseStage, kTextureStage, kModulateStage };

// Uniform groups: a program re-uploads a group when the device's serial for it moved on.
enum UniformGroup : uint32_t { kTransformGroup, kLightGroup, kFogGroup, kStageGroup, kGroupCount };

}  // namespace gfx
