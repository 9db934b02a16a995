// What a player sets from the pause screen, kept apart from the game: the music and effects
// levels with the mute, and the settings file they are written back to.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/profile.h"

class SoundBank;

namespace app {

// A level from 0 to 100 as a buffer volume in hundredths of a decibel: 100 is the design's level
// (0), 0 is silence (DSBVOLUME_MIN), and between them the amplitude is in proportion (50 is half
// the amplitude, -602).
int32_t LevelToHundredths(int level);

class CPlayerSettings {
 public:
  // Takes the levels as read from the settings file, the file they are written back to and the
  // bank whose voices the effects level reaches (may be null; it must outlive these settings).
  void Load(int musicLevel, int effectsLevel, const std::string& fileName, SoundBank* effects);

  int MusicLevel() const { return music_; }
  int EffectsLevel() const { return effects_; }
  bool Muted() const { return muted_; }
  // Each applies at once to the sound. The mute is the player's for this run only: it leaves
  // the levels as they are and is not written.
  void SetMusicLevel(int level);
  void SetEffectsLevel(int level);
  void SetMuted(bool muted);
  // The music and effects levels (or silence while muted) to the sound room.
  void Apply() const;

  // Writes the values into the settings file, changing only their lines. False when it cannot be
  // written (LastError says why); the old file is then left whole.
  bool Save(const std::vector<os::ProfileValue>& values);
  // The levels' two lines of [SOUND].
  bool SaveLevels();
  const std::string& LastError() const { return error_; }
  const std::string& FileName() const { return file_; }

 private:
  int music_ = 100, effects_ = 100;
  bool muted_ = false;
  SoundBank* effectsBank_ = nullptr;
  std::string file_;
  std::string error_;
};

}  // namespace app
