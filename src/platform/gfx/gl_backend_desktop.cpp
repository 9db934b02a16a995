// Desktop OpenGL 3.3 core through libepoxy.
#include <SDL.h>

#include "platform/gfx/gl_backend.h"

namespace gfx::backend {

void RequestContext(bool accelerated) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // Hardware asks for an accelerated visual; the reference and software kinds take any.
  SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, accelerated ? 1 : -1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
}

void RequestPlainContext() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
}

bool ContextUsable() { return epoxy_gl_version() >= 33; }

bool WindowDepthStencil() {
  int depth = 0, stencil = 0;
  return SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth) == 0 &&
         SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil) == 0 && depth >= 24 && stencil >= 8;
}

bool EnableZeroToOneDepth() {
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) return false;
  glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  return true;
}

bool ContextIsRobust() {
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_robustness") &&
      !epoxy_has_gl_extension("GL_KHR_robustness")) {
    return false;
  }
  GLint strategy = 0;
  glGetIntegerv(GL_RESET_NOTIFICATION_STRATEGY, &strategy);
  return strategy == GL_LOSE_CONTEXT_ON_RESET;
}

GLenum GraphicsResetStatus() {
  if (epoxy_gl_version() >= 45) return glGetGraphicsResetStatus();
  if (epoxy_has_gl_extension("GL_ARB_robustness")) return glGetGraphicsResetStatusARB();
  return GL_NO_ERROR;
}

const char* ShaderPrelude() { return "#version 330 core\n#define COLOR_ORDER(c) (c)\n"; }

GLenum FragmentQueryTarget() {
  // Fragment-shader invocations where the driver counts them, else the samples that passed.
  return epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_ARB_pipeline_statistics_query")
             ? GL_FRAGMENT_SHADER_INVOCATIONS_ARB
             : GL_SAMPLES_PASSED;
}

GLenum PassedQueryTarget() { return FragmentQueryTarget() == GL_SAMPLES_PASSED ? 0 : GL_SAMPLES_PASSED; }

uint64_t QueryResult(GLuint query) {
  GLuint64 n = 0;
  glGetQueryObjectui64v(query, GL_QUERY_RESULT, &n);
  return n;
}

bool BuffersReadable() { return true; }

bool ProgramBinaries() {
  if (epoxy_gl_version() < 41 && !epoxy_has_gl_extension("GL_ARB_get_program_binary")) return false;
  GLint formats = 0;
  glGetIntegerv(GL_NUM_PROGRAM_BINARY_FORMATS, &formats);
  return formats > 0;
}

void KeepProgramBinary(GLuint program) {
  glProgramParameteri(program, GL_PROGRAM_BINARY_RETRIEVABLE_HINT, GL_TRUE);
}

bool GetProgramBinary(GLuint program, std::vector<uint8_t>& data, uint32_t& format) {
  GLint length = 0;
  glGetProgramiv(program, GL_PROGRAM_BINARY_LENGTH, &length);
  if (length <= 0) return false;
  data.resize(static_cast<size_t>(length));
  GLsizei written = 0;
  GLenum f = 0;
  glGetProgramBinary(program, length, &written, &f, data.data());
  if (written <= 0) return false;
  data.resize(static_cast<size_t>(written));
  format = f;
  return true;
}

bool UseProgramBinary(GLuint program, uint32_t format, const uint8_t* data, size_t size) {
  glProgramBinary(program, format, data, static_cast<GLsizei>(size));
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  return linked == GL_TRUE;
}

}  // namespace gfx::backend
