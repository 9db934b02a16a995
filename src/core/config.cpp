#include "core/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os/profile.h"

CConfig* g_config = nullptr;

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

int ReadInt(const char* key, const char* def, const char* file) {
  char buf[256];
  os::GetPrivateProfileString("TORIDEN", key, def, buf, sizeof buf, file);
  return std::atoi(buf);
}

// No window can be 0 or fewer pixels wide or high ("WIDTH=" reads as 0): such a size keeps its
// default, and the line is kept for the log, which opens later.
int ReadSize(const char* key, int fallback, const char* file, std::string& notes) {
  char def[16], buf[256];
  std::snprintf(def, sizeof def, "%d", fallback);
  os::GetPrivateProfileString("TORIDEN", key, def, buf, sizeof buf, file);
  const int value = std::atoi(buf);
  if (value > 0) return value;
  char line[400];
  std::snprintf(line, sizeof line, "%s: %s=\"%s\" gives %d, which no window can have; keeping %d\n", file,
                key, buf, value, fallback);
  notes += line;
  return fallback;
}

// A level from 0 to 100; text without a number keeps the default, numbers beyond the ends stop
// there.
int ReadLevel(const char* key, const char* file, std::string& notes) {
  char buf[256];
  os::GetPrivateProfileString("SOUND", key, "100", buf, sizeof buf, file);
  char* end = nullptr;
  const long value = std::strtol(buf, &end, 10);
  if (end == buf) {
    notes +=
        std::string(file) + ": [SOUND] " + key + "=\"" + buf + "\" is no level from 0 to 100; keeping 100\n";
    return 100;
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
  g_config = this;
  displayNo = ReadInt("DISPLAYNO", "0", fileName);
  width = ReadSize("WIDTH", 640, fileName, notes);
  height = ReadSize("HEIGHT", 480, fileName, notes);
  window = ReadInt("WINDOW", "0", fileName);
  char buf[256];
  os::GetPrivateProfileString("TORIDEN", "FORMAT", "R5G6B5", buf, sizeof buf, fileName);
  formatName = buf;
  format = FormatFromName(buf);
  quality = ReadInt("QUALITY", "1", fileName);
  fps = ReadInt("FPS", "60", fileName);
  musicVolume = ReadLevel("MUSIC", fileName, notes);
  effectsVolume = ReadLevel("EFFECTS", fileName, notes);
  this->fileName = fileName ? fileName : "";
}

CConfig::~CConfig() {
  if (g_config == this) g_config = nullptr;
}
