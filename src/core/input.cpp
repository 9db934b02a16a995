#include "core/input.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/log.h"
#include "platform/os/input_device.h"
#include "platform/os/profile.h"

CInput* g_input = nullptr;

const int CInput::kKeyCodes[CInput::kButtons] = {
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
  keys.Add(CInput::kKeyCodes[button]);
  for (const auto& d : kDigits)
    if (d.button == button) keys.Add(d.digit);
  return keys;
}

struct Bindings {
  os::KeyList keys[CInput::kButtons];
  Bindings() {
    for (int i = 0; i < CInput::kButtons; ++i) keys[i] = DefaultList(i);
  }
};
// What each button is read from.
Bindings g_bindings;
constexpr uint32_t kAxisLow = 1000;
constexpr uint32_t kAxisHigh = 60000;

// Joystick button bit → logical button.
constexpr struct {
  uint32_t bit;
  int button;
} kPadButtons[] = {{0x01, 4}, {0x02, 5}, {0x80, 13}, {0x40, 10}, {0x10, 11}, {0x08, 12}};
}  // namespace

CInput::CInput() { g_input = this; }

CInput::~CInput() {
  if (g_input == this) g_input = nullptr;
}

void CInput::Update() {
  for (int i = 0; i < kButtons; ++i) pressed_[i] = 0;
  for (int i = 0; i < kButtons; ++i)
    if (os::AnyKeyDown(g_bindings.keys[i])) pressed_[i] = 1;
  os::JoyInfo joy;
  if (os::JoyGetPos(joy)) {
    if (joy.xPos < kAxisLow) pressed_[1] = 1;
    if (joy.xPos > kAxisHigh) pressed_[0] = 1;
    if (joy.yPos < kAxisLow) pressed_[2] = 1;
    if (joy.yPos > kAxisHigh) pressed_[3] = 1;
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

void CInput::ResetKeyBindings() { g_bindings = Bindings{}; }

int CInput::KeyBinding(int button) { return KeyBindings(button).First(); }

const os::KeyList& CInput::KeyBindings(int button) {
  static const os::KeyList kNone;
  return button >= 0 && button < kButtons ? g_bindings.keys[button] : kNone;
}

int CInput::LoadKeyBindings(const char* settingsFile) {
  ResetKeyBindings();
  int changed = 0;
  for (int i = 0; i < kButtons; ++i) {
    char key[16], name[256];
    std::snprintf(key, sizeof key, "BUTTON%d", i);
    if (os::GetPrivateProfileString("KEYS", key, "", name, sizeof name, settingsFile) == 0) continue;
    std::string unknown;
    const os::KeyList keys = os::KeysFromList(name, &unknown);
    if (keys.count == 0) {
      Log("[KEYS] %s: no key is called \"%s\"; the default is kept\n", key,
          unknown.empty() ? name : unknown.c_str());
      continue;
    }
    if (!unknown.empty()) Log("[KEYS] %s: no key is called \"%s\"; left out\n", key, unknown.c_str());
    g_bindings.keys[i] = keys;
    ++changed;
  }
  return changed;
}
