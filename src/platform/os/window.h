// The one top-level window and its message queue, in the shape of the Win32 calls the game
// was designed around: messages carry Win32 message numbers and virtual-key codes, so the
// game's window procedure reads like the design.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace os {

enum : uint32_t {
  WM_DESTROY = 0x0002,
  WM_SIZE = 0x0005,  // lParam: the new width (low 16 bits) and height (high 16 bits)
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
// Whether SIGINT and SIGTERM arrive as a close request (the desktop program) or keep their
// default action (tests that fork). Takes effect at the next InitSystem; off by default. A message
// box up at the time is closed as its OK would be (see MessageBox).
void SetQuitOnSignals(bool on);
// Called when the display goes away under the game (its X server ends or drops the connection),
// on the thread that found it gone: nothing can be drawn or shown any more, and nothing made on
// the display can be released. It should end the process; where it returns, the display library
// ends it (X11: exit(1)). Never called where the back end cannot lose its display.
using DisplayLostHandler = void (*)();
void SetDisplayLostHandler(DisplayLostHandler handler);
void ShutdownSystem();
// Why the last system or window call failed, in the video system's own words ("" when unknown).
std::string SystemError();

bool RegisterWindowClass(const char* className, WindowProc proc);
void UnregisterWindowClass();

// windowed: a captioned window whose client area starts at width x height, centred; the player
// may resize it. full screen: a borderless window covering the desktop. The renderer scales the
// picture into either with its aspect kept.
bool CreateMainWindow(const char* title, int width, int height, bool windowed);
// Switches between the window and desktop full screen, keeping the window (and so its GL context
// and everything made with it). Alt+Enter does this while playing. False when refused.
bool SetFullScreen(bool on);
// Sets the window's client size (as the player would by dragging its border).
bool ResizeMainWindow(int width, int height);
void ShowMainWindow();
void DestroyMainWindow();
bool HasMainWindow();
bool IsFullScreen();
// The picture sizes the main window's display offers (its modes, each size once, largest
// first); empty where none can be read.
std::vector<std::pair<int, int>> DisplaySizes();

// Message loop primitives. Window events are translated into the messages above; a newly
// shown window receives WM_ACTIVATE(1) as a Win32 window does. WM_SIZE comes only where the host
// wants the picture drawn at the window's size (a page that follows its canvas); a desktop window
// scales the picture instead.
bool PeekMessage();
// Returns false for WM_QUIT (whose wParam is in msg.wParam), true otherwise.
bool GetMessage(Message& msg);
intptr_t DispatchMessage(const Message& msg);
void WaitMessage();
void PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
void PostQuitMessage(int exitCode);

// The window's caption. A browser's tab keeps the page's own title whatever is set here.
std::string GetWindowTitle();
void SetWindowTitle(const char* title);

// Win32 ShowCursor semantics: a display counter, shown while >= 0. Returns the new counter.
int ShowCursor(bool show);

// True when a real display is behind the window (not the off-screen driver).
bool HasDisplay();

// Tests: sends a key press through SDL's own event queue, as the keyboard would (keyName is an
// SDL key name such as "Return" or "F3"; alt holds Alt). placeName names the key's place (an
// SDL scancode name) when the layout puts it elsewhere than SDL's default one, as "Y" for the
// Z of a German keyboard. False when a name is unknown.
bool PushKeyEventForTests(const char* keyName, bool alt, const char* placeName = nullptr);

}  // namespace os
