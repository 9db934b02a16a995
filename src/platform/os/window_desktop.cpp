// The desktop's main window (Linux and Windows): resizable, at the display's own pixel density.
#include "platform/os/sdl_internal.h"

namespace os::internal {

Uint32 PrepareMainWindow(bool& /*windowed*/) {
  // The window's own buffer gets a depth and stencil buffer like the back buffer's, so that the
  // graphics device can draw into it directly (its visual is chosen here, with the window).
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  return SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
}

void ShowWindowTitle(SDL_Window* window, const char* title) { SDL_SetWindowTitle(window, title); }

}  // namespace os::internal
