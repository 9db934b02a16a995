// The X11 display going away under the game (its server ends, the session drops the connection).
// Xlib reports that to its I/O error handler and then ends the process with exit(1); ours runs
// the game's handler first, so that the game can say so in its log and end the way it has to,
// with no teardown that would talk to a display that is gone. SDL 2 sets only an X error handler
// (protocol errors), never this one: ours stands in front of Xlib's default and hands over to it.
#include <SDL.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/os/session.h"
#include "platform/os/window.h"

namespace os {
namespace {

DisplayLostHandler g_handler = nullptr;
XIOErrorHandler g_previous = nullptr;
bool g_watching = false;
pid_t g_game = 0;
std::atomic<bool> g_lost{false};

int OnDisplayGone(Display* display) {
  // A process forked from the game's (SDL shows message boxes from one) ends at once: Xlib's
  // default would exit() and so run the game's static destructors there, which wait for threads
  // that process does not have (the music's worker), and the game would wait for it for ever.
  if (getpid() != g_game) _exit(1);
  // Once, in the game's own process. If what the game does then finds the display gone again,
  // Xlib's default ends the process.
  if (!g_lost.exchange(true) && g_handler) g_handler();
  return g_previous ? g_previous(display) : 0;
}

}  // namespace

void SetDisplayLostHandler(DisplayLostHandler handler) { g_handler = handler; }

namespace internal {

void WatchDisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (g_watching || !driver || std::strcmp(driver, "x11") != 0) return;
  g_previous = XSetIOErrorHandler(OnDisplayGone);
  g_game = getpid();
  g_lost = false;
  g_watching = true;
}

void UnwatchDisplay() {
  if (!g_watching) return;
  XSetIOErrorHandler(g_previous);
  g_watching = false;
}

}  // namespace internal
}  // namespace os
