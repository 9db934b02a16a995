// What the device asks of the GL it runs on, answered once per back end: desktop GL 3.3 core
// (gl_backend_desktop.cpp) or WebGL 2 / OpenGL ES 3.0 (gl_backend_es.cpp), chosen at build time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/gl_api.h"

namespace gfx::backend {

// Sets the SDL attributes for the context about to be created.
void RequestContext(bool accelerated);
// Drops the optional attributes (robustness) for a second try.
void RequestPlainContext();
// With the new context current: can the device draw with it?
bool ContextUsable();
// Switches clip-space depth to D3D's 0..1 where the GL can; false leaves GL's -1..1, which the
// shaders then map to.
bool EnableZeroToOneDepth();
// Whether the window's own framebuffer has the depth and stencil a back buffer needs, so the
// device may draw into it directly.
bool WindowDepthStencil();
// True when the context reports resets (a lost GPU) instead of failing silently.
bool ContextIsRobust();
GLenum GraphicsResetStatus();
// The first lines of every shader: the language version, precision, and how the vertex colour
// attributes are ordered (COLOR_ORDER).
const char* ShaderPrelude();
// The query target that counts a scene's shaded fragments, or 0 where none can (WebGL).
GLenum FragmentQueryTarget();
// The one that counts the fragments that pass the depth test, where FragmentQueryTarget counts
// the shaded ones instead; 0 otherwise.
GLenum PassedQueryTarget();
uint64_t QueryResult(GLuint query);
// Whether a buffer's contents can be read back; where not, buffers keep a copy in memory.
bool BuffersReadable();
// Linked programs saved as the driver's own binaries and given back later, which spares the
// compiler (and the memory it keeps) on the next start. False where the GL has none (WebGL).
bool ProgramBinaries();
// Before linking: ask for the program's binary to be kept retrievable.
void KeepProgramBinary(GLuint program);
bool GetProgramBinary(GLuint program, std::vector<uint8_t>& data, uint32_t& format);
// True when the driver took the binary and the program is linked.
bool UseProgramBinary(GLuint program, uint32_t format, const uint8_t* data, size_t size);

}  // namespace gfx::backend
