// The sixteen logical buttons folded from the keyboard and the first joystick, polled once per
// frame so every consumer sees the same snapshot. Each stage world makes its own input state;
// the keys each button is read from are the run's, read once from the settings file.
#pragma once
#include <cstdint>

#include "platform/os/input_device.h"

// The pad as the input service reports it (os::JoyInfo): a stick pushed past these edges of its
// 0..65535 range, and the bits of its buttons.
namespace pad {
inline constexpr uint32_t kAxisLow = 1000;
inline constexpr uint32_t kAxisHigh = 60000;
inline constexpr uint32_t kA = 0x01;
inline constexpr uint32_t kB = 0x02;
inline constexpr uint32_t kY = 0x08;
inline constexpr uint32_t kBack = 0x10;
inline constexpr uint32_t kStart = 0x20;
inline constexpr uint32_t kLeftShoulder = 0x40;
inline constexpr uint32_t kRightShoulder = 0x80;
}  // namespace pad

// The keys each button is read from: by default the design's key and, for the keypad buttons
// (10 to 13), the number-row digit of the same name, for keyboards without a keypad.
class CKeyBindings {
 public:
  static constexpr int kButtons = 16;
  // The design's keyboard key (Windows virtual-key code) of each button; 0 = none.
  static const int kKeyCodes[kButtons];

  // The defaults.
  CKeyBindings();
  // The [KEYS] section of the settings file may name other keys (BUTTON0 ... BUTTON15 = SDL key
  // names, several separated by commas). A name that is not a key is logged and left out; a line
  // without any key keeps the default. Starts from the defaults; returns how many buttons were
  // given their keys by the file.
  int Load(const char* settingsFile);

  const os::KeyList& Keys(int button) const;
  // The first key of the button's list.
  int First(int button) const { return Keys(button).First(); }

 private:
  os::KeyList keys_[kButtons];
};

class CInput {
 public:
  static constexpr int kButtons = CKeyBindings::kButtons;

  // Reads the buttons from `keys`, which must outlive it.
  explicit CInput(const CKeyBindings& keys);
  CInput(const CInput&) = delete;
  CInput& operator=(const CInput&) = delete;

  void Update();
  bool Pressed(int button) const;
  // True once per press: the press is latched until the button is seen released.
  bool Trigger(int button);
  bool AnyDirection() const;

 private:
  const CKeyBindings& keys_;
  uint8_t pressed_[kButtons] = {};
  uint8_t latched_[kButtons] = {};
};
