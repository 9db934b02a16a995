// The main window in a browser: the page's canvas.
#include <emscripten.h>

#include "platform/os/sdl_internal.h"
#include "platform/os/window.h"

namespace os::internal {

Uint32 PrepareMainWindow(bool& windowed) {
  // The canvas keeps the size the page asks for (brimmel_draw_at) and the page scales it, full
  // screen too: a resizable window would make SDL grow the drawing buffer to the element.
  windowed = true;
  return SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
}

void ShowWindowTitle(SDL_Window*, const char*) {}

}  // namespace os::internal

// Called by the page: draw at width x height from the next frame on. The canvas's buffer takes
// the size at once (the picture is scaled into it until then); the game's back buffer follows on
// the WM_SIZE this posts.
extern "C" EMSCRIPTEN_KEEPALIVE int brimmel_draw_at(int width, int height) {
  SDL_Window* window = os::internal::MainWindow();
  if (!window || width < 16 || height < 16 || width > 0xFFFF || height > 0xFFFF) return 0;
  SDL_SetWindowSize(window, width, height);
  os::PostMessage(
      os::WM_SIZE, 0,
      static_cast<intptr_t>((static_cast<uint32_t>(height) << 16) | static_cast<uint32_t>(width)));
  return 1;
}
