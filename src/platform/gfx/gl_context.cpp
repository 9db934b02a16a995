#include "platform/gfx/gl_context.h"

#include <cstring>
#include <utility>

#include "platform/gfx/gl_back_buffer.h"
#include "platform/gfx/gl_backend.h"
#include "platform/gfx/gl_device.h"
#include "platform/os/sdl_internal.h"

namespace gfx {

CGlContext::CGlContext(SDL_Window* window, SDL_GLContext context)
    : window_(window),
      context_(context),
      restoreWindow_(SDL_GL_GetCurrentWindow()),
      restoreContext_(SDL_GL_GetCurrentContext()),
      token_(std::make_shared<GlShared>()) {}

void CGlContext::MakeCurrentForTeardown() {
  restoreContext_ = SDL_GL_GetCurrentContext();
  restoreWindow_ = SDL_GL_GetCurrentWindow();
  SDL_GL_MakeCurrent(window_, context_);
}

CGlContext::~CGlContext() {
  token_->alive = false;
  SDL_GL_DeleteContext(context_);
  if (restoreContext_ && restoreContext_ != context_) SDL_GL_MakeCurrent(restoreWindow_, restoreContext_);
}

bool SoftwareRenderer() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (!renderer) return true;
  return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
         std::strstr(renderer, "Software") || std::strstr(renderer, "swrast");
}

// ---------------------------------------------------------------------------------------------

bool CDevice::GetAdapterDisplayMode(Format& format) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  const int bits = SDL_BITSPERPIXEL(mode.format);
  format = bits == 16 ? D3DFMT_R5G6B5 : bits == 15 ? D3DFMT_X1R5G5B5 : D3DFMT_X8R8G8B8;
  return true;
}

bool CDevice::IsBackBufferFormat(uint32_t format) { return CGlBackBuffer::ColorFormat(format); }

std::unique_ptr<CDevice> CDevice::Create(const PresentParameters& pp, DeviceType type,
                                         uint32_t behaviorFlags) {
  SDL_Window* window = os::internal::MainWindow();
  if (!window) return nullptr;
  // Exactly one kind of vertex processing, as D3D insists.
  const uint32_t vp =
      behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                       D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
    return nullptr;
  }
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF && type != D3DDEVTYPE_SW) return nullptr;
  if (!CGlBackBuffer::FormatAllowed(pp)) return nullptr;

  backend::RequestContext(type == D3DDEVTYPE_HAL);
  SDL_Window* const previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext const previousContext = SDL_GL_GetCurrentContext();
  SDL_GLContext ctx = SDL_GL_CreateContext(window);
  if (!ctx) {
    // Robustness is a nicety: drivers without it still draw.
    backend::RequestPlainContext();
    ctx = SDL_GL_CreateContext(window);
  }
  backend::RequestPlainContext();
  if (!ctx) {
    SDL_Log("gfx: no GL context of the kind the device needs: %s", SDL_GetError());
    if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return nullptr;
  }
  SDL_GL_MakeCurrent(previousWindow, previousContext);  // creating made the new one current
  auto context = std::make_unique<CGlContext>(window, ctx);
  if (SDL_GL_MakeCurrent(window, ctx) != 0) return nullptr;
  if (!backend::ContextUsable()) return nullptr;
  if (type == D3DDEVTYPE_HAL && SoftwareRenderer()) return nullptr;
  return CGlDevice::Make(window, std::move(context), pp, behaviorFlags);
}

}  // namespace gfx
