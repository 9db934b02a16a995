// The pause screen. P, the Pause key or the pad's Start stop the game between two steps: no step
// runs, every sound holds where it is, and the last picture stays, dimmed, with "PAUSED", the
// settings (music and effects levels, window or full screen, picture size, read-out) and the
// keys drawn over it. M mutes and unmutes at any time. Leaving the window while playing pauses.
// The game below learns nothing of it beyond its steps not being run. The game's start-up makes
// one for the run (app/game_services.h).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/pause/player_settings.h"
#include "core/input.h"
#include "platform/gfx/device.h"

namespace app {

class CPauseScreen {
 public:
  // What the settings page lists, top to bottom (the display lines only where the game has a
  // window of its own to size).
  enum class Item { kMusic, kEffects, kDisplay, kSize, kReadout, kKeys, kResume };

  // The levels, the file they are written to and whether the game has a display of its own to
  // set: the levels apply at once, the effects' to `effects` (the run's bank). `keys` are the
  // run's; both must outlive the pause screen.
  CPauseScreen(int musicLevel, int effectsLevel, const std::string& settingsFile, const CKeyBindings& keys,
               SoundBank* effects, bool hasDisplaySettings);
  ~CPauseScreen();
  CPauseScreen(const CPauseScreen&) = delete;
  CPauseScreen& operator=(const CPauseScreen&) = delete;

  // Once per loop turn, before the game's step: reads the pause, mute and settings keys and the
  // pad. True while paused: the step must not run, DrawFrame draws instead.
  bool Turn();
  // The paused picture, presented.
  void DrawFrame();

  void Pause();
  void Resume();
  bool Paused() const { return paused_; }
  // The window or tab lost the focus: while playing, the player comes back to a paused game.
  void FocusLost(bool playing);

  CPlayerSettings& Settings() { return settings_; }
  const std::vector<Item>& Items() const { return items_; }
  Item Selected() const { return items_[selected_]; }
  bool ShowingKeys() const { return keysPage_; }
  // The line under the settings: why the last change could not be written, or "".
  const std::string& Notice() const { return notice_; }

 private:
  struct Key {
    bool down = false;
    int held = 0;
    // True on the press and, held, on a steady repeat after a pause.
    bool Pressed(bool now, bool repeats);
  };

  bool ButtonDown(int button) const;
  void Navigate();
  void Change(int step);
  void Pick();
  void SaveLevels();
  void Save(const std::vector<os::ProfileValue>& values);
  void CaptureLastPicture();
  void DrawPicture(gfx::CDevice& device);
  void DrawPanel(gfx::CDevice& device);
  void DrawSettings();
  void DrawKeys();
  void Text(const std::string& text, float x, float y, uint32_t color, uint32_t format = 0);
  // The picture sizes offered, 4:3 ones first (largest first in each group), with the current
  // one among them.
  std::vector<std::pair<int, int>> PictureSizes() const;

  const CKeyBindings& keys_;
  CPlayerSettings settings_;
  std::vector<Item> items_;
  size_t selected_ = 0;
  bool paused_ = false;
  bool keysPage_ = false;
  bool resumeOnRelease_ = false;
  std::string notice_;
  Key toggle_, mute_, up_, down_, left_, right_, pick_, back_;
  gfx::TexturePtr picture_;
};

}  // namespace app
