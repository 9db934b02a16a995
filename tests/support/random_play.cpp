#include "support/random_play.h"

#include "platform/os/window.h"

namespace testgame {

namespace {
// Everything the game reads except Esc and the pause keys: arrows, X, Z, S, A, the shifts, the keypad camera
// keys.
constexpr int kKeys[] = {os::VK_RIGHT,
                         os::VK_LEFT,
                         os::VK_UP,
                         os::VK_DOWN,
                         'X',
                         'Z',
                         'S',
                         'A',
                         os::VK_RSHIFT,
                         os::VK_LSHIFT,
                         os::VK_NUMPAD6,
                         os::VK_NUMPAD4,
                         os::VK_NUMPAD8,
                         os::VK_NUMPAD2};
}  // namespace

void CRandomPlay::Step(CFakeInput& input) {
  const uint32_t r = rng_();
  if (r % 8 == 0) {
    // Let go of one key, press another (forward is favoured so the player covers ground).
    const int key = kKeys[(r >> 3) % std::size(kKeys)];
    if (input.keys.count(key))
      input.Release(key);
    else
      input.Press(key);
    if ((r >> 8) % 3 == 0) input.Press(os::VK_UP);
  }
  if (r % 509 == 0) input.keys.clear();
  if (r % 997 == 1) input.joystickPresent = !input.joystickPresent;
  if (input.joystickPresent && r % 16 == 2) {
    input.joy.xPos = (r >> 4) % 65536;
    input.joy.yPos = (r >> 12) % 65536;
    input.joy.buttons = (r >> 20) & 0xDF;  // not Start, which pauses
  }
  if (r % 4001 == 3) os::PostMessage(os::WM_KEYDOWN, os::VK_F2);
}

}  // namespace testgame
