// Keyboard by Windows virtual-key code and "the first joystick", polled once per frame.
// A pad is read through SDL's game-controller mapping; the axes come out in the raw
// 0..65535 range and its buttons as bits, in this order:
//   bit 0 (button 1) A / cross       bit 4 (button 5) Back / select
//   bit 1 (button 2) B / circle      bit 5 (button 6) Start
//   bit 2 (button 3) X / square      bit 6 (button 7) left shoulder
//   bit 3 (button 4) Y / triangle    bit 7 (button 8) right shoulder
// The d-pad pushes the axes to their ends, so it steers like the stick.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace os {

enum : int {
  VK_PAUSE = 0x13,
  VK_RETURN = 0x0D,
  VK_ESCAPE = 0x1B,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_NUMPAD2 = 0x62,
  VK_NUMPAD4 = 0x64,
  VK_NUMPAD6 = 0x66,
  VK_NUMPAD8 = 0x68,
  VK_F2 = 0x71,
  VK_F3 = 0x72,
  VK_F12 = 0x7B,
  VK_LSHIFT = 0xA0,
  VK_RSHIFT = 0xA1,
};

struct JoyInfo {
  uint32_t xPos = 32767;
  uint32_t yPos = 32767;
  uint32_t buttons = 0;
};

// Where keys and the joystick come from: the real devices, or a script in tests.
class IInputSource {
 public:
  virtual ~IInputSource() = default;
  virtual bool KeyDown(int virtualKey) = 0;
  // False when there is no joystick (the read "fails").
  virtual bool ReadJoystick(JoyInfo& info) = 0;
};

// nullptr restores the real devices. The pointer is not owned.
void SetInputSource(IInputSource* source);

// GetAsyncKeyState's sign bit: negative while the key is down. Letters and digits are found by
// what the key types in the player's layout (as a virtual-key code is), so the key labelled Z
// jumps on a QWERTZ keyboard too; where the layout types no such letter or digit (Cyrillic,
// Greek, the number row of AZERTY) by the key's place. Other keys are found by their place.
// A key pressed and let go between two frames reads as down until ForgetKeyTaps: where frames come
// slowly (a browser drawing in software) a quick tap would otherwise never be seen.
int16_t GetAsyncKeyState(int virtualKey);
// Called once the frame has read its keys.
void ForgetKeyTaps();

// Several keys that act as one button (a laptop's number row beside the keypad).
struct KeyList {
  static constexpr int kMax = 4;
  int keys[kMax] = {};
  int count = 0;
  // False when the list is full or already holds the key.
  bool Add(int key);
  int First() const { return count > 0 ? keys[0] : 0; }
};
// Whether any key of the list is down (GetAsyncKeyState's sign bit).
bool AnyKeyDown(const KeyList& keys);
// The keys named in a comma-separated list of SDL key names ("Keypad 6, 6, E"); names SDL does not
// know are left out and given back in `unknown` (comma-separated), when asked for.
KeyList KeysFromList(const char* list, std::string* unknown = nullptr);
// What the player calls a key: "X", "6", "Keypad 6", "Right Shift"; "" for none.
std::string KeyName(int key);
// The names of a list joined with ", ", as [KEYS] takes them.
std::string KeyListName(const KeyList& keys);

// Tests: a keyboard with a layout and held keys of the test's choosing, as SDL would report them.
// layout maps a key's place (SDL scancode) to what it types there (an SDL key code; a character
// key's is its Unicode code point); places not named type what SDL's default layout has there.
// held are the places held down. nullptr: the real keyboard.
struct KeyboardForTests {
  std::map<int, int> layout;
  std::set<int> held;
};
void SetKeyboardForTests(const KeyboardForTests* keyboard);

// The key code (for GetAsyncKeyState) of an SDL key name ("X", "Left", "Keypad 8", "Space",
// "Right Shift", any case); 0 for a name SDL does not know. Keys without a Windows code get one
// above 0xFFFF.
int KeyFromName(const char* name);

// Adds SDL game-controller mappings from a gamecontrollerdb.txt-style file (the joystick
// service must be up). Returns how many were added or updated, -1 when the file is unreadable.
int AddControllerMappings(const char* path);
// joyGetPosEx on the first joystick: true (JOYERR_NOERROR) when one is there.
bool JoyGetPos(JoyInfo& info);

// Tests: plug a virtual pad into SDL (a game controller with the standard axes and buttons) and
// pull it out again, so the real hot-plug path sees it like a pad on a cable. Attach returns a
// handle, or -1 when SDL's joystick service is not up. Axes are SDL's -32768..32767; buttons are
// SDL game-controller button bits (bit 0 = A).
int AttachVirtualPad();
bool SetVirtualPad(int handle, int16_t leftX, int16_t leftY, uint32_t buttons);
bool DetachVirtualPad(int handle);

}  // namespace os
