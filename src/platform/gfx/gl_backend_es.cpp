// WebGL 2 (OpenGL ES 3.0) in a browser. Besides the back-end answers, this file supplies the
// desktop calls the device is written against where ES lacks them, with the same picture:
// BGRA pixels and vertex colours are swizzled (uploads here, colours in the shader), mapped
// buffer ranges become sub-data uploads, line fill draws triangle edges as lines, and a base
// vertex moves the attribute pointers for the draw.
#define BRIMMEL_GL_ES_IMPLEMENTATION
#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/gfx/gl_backend.h"

namespace gfx {
namespace {

std::vector<uint8_t> g_scratch;
struct Mapping {
  GLenum target = 0;
  GLintptr offset = 0;
  GLsizeiptr length = 0;
  bool open = false;
};
Mapping g_map;
GLenum g_polygonMode = GL_FILL;
GLuint g_lineIndices = 0;  // one WebGL context serves the page's whole life
std::vector<uint32_t> g_lines;

// B, G, R, A bytes to R, G, B, A (and back: the swap is its own inverse).
void SwapRedBlue(uint8_t* p, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, p += 4) std::swap(p[0], p[2]);
}

const void* AsRgba(GLenum& format, GLsizei width, GLsizei height, const void* pixels) {
  if (format != GL_BGRA) return pixels;
  format = GL_RGBA;
  if (!pixels) return nullptr;
  const size_t bytes = static_cast<size_t>(width) * height * 4;
  g_scratch.assign(static_cast<const uint8_t*>(pixels), static_cast<const uint8_t*>(pixels) + bytes);
  SwapRedBlue(g_scratch.data(), bytes / 4);
  return g_scratch.data();
}

}  // namespace

namespace es {

void TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                GLenum format, GLenum type, const void* pixels) {
  pixels = AsRgba(format, width, height, pixels);
  glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                   GLenum type, const void* pixels) {
  pixels = AsRgba(format, width, height, pixels);
  glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}

void ReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
  if (format != GL_BGRA) {
    glReadPixels(x, y, width, height, format, type, pixels);
    return;
  }
  glReadPixels(x, y, width, height, GL_RGBA, type, pixels);
  if (pixels) SwapRedBlue(static_cast<uint8_t*>(pixels), static_cast<size_t>(width) * height);
}

void VertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                         const void* pointer) {
  // Byte colours stay in B, G, R, A order; COLOR_ORDER in the shaders puts them right.
  glVertexAttribPointer(index, size == GL_BGRA ? 4 : size, type, normalized, stride, pointer);
}

void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield /*access*/) {
  if (g_map.open || length <= 0) return nullptr;
  g_map = Mapping{target, offset, length, true};
  if (g_scratch.size() < static_cast<size_t>(length)) g_scratch.resize(static_cast<size_t>(length));
  return g_scratch.data();
}

GLboolean UnmapBuffer(GLenum target) {
  if (!g_map.open || g_map.target != target) return GL_FALSE;
  glBufferSubData(target, g_map.offset, g_map.length, g_scratch.data());
  g_map.open = false;
  return GL_TRUE;
}

void PolygonMode(GLenum /*face*/, GLenum mode) { g_polygonMode = mode; }

void DrawArrays(GLenum mode, GLint first, GLsizei count) {
  if (mode != GL_TRIANGLES || g_polygonMode == GL_FILL) {
    glDrawArrays(mode, first, count);
    return;
  }
  if (g_polygonMode == GL_POINT) {
    glDrawArrays(GL_POINTS, first, count);
    return;
  }
  // Line fill: each triangle's three edges.
  g_lines.clear();
  for (GLsizei t = 0; t + 2 < count; t += 3) {
    const uint32_t a = static_cast<uint32_t>(first + t);
    const uint32_t edges[6] = {a, a + 1, a + 1, a + 2, a + 2, a};
    g_lines.insert(g_lines.end(), edges, edges + 6);
  }
  if (g_lines.empty()) return;
  GLint previous = 0;
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &previous);
  if (g_lineIndices == 0) glGenBuffers(1, &g_lineIndices);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g_lineIndices);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(g_lines.size() * 4), g_lines.data(),
               GL_STREAM_DRAW);
  glDrawElements(GL_LINES, static_cast<GLsizei>(g_lines.size()), GL_UNSIGNED_INT, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(previous));
}

void DrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex) {
  if (baseVertex == 0) {
    glDrawElements(mode, count, type, indices);
    return;
  }
  // Move every enabled attribute on by baseVertex vertices for this draw, then put them back.
  constexpr GLuint kAttributes = 6;
  struct Saved {
    GLint enabled = 0, size = 0, type = 0, normalized = 0, stride = 0, buffer = 0;
    void* pointer = nullptr;
  } saved[kAttributes];
  GLint arrayBuffer = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
  auto point = [&](GLuint i, intptr_t shift) {
    const Saved& s = saved[i];
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(s.buffer));
    glVertexAttribPointer(i, s.size, static_cast<GLenum>(s.type), static_cast<GLboolean>(s.normalized),
                          s.stride, static_cast<const uint8_t*>(s.pointer) + shift);
  };
  for (GLuint i = 0; i < kAttributes; ++i) {
    Saved& s = saved[i];
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &s.enabled);
    if (!s.enabled) continue;
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_SIZE, &s.size);
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_TYPE, &s.type);
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &s.normalized);
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &s.stride);
    glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &s.buffer);
    glGetVertexAttribPointerv(i, GL_VERTEX_ATTRIB_ARRAY_POINTER, &s.pointer);
    point(i, static_cast<intptr_t>(baseVertex) * s.stride);
  }
  glDrawElements(mode, count, type, indices);
  for (GLuint i = 0; i < kAttributes; ++i)
    if (saved[i].enabled) point(i, 0);
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
}

void SamplerParameterf(GLuint sampler, GLenum name, GLfloat value) {
  // WebGL has no level-of-detail bias; the unbiased level is the nearest picture.
  if (name == GL_TEXTURE_LOD_BIAS) return;
  glSamplerParameterf(sampler, name, value);
}

}  // namespace es

namespace backend {

void RequestContext(bool /*accelerated*/) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The device draws into its own framebuffer and copies it out: the page's needs no depth,
  // and no multisampling (a copy into a multisampled target is refused).
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
}

void RequestPlainContext() {}

bool ContextUsable() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version && std::strncmp(version, "OpenGL ES 3", 11) == 0;
}

bool EnableZeroToOneDepth() { return false; }
bool ContextIsRobust() { return false; }
// The canvas's buffer is composited by the page; the device keeps its own.
bool WindowDepthStencil() { return false; }
GLenum GraphicsResetStatus() { return GL_NO_ERROR; }

const char* ShaderPrelude() {
  return "#version 300 es\nprecision highp float;\nprecision highp int;\n#define COLOR_ORDER(c) (c).bgra\n";
}

// WebGL 2 only answers whether any sample passed.
GLenum FragmentQueryTarget() { return 0; }
GLenum PassedQueryTarget() { return 0; }
uint64_t QueryResult(GLuint) { return 0; }
// No mapping for reading in WebGL: a mapped range here is a fresh upload.
bool BuffersReadable() { return false; }
// WebGL hands out no program binaries.
bool ProgramBinaries() { return false; }
void KeepProgramBinary(GLuint) {}
bool GetProgramBinary(GLuint, std::vector<uint8_t>&, uint32_t&) { return false; }
bool UseProgramBinary(GLuint, uint32_t, const uint8_t*, size_t) { return false; }

}  // namespace backend
}  // namespace gfx
