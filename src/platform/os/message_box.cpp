#include "platform/os/message_box.h"

#include <SDL.h>

#include <cstdio>

#include "platform/os/sdl_internal.h"
#include "platform/os/session.h"
#include "platform/os/window.h"

namespace os {
namespace {
MessageBoxHook g_hook = nullptr;
}

void SetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }

void MessageBox(const char* text, const char* caption) {
  text = text ? text : "";
  caption = caption ? caption : "";
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  if (g_hook) {
    g_hook(text, caption);
    return;
  }
  if (!HasDisplay()) return;
  // A request to end the game closes the box as its OK would (or keeps it from opening): the
  // caller goes on as after OK, and the request reaches the message loop as a close.
  if (internal::QuitRequested()) return;
  internal::BoxOpening();
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, internal::MainWindow());
  internal::BoxClosed();
}

void DebugOutput(const char* text) {
  if (!text) return;
  std::fputs(text, stderr);
}

}  // namespace os
