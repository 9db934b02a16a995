// The sixteen logical buttons folded from the keyboard and the first joystick, polled once per
// frame so every consumer sees the same snapshot. Created by each stage-script load and destroyed
// with the world.
#pragma once
#include <cstdint>

class CInput {
 public:
  static constexpr int kButtons = 16;

  CInput();
  ~CInput();
  CInput(const CInput&) = delete;
  CInput& operator=(const CInput&) = delete;

  void Update();
  bool Pressed(int button) const;
  // True once per press: the press is latched until the button is seen released.
  bool Trigger(int button);
  bool AnyDirection() const;

  // Default keyboard key (Windows virtual-key code) of each button; 0 = none.
  static const int kKeyCodes[kButtons];

  // The key each button is read from now: the default unless the [KEYS] section of the
  // settings file names another (BUTTON0 ... BUTTON15 = an SDL key name). A name that is not a
  // key is logged and the default kept. Returns how many buttons were given another key.
  static int LoadKeyBindings(const char* settingsFile);
  static int KeyBinding(int button);
  static void ResetKeyBindings();

 private:
  uint8_t pressed_[kButtons] = {};
  uint8_t latched_[kButtons] = {};
};

extern CInput* g_input;
