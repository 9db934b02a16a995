#include "platform/os/window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/os/sdl_internal.h"
#include "platform/os/session.h"
#include "platform/os/system_info.h"

namespace os {
namespace {

struct WindowState {
  bool sdlUp = false;
  std::string className;
  WindowProc proc = nullptr;
  SDL_Window* window = nullptr;
  bool fullScreen = false;
  std::string title;
  bool quitOnSignals = false;
  int cursorCount = 0;
  std::mutex queueLock;
  std::deque<Message> queue;
};

WindowState& W() {
  static WindowState s;
  return s;
}

void Enqueue(const Message& m) {
  std::lock_guard<std::mutex> lock(W().queueLock);
  W().queue.push_back(m);
}

bool QueueEmpty() {
  std::lock_guard<std::mutex> lock(W().queueLock);
  return W().queue.empty();
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      Enqueue({WM_CLOSE, 0, 0});
      break;
    case SDL_WINDOWEVENT:
      if (W().window && e.window.windowID != SDL_GetWindowID(W().window)) break;
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) Enqueue({WM_CLOSE, 0, 0});
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) Enqueue({WM_ACTIVATE, 1, 0});
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) Enqueue({WM_ACTIVATE, 0, 0});
      break;
    case SDL_KEYDOWN: {
      if (!e.key.repeat) internal::NoteKeyPress(e.key.keysym.scancode);
      // Alt+F4 closes the window the way the system menu would.
      if (e.key.keysym.scancode == SDL_SCANCODE_F4 && (e.key.keysym.mod & KMOD_ALT)) {
        Enqueue({WM_CLOSE, 0, 0});
        break;
      }
      // Alt+Enter: window <-> desktop full screen, the usual desktop-game toggle.
      if ((e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) &&
          (e.key.keysym.mod & KMOD_ALT)) {
        if (!e.key.repeat) SetFullScreen(!W().fullScreen);
        break;
      }
      const int vk = internal::VirtualKeyFromKeysym(e.key.keysym.sym, e.key.keysym.scancode);
      if (vk != 0) Enqueue({WM_KEYDOWN, static_cast<uintptr_t>(vk), e.key.repeat ? 1 : 0});
      break;
    }
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
      internal::HandleControllerEvent(e);
      break;
    default:
      break;
  }
}

// A request to end the game from outside (SIGINT, SIGTERM) closes it as the close box does.
void TakeOutsideRequests() {
  if (internal::TakeQuitRequest()) Enqueue({WM_CLOSE, 0, 0});
}

void Pump() {
  if (!W().sdlUp) return;
  TakeOutsideRequests();
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
}

}  // namespace

namespace internal {
SDL_Window* MainWindow() { return W().window; }
}  // namespace internal

bool InitSystem() {
  if (W().sdlUp) return true;
  SetLoading(true);
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  internal::WatchQuitSignals(W().quitOnSignals);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    SDL_Log("SDL video: %s", SDL_GetError());
    internal::UnwatchQuitSignals();
    return false;
  }
  internal::WatchDisplay();
  // Pads are optional: a machine without them still plays with the keyboard.
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
  W().sdlUp = true;
  return true;
}

void SetQuitOnSignals(bool on) { W().quitOnSignals = on; }

std::string SystemError() {
  const char* e = SDL_GetError();
  return e ? e : "";
}

void ShutdownSystem() {
  if (!W().sdlUp) return;
  DestroyMainWindow();
  internal::UnwatchDisplay();
  SDL_Quit();
  internal::UnwatchQuitSignals();
  W().sdlUp = false;
  std::lock_guard<std::mutex> lock(W().queueLock);
  W().queue.clear();
}

bool RegisterWindowClass(const char* className, WindowProc proc) {
  if (!className || !proc) return false;
  W().className = className;
  W().proc = proc;
  // X11 takes the window class from here when the window is created.
  SDL_setenv("SDL_VIDEO_X11_WMCLASS", className, 1);
  return true;
}

void UnregisterWindowClass() {
  W().proc = nullptr;
  W().className.clear();
}

