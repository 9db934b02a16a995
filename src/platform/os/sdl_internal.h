// Shared between the platform services only: the SDL window and event hooks.
#pragma once
#include <SDL.h>

namespace os::internal {

SDL_Window* MainWindow();
// Readies the main window's making where the editions differ (window_desktop.cpp,
// window_web.cpp): answers its SDL flags, and sets `windowed` where the host scales the picture
// itself, full screen included.
Uint32 PrepareMainWindow(bool& windowed);
// Puts a caption where the edition shows one: the desktop window's title bar; in a browser
// nowhere (the tab keeps the game's name, and the caption's memory figure means nothing there).
void ShowWindowTitle(SDL_Window* window, const char* title);
// Lets the input service see controller hot-plug events as the pump drains them.
void HandleControllerEvent(const SDL_Event& e);
// The Windows virtual-key code of a key event: letters and digits by the symbol the layout
// gives, other keys by their place; 0 when the game has no use for the key.
int VirtualKeyFromKeysym(SDL_Keycode sym, SDL_Scancode sc);
SDL_Scancode ScancodeFromVirtualKey(int vk);
// Where the player's layout types a letter or digit (SDLK_a..SDLK_z, SDLK_0..SDLK_9); the key's US
// place where the layout has none; SDL_SCANCODE_UNKNOWN where no key is known to type it yet
// (key_layout_sdl.cpp asks SDL's keymap, key_layout_web.cpp learns from the page's key events).
SDL_Scancode LayoutPlaceOf(SDL_Keycode symbol);
// A key went down: it counts as held at the next read even if it is let go before.
void NoteKeyPress(SDL_Scancode sc);

}  // namespace os::internal
