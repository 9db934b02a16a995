// The pause as a player relies on it, on the whole game: ten seconds paused in the home stage run
// no step and sound nothing, and play then goes on exactly as a run that never paused (the
// player, the bear, the camera, the music and the effects). The paused run turns the camera with
// the number-row 6, the other with keypad 6: the same turn. Then the pause screen's settings:
// the levels set with the arrows are heard and written into the settings file, M mutes.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/app.h"
#include "app/game_services.h"
#include "app/pause/pause_screen.h"
#include "game_driver.h"
#include "platform/os/input_device.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/npc.h"
#include "unit/player.h"

namespace {

constexpr uint64_t kPauseAt = 100;      // steps into the stage
constexpr uint64_t kPausedTurns = 600;  // ten seconds
constexpr uint64_t kCompareAt = 240;
constexpr uint64_t kMixFrom = kPauseAt + 6;  // the mix is compared from a few steps after the pause

struct State {
  float player[4] = {}, bear[3] = {}, camera = 0;
};

State Now(const app::GameServices& game) {
  State s;
  const CStageWorld* world = game.scenes->CurrentWorld();
  if (!world) return s;
  const WorldContext& w = world->Context();
  if (const CPlayer* p = w.player) {
    s.player[0] = p->GetPosition().x, s.player[1] = p->GetPosition().y, s.player[2] = p->GetPosition().z;
    s.player[3] = p->GetRotation().y;
  }
  if (const CNPC* b = w.bear)
    s.bear[0] = b->GetPosition().x, s.bear[1] = b->GetPosition().y, s.bear[2] = b->GetPosition().z;
  if (w.cameras && w.cameras->Current()) s.camera = w.cameras->Current()->Body().rotation.y;
  return s;
}

struct PlayRecord {
  State atCompare, beforeTurn, pauseStart, pauseEnd;
  std::map<uint64_t, std::vector<float>> mix;  // the mix of the turn that ran each step
  std::vector<double> pausedEnergy;
  uint64_t stepsAtPause = 0, stepsAfterPause = 0;
  bool resumed = false;
  // The settings part: the energy of the mix over a second after the levels were set, and after M.
  double levelsSet = -1, afterMute = -1;
  int musicLevel = -1, effectsLevel = -1;
  bool muted = false;
  std::string settingsFile;
};

double Energy(const e2e::CGameDriver& game, size_t turns) {
  const auto& e = game.FrameEnergy();
  double sum = 0;
  for (size_t i = e.size() - turns; i < e.size(); ++i) sum += e[i];
  return sum / static_cast<double>(turns);
}

// Walks into the home stage, jumps, runs and turns the camera with `cameraKey`, by the game's step
// count so both runs press the same keys at the same steps. With `pause`, P at kPauseAt, P again
// after kPausedTurns; then the pause screen's music level and the mute.
PlayRecord Play(bool pause, int cameraKey) {
  e2e::CGameDriver game(pause ? "pause_paused" : "pause_straight", 320, 240);
  PlayRecord r;
  uint64_t homeAt = 0, lastSteps = 0, pausedSince = 0, settingsAt = 0;
  int phase = 0;
  game.Run([&](uint64_t frame) {
    const uint64_t steps = app::StepsRun();
    const bool stepped = steps != lastSteps;
    lastSteps = steps;
    app::GameServices& running = game.Game();
    if (frame == 1) running.scenes->RequestScene(&running.scenes->HomeStage());
    if (frame > 4000) return false;
    if (!homeAt) {
      if (!running.Player()) return true;
      homeAt = steps;
    }
    const uint64_t t = steps - homeAt;
    if (stepped && t >= kMixFrom && t <= kCompareAt) {
      const std::vector<float>& m = game.Mix();
      r.mix[t].assign(m.end() - e2e::CGameDriver::kSamplesPerFrame, m.end());
    }
    std::set<int> keys;
    if (t >= 20 && t < 200) keys.insert(os::VK_UP);
    if (t >= 60 && t < 130) keys.insert(cameraKey);
    if (t >= 80 && t < 82) keys.insert('Z');
    if (t >= 150 && t < 180) keys.insert('X');
    if (t == 59) r.beforeTurn = Now(running);
    if (t == kCompareAt && phase < 10) r.atCompare = Now(running);
    app::CPauseScreen* screen = running.pause.get();

    if (pause && phase == 0 && t == kPauseAt) {
      keys.insert('P');
      phase = 1;
    } else if (phase == 1 && screen->Paused()) {
      phase = 2;
      pausedSince = frame;
      r.stepsAtPause = steps;
      r.pauseStart = Now(running);
    } else if (phase == 2) {
      r.pausedEnergy.push_back(game.FrameEnergy().back());
      if (frame - pausedSince + 1 == kPausedTurns) {
        r.stepsAfterPause = steps;
        r.pauseEnd = Now(running);
        keys.insert('P');
        phase = 3;
      }
    } else if (phase == 3) {
      r.resumed = !screen->Paused();
      phase = 4;
    }
    if (pause && t == kCompareAt && phase != 4 && phase < 10) return false;

    // The settings, with the player standing: both runs pause and play on at the same turns; the
    // paused one sets the music and effects levels to 50 meanwhile, then mutes.
    if (t == kCompareAt && phase < 10) phase = 10, settingsAt = frame;
    const uint64_t s = phase >= 10 ? frame - settingsAt : 0;
    if (phase == 10) {
      if (s == 1 || s == 29) keys.insert('P');
      if (pause && ((s >= 3 && s < 13) || (s >= 17 && s < 27)) && s % 2 == 1) keys.insert(os::VK_LEFT);
      if (s == 15) keys.insert(os::VK_DOWN);
      if (s == 100) r.levelsSet = Energy(game, 60);
      if (pause && s == 101) keys.insert('M');
      if (s == 170) {
        r.afterMute = Energy(game, 60);
        r.musicLevel = screen->Settings().MusicLevel();
        r.effectsLevel = screen->Settings().EffectsLevel();
        r.muted = screen->Settings().Muted();
        r.settingsFile = ReadFileText(game.Folder() + "/TORIDEN.ini");
        return false;
      }
    }
    game.Input().keys = keys;
    return true;
  });
  return r;
}

TEST(Pause, TenSecondsPausedRunNoStepAndPlayGoesOnAsIfTheyHadBeenSkipped) {
  const PlayRecord straight = Play(false, os::VK_NUMPAD6);
  const PlayRecord paused = Play(true, '6');

  ASSERT_TRUE(paused.resumed);
  EXPECT_EQ(paused.stepsAfterPause, paused.stepsAtPause) << "no step ran while paused";
  EXPECT_EQ(paused.pauseEnd.player[0], paused.pauseStart.player[0]);
  EXPECT_EQ(paused.pauseEnd.camera, paused.pauseStart.camera);
  ASSERT_EQ(paused.pausedEnergy.size(), kPausedTurns - 1);
  for (size_t i = 0; i < paused.pausedEnergy.size(); ++i)
    ASSERT_EQ(paused.pausedEnergy[i], 0.0) << "turn " << i;

  // The camera turned, with the digit as with the keypad, and the world is where the straight
  // run's is.
  EXPECT_GT(std::fabs(straight.atCompare.camera - straight.beforeTurn.camera), 0.5f);
  EXPECT_EQ(paused.atCompare.camera, straight.atCompare.camera);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(paused.atCompare.player[i], straight.atCompare.player[i]) << i;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(paused.atCompare.bear[i], straight.atCompare.bear[i]) << i;
  EXPECT_GT(std::fabs(straight.atCompare.player[2] - straight.beforeTurn.player[2]) +
                std::fabs(straight.atCompare.player[0] - straight.beforeTurn.player[0]),
            20.0f)
      << "the player walked";

  // The music and the effects carry on from where they were: the same mix, step by step.
  ASSERT_EQ(paused.mix.size(), straight.mix.size());
  double loudest = 0, worst = 0;
  for (const auto& [step, m] : straight.mix) {
    const std::vector<float>& other = paused.mix.at(step);
    for (size_t i = 0; i < m.size(); ++i) {
      loudest = std::max(loudest, std::fabs(double(m[i])));
      worst = std::max(worst, std::fabs(double(m[i]) - other[i]));
    }
  }
  EXPECT_GT(loudest, 0.01) << "music played";
  EXPECT_LT(worst, 1e-4);

  // Music and effects at 50 are half the amplitude, a quarter of the energy, of the same second
  // at 100; M silences them; the levels are written back into the settings file, whose other
  // lines stay.
  ASSERT_GT(straight.levelsSet, 0.0);
  EXPECT_NEAR(paused.levelsSet / straight.levelsSet, 0.25, 0.01);
  EXPECT_GT(straight.afterMute, 0.0);
  EXPECT_EQ(paused.afterMute, 0.0);
  EXPECT_EQ(paused.musicLevel, 50);
  EXPECT_EQ(paused.effectsLevel, 50);
  EXPECT_TRUE(paused.muted);
  EXPECT_EQ(paused.settingsFile,
            "[TORIDEN]\nWINDOW=1\nWIDTH=320\nHEIGHT=240\n[SOUND]\nMUSIC=50\nEFFECTS=50\n");
  EXPECT_EQ(straight.settingsFile, "[TORIDEN]\nWINDOW=1\nWIDTH=320\nHEIGHT=240\n")
      << "nothing changed, nothing written";
}

}  // namespace
