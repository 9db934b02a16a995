#include "platform/gfx/gl_pipeline.h"

#include <cstring>

namespace gfx {

namespace {

GLenum BlendFactor(uint32_t b, bool source) {
  switch (b) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BOTHSRCALPHA:
      return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA:
      return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    default:
      return source ? GL_ONE : GL_ZERO;
  }
}

GLenum AddressMode(uint32_t a) {
  switch (a) {
    case D3DTADDRESS_WRAP:
      return GL_REPEAT;
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_CLAMP_TO_EDGE;
  }
}

// Minification and magnification alike and the level floor at or past the smallest level:
// every sample comes from that level, so nothing is lost by starting the texture there.
bool LastLevelOnly(const CGlTexture& texture, const CStateCache::StageStates& t, bool shortcuts) {
  return shortcuts && t[D3DTSS_MIPFILTER] != D3DTEXF_NONE && t[D3DTSS_MINFILTER] == t[D3DTSS_MAGFILTER] &&
         t[D3DTSS_MAXMIPLEVEL] >= texture.Levels() - 1;
}

}  // namespace

void CGlPipeline::Start() {
  // Values an attribute takes when the vertex format lacks it: no normal, white diffuse,
  // black specular with a fog factor of 1.
  glVertexAttrib4f(1, 0, 0, 0, 0);
  glVertexAttrib4f(2, 0, 0, 0, 0);
  glVertexAttrib4f(3, 1, 1, 1, 1);
  glVertexAttrib4f(4, 0, 0, 0, 1);
  glVertexAttrib4f(5, 0, 0, 0, 1);

  // D3D's fixed conventions, set once.
  glFrontFace(GL_CW);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glActiveTexture(GL_TEXTURE0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // Bring GL in line with the starting values above.
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LESS);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_SCISSOR_TEST);
  glDepthRange(0, 1);
  glUseProgram(0);
  glBindSampler(0, 0);
  glBindSampler(1, 0);
  samplers_.reserve(16);
}

void CGlPipeline::ApplyFixedState(const CStateCache& state, uint32_t targetHeight) {
  const bool depthTest = state.Render(D3DRS_ZENABLE) != D3DZB_FALSE;
  if (depthTest != depthTest_) {
    depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    depthTest_ = depthTest;
    ++counts_.stateChanges;
  }
  const bool depthMask = state.Render(D3DRS_ZWRITEENABLE) != 0;
  if (depthMask != depthMask_) {
    glDepthMask(depthMask ? GL_TRUE : GL_FALSE);
    depthMask_ = depthMask;
    ++counts_.stateChanges;
  }
  const uint32_t zf = state.Render(D3DRS_ZFUNC);
  const GLenum depthFunc =
      (zf >= D3DCMP_NEVER && zf <= D3DCMP_ALWAYS) ? GL_NEVER + (zf - D3DCMP_NEVER) : GL_LEQUAL;
  if (depthFunc != depthFunc_) {
    glDepthFunc(depthFunc);
    depthFunc_ = depthFunc;
    ++counts_.stateChanges;
  }
  const bool blend = state.Render(D3DRS_ALPHABLENDENABLE) != 0;
  if (blend != blend_) {
    blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    blend_ = blend;
    ++counts_.stateChanges;
  }
  if (blend) {
    const uint32_t srcBlend = state.Render(D3DRS_SRCBLEND);
    GLenum src = BlendFactor(srcBlend, true);
    GLenum dst = BlendFactor(state.Render(D3DRS_DESTBLEND), false);
    if (srcBlend == D3DBLEND_BOTHSRCALPHA || srcBlend == D3DBLEND_BOTHINVSRCALPHA)
      dst = BlendFactor(srcBlend, false);
    if (src != blendSrc_ || dst != blendDst_) {
      glBlendFunc(src, dst);
      blendSrc_ = src;
      blendDst_ = dst;
      ++counts_.stateChanges;
    }
  }
  const uint32_t cullMode = state.Render(D3DRS_CULLMODE);
  const bool cull = cullMode == D3DCULL_CW || cullMode == D3DCULL_CCW;
  if (cull != cull_) {
    cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    cull_ = cull;
    ++counts_.stateChanges;
  }
  // Front faces are clockwise (glFrontFace(GL_CW)): CCW culls the backs, CW the fronts.
  const GLenum face = cullMode == D3DCULL_CW ? GL_FRONT : GL_BACK;
  if (cull && face != cullFace_) {
    glCullFace(face);
    cullFace_ = face;
    ++counts_.stateChanges;
  }
  const uint32_t fill = state.Render(D3DRS_FILLMODE);
  const GLenum polygonMode = fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
  if (polygonMode != polygonMode_) {
    glPolygonMode(GL_FRONT_AND_BACK, polygonMode);
    polygonMode_ = polygonMode;
    ++counts_.stateChanges;
  }
  ScissorOff();
  const Viewport& vp = state.GetViewport();
  SetViewport(static_cast<GLint>(vp.X), static_cast<GLint>(targetHeight - vp.Y - vp.Height),
              static_cast<GLint>(vp.Width), static_cast<GLint>(vp.Height));
  if (depthRange_[0] != vp.MinZ || depthRange_[1] != vp.MaxZ) {
    glDepthRange(vp.MinZ, vp.MaxZ);
    depthRange_[0] = vp.MinZ;
    depthRange_[1] = vp.MaxZ;
    ++counts_.stateChanges;
  }
}

