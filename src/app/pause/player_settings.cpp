#include "app/pause/player_settings.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "core/settings_file.h"
#include "platform/audio/types.h"
#include "sound/music_stream.h"
#include "sound/sound_bank.h"

namespace app {

int32_t LevelToHundredths(int level) {
  if (level <= 0) return audio::DSBVOLUME_MIN;
  if (level >= 100) return audio::DSBVOLUME_MAX;
  const double hundredths = 2000.0 * std::log10(level / 100.0);
  return std::max(audio::DSBVOLUME_MIN, static_cast<int32_t>(std::lround(hundredths)));
}

void CPlayerSettings::Load(int musicLevel, int effectsLevel, const std::string& fileName,
                           SoundBank* effects) {
  effectsBank_ = effects;
  music_ = std::clamp(musicLevel, 0, 100);
  effects_ = std::clamp(effectsLevel, 0, 100);
  muted_ = false;
  file_ = fileName;
  error_.clear();
  Apply();
}

void CPlayerSettings::SetMusicLevel(int level) {
  music_ = std::clamp(level, 0, 100);
  Apply();
}

void CPlayerSettings::SetEffectsLevel(int level) {
  effects_ = std::clamp(level, 0, 100);
  Apply();
}

void CPlayerSettings::SetMuted(bool muted) {
  muted_ = muted;
  Apply();
}

void CPlayerSettings::Apply() const {
  SetMusicVolume(muted_ ? audio::DSBVOLUME_MIN : LevelToHundredths(music_));
  SetEffectsVolume(effectsBank_, muted_ ? audio::DSBVOLUME_MIN : LevelToHundredths(effects_));
}

bool CPlayerSettings::Save(const std::vector<os::ProfileValue>& values) {
  error_.clear();
  if (file_.empty()) {
    error_ = "no settings file";
    return false;
  }
  if (os::WriteProfileValues(file_, values, error_)) return true;
  Log("Settings not saved: %s\n", error_.c_str());
  return false;
}

bool CPlayerSettings::SaveLevels() {
  return Save(
      {settings::kMusic.Set(std::to_string(music_)), settings::kEffects.Set(std::to_string(effects_))});
}

}  // namespace app
