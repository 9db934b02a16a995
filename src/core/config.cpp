#include "core/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/settings_file.h"
#include "platform/os/profile.h"

namespace {

constexpr struct {
  const char* name;
  int code;
} kFormats[] = {
    {"R8G8B8", 20},   {"A8R8G8B8", 21}, {"X8R8G8B8", 22}, {"R5G6B5", 23},       {"X1R5G5B5", 24},
    {"A1R5G5B5", 25}, {"A4R4G4B4", 26}, {"R3G3B2", 27},   {"A8", 28},           {"A8R3G3B2", 29},
    {"X4R4G4B4", 30}, {"A8P8", 40},     {"P8", 41},       {"D16_LOCKABLE", 70}, {"D32", 71},
    {"D15S1", 73},    {"D24S8", 75},    {"D16", 80},      {"D24X8", 77},        {"D24X4S4", 79},
};

std::string ReadText(const settings::Key& key, const char* file) {
  char buf[256];
  os::GetPrivateProfileString(key.section, key.name, key.value, buf, sizeof buf, file);
  return buf;
}

int ReadInt(const settings::Key& key, const char* file) { return std::atoi(ReadText(key, file).c_str()); }

// No window can be 0 or fewer pixels wide or high ("WIDTH=" reads as 0): such a size keeps its
// default, and the line is kept for the log, which opens later.
int ReadSize(const settings::Key& key, const char* file, std::string& notes) {
  const std::string text = ReadText(key, file);
  const int value = std::atoi(text.c_str());
  if (value > 0) return value;
  const int fallback = key.DefaultNumber();
  char line[400];
  std::snprintf(line, sizeof line, "%s: %s=\"%s\" gives %d, which no window can have; keeping %d\n", file,
                key.name, text.c_str(), value, fallback);
  notes += line;
  return fallback;
}

// A level from 0 to 100; text without a number keeps the default, numbers beyond the ends stop
// there.
int ReadLevel(const settings::Key& key, const char* file, std::string& notes) {
  const std::string text = ReadText(key, file);
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) {
    notes += std::string(file) + ": [" + key.section + "] " + key.name + "=\"" + text +
             "\" is no level from 0 to 100; keeping " + key.value + "\n";
    return key.DefaultNumber();
  }
  return value < 0 ? 0 : value > 100 ? 100 : static_cast<int>(value);
}

}  // namespace

int CConfig::FormatFromName(const char* name) {
  for (const auto& f : kFormats)
    if (std::strcmp(name, f.name) == 0) return f.code;
  return 0;
}

CConfig::CConfig(const char* fileName) {
  displayNo = ReadInt(settings::kDisplayNo, fileName);
  width = ReadSize(settings::kWidth, fileName, notes);
  height = ReadSize(settings::kHeight, fileName, notes);
  window = ReadInt(settings::kWindow, fileName);
  formatName = ReadText(settings::kFormat, fileName);
  format = FormatFromName(formatName.c_str());
  quality = ReadInt(settings::kQuality, fileName);
  fps = ReadInt(settings::kFps, fileName);
  musicVolume = ReadLevel(settings::kMusic, fileName, notes);
  effectsVolume = ReadLevel(settings::kEffects, fileName, notes);
  this->fileName = fileName ? fileName : "";
}