void CGlPipeline::ScissorOff() {
  if (scissor_) {
    glDisable(GL_SCISSOR_TEST);
    scissor_ = false;
  }
}

void CGlPipeline::ScissorTo(GLint x, GLint y, GLsizei width, GLsizei height) {
  glScissor(x, y, width, height);
  if (!scissor_) glEnable(GL_SCISSOR_TEST);
  scissor_ = true;
}

void CGlPipeline::DepthWritesOn() {
  if (!depthMask_) {
    glDepthMask(GL_TRUE);
    depthMask_ = true;
  }
}

void CGlPipeline::SetViewport(GLint x, GLint y, GLint w, GLint h) {
  if (viewport_[0] != x || viewport_[1] != y || viewport_[2] != w || viewport_[3] != h) {
    glViewport(x, y, w, h);
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = w;
    viewport_[3] = h;
    ++counts_.stateChanges;
  }
}

void CGlPipeline::UseProgram(GLuint program) {
  if (program_ != program) {
    glUseProgram(program);
    program_ = program;
    ++counts_.programChanges;
  }
}

GLuint CGlPipeline::Sampler(const CStateCache::StageStates& t, bool lastLevelOnly) {
  // Sampling a texture whose smallest level is the most detailed one allowed needs no mip
  // selection: the texture starts at that level and the sampler filters it alone.
  const uint32_t key[7] = {
      t[D3DTSS_MINFILTER],  t[D3DTSS_MAGFILTER], lastLevelOnly ? D3DTEXF_NONE : t[D3DTSS_MIPFILTER],
      t[D3DTSS_ADDRESSU],   t[D3DTSS_ADDRESSV],  t[D3DTSS_MIPMAPLODBIAS],
      t[D3DTSS_MAXMIPLEVEL]};
  for (auto& e : samplers_) {
    if (std::memcmp(e.key, key, sizeof key) == 0) return e.sampler.Id();
  }
  SamplerEntry* e;
  if (samplers_.size() < samplers_.capacity()) {
    samplers_.emplace_back();
    e = &samplers_.back();
  } else {  // a full cache recycles its slots in turn
    e = &samplers_[samplerNext_++ % samplers_.size()];
    for (GLuint unit = 0; unit < 2; ++unit) {
      if (sampler_[unit] == e->sampler.Id()) {
        glBindSampler(unit, 0);
        sampler_[unit] = 0;
      }
    }
  }
  std::memcpy(e->key, key, sizeof key);
  e->sampler = GlObject::Make(GlKind::Sampler, token_);
  const GLuint s = e->sampler.Id();
  const bool minLinear = key[0] >= D3DTEXF_LINEAR;
  GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
  if (key[2] == D3DTEXF_POINT) minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (key[2] >= D3DTEXF_LINEAR) minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, key[1] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(key[3])));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(key[4])));
  glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, BitsFloat(key[5]));
  // The most detailed level allowed: a floor on the level of detail.
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, key[2] == D3DTEXF_NONE ? 0.0f : static_cast<float>(key[6]));
  return s;
}

