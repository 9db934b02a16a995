#include "platform/os/input_device.h"

#include <SDL.h>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <string>

#include "platform/os/sdl_internal.h"

namespace os {
namespace {

struct KeyMap {
  int vk;
  SDL_Scancode sc;
};

constexpr KeyMap kKeys[] = {
    {VK_ESCAPE, SDL_SCANCODE_ESCAPE}, {VK_LEFT, SDL_SCANCODE_LEFT},    {VK_UP, SDL_SCANCODE_UP},
    {VK_RIGHT, SDL_SCANCODE_RIGHT},   {VK_DOWN, SDL_SCANCODE_DOWN},    {VK_NUMPAD2, SDL_SCANCODE_KP_2},
    {VK_NUMPAD4, SDL_SCANCODE_KP_4},  {VK_NUMPAD6, SDL_SCANCODE_KP_6}, {VK_NUMPAD8, SDL_SCANCODE_KP_8},
    {VK_PAUSE, SDL_SCANCODE_PAUSE},   {VK_F2, SDL_SCANCODE_F2},        {VK_LSHIFT, SDL_SCANCODE_LSHIFT},
    {VK_RSHIFT, SDL_SCANCODE_RSHIFT}, {0x0D, SDL_SCANCODE_RETURN},     {0x20, SDL_SCANCODE_SPACE},
    {0x70, SDL_SCANCODE_F1},          {VK_F3, SDL_SCANCODE_F3},        {0x73, SDL_SCANCODE_F4},
    {VK_F12, SDL_SCANCODE_F12},       {0x09, SDL_SCANCODE_TAB},        {0x08, SDL_SCANCODE_BACKSPACE},
    {0xA2, SDL_SCANCODE_LCTRL},       {0xA3, SDL_SCANCODE_RCTRL},      {0x60, SDL_SCANCODE_KP_0},
    {0x61, SDL_SCANCODE_KP_1},        {0x63, SDL_SCANCODE_KP_3},       {0x65, SDL_SCANCODE_KP_5},
    {0x67, SDL_SCANCODE_KP_7},        {0x69, SDL_SCANCODE_KP_9},
};

// Codes for keys that have no entry above: the scancode above 16 bits.
constexpr int kScancodeKey = 0x10000;

bool IsLetter(int vk) { return vk >= 'A' && vk <= 'Z'; }
bool IsDigit(int vk) { return vk >= '0' && vk <= '9'; }

const KeyboardForTests* g_testKeyboard = nullptr;

// Where the key that types this letter or digit sits in the current layout; where the layout has
// no key that types it, the key's place on a US keyboard.
SDL_Scancode ScancodeOfSymbol(int vk) {
  const SDL_Keycode sym = IsLetter(vk) ? SDLK_a + (vk - 'A') : SDLK_0 + (vk - '0');
  if (!g_testKeyboard) return internal::LayoutPlaceOf(sym);
  SDL_Scancode sc = SDL_GetScancodeFromKey(sym);
  if (g_testKeyboard->layout.count(sc)) sc = SDL_SCANCODE_UNKNOWN;  // that place types another
  for (const auto& [place, key] : g_testKeyboard->layout)
    if (key == sym) sc = static_cast<SDL_Scancode>(place);
  return sc != SDL_SCANCODE_UNKNOWN ? sc : internal::ScancodeFromVirtualKey(vk);
}

bool PlaceDown(SDL_Scancode sc) {
  if (g_testKeyboard) return g_testKeyboard->held.count(sc) != 0;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  return state && sc < count && state[sc] != 0;
}

// Keys pressed since the game last read the keys.
std::bitset<SDL_NUM_SCANCODES> g_taps;

class CDeviceInput : public IInputSource {
 public:
  bool KeyDown(int vk) override {
    if (vk == 0) return false;
    const SDL_Scancode sc = IsLetter(vk) || IsDigit(vk) ? ScancodeOfSymbol(vk)
                            : vk >= kScancodeKey        ? static_cast<SDL_Scancode>(vk - kScancodeKey)
                                                        : internal::ScancodeFromVirtualKey(vk);
    if (sc == SDL_SCANCODE_UNKNOWN || !SDL_WasInit(SDL_INIT_VIDEO)) return false;
    return g_taps[sc] || PlaceDown(sc);
  }

  bool ReadJoystick(JoyInfo& info) override {
    OpenFirst();
    if (pad_) return ReadController(info);
    if (joy_) return ReadRaw(info);
    return false;
  }

  void OnDeviceEvent(const SDL_Event& e) {
    const bool removed = e.type == SDL_CONTROLLERDEVICEREMOVED || e.type == SDL_JOYDEVICEREMOVED;
    if (removed) {
      const SDL_JoystickID id = e.type == SDL_CONTROLLERDEVICEREMOVED ? e.cdevice.which : e.jdevice.which;
      if (id == instance_) Close();
    }
    // Added devices are picked up by the next read.
  }

