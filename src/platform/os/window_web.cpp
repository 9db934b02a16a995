// The main window in a browser: the page's canvas.
#include "platform/os/sdl_internal.h"

namespace os::internal {

Uint32 PrepareMainWindow(bool& windowed) {
  // The canvas keeps the game's own size and the page scales it, full screen too: a resizable
  // window would make SDL grow the drawing buffer to the element.
  windowed = true;
  return SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
}

}  // namespace os::internal