void CGlPipeline::SetBaseLevel(CGlTexture* texture, const CStateCache::StageStates& stage,
                               bool shortcuts) const {
  if (texture) texture->SetBaseLevel(LastLevelOnly(*texture, stage, shortcuts) ? texture->Levels() - 1 : 0);
}

void CGlPipeline::BindTexture(GLuint unit, CGlTexture* texture, const CStateCache::StageStates& stage,
                              bool shortcuts) {
  if (!texture) return;  // the shader's result for it is not used
  const bool lastLevelOnly = LastLevelOnly(*texture, stage, shortcuts);
  const GLuint name = texture->Name();
  GLuint& bound = unit == 0 ? token_->texture : token_->texture1;
  if (bound != name) {
    // Unit 0 stays the active one: uploads bind there.
    if (unit != 0) glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, name);
    if (unit != 0) glActiveTexture(GL_TEXTURE0);
    bound = name;
    ++counts_.textureBinds;
  }
  const GLuint s = Sampler(stage, lastLevelOnly);
  if (s != sampler_[unit]) {
    glBindSampler(unit, s);
    sampler_[unit] = s;
    ++counts_.stateChanges;
  }
}

void CGlPipeline::BindAttributes(GLuint buffer, uint32_t fvf, uint32_t stride, bool slot) {
  if (buffer == token_->attribBuffer && fvf == attribFvf_ && stride == attribStride_ && slot == attribSlot_)
    return;
  if (token_->arrayBuffer != buffer) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    token_->arrayBuffer = buffer;
  }
  auto at = [](uintptr_t offset) { return reinterpret_cast<const void*>(offset); };
  const GLsizei s = static_cast<GLsizei>(stride);
  uintptr_t offset = 0;
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  const bool rhw = position == D3DFVF_XYZRHW;
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, s, at(0));
  offset += rhw ? 16 : 12;
  const uint32_t weights = FvfBlendWeights(fvf);
  if (weights > 0) {
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, static_cast<GLint>(weights), GL_FLOAT, GL_FALSE, s, at(offset));
    offset += 4 * weights;
  } else {
    glDisableVertexAttribArray(1);
  }
  auto attribute = [&](GLuint loc, bool present, GLint size, GLenum type, GLboolean norm, uint32_t bytes) {
    if (present) {
      glEnableVertexAttribArray(loc);
      glVertexAttribPointer(loc, size, type, norm, s, at(offset));
      offset += bytes;
    } else {
      glDisableVertexAttribArray(loc);
    }
  };
  attribute(2, (fvf & D3DFVF_NORMAL) != 0, 3, GL_FLOAT, GL_FALSE, 12);
  // D3DCOLOR: bytes B, G, R, A, which GL_BGRA swizzles into place.
  attribute(3, (fvf & D3DFVF_DIFFUSE) != 0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4);
  attribute(4, (fvf & D3DFVF_SPECULAR) != 0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4);
  attribute(5, (fvf & D3DFVF_TEXCOUNT_MASK) != 0, 2, GL_FLOAT, GL_FALSE, 8);
  // Gathered draws: each vertex ends with its texture slot, after the format's own bytes.
  if (slot) {
    glEnableVertexAttribArray(6);
    glVertexAttribPointer(6, 1, GL_FLOAT, GL_FALSE, s, at(stride - 4));
  } else {
    glDisableVertexAttribArray(6);
  }
  attribSlot_ = slot;
  token_->attribBuffer = buffer;
  attribFvf_ = fvf;
  attribStride_ = stride;
}

}  // namespace gfx
