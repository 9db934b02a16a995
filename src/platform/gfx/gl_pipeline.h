// What GL's own state is, kept so that only differences are sent: the fixed state a draw needs
// (depth, blending, culling, fill, viewport and depth range, from the D3D state), the program,
// texture units and their samplers, and where the vertex attributes point. Every change it sends
// is counted in the device's work counts.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/gl_object.h"
#include "platform/gfx/gl_texture.h"
#include "platform/gfx/state_cache.h"

namespace gfx {

class CGlPipeline {
 public:
  CGlPipeline(const ContextToken& token, WorkCounts& counts) : token_(token), counts_(counts) {}

  // D3D's fixed conventions and GL brought in line with what this cache starts from; once, on a
  // new context with the device's vertex array bound.
  void Start();
  void Release() { samplers_.clear(); }

  // The D3D state's depth, blend, cull and fill states and its viewport, for a target this high.
  void ApplyFixedState(const CStateCache& state, uint32_t targetHeight);
  void ScissorOff();
  // Clears keep to this rectangle (GL's lower-left origin).
  void ScissorTo(GLint x, GLint y, GLsizei width, GLsizei height);
  void DepthWritesOn();

  // A program just built is bound already.
  void ProgramBound(GLuint program) { program_ = program; }
  void UseProgram(GLuint program);

  // The level sampling starts at, as the stage's filters allow (see LastLevelOnly).
  void SetBaseLevel(CGlTexture* texture, const CStateCache::StageStates& stage, bool shortcuts) const;
  // Binds the texture and the sampler for the stage's states to the unit; nothing for none.
  void BindTexture(GLuint unit, CGlTexture* texture, const CStateCache::StageStates& stage, bool shortcuts);
  // Points the attributes at `buffer` for vertices of this format and stride; `slot`: each vertex
  // ends with a gathered draw's texture slot.
  void BindAttributes(GLuint buffer, uint32_t fvf, uint32_t stride, bool slot = false);

 private:
  struct SamplerEntry {
    uint32_t key[7] = {};
    GlObject sampler;
  };

  void SetViewport(GLint x, GLint y, GLint w, GLint h);
  GLuint Sampler(const CStateCache::StageStates& stage, bool lastLevelOnly);

  ContextToken token_;
  WorkCounts& counts_;
  bool depthTest_ = false, depthMask_ = true, blend_ = false, cull_ = false, scissor_ = false;
  GLenum depthFunc_ = GL_LESS, blendSrc_ = GL_ONE, blendDst_ = GL_ZERO, cullFace_ = GL_BACK,
         polygonMode_ = GL_FILL;
  GLuint program_ = 0, sampler_[2] = {0, 0};
  GLint viewport_[4] = {0, 0, 0, 0};
  float depthRange_[2] = {0, 1};
  std::vector<SamplerEntry> samplers_;
  size_t samplerNext_ = 0;
  uint32_t attribFvf_ = 0, attribStride_ = 0;  // with token_->attribBuffer
  bool attribSlot_ = false;
};

}  // namespace gfx
