#include "support/headless_game.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/game_services.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "scene/forest_stage_scene.h"
#include "scene/scene.h"
#include "scene/scene_manager.h"
#include "support/null_device.h"

namespace testgame {

namespace {
CHeadlessGame* g_game = nullptr;
}  // namespace

CHeadlessGame::CHeadlessGame(const Options& options) : options_(options) {
  if (!options_.scriptedInput) os::SetInputSource(nullptr);
}

CHeadlessGame::~CHeadlessGame() {
  if (g_game == this) g_game = nullptr;
}

void CHeadlessGame::FrameHook(app::GameServices& game, uint64_t frame) {
  if (!g_game) return;
  g_game->game_ = &game;
  if (g_game->script_) g_game->script_(*g_game, frame);
}

void CHeadlessGame::BoxHook(const char* text, const char* caption) {
  if (!g_game) return;
  g_game->boxes_.push_back(std::string(caption ? caption : "") + ": " + (text ? text : ""));
  if (g_game->onMessageBox) g_game->onMessageBox(caption, text);
}

int CHeadlessGame::Run(Script script) {
  script_ = std::move(script);
  g_game = this;
  if (options_.nullDevice) testdev::UseNullDevice();
  const audio::Output previousSound = audio::GetOutput();
  audio::SetOutput(options_.sound);
  os::SetClock(&clock_);
  os::SetMessageBoxHook(BoxHook);
  app::SetFrameHook(FrameHook);

  const int code = app::RunGame(options_.launch);

  app::SetFrameHook(nullptr);
  os::SetMessageBoxHook(nullptr);
  os::SetClock(nullptr);
  audio::SetOutput(previousSound);
  if (options_.nullDevice) testdev::RestoreRealDevice();
  g_game = nullptr;
  game_ = nullptr;
  return code;
}

CSceneManager& CHeadlessGame::Scenes() const { return *game_->scenes; }

CPlayer* CHeadlessGame::Player() const { return game_ ? game_->Player() : nullptr; }

const char* CHeadlessGame::CurrentSceneName() const {
  const CScene* scene = game_ && game_->scenes ? game_->scenes->GetCurrentScene() : nullptr;
  return scene ? scene->Name() : "";
}

void CHeadlessGame::RequestScene(CScene* scene) {
  if (game_ && game_->scenes && scene) game_->scenes->RequestScene(scene);
}

void CHeadlessGame::Quit() { os::PostQuitMessage(0); }

CPlayThrough::CPlayThrough(int homeFrames, int forestFrames, uint64_t frameCap)
    : homeFrames_(homeFrames), forestFrames_(forestFrames), frameCap_(frameCap) {}

uint64_t CPlayThrough::FirstFrameOf(const std::string& sceneName) const {
  for (const auto& [name, frame] : firstFrames_)
    if (name == sceneName) return frame;
  return 0;
}

void CPlayThrough::Walk(CHeadlessGame& game, uint64_t t) {
  CFakeInput& in = game.Input();
  // Forward most of the time, turning one way then the other, a run and a jump now and then.
  in.keys.clear();
  in.Press(os::VK_UP);
  if ((t / 40) % 3 == 1) in.Press(os::VK_LEFT);
  if ((t / 40) % 3 == 2) in.Press(os::VK_RIGHT);
  if ((t / 25) % 4 == 3) in.Press('X');
  if (t % 90 == 45) in.Press('Z');
  if ((t / 120) % 2 == 1) in.Press(os::VK_NUMPAD6);
}

void CPlayThrough::operator()(CHeadlessGame& game, uint64_t frame) {
  const std::string scene = game.CurrentSceneName();
  if (scene != lastScene_) {
    lastScene_ = scene;
    enteredAt_ = frame;
    if (FirstFrameOf(scene) == 0) {
      firstFrames_.emplace_back(scene, frame);
      if (onScene) onScene(scene.c_str(), frame);
    }
    game.Input().keys.clear();
  }
  const uint64_t t = frame - enteredAt_;
  if (scene == "CTitleScene") {
    // Wait for the fade-in, then press X for two frames.
    if (t == 55) game.Input().Press('X');
    if (t == 57) game.Input().Release('X');
  } else if (scene == "CHomeStageScene") {
    if (t < uint64_t(homeFrames_))
      Walk(game, t);
    else {
      game.Input().keys.clear();
      game.RequestScene(&game.Scenes().ForestStage());
    }
  } else if (scene == "CForestStageScene") {
    if (t < uint64_t(forestFrames_))
      Walk(game, t);
    else if (!finished_) {
      finished_ = true;
      game.Quit();
    }
  }
  if (frame == frameCap_) game.Quit();
}

namespace {
uint64_t StatusKiB(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  uint64_t value = 0;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, n) == 0 && line[n] == ':') {
      value = std::strtoull(line + n + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return value;
}
}  // namespace

uint64_t ResidentKiB() { return StatusKiB("VmRSS"); }
uint64_t PeakResidentKiB() { return StatusKiB("VmHWM"); }

}  // namespace testgame
