// The desktop's layout (Linux and Windows): SDL's keymap follows the system's.
#include "platform/os/sdl_internal.h"

namespace os::internal {

SDL_Scancode LayoutPlaceOf(SDL_Keycode symbol) {
  const SDL_Scancode place = SDL_GetScancodeFromKey(symbol);
  if (place != SDL_SCANCODE_UNKNOWN) return place;
  if (symbol >= SDLK_a && symbol <= SDLK_z)
    return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (symbol - SDLK_a));
  if (symbol == SDLK_0) return SDL_SCANCODE_0;
  return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (symbol - SDLK_1));
}

}  // namespace os::internal
