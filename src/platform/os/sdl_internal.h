// Shared between the platform services only: the SDL window and event hooks.
#pragma once
#include <SDL.h>

namespace os::internal {

SDL_Window* MainWindow();
// Lets the input service see controller hot-plug events as the pump drains them.
void HandleControllerEvent(const SDL_Event& e);
// Maps an SDL scancode to the Windows virtual-key code, or 0.
int VirtualKeyFromScancode(SDL_Scancode sc);
SDL_Scancode ScancodeFromVirtualKey(int vk);

}  // namespace os::internal
