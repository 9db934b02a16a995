// Runs the real game (RunGame: start-up, message loop, scene manager, shutdown) headless: a fake
// clock that the frame pacing advances, scripted input, the null or the off-screen device, and a
// chosen sound output. A per-frame script steers it through the frame hook.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/audio/device.h"
#include "platform/os/clock.h"
#include "support/fake_input.h"

class CScene;
class CSceneManager;
class CPlayer;

namespace testgame {

struct Options {
  bool nullDevice = true;  // false: the off-screen GL device
  audio::Output sound = audio::Output::kLoopback;
  bool scriptedInput = true;   // false: the real keyboard and pads (SDL)
  app::LaunchSettings launch;  // where the settings, log and screenshots go
};

class CHeadlessGame {
 public:
  // Called after every frame with the frame's number (1 = the first).
  using Script = std::function<void(CHeadlessGame& game, uint64_t frame)>;

  explicit CHeadlessGame(const Options& options = {});
  ~CHeadlessGame();
  CHeadlessGame(const CHeadlessGame&) = delete;
  CHeadlessGame& operator=(const CHeadlessGame&) = delete;

  // Runs the game in the working directory until it quits; returns its exit code.
  int Run(Script script);

  CFakeInput& Input() { return input_; }
  os::CFakeClock& Clock() { return clock_; }
  // The running game, from the first frame's script on (null before it and after the run).
  app::GameServices* Game() const { return game_; }
  CSceneManager& Scenes() const;
  // The player of the current scene's world, or null.
  CPlayer* Player() const;
  // "" before the first scene.
  const char* CurrentSceneName() const;
  // What a scene does to change scenes: names the target and starts the fade-out.
  void RequestScene(CScene* scene);
  void Quit();
  const std::vector<std::string>& MessageBoxes() const { return boxes_; }

  // Called for every message box (caption, text) as well as recording it.
  std::function<void(const char* caption, const char* text)> onMessageBox;

 private:
  static void FrameHook(app::GameServices& game, uint64_t frame);
  static void BoxHook(const char* text, const char* caption);

  Options options_;
  app::GameServices* game_ = nullptr;
  os::CFakeClock clock_{1000};
  CFakeInput input_;
  Script script_;
  std::vector<std::string> boxes_;
};

// The flow a player takes: wait through the logo, X on the title, the telop, a walk in the home
// stage, then (as the goal would) on to the forest, a walk there, then quit. Frames per stage are
// the caller's. Records the frame on which each scene was first current.
class CPlayThrough {
 public:
  CPlayThrough(int homeFrames, int forestFrames, uint64_t frameCap);
  void operator()(CHeadlessGame& game, uint64_t frame);

  // Frame number at whose end the scene was first current; 0 when never reached.
  uint64_t FirstFrameOf(const std::string& sceneName) const;
  bool Finished() const { return finished_; }
  // Called when a scene first becomes current (after the frame in which it did).
  std::function<void(const char* sceneName, uint64_t frame)> onScene;

 private:
  void Walk(CHeadlessGame& game, uint64_t sinceEntry);

  int homeFrames_, forestFrames_;
  uint64_t frameCap_;
  std::vector<std::pair<std::string, uint64_t>> firstFrames_;
  std::string lastScene_;
  uint64_t enteredAt_ = 0;
  bool finished_ = false;
};

// Resident and peak memory of this process (VmRSS / VmHWM), in KiB; 0 when unreadable.
uint64_t ResidentKiB();
uint64_t PeakResidentKiB();

}  // namespace testgame
