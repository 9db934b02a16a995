// Settings files of any content: the in-memory lookup and the file reader agree, the copied value
// always fits the caller's buffer and is terminated, and nothing reads outside the text. A value
// written into the text is what the reader then finds, and the values it did not touch read as
// before.
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
