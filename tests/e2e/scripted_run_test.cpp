// The whole game played through once by script, and once more in a second process that must end
// in exactly the same places.
#include "scripted_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "sound_match.h"
#include "support/wave_files.h"

namespace e2e {
namespace {

// The second process renders a smaller picture: what is drawn has no say in where anybody goes.
constexpr int kTwinWidth = 320, kTwinHeight = 240;

std::string ShotDir() {
  return (std::filesystem::path(BRIMMEL_TEST_OUTPUT_DIR).parent_path() / "e2e-shots").string();
}

// What the second process reports: enough to tell two runs apart.
std::string Summary(const RunRecord& r) {
  std::string s;
  char line[256];
  for (const auto& [scene, frame] : r.firstFrame) {
    std::snprintf(line, sizeof line, "%s %" PRIu64 "\n", scene.c_str(), frame);
    s += line;
  }
  std::snprintf(line, sizeof line, "goal %" PRIu64 " frames %" PRIu64 "\n", r.goalFrame, r.frames);
  s += line;
  std::snprintf(line, sizeof line, "player %a %a %a\nbear %a %a %a\n", r.playerEnd.x, r.playerEnd.y,
                r.playerEnd.z, r.bearEnd.x, r.bearEnd.y, r.bearEnd.z);
  s += line;
  // Particles age only while drawn, and what is drawn depends on the window: their removals are not
  // compared.
  for (const auto& [scene, t] : r.particles) {
    std::snprintf(line, sizeof line, "particles %s %d\n", scene.c_str(), t.spawned);
    s += line;
  }
  for (const auto& [scene, t] : r.leaves) {
    std::snprintf(line, sizeof line, "leaves %s %d %d\n", scene.c_str(), t.spawned, t.removed);
    s += line;
  }
  return s;
}

// Starts the same run in a child process (before this one has touched SDL, GL or AL); the
// summary comes back through a pipe.
class CTwinRun {
 public:
  CTwinRun() {
    if (pipe(fds_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds_[0]);
      const std::string s = Summary(PlayScriptedRun("e2e_twin", "", kTwinWidth, kTwinHeight));
      size_t off = 0;
      while (off < s.size()) {
        const ssize_t n = write(fds_[1], s.data() + off, s.size() - off);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
      }
      _exit(0);
    }
    close(fds_[1]);
  }
  // The child's summary, "" when it failed.
  std::string Wait() {
    if (pid_ <= 0) return "";
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds_[0], buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    close(fds_[0]);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : "";
  }
  ~CTwinRun() { Wait(); }

