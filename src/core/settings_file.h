// The settings file: its name, sections and keys with their defaults, and the comment each key
// carries in the file a first run writes. The configuration reads it by these names, the input
// its [KEYS] section, the launcher writes the first-run file from here and the pause screen
// writes the player's changes back under the same names.
#pragma once
#include <string>

#include "platform/os/profile.h"

namespace settings {

inline constexpr const char* kFileName = "TORIDEN.ini";

inline constexpr const char* kDisplaySection = "TORIDEN";
inline constexpr const char* kSoundSection = "SOUND";
inline constexpr const char* kKeysSection = "KEYS";

// One key: its section, name and default as the file writes it, and the comment lines above it in
// the first-run file (empty where it shares the comment of the key before it).
struct Key {
  const char* section;
  const char* name;
  const char* value;
  const char* comment;

  int DefaultNumber() const { return std::stoi(value); }
  // This key set to `text`, as the settings are written back.
  os::ProfileValue Set(std::string text) const { return {section, name, std::move(text)}; }
};

inline constexpr Key kWindow{kDisplaySection, "WINDOW", "0",
                             "WINDOW: 0 = full screen on the desktop, any other number = in a window.\n"
                             "The picture is scaled to the screen or window with its aspect kept."};
inline constexpr Key kWidth{kDisplaySection, "WIDTH", "640",
                            "WIDTH, HEIGHT: the size the game draws at, and the window's first size."};
inline constexpr Key kHeight{kDisplaySection, "HEIGHT", "480", ""};
inline constexpr Key kFormat{
    kDisplaySection, "FORMAT", "R5G6B5",
    "FORMAT: the full-screen colour format (R5G6B5, X8R8G8B8, ...). An unknown name\n"
    "keeps the game from starting in full screen."};
inline constexpr Key kDisplayNo{
    kDisplaySection, "DISPLAYNO", "0",
    "DISPLAYNO: kept for older files; the game always opens on the first display."};
inline constexpr Key kQuality{kDisplaySection, "QUALITY", "1",
                              "QUALITY: kept for older files; it changes nothing."};
inline constexpr Key kFps{kDisplaySection, "FPS", "60",
                          "FPS: kept for older files; the game always runs at 60 frames a second."};
inline constexpr Key kMusic{
    kSoundSection, "MUSIC", "100",
    "MUSIC, EFFECTS: from 0 (silent) to 100 (as recorded). The pause screen (P) sets them."};
inline constexpr Key kEffects{kSoundSection, "EFFECTS", "100", ""};

// [KEYS]: BUTTON0 ... BUTTON15.
std::string ButtonKey(int button);

// The first-run file: every key at its default under its comment, then [KEYS] commented out with
// each button's default keys by their SDL names.
std::string DefaultText();

}  // namespace settings