bool CreateMainWindow(const char* title, int width, int height, bool windowed) {
  if (!InitSystem() || W().proc == nullptr) return false;
  if (W().window) DestroyMainWindow();
  Uint32 flags = internal::PrepareMainWindow(windowed);
  const int clientW = width > 0 ? width : 1, clientH = height > 0 ? height : 1;
  int w = clientW, h = clientH;
  SDL_DisplayMode desktop;
  if (!windowed) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // Made at the desktop's size, so it covers the screen even where no window manager acts on
    // the full-screen request (a bare X server).
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) w = desktop.w, h = desktop.h;
  }
  W().window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
  if (!W().window) {
    SDL_Log("SDL window: %s", SDL_GetError());
    return false;
  }
  // While full screen this only sets the size Alt+Enter returns to.
  if (!windowed) SDL_SetWindowSize(W().window, clientW, clientH);
  W().fullScreen = !windowed;
  W().title = title ? title : "";
  W().cursorCount = 0;
  return true;
}

bool SetFullScreen(bool on) {
  if (!W().window) return false;
  if (SDL_SetWindowFullscreen(W().window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    SDL_Log("full screen: %s", SDL_GetError());
    return false;
  }
  W().fullScreen = on;
  // The pointer has nothing to do over a full-screen game; in a window it is needed to move it.
  SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
  return true;
}

bool ResizeMainWindow(int width, int height) {
  if (!W().window || width <= 0 || height <= 0) return false;
  SDL_SetWindowSize(W().window, width, height);
  return true;
}

void ShowMainWindow() {
  if (!W().window) return;
  SDL_ShowWindow(W().window);
  SDL_RaiseWindow(W().window);
  // Win32 activates a newly shown top-level window; some drivers never report focus.
  Enqueue({WM_ACTIVATE, 1, 0});
}

void DestroyMainWindow() {
  if (W().window) {
    SDL_DestroyWindow(W().window);
    W().window = nullptr;
  }
}

bool HasMainWindow() { return W().window != nullptr; }
bool IsFullScreen() { return W().fullScreen; }

std::vector<std::pair<int, int>> DisplaySizes() {
  std::vector<std::pair<int, int>> sizes;
  if (!W().sdlUp) return sizes;
  const int display = W().window ? std::max(SDL_GetWindowDisplayIndex(W().window), 0) : 0;
  const int n = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(display, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0) continue;
    const std::pair<int, int> size{mode.w, mode.h};
    if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) sizes.push_back(size);
  }
  return sizes;
}

bool PeekMessage() {
  Pump();
  return !QueueEmpty();
}

bool GetMessage(Message& msg) {
  while (QueueEmpty()) WaitMessage();
  {
    std::lock_guard<std::mutex> lock(W().queueLock);
    msg = W().queue.front();
    W().queue.pop_front();
  }
  return msg.message != WM_QUIT;
}

intptr_t DispatchMessage(const Message& msg) {
  if (W().proc) return W().proc(msg.message, msg.wParam, msg.lParam);
  return 0;
}

void WaitMessage() {
  Pump();
  while (QueueEmpty()) {
    if (W().sdlUp) {
      TakeOutsideRequests();
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 50)) Translate(e);
    } else {
      SDL_Delay(10);
    }
  }
}

void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) { Enqueue({message, wParam, lParam}); }

void PostQuitMessage(int exitCode) {
  Enqueue({WM_QUIT, static_cast<uintptr_t>(static_cast<unsigned>(exitCode)), 0});
}

std::string GetWindowTitle() {
  if (!W().window) return {};
  return W().title;
}

void SetWindowTitle(const char* title) {
  if (!W().window) return;
  W().title = title ? title : "";
  if (W().title.size() > 255) W().title.resize(255);
  internal::ShowWindowTitle(W().window, W().title.c_str());
}

int ShowCursor(bool show) {
  W().cursorCount += show ? 1 : -1;
  if (W().sdlUp) SDL_ShowCursor(W().cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return W().cursorCount;
}

bool HasDisplay() {
  if (!W().sdlUp) return false;
  const char* d = SDL_GetCurrentVideoDriver();
  return d && std::strcmp(d, "offscreen") != 0 && std::strcmp(d, "dummy") != 0;
}

bool PushKeyEventForTests(const char* keyName, bool alt, const char* placeName) {
  if (!W().sdlUp || !keyName) return false;
  const SDL_Keycode key = SDL_GetKeyFromName(keyName);
  const SDL_Scancode place = placeName ? SDL_GetScancodeFromName(placeName) : SDL_GetScancodeFromKey(key);
  if (key == SDLK_UNKNOWN || place == SDL_SCANCODE_UNKNOWN) return false;
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.windowID = W().window ? SDL_GetWindowID(W().window) : 0;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = place;
  e.key.keysym.mod = alt ? KMOD_LALT : KMOD_NONE;
  return SDL_PushEvent(&e) == 1;
}

}  // namespace os
