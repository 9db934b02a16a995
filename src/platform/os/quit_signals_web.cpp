// Requests to end the game in a browser: there are no signals, and Esc belongs to the browser,
// but the page may ask (brimmel_request_quit), and the game then closes as its close box would.
#include <SDL.h>
#include <emscripten.h>

#include "platform/os/session.h"

namespace os::internal {
namespace {
int g_pending = 0;
bool g_requested = false;
}  // namespace

void WatchQuitSignals(bool on) { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, on ? "0" : "1"); }
void UnwatchQuitSignals() {}

bool TakeQuitRequest() {
  if (g_pending == 0) return false;
  g_pending = 0;
  return true;
}

bool QuitRequested() { return g_requested; }
void BoxOpening() {}
void BoxClosed() {}

}  // namespace os::internal

extern "C" EMSCRIPTEN_KEEPALIVE void brimmel_request_quit() {
  ++os::internal::g_pending;
  os::internal::g_requested = true;
}