  void Close() {
    if (pad_)
      SDL_GameControllerClose(pad_);
    else if (joy_)
      SDL_JoystickClose(joy_);
    pad_ = nullptr;
    joy_ = nullptr;
    instance_ = -1;
  }

 private:
  void OpenFirst() {
    if (pad_ || joy_ || !SDL_WasInit(SDL_INIT_JOYSTICK)) return;
    const int n = SDL_NumJoysticks();
    for (int i = 0; i < n; ++i) {
      if (SDL_IsGameController(i)) {
        pad_ = SDL_GameControllerOpen(i);
        if (pad_) {
          joy_ = SDL_GameControllerGetJoystick(pad_);
          instance_ = SDL_JoystickInstanceID(joy_);
          return;
        }
      }
    }
    if (n > 0) {
      joy_ = SDL_JoystickOpen(0);
      if (joy_) instance_ = SDL_JoystickInstanceID(joy_);
    }
  }

  static uint32_t Axis(Sint16 v) { return static_cast<uint32_t>(static_cast<int>(v) + 32768); }

  bool ReadController(JoyInfo& info) {
    SDL_GameControllerUpdate();
    if (!SDL_GameControllerGetAttached(pad_)) {
      Close();
      return false;
    }
    info.xPos = Axis(SDL_GameControllerGetAxis(pad_, SDL_CONTROLLER_AXIS_LEFTX));
    info.yPos = Axis(SDL_GameControllerGetAxis(pad_, SDL_CONTROLLER_AXIS_LEFTY));
    if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) info.xPos = 0;
    if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) info.xPos = 65535;
    if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_UP)) info.yPos = 0;
    if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) info.yPos = 65535;
    static constexpr SDL_GameControllerButton kOrder[8] = {SDL_CONTROLLER_BUTTON_A,
                                                           SDL_CONTROLLER_BUTTON_B,
                                                           SDL_CONTROLLER_BUTTON_X,
                                                           SDL_CONTROLLER_BUTTON_Y,
                                                           SDL_CONTROLLER_BUTTON_BACK,
                                                           SDL_CONTROLLER_BUTTON_START,
                                                           SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
                                                           SDL_CONTROLLER_BUTTON_RIGHTSHOULDER};
    info.buttons = 0;
    for (int i = 0; i < 8; ++i)
      if (SDL_GameControllerGetButton(pad_, kOrder[i])) info.buttons |= 1u << i;
    return true;
  }

  bool ReadRaw(JoyInfo& info) {
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(joy_)) {
      Close();
      return false;
    }
    info.xPos = SDL_JoystickNumAxes(joy_) > 0 ? Axis(SDL_JoystickGetAxis(joy_, 0)) : 32767;
    info.yPos = SDL_JoystickNumAxes(joy_) > 1 ? Axis(SDL_JoystickGetAxis(joy_, 1)) : 32767;
    info.buttons = 0;
    const int nb = std::min(SDL_JoystickNumButtons(joy_), 32);
    for (int i = 0; i < nb; ++i)
      if (SDL_JoystickGetButton(joy_, i)) info.buttons |= 1u << i;
    return true;
  }

  SDL_GameController* pad_ = nullptr;
  SDL_Joystick* joy_ = nullptr;
  SDL_JoystickID instance_ = -1;
};

CDeviceInput g_device;
IInputSource* g_source = &g_device;

}  // namespace

namespace internal {

void HandleControllerEvent(const SDL_Event& e) { g_device.OnDeviceEvent(e); }

void NoteKeyPress(SDL_Scancode sc) {
  if (sc > SDL_SCANCODE_UNKNOWN && sc < SDL_NUM_SCANCODES) g_taps.set(sc);
}

int VirtualKeyFromKeysym(SDL_Keycode sym, SDL_Scancode sc) {
  if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
  if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
  // A letter position whose layout types no Latin letter (Cyrillic, Greek) stays usable.
  if (sym >= SDLK_SCANCODE_MASK || sym > 0x7F) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  }
  for (const KeyMap& k : kKeys)
    if (k.sc == sc) return k.vk;
  return 0;
}

SDL_Scancode ScancodeFromVirtualKey(int vk) {
  if (IsLetter(vk)) return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - 'A'));
  if (vk == '0') return SDL_SCANCODE_0;
  if (vk >= '1' && vk <= '9') return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - '1'));
  for (const KeyMap& k : kKeys)
    if (k.vk == vk) return k.sc;
  return SDL_SCANCODE_UNKNOWN;
}

}  // namespace internal

void SetInputSource(IInputSource* source) { g_source = source ? source : &g_device; }

int16_t GetAsyncKeyState(int virtualKey) {
  return g_source->KeyDown(virtualKey) ? static_cast<int16_t>(0x8000) : 0;
}

void ForgetKeyTaps() { g_taps.reset(); }

bool JoyGetPos(JoyInfo& info) { return g_source->ReadJoystick(info); }

void SetKeyboardForTests(const KeyboardForTests* keyboard) { g_testKeyboard = keyboard; }

