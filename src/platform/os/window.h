// The one top-level window and its message queue, in the shape of the Win32 calls the game
// was designed around: messages carry Win32 message numbers and virtual-key codes, so the
// game's window procedure reads like the design.
#pragma once
#include <cstdint>
#include <string>

namespace os {

enum : uint32_t {
  WM_DESTROY = 0x0002,
  WM_ACTIVATE = 0x0006,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_KEYDOWN = 0x0100,
  WM_COMMAND = 0x0111,
};

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

using WindowProc = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Brings up the video, event and controller services. Safe to call more than once.
bool InitSystem();
void ShutdownSystem();
// Why the last system or window call failed, in the video system's own words ("" when unknown).
std::string SystemError();

bool RegisterWindowClass(const char* className, WindowProc proc);
void UnregisterWindowClass();

// windowed: a captioned, non-resizable window whose client area is width x height, centred.
// full screen: a borderless window covering the desktop (the renderer scales into it).
bool CreateMainWindow(const char* title, int width, int height, bool windowed);
void ShowMainWindow();
void DestroyMainWindow();
bool HasMainWindow();
bool IsFullScreen();

// Message loop primitives. Window events are translated into the messages above; a newly
// shown window receives WM_ACTIVATE(1) as a Win32 window does.
bool PeekMessage();
// Returns false for WM_QUIT (whose wParam is in msg.wParam), true otherwise.
bool GetMessage(Message& msg);
intptr_t DispatchMessage(const Message& msg);
void WaitMessage();
void PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
void PostQuitMessage(int exitCode);

std::string GetWindowTitle();
void SetWindowTitle(const char* title);

// Win32 ShowCursor semantics: a display counter, shown while >= 0. Returns the new counter.
int ShowCursor(bool show);

// True when a real display is behind the window (not the off-screen driver).
bool HasDisplay();

}  // namespace os
