// What a running game is made of, made once by RunGame at start-up and handed to what needs it:
// the settings and the keys read from the settings file, the scenes (which own the sound-effect
// bank, the fader and each scene's world) and the pause screen. The loop and the window procedure
// reach the game through it; nothing below the app room knows it.
#pragma once
#include <memory>

#include "app/pause/pause_screen.h"
#include "core/config.h"
#include "core/input.h"
#include "scene/scene_manager.h"

namespace app {

struct GameServices {
  // Reads the settings file; the rest is made as start-up reaches it.
  explicit GameServices(const char* settingsFile) : config(settingsFile) {}

  CConfig config;
  CKeyBindings keys;
  std::unique_ptr<CSceneManager> scenes;
  std::unique_ptr<CPauseScreen> pause;

  // The player of the current scene's world, or null (a picture scene, or before the first).
  CPlayer* Player() const;
};

}  // namespace app
