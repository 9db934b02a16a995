#include "platform/os/key_layout.h"

#include <cstring>

namespace os {
namespace {

bool IsLetter(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The main block's places, where a layout may put a letter or digit (the ISO key beside the left
// Shift included).
bool MainBlock(const std::string& code) {
  static const char* const kPunctuation[] = {"Minus",     "Equal",     "BracketLeft", "BracketRight",
                                             "Backslash", "Semicolon", "Quote",       "Backquote",
                                             "Comma",     "Period",    "Slash",       "IntlBackslash"};
  if (code.size() == 4 && code.compare(0, 3, "Key") == 0) return code[3] >= 'A' && code[3] <= 'Z';
  if (code.size() == 6 && code.compare(0, 5, "Digit") == 0) return IsDigit(code[5]);
  for (const char* p : kPunctuation)
    if (code == p) return true;
  return false;
}

}  // namespace

void CKeyLayout::Learn(const std::string& code, const std::string& key) {
  if (!MainBlock(code) || key.empty()) return;
  // One character of UTF-8: a lead byte and its continuation bytes only; longer texts are names.
  const unsigned char lead = static_cast<unsigned char>(key[0]);
  const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (key.size() != length) return;
  char typed = '\0';
  if (length == 1) {
    const char c = key[0];
    if (c >= 'A' && c <= 'Z') typed = static_cast<char>(c - 'A' + 'a');
    if (IsLetter(c) || IsDigit(c)) typed = c;
  }
  typed_[code] = typed;
}

std::string CKeyLayout::PlaceOf(char symbol) const {
  if (!IsLetter(symbol) && !IsDigit(symbol)) return {};
  for (const auto& [code, typed] : typed_)
    if (typed == symbol) return code;
  const std::string us = IsLetter(symbol) ? std::string("Key") + static_cast<char>(symbol - 'a' + 'A')
                                          : std::string("Digit") + symbol;
  const auto there = typed_.find(us);
  if (there != typed_.end() && IsLetter(there->second)) return {};
  return us;
}

}  // namespace os
