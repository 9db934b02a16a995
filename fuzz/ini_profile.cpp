// Settings files of any content: the in-memory lookup and the file reader agree, the copied value
// always fits the caller's buffer and is terminated, and nothing reads outside the text. A value
// written into the text is what the reader then finds (under the game's names and under names the
// input chooses, whatever their blanks and letters), and the values it did not touch read as
// before.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_target.h"
#include "mem_file.h"
#include "platform/os/profile.h"

namespace {

// Names the game asks for, plus one pair the input chooses itself (its first line, "section|key"),
// so that the fuzzer can reach matches with names of its own.
void Probe(const std::string& text, const char* path, const std::string& section, const std::string& key) {
  std::string value;
  const bool found = os::FindProfileValue(text, section, key, value);
  // UTF-16 text grows by at most half when it becomes UTF-8.
  if (found) FUZZ_CHECK(value.size() <= text.size() + text.size() / 2);
  for (const size_t size : {size_t{1}, size_t{8}, size_t{256}}) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    const size_t n = os::GetPrivateProfileString(section.c_str(), key.c_str(), "dflt ", buffer, size, path);
    FUZZ_CHECK(n < size);
    FUZZ_CHECK(buffer[n] == '\0');
    const std::string expected = found ? value : std::string("dflt");
    FUZZ_CHECK(std::string(buffer, n) == expected.substr(0, size - 1));
  }
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
      cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    static constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

// Names a line of the file can hold: blanks around them are no part of them; within, no line end,
// and a key that neither holds '=' nor starts as a comment or a section does. A UTF-16 file holds
// only characters.
bool Writable(const std::string& text, std::string section, std::string key) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) || c == '\x1a'; };
  for (std::string* name : {&section, &key}) {
    while (!name->empty() && blank(name->back())) name->pop_back();
    name->erase(name->begin(), std::find_if_not(name->begin(), name->end(), blank));
    if (name->empty() || name->find_first_of("\r\n") != std::string::npos) return false;
  }
  if (key.find('=') != std::string::npos || key[0] == ';' || key[0] == '[') return false;
  const bool utf16 = text.size() >= 2 &&
                     ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
  return !utf16 || (ValidUtf8(section) && ValidUtf8(key));
}

}  // namespace

FUZZ_TARGET(ini_profile) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CMemFile file(data, size);
  if (!file.Ok()) return 0;
  static const char* const kKeys[] = {"DISPLAYNO", "WIDTH", "HEIGHT", "WINDOW", "FORMAT", "QUALITY", "FPS"};
  for (const char* key : kKeys) Probe(text, file.Path(), "TORIDEN", key);
  const size_t lineEnd = text.find('\n');
  const std::string first = text.substr(0, lineEnd);
  const size_t bar = first.find('|');
  if (bar != std::string::npos && first.find('\0') == std::string::npos)
    Probe(text, file.Path(), first.substr(0, bar), first.substr(bar + 1));
  // The input's own names, written: the writer finds them where the reader does.
  if (bar != std::string::npos) {
    const std::string section = first.substr(0, bar), key = first.substr(bar + 1);
    std::string found;
    if (Writable(text, section, key))
      FUZZ_CHECK(
          os::FindProfileValue(os::EditProfileText(text, {{section, key, "42"}}), section, key, found) &&
          found == "42");
  }

  const std::string edited = os::EditProfileText(text, {{"SOUND", "MUSIC", "42"}});
  std::string value, before, after;
  FUZZ_CHECK(os::FindProfileValue(edited, "SOUND", "MUSIC", value) && value == "42");
  for (const char* key : kKeys) {
    const bool was = os::FindProfileValue(text, "TORIDEN", key, before);
    FUZZ_CHECK(os::FindProfileValue(edited, "TORIDEN", key, after) == was);
    FUZZ_CHECK(!was || after == before);
  }
  return 0;
}
