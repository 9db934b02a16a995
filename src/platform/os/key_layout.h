// What a keyboard layout types at each place, as far as its key events have shown it: a browser
// tells the place (KeyboardEvent.code, US names: "KeyW", "Digit6", "Semicolon") and the character
// typed there (KeyboardEvent.key) of each event, but never the layout as a whole, so the edition
// that lives there learns it key by key.
#pragma once
#include <map>
#include <string>

namespace os {

class CKeyLayout {
 public:
  // A key went down at `code` and typed `key` (its text, or a name such as "Dead" for keys that
  // type nothing, which teach nothing). Only the main block's places count: the keypad's digits
  // are places of their own.
  void Learn(const std::string& code, const std::string& key);
  // Where a letter ('a'..'z') or digit ('0'..'9') is typed: the place seen typing it; else its US
  // place, unless that place was seen typing another Latin letter (the layout has the letter on a
  // key not yet pressed), which answers "". So a layout without the letter (Cyrillic, Greek,
  // AZERTY's unshifted number row) acts by the key's place.
  std::string PlaceOf(char symbol) const;
  void Forget() { typed_.clear(); }

 private:
  std::map<std::string, char> typed_;  // a letter or digit, or '\0' for any other character
};

}  // namespace os
