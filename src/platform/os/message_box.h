// Blocking message boxes and the debugger output stream.
#pragma once
#include <string>

namespace os {

// Shows a modal box with an OK button (UTF-8 texts) and returns when it is dismissed; with no
// display it returns at once. The text also goes to the debug output, so a headless run shows it.
// A request to end the game (SetQuitOnSignals) while the box is up closes it as its OK would, and
// then reaches the message loop as a close.
void MessageBox(const char* text, const char* caption);

// Tests can watch the boxes the game would show. nullptr restores the default.
using MessageBoxHook = void (*)(const char* text, const char* caption);
void SetMessageBoxHook(MessageBoxHook hook);

// OutputDebugStringA: to standard error.
void DebugOutput(const char* text);

}  // namespace os