bool KeyList::Add(int key) {
  if (key == 0 || count >= kMax || std::find(keys, keys + count, key) != keys + count) return false;
  keys[count++] = key;
  return true;
}

bool AnyKeyDown(const KeyList& keys) {
  for (int i = 0; i < keys.count; ++i)
    if (GetAsyncKeyState(keys.keys[i]) < 0) return true;
  return false;
}

KeyList KeysFromList(const char* list, std::string* unknown) {
  KeyList keys;
  if (unknown) unknown->clear();
  const std::string text = list ? list : "";
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    size_t b = pos, e = end;
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    const std::string name = text.substr(b, e - b);
    if (!name.empty()) {
      const int key = KeyFromName(name.c_str());
      if (key != 0) {
        keys.Add(key);
      } else if (unknown) {
        if (!unknown->empty()) *unknown += ", ";
        *unknown += name;
      }
    }
    pos = end + 1;
  }
  return keys;
}

std::string KeyName(int key) {
  if (IsLetter(key) || IsDigit(key)) return std::string(1, static_cast<char>(key));
  const SDL_Scancode sc = key >= kScancodeKey ? static_cast<SDL_Scancode>(key - kScancodeKey)
                                              : internal::ScancodeFromVirtualKey(key);
  if (sc == SDL_SCANCODE_UNKNOWN) return {};
  return SDL_GetScancodeName(sc);
}

std::string KeyListName(const KeyList& keys) {
  std::string out;
  for (int i = 0; i < keys.count; ++i) {
    if (i) out += ", ";
    out += KeyName(keys.keys[i]);
  }
  return out;
}

int KeyFromName(const char* name) {
  if (!name || !*name) return 0;
  const SDL_Keycode sym = SDL_GetKeyFromName(name);
  if (sym == SDLK_UNKNOWN) return 0;
  if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
  if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
  // Anything else is a place on the keyboard; SDL's default layout says which.
  const SDL_Scancode sc = SDL_GetScancodeFromName(name) != SDL_SCANCODE_UNKNOWN
                              ? SDL_GetScancodeFromName(name)
                              : SDL_GetScancodeFromKey(sym);
  if (sc == SDL_SCANCODE_UNKNOWN) return 0;
  for (const KeyMap& k : kKeys)
    if (k.sc == sc) return k.vk;
  return kScancodeKey + static_cast<int>(sc);
}

int AddControllerMappings(const char* path) {
  if (!path || !SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return -1;
  SDL_RWops* rw = SDL_RWFromFile(path, "rb");
  if (!rw) return -1;
  const int added = SDL_GameControllerAddMappingsFromRW(rw, 1);
  // A mapping given for this run in the environment stays ahead of the file's.
  const char* env = SDL_getenv("SDL_GAMECONTROLLERCONFIG");
  if (added > 0 && env && *env) {
    if (SDL_RWops* mem = SDL_RWFromConstMem(env, static_cast<int>(SDL_strlen(env))))
      SDL_GameControllerAddMappingsFromRW(mem, 1);
  }
  return added;
}

namespace {
// The test's own handle on each virtual pad it plugged in, by SDL instance id.
struct VirtualPad {
  SDL_JoystickID id = -1;
  SDL_Joystick* joystick = nullptr;
};
VirtualPad g_virtualPads[4];

int DeviceIndexOf(SDL_JoystickID id) {
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
  return -1;
}
}  // namespace

int AttachVirtualPad() {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return -1;
  for (int h = 0; h < 4; ++h) {
    VirtualPad& pad = g_virtualPads[h];
    if (pad.joystick) continue;
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                SDL_CONTROLLER_BUTTON_MAX, 0);
    if (index < 0) return -1;
    pad.joystick = SDL_JoystickOpen(index);
    if (!pad.joystick) {
      SDL_JoystickDetachVirtual(index);
      return -1;
    }
    pad.id = SDL_JoystickInstanceID(pad.joystick);
    return h;
  }
  return -1;
}

bool SetVirtualPad(int handle, int16_t leftX, int16_t leftY, uint32_t buttons) {
  if (handle < 0 || handle >= 4 || !g_virtualPads[handle].joystick) return false;
  SDL_Joystick* j = g_virtualPads[handle].joystick;
  bool ok = SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, leftX) == 0 &&
            SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTY, leftY) == 0;
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
    ok = SDL_JoystickSetVirtualButton(j, b, (buttons >> b) & 1u) == 0 && ok;
  return ok;
}

bool DetachVirtualPad(int handle) {
  if (handle < 0 || handle >= 4 || !g_virtualPads[handle].joystick) return false;
  VirtualPad& pad = g_virtualPads[handle];
  const int index = DeviceIndexOf(pad.id);
  SDL_JoystickClose(pad.joystick);
  pad = VirtualPad{};
  return index >= 0 && SDL_JoystickDetachVirtual(index) == 0;
}

}  // namespace os
