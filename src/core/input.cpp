#include "core/input.h"

#include <cstdio>
#include <cstring>

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
// What each button is read from; starts as kKeyCodes.
int g_bindings[CInput::kButtons] = {0x27, 0x25, 0x26, 0x28, 0x58, 0x5A, 0x53, 0x41,
                                    0xA1, 0xA0, 0x66, 0x64, 0x68, 0x62, 0,    0};
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
    if (os::GetAsyncKeyState(g_bindings[i]) < 0) pressed_[i] = 1;
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

void CInput::ResetKeyBindings() { std::memcpy(g_bindings, kKeyCodes, sizeof g_bindings); }

int CInput::KeyBinding(int button) { return button >= 0 && button < kButtons ? g_bindings[button] : 0; }

int CInput::LoadKeyBindings(const char* settingsFile) {
  ResetKeyBindings();
  int changed = 0;
  for (int i = 0; i < kButtons; ++i) {
    char key[16], name[256];
    std::snprintf(key, sizeof key, "BUTTON%d", i);
    if (os::GetPrivateProfileString("KEYS", key, "", name, sizeof name, settingsFile) == 0) continue;
    const int code = os::KeyFromName(name);
    if (code == 0) {
      Log("[KEYS] %s: no key is called \"%s\"; the default is kept\n", key, name);
      continue;
    }
    g_bindings[i] = code;
    ++changed;
  }
  return changed;
}
