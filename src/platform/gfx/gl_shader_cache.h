// The fixed-function pipeline as a small set of GLSL programs. A program is chosen by its key
// (shader_key.h: the structural state) and compiled the first time it is needed; every number
// (matrices, light, material, fog, stage operations) travels as a uniform.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/gfx/gl_object.h"
#include "platform/gfx/gl_program_store.h"
#include "platform/gfx/shader_key.h"

namespace gfx {

struct GlProgram {
  GlObject program;
  std::array<uint32_t, kGroupCount> seen{};  // serials last uploaded
  // transform
  GLint worldView = -1, normalMatrix = -1, projection = -1, screen = -1, pixelShift = -1, zeroToOne = -1;
  // lighting
  GLint matDiffuse = -1, matAmbient = -1, matSpecular = -1, matEmissive = -1, matPower = -1, matSource = -1;
  GLint globalAmbient = -1, lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1;
  GLint lightPosition = -1, lightDirection = -1, lightAttenuation = -1, lightSpot = -1, lightFlags = -1;
  // fog
  GLint fog = -1, rangeFog = -1, fogColor = -1;
  // stage 0 and pixel tests
  GLint colorStage = -1, alphaStage = -1, stageOff = -1, textureFactor = -1, specularAdd = -1, alphaTest = -1;
};

class CShaderCache {
 public:
  // Programs are saved in and read from `folder` ("" for none).
  CShaderCache(ContextToken token, std::string folder);
  // The program for the key, compiled (or read from the saved ones) on first use; nullptr when
  // compiling failed (logged once).
  GlProgram* Get(const ShaderKey& key);
  // Programs made so far, and how many of them were compiled rather than read.
  size_t BuiltCount() const { return built_; }
  size_t CompiledCount() const { return compiled_; }

 private:
  std::unique_ptr<GlProgram> Build(const ShaderKey& key);
  bool Link(GLuint program, const char* header, uint64_t savedKey);

  ContextToken token_;
  CProgramStore store_;
  size_t built_ = 0;
  std::unordered_map<uint32_t, std::unique_ptr<GlProgram>> programs_;  // null: failed
  size_t compiled_ = 0;
};

}  // namespace gfx
