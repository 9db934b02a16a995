// Inside the platform layer: what the desktop session can do to a running game from outside. It
// may ask the game to end (SIGINT, SIGTERM where there are such signals) or take its display away.
// One file per back end: quit_signals_posix.cpp, quit_signals_sdl.cpp or quit_signals_web.cpp;
// display_x11.cpp or display_none.cpp.
#pragma once

namespace os::internal {

// Before the video system starts. With `on`, a request to end arrives as a close request through
// TakeQuitRequest; without, it keeps its default action.
void WatchQuitSignals(bool on);
void UnwatchQuitSignals();
// True once for every request that came since the last call.
bool TakeQuitRequest();
// True from the first request on.
bool QuitRequested();
// Around a message box: a request while it is up closes it, as its OK would.
void BoxOpening();
void BoxClosed();

// Once the video system has started: watches for the display going away where the back end can
// lose it (X11), and calls the handler set with SetDisplayLostHandler when it does.
void WatchDisplay();
void UnwatchDisplay();

}  // namespace os::internal