 private:
  int fds_[2] = {-1, -1};
  pid_t pid_ = -1;
};

constexpr size_t kSpf = 735;  // mix samples per frame

size_t At(uint64_t frame) { return static_cast<size_t>(frame - 1) * kSpf; }

// Mean square of the frames [from, to] of a track.
double Energy(const std::vector<float>& track, uint64_t from, uint64_t to) {
  return MeanSquare(track, At(from), At(to + 1));
}

std::string Data(const char* relative) { return std::string(BRIMMEL_GAME_DIR) + "/data/" + relative; }

// Everything but the music: the stage music taken out while it plays.
struct EffectsTrack {
  std::vector<float> samples;
  size_t homeMusicAt = 0, forestMusicAt = 0;
  double homeMusicLeft = 0, homeMix = 0;  // energy of the home stretch with and without the music
  double forestMusicLeft = 0, forestMix = 0;
  double afterGoalWithMusicTakenOut = 0, afterGoalMix = 0;
};

// The home music is fitted over its stage only: it stops with the goal.
size_t HomeFitLength(const RunRecord& r) {
  const uint64_t home = r.firstFrame.at("CHomeStageScene");
  return r.goalFrame > home + 12 ? At(r.goalFrame - 2) - At(home + 10) : kSpf;
}

EffectsTrack SeparateMusic(const RunRecord& r) {
  EffectsTrack t;
  const uint64_t home = r.firstFrame.at("CHomeStageScene"), forest = r.firstFrame.at("CForestStageScene");
  const uint64_t goal = r.goalFrame;
  const StereoWave homeMusic = LoadStereo(Data("wav/bgm_home.wav"));
  const StereoWave forestMusic = LoadStereo(Data("wav/bgm_forest.wav"));
  const std::vector<float> h = RemoveMusic(r.mix, homeMusic, At(home > 2 ? home - 2 : 1), At(home + 10),
                                           HomeFitLength(r), t.homeMusicAt);
  const std::vector<float> f =
      RemoveMusic(r.mix, forestMusic, At(forest - 2), At(forest + 10), 5 * 44100, t.forestMusicAt);
  t.samples = r.mix;
  for (size_t i = At(home); i < At(goal) && i < t.samples.size(); ++i) t.samples[i] = h[i];
  for (size_t i = At(forest); i < t.samples.size(); ++i) t.samples[i] = f[i];
  t.homeMusicLeft = Energy(h, home + 5, goal - 1);
  t.homeMix = Energy(r.mix, home + 5, goal - 1);
  t.forestMusicLeft = Energy(f, forest + 5, r.frames);
  t.forestMix = Energy(r.mix, forest + 5, r.frames);
  // Had the home music gone on past the goal, taking it out there would leave less, not more.
  t.afterGoalWithMusicTakenOut = Energy(h, goal + 1, forest - 1);
  t.afterGoalMix = Energy(r.mix, goal + 1, forest - 1);
  return t;
}

struct EffectCheck {
  const char* what;
  uint64_t frame;
  const char* file;
};

// The effect must start sounding with its frame (or the next, as the mixer picks it up), stand out
// from what sounded just before, and be that very effect.
void ExpectEffect(const std::vector<float>& track, const EffectCheck& e) {
  SCOPED_TRACE(std::string(e.what) + " at frame " + std::to_string(e.frame));
  ASSERT_GT(e.frame, 1u);
  const double before = Energy(track, e.frame > 31 ? e.frame - 30 : 1, e.frame - 1);
  const double during = Energy(track, e.frame, e.frame + 6);
  EXPECT_GT(during, 1e-5);
  EXPECT_GT(during, 10 * before) << "before " << before << " during " << during;
  const std::vector<float> effect = LoadEffect(Data(e.file), 44100, 0.25);
  ASSERT_FALSE(effect.empty()) << e.file;
  const double match = BestMatch(track, effect, At(e.frame) - kSpf, At(e.frame + 2));
  std::printf("%s: frame %" PRIu64 ", mean square before %.3g, after %.3g, match %.3f\n", e.what, e.frame,
              before, during, match);
  EXPECT_GT(match, 0.6) << e.file;
  // Nothing like it a second earlier.
  if (e.frame > 61) {
    EXPECT_LT(BestMatch(track, effect, At(e.frame - 60), At(e.frame - 57)), 0.5 * match);
  }
}

// The mix and what is left of it without the music, as float WAVE files, and the energy of both
// per frame, for a person to listen to and plot.
void WriteFloatWave(const std::string& path, const std::vector<float>& samples) {
  testwave::WriteWave(path, testwave::Wave(testwave::kFloat, 1, 44100, samples));
}

void WriteSoundForPeople(const RunRecord& r, const EffectsTrack& t) {
  WriteFloatWave(ShotDir() + "/mix.wav", r.mix);
  WriteFloatWave(ShotDir() + "/effects.wav", t.samples);
  std::FILE* f = std::fopen((ShotDir() + "/energy.txt").c_str(), "w");
  if (!f) return;
  std::fprintf(f, "# frame, mean square of the mix, of the mix without the music\n");
  for (uint64_t frame = 1; frame <= r.frames; ++frame)
    std::fprintf(f, "%" PRIu64 " %.4g %.4g\n", frame, Energy(r.mix, frame, frame),
                 Energy(t.samples, frame, frame));
  std::fclose(f);
}

bool HasMissingFileLine(const std::string& log) {
  std::string lower = log;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("not found") != std::string::npos || lower.find("notfound") != std::string::npos;
}

TEST(EndToEnd, ScriptedRunThroughTheWholeGame) {
  // The same run in a second process, side by side; both must end alike.
  CTwinRun twin;
  const auto started = std::chrono::steady_clock::now();
  const RunRecord r = PlayScriptedRun("e2e_main", ShotDir(), 640, 480);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const std::string twinSummary = twin.Wait();
  std::printf("%s", Summary(r).c_str());
  std::printf("run: %.1f s for %" PRIu64 " frames\n", seconds, r.frames);
  for (uint64_t w : r.waypointFrames) std::printf("forest waypoint at frame %" PRIu64 "\n", w);
  std::printf("walk %.2f, run %.2f per frame; bear %.1f away at the end\n", r.topWalkSpeed, r.topRunSpeed,
              r.bearDistanceEnd);
  const EffectsTrack t = SeparateMusic(r);
  WriteSoundForPeople(r, t);

  EXPECT_EQ(r.exitCode, 0);

  // --- scene flow and frame counts ---
  const std::vector<std::string> order = {"CTeamLogoScene", "CTitleScene", "CTelopScene", "CHomeStageScene",
                                          "CForestStageScene"};
  ASSERT_EQ(r.sceneOrder, order);
  auto first = [&](const char* s) { return r.firstFrame.at(s); };
  EXPECT_EQ(first("CTeamLogoScene"), 1u);
  // The logo counts 257 frames, then fades out for 51; the switch comes inside the last of them.
  EXPECT_EQ(first("CTitleScene"), 257u + 51u - 1u);
  ASSERT_GT(r.confirmFrame, first("CTitleScene"));
  EXPECT_EQ(first("CTelopScene"), r.confirmFrame + 51u - 1u);
  EXPECT_EQ(first("CHomeStageScene"), first("CTelopScene") + 129u + 51u);
  ASSERT_GT(r.goalFrame, first("CHomeStageScene"))
      << "the autopilot never reached the goal; closest " << r.homeClosest;
  // The first ending frame after the goal asks for the forest; its fade-out then runs 51 frames.
  EXPECT_EQ(first("CForestStageScene"), r.goalFrame + 1u + 51u);
  EXPECT_EQ(r.frames, first("CForestStageScene") + kForestFrames);

  // --- the player: walked from the start to the goal, then through the forest ---
  EXPECT_LT(std::hypot(r.homeStart.x - 0.0f, r.homeStart.z + 250.0f), 1.0f);
  EXPECT_LT(std::hypot(r.goalPosition.x - 160.0f, r.goalPosition.y, r.goalPosition.z - 310.0f), 100.0f);
  EXPECT_GE(r.waypointFrames.size(), 6u);
  EXPECT_GT(r.highestPlayerY, 50.0f) << "never got onto the plateau";
  EXPECT_GT(r.idleJumpRise, 10.0f);
  EXPECT_GT(r.topWalkSpeed, 1.0f);
  EXPECT_GT(r.topRunSpeed, 1.5f * r.topWalkSpeed);
  EXPECT_GT(r.cameraYawTurned, 6.0f);
  EXPECT_EQ(r.lookModeAfterOn, 1);
  EXPECT_EQ(r.lookModeAfterOff, 0);

  // --- the bear kept up ---
  EXPECT_LT(r.bearDistanceEnd, 160.0f);

  // --- footsteps: smoke and leaves came and went ---
  for (const char* stage : {"CHomeStageScene", "CForestStageScene"}) {
    SCOPED_TRACE(stage);
    ASSERT_TRUE(r.particles.count(stage));
    ASSERT_TRUE(r.leaves.count(stage));
    EXPECT_GT(r.particles.at(stage).spawned, 0);
    EXPECT_GT(r.particles.at(stage).removed, 0);
    EXPECT_GT(r.leaves.at(stage).spawned, 0);
  }
  // A leaf flies for longer than the walk to the home's goal takes, so only the forest sees them go.
  EXPECT_GT(r.leaves.at("CForestStageScene").removed, 0);
  EXPECT_LE(r.leaves.at("CForestStageScene").removed, r.leaves.at("CForestStageScene").spawned);

  // --- sound ---
  ASSERT_TRUE(r.audioCaptured);
  EXPECT_EQ(r.musicFramesBeforeHome, 0u);
  EXPECT_EQ(Energy(r.mix, first("CTitleScene") + 10, r.confirmFrame - 1), 0.0) << "the title is silent";
  // The stream plays from the stage's first frame, stops with the goal, and the forest starts its own.
  EXPECT_LE(r.musicFirstHome, first("CHomeStageScene") + 2);
  EXPECT_EQ(r.musicLastHome, r.goalFrame - 1);
  EXPECT_LE(r.musicFirstForest, first("CForestStageScene") + 2);
  EXPECT_EQ(r.musicLastForest, r.frames);
  ASSERT_LT(t.homeMusicAt, r.mix.size()) << "the home music is not in the mix";
  ASSERT_LT(t.forestMusicAt, r.mix.size()) << "the forest music is not in the mix";
  EXPECT_LE(t.homeMusicAt, At(first("CHomeStageScene") + 2));
  EXPECT_LE(t.forestMusicAt, At(first("CForestStageScene") + 2));
  // The music is nearly all of what sounds while it plays ...
  EXPECT_GT(t.homeMix, 1e-3);
  EXPECT_LT(t.homeMusicLeft, 0.05 * t.homeMix);
  EXPECT_GT(t.forestMix, 1e-3);
  EXPECT_LT(t.forestMusicLeft, 0.05 * t.forestMix);
  // ... and gone after the goal.
  EXPECT_GT(t.afterGoalWithMusicTakenOut, t.afterGoalMix);

  ExpectEffect(t.samples, {"logo", 16, "wav/SE009.wav"});
  ExpectEffect(t.samples, {"confirm on the title", r.confirmFrame, "wav/SE002.wav"});
  ExpectEffect(t.samples, {"goal chime", r.goalFrame, "wav/SE009.wav"});
  ExpectEffect(t.samples, {"jump from standing", r.idleJumpFrame, "wav/SE025.wav"});
  ExpectEffect(t.samples, {"look on", r.lookOnFrame, "wav/SE021.wav"});
  ExpectEffect(t.samples, {"look off", r.lookOffFrame, "wav/SE022.wav"});

  // --- the log names no missing file ---
  EXPECT_TRUE(r.logWritten);
  EXPECT_FALSE(HasMissingFileLine(r.log)) << r.log;

  // --- pictures of every stage, none of them a flat screen ---
  EXPECT_EQ(r.failedShots, 0);
  EXPECT_EQ(r.shots.size(), 8u);
  ASSERT_EQ(r.shotContrast.size(), r.shots.size());
  for (size_t i = 0; i < r.shots.size(); ++i) EXPECT_GT(r.shotContrast[i], 8.0) << r.shots[i];

  // --- determinism: the second process ended in exactly the same places ---
  EXPECT_EQ(twinSummary, Summary(r));
}

}  // namespace
}  // namespace e2e
