// A scripted keyboard and joystick for tests.
#pragma once
#include <set>

#include "platform/os/input_device.h"

class CFakeInput : public os::IInputSource {
 public:
  CFakeInput() { os::SetInputSource(this); }
  ~CFakeInput() override { os::SetInputSource(nullptr); }
  bool KeyDown(int vk) override { return keys.count(vk) != 0; }
  bool ReadJoystick(os::JoyInfo& info) override {
    if (!joystickPresent) return false;
    info = joy;
    return true;
  }
  void Press(int vk) { keys.insert(vk); }
  void Release(int vk) { keys.erase(vk); }

  std::set<int> keys;
  bool joystickPresent = false;
  os::JoyInfo joy;
};
