// The sixteen logical buttons folded from the keyboard and the first joystick, polled once per
// frame so every consumer sees the same snapshot. Created by each stage-script load and destroyed
// with the world.
#pragma once
#include <cstdint>

#include "platform/os/input_device.h"

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

  // The design's keyboard key (Windows virtual-key code) of each button; 0 = none.
  static const int kKeyCodes[kButtons];
  // The keys each button is read from now: by default the design's key and, for the keypad
  // buttons (10 to 13), the number-row digit of the same name, for keyboards without a keypad.
  // The [KEYS] section of the settings file may name others (BUTTON0 ... BUTTON15 = SDL key
  // names, several separated by commas). A name that is not a key is logged and left out; a line
  // without any key keeps the defaults. Returns how many buttons were given their keys by the file.
  static int LoadKeyBindings(const char* settingsFile);
  // The first key of the button's list.
  static int KeyBinding(int button);
  static const os::KeyList& KeyBindings(int button);
  static void ResetKeyBindings();

 private:
  uint8_t pressed_[kButtons] = {};
  uint8_t latched_[kButtons] = {};
};

extern CInput* g_input;
