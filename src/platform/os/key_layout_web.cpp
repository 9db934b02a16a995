// The browser's layout: SDL's Emscripten back end keeps the US keymap whatever the player's
// keyboard, so the layout is learned from the page's own key events, each of which tells the
// place (KeyboardEvent.code) and what it typed there (KeyboardEvent.key).
#include <emscripten/html5.h>

#include <cstring>

#include "platform/os/key_layout.h"
#include "platform/os/sdl_internal.h"

namespace os::internal {
namespace {

CKeyLayout g_layout;
bool g_listening = false;

// A main-block place as SDL numbers it.
SDL_Scancode ScancodeOfCode(const std::string& code) {
  if (code.size() == 4 && code.compare(0, 3, "Key") == 0)
    return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (code[3] - 'A'));
  if (code.size() == 6 && code.compare(0, 5, "Digit") == 0)
    return code[5] == '0' ? SDL_SCANCODE_0 : static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (code[5] - '1'));
  static constexpr struct {
    const char* code;
    SDL_Scancode place;
  } kPunctuation[] = {
      {"Minus", SDL_SCANCODE_MINUS},
      {"Equal", SDL_SCANCODE_EQUALS},
      {"BracketLeft", SDL_SCANCODE_LEFTBRACKET},
      {"BracketRight", SDL_SCANCODE_RIGHTBRACKET},
      {"Backslash", SDL_SCANCODE_BACKSLASH},
      {"Semicolon", SDL_SCANCODE_SEMICOLON},
      {"Quote", SDL_SCANCODE_APOSTROPHE},
      {"Backquote", SDL_SCANCODE_GRAVE},
      {"Comma", SDL_SCANCODE_COMMA},
      {"Period", SDL_SCANCODE_PERIOD},
      {"Slash", SDL_SCANCODE_SLASH},
      {"IntlBackslash", SDL_SCANCODE_NONUSBACKSLASH},
  };
  for (const auto& p : kPunctuation)
    if (code == p.code) return p.place;
  return SDL_SCANCODE_UNKNOWN;
}

EM_BOOL Learn(int /*type*/, const EmscriptenKeyboardEvent* e, void* /*user*/) {
  // With Ctrl, Alt or AltGr held a key types something other than its own character.
  if (!e->ctrlKey && !e->altKey && !e->metaKey) g_layout.Learn(e->code, e->key);
  return EM_FALSE;  // seen, not taken: SDL and the page still get it
}

}  // namespace

SDL_Scancode LayoutPlaceOf(SDL_Keycode symbol) {
  if (!g_listening) {
    // On the window, while capturing: every key is seen before SDL reads it as a place.
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, Learn);
    g_listening = true;
  }
  if (symbol < 0 || symbol > 0x7F) return SDL_SCANCODE_UNKNOWN;
  return ScancodeOfCode(g_layout.PlaceOf(static_cast<char>(symbol)));
}

}  // namespace os::internal
