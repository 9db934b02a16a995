// Sends the fixed-function values (fixed_function.h) to a program: each uniform group whose
// serial moved on since the program last had it.
#pragma once
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/fixed_function.h"
#include "platform/gfx/gl_shader_cache.h"

namespace gfx {

// `zeroToOne`: clip-space depth is already D3D's 0..1 (else the shaders map GL's -1..1).
void UploadFixedFunction(GlProgram& p, const CFixedFunction& values, const CStateCache& state, bool zeroToOne,
                         WorkCounts& counts);

}  // namespace gfx
