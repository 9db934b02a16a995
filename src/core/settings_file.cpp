#include "core/settings_file.h"

#include "core/input.h"
#include "platform/os/input_device.h"

namespace settings {
namespace {

// What each button does, for the first-run file; "" where the comment before covers it.
constexpr const char* kButtonUses[CInput::kButtons] = {
    "BUTTON0: walk right; circles the camera slowly while looking around.",
    "BUTTON1: walk left; circles the camera slowly the other way.",
    "BUTTON2: walk forward.",
    "BUTTON3: walk back.",
    "BUTTON4: run while held; confirm on the title.",
    "BUTTON5: jump.",
    "BUTTON6 to BUTTON9: not used by the game.",
    "",
    "",
    "",
    "BUTTON10: circle the camera one way.",
    "BUTTON11: not used by the game.",
    "BUTTON12: look around (on and off).",
    "BUTTON13: circle the camera the other way.",
    "BUTTON14, BUTTON15: no key; not used by the game.",
    "",
};

// Each line of `text` as a comment line. (Appended piece by piece: GCC 12 at -O3 takes a literal
// put before a string for an overlapping copy.)
std::string Comment(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    const char* end = p;
    while (*end && *end != '\n') ++end;
    out.append("; ").append(p, end).append("\n");
    p = *end ? end + 1 : end;
  }
  return out;
}

std::string Section(const char* name, std::initializer_list<const Key*> keys) {
  std::string out;
  out.append("[").append(name).append("]\n");
  for (const Key* k : keys)
    out.append(Comment(k->comment)).append(k->name).append("=").append(k->value).append("\n");
  return out;
}

}  // namespace

std::string ButtonKey(int button) {
  std::string key = "BUTTON";
  key.append(std::to_string(button));
  return key;
}

std::string DefaultText() {
  std::string text = Comment(
      "BRIMMEL settings, read once at start-up. Lines starting with ';' are comments;\n"
      "delete this file to have it written again with the defaults.");
  text.append(
      Section(kDisplaySection, {&kWindow, &kWidth, &kHeight, &kFormat, &kDisplayNo, &kQuality, &kFps}));
  text.append("\n").append(Section(kSoundSection, {&kMusic, &kEffects}));
  text.append("\n").append(
      Comment("Keys: remove the ';' before [KEYS] and before a BUTTON line to give that button\n"
              "another key, by its SDL name (Left, Right, Up, Down, A to Z, 0 to 9, Space,\n"
              "Return, Tab, Left Shift, Right Ctrl, Keypad 8, ...). A name that SDL does not know\n"
              "is written to the log and left out. Several keys for one button are separated by\n"
              "commas. Letters follow the keyboard layout (or the key's place where it has none)."));
  text.append(";[").append(kKeysSection).append("]\n");
  const CKeyBindings defaults;
  for (int b = 0; b < CInput::kButtons; ++b) {
    text.append(Comment(kButtonUses[b]));
    const std::string names = os::KeyListName(defaults.Keys(b));
    if (!names.empty()) text.append(";").append(ButtonKey(b)).append("=").append(names).append("\n");
  }
  return text;
}

}  // namespace settings
