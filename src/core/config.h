// The settings, read once at start-up from the settings file (core/settings_file.h): the display
// and the sound levels. Missing file, section or key give the defaults. The game's start-up owns
// the one configuration of a run and hands it to what reads it; the pause screen writes changes
// back to the same file.
#pragma once
#include <string>

#include "core/settings_file.h"

class CConfig {
 public:
  // The defaults, as a missing file gives them.
  CConfig() = default;
  // Reads the file at once.
  explicit CConfig(const char* fileName);
  CConfig(const CConfig&) = delete;
  CConfig& operator=(const CConfig&) = delete;

  // Direct3D format code of a FORMAT name (exact, case-sensitive); 0 when unknown.
  static int FormatFromName(const char* name);

  int window = settings::kWindow.DefaultNumber();  // 0 = full screen, anything else = windowed
  int width = settings::kWidth.DefaultNumber();    // back-buffer and client size
  int height = settings::kHeight.DefaultNumber();
  int format = FormatFromName(settings::kFormat.value);  // full-screen back-buffer format
  int quality = settings::kQuality.DefaultNumber();      // kept, unused
  int fps = settings::kFps.DefaultNumber();              // kept, unused: the rate is fixed
  int displayNo = settings::kDisplayNo.DefaultNumber();  // kept, unused: the default adapter is always used

  int musicVolume = settings::kMusic.DefaultNumber();      // 0..100; 100 = the design's level
  int effectsVolume = settings::kEffects.DefaultNumber();  // 0..100

  std::string fileName;                              // the file read, where changes are written back
  std::string formatName = settings::kFormat.value;  // FORMAT as read, for messages about it
  std::string notes;  // lines about values that were not taken, for the log once it is open
};
