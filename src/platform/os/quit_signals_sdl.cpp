// Requests to end the game where they are not POSIX signals (a browser, Windows): SDL's own
// handling, which turns them into its quit event when asked to.
#include <SDL.h>

#include "platform/os/session.h"

namespace os::internal {

void WatchQuitSignals(bool on) { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, on ? "0" : "1"); }
void UnwatchQuitSignals() {}
bool TakeQuitRequest() { return false; }
bool QuitRequested() { return false; }
void BoxOpening() {}
void BoxClosed() {}

}  // namespace os::internal
