// The settings, read once at start-up from TORIDEN.ini: the display (section TORIDEN) and the
// sound levels (section SOUND). Missing file, section or key give the defaults. The pause
// screen's settings write changes back to the same file.
#pragma once
#include <string>

class CConfig {
 public:
  // Reads the file at once and registers the process-wide pointer.
  explicit CConfig(const char* fileName = "TORIDEN.ini");
  ~CConfig();
  CConfig(const CConfig&) = delete;
  CConfig& operator=(const CConfig&) = delete;

  // Direct3D format code of a FORMAT name (exact, case-sensitive); 0 when unknown.
  static int FormatFromName(const char* name);

  int window = 0;   // 0 = full screen, anything else = windowed
  int width = 640;  // back-buffer and client size
  int height = 480;
  int format = 23;    // full-screen back-buffer format (R5G6B5)
  int quality = 1;    // kept, unused
  int fps = 60;       // kept, unused: the rate is fixed
  int displayNo = 0;  // kept, unused: the default adapter is always used

  int musicVolume = 100;    // [SOUND] MUSIC, 0..100; 100 = the design's level
  int effectsVolume = 100;  // [SOUND] EFFECTS, 0..100

  std::string fileName;    // the file read, where changes are written back
  std::string formatName;  // FORMAT as read, for messages about it
  std::string notes;       // lines about values that were not taken, for the log once it is open
};

extern CConfig* g_config;
