#include "core/input.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/settings_file.h"
#include "platform/os/input_device.h"
#include "platform/os/profile.h"

const int CKeyBindings::kKeyCodes[CKeyBindings::kButtons] = {
    0x27, 0x25, 0x26, 0x28,  // right, left, up, down
    0x58, 0x5A, 0x53, 0x41,  // X, Z, S, A
    0xA1, 0xA0,              // right shift, left shift
    0x66, 0x64, 0x68, 0x62,  // keypad 6, 4, 8, 2
    0,    0,
};

namespace {
// The number-row digit beside each keypad button's key.
constexpr struct {
  int button;
  int digit;
} kDigits[] = {{10, '6'}, {11, '4'}, {12, '8'}, {13, '2'}};

os::KeyList DefaultList(int button) {
  os::KeyList keys;
  keys.Add(CKeyBindings::kKeyCodes[button]);
  for (const auto& d : kDigits)
    if (d.button == button) keys.Add(d.digit);
  return keys;
}

// Joystick button bit → logical button.
constexpr struct {
  uint32_t bit;
  int button;
} kPadButtons[] = {{pad::kA, 4},     {pad::kB, 5}, {pad::kRightShoulder, 13}, {pad::kLeftShoulder, 10},
                   {pad::kBack, 11}, {pad::kY, 12}};
}  // namespace

CKeyBindings::CKeyBindings() {
  for (int i = 0; i < kButtons; ++i) keys_[i] = DefaultList(i);
}

const os::KeyList& CKeyBindings::Keys(int button) const {
  static const os::KeyList kNone;
  return button >= 0 && button < kButtons ? keys_[button] : kNone;
}

int CKeyBindings::Load(const char* settingsFile) {
  *this = CKeyBindings{};
  int changed = 0;
  for (int i = 0; i < kButtons; ++i) {
    const std::string key = settings::ButtonKey(i);
    char name[256];
    if (os::GetPrivateProfileString(settings::kKeysSection, key.c_str(), "", name, sizeof name,
                                    settingsFile) == 0)
      continue;
    std::string unknown;
    const os::KeyList keys = os::KeysFromList(name, &unknown);
    if (keys.count == 0) {
      Log("[KEYS] %s: no key is called \"%s\"; the default is kept\n", key.c_str(),
          unknown.empty() ? name : unknown.c_str());
      continue;
    }
    if (!unknown.empty()) Log("[KEYS] %s: no key is called \"%s\"; left out\n", key.c_str(), unknown.c_str());
    keys_[i] = keys;
    ++changed;
  }
  return changed;
}

CInput::CInput(const CKeyBindings& keys) : keys_(keys) {}

void CInput::Update() {
  for (int i = 0; i < kButtons; ++i) pressed_[i] = 0;
  for (int i = 0; i < kButtons; ++i)
    if (os::AnyKeyDown(keys_.Keys(i))) pressed_[i] = 1;
  os::JoyInfo joy;
  if (os::JoyGetPos(joy)) {
    if (joy.xPos < pad::kAxisLow) pressed_[1] = 1;
    if (joy.xPos > pad::kAxisHigh) pressed_[0] = 1;
    if (joy.yPos < pad::kAxisLow) pressed_[2] = 1;
    if (joy.yPos > pad::kAxisHigh) pressed_[3] = 1;
    for (const auto& b : kPadButtons)
      if (joy.buttons & b.bit) pressed_[b.button] = 1;
  }
  for (int i = 0; i < kButtons; ++i)
    if (!pressed_[i]) latched_[i] = 0;
}

bool CInput::Pressed(int button) const { return button >= 0 && button < kButtons && pressed_[button] != 0; }

bool CInput::Trigger(int button) {
  if (button < 0 || button >= kButtons) return false;
  if (pressed_[button] && !latched_[button]) {
    latched_[button] = 1;
    return true;
  }
  return false;
}

bool CInput::AnyDirection() const { return pressed_[0] || pressed_[1] || pressed_[2] || pressed_[3]; }
