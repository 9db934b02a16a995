// WebGL 2 (OpenGL ES 3.0) in a browser, with the few desktop calls and formats it lacks supplied
// by gl_backend_es.cpp (BGRA pixels and colours, mapped ranges, line fill, base vertex): the
// device's calls to them are sent there, except in that file, which calls the real ones.
#pragma once
#include <GLES3/gl3.h>

#define GL_BGRA 0x80E1
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_TEXTURE_LOD_BIAS 0x8501
// No border colour in ES 3.0: the edge texel is the nearest picture.
#define GL_CLAMP_TO_BORDER GL_CLAMP_TO_EDGE

namespace gfx::es {
void TexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                GLenum format, GLenum type, const void* pixels);
void TexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                   GLenum type, const void* pixels);
void ReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void VertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                         const void* pointer);
void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access);
GLboolean UnmapBuffer(GLenum target);
void DrawArrays(GLenum mode, GLint first, GLsizei count);
void DrawElementsBaseVertex(GLenum mode, GLsizei count, GLenum type, const void* indices, GLint baseVertex);
void PolygonMode(GLenum face, GLenum mode);
void SamplerParameterf(GLuint sampler, GLenum name, GLfloat value);
inline void ClearDepth(double depth) { glClearDepthf(static_cast<GLfloat>(depth)); }
inline void DepthRange(double n, double f) {
  glDepthRangef(static_cast<GLfloat>(n), static_cast<GLfloat>(f));
}
// ES draws flat-shaded primitives with the last vertex's values; nothing to choose.
inline void ProvokingVertex(GLenum) {}
// A single fragment output is at location 0 already.
inline void BindFragDataLocation(GLuint, GLuint, const char*) {}
}  // namespace gfx::es

// Everywhere but in gl_backend_es.cpp, which defines BRIMMEL_GL_ES_IMPLEMENTATION to reach ES itself.
#ifndef BRIMMEL_GL_ES_IMPLEMENTATION
#define glTexImage2D gfx::es::TexImage2D
#define glTexSubImage2D gfx::es::TexSubImage2D
#define glReadPixels gfx::es::ReadPixels
#define glVertexAttribPointer gfx::es::VertexAttribPointer
#define glMapBufferRange gfx::es::MapBufferRange
#define glUnmapBuffer gfx::es::UnmapBuffer
#define glDrawArrays gfx::es::DrawArrays
#define glDrawElementsBaseVertex gfx::es::DrawElementsBaseVertex
#define glPolygonMode gfx::es::PolygonMode
#define glSamplerParameterf gfx::es::SamplerParameterf
#define glClearDepth gfx::es::ClearDepth
#define glDepthRange gfx::es::DepthRange
#define glProvokingVertex gfx::es::ProvokingVertex
#define glBindFragDataLocation gfx::es::BindFragDataLocation
#endif
