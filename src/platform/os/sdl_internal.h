// Shared between the platform services only: the SDL window and event hooks.
#pragma once
#include <SDL.h>

namespace os::internal {

SDL_Window* MainWindow();
// Readies the main window's making where the editions differ (window_desktop.cpp,
// window_web.cpp): answers its SDL flags, and sets `windowed` where the host scales the picture
// itself, full screen included.
Uint32 PrepareMainWindow(bool& windowed);
// Lets the input service see controller hot-plug events as the pump drains them.
void HandleControllerEvent(const SDL_Event& e);
// The Windows virtual-key code of a key event: letters and digits by the symbol the layout
// gives, other keys by their place; 0 when the game has no use for the key.
int VirtualKeyFromKeysym(SDL_Keycode sym, SDL_Scancode sc);
SDL_Scancode ScancodeFromVirtualKey(int vk);
// A key went down: it counts as held at the next read even if it is let go before.
void NoteKeyPress(SDL_Scancode sc);

}  // namespace os::internal
