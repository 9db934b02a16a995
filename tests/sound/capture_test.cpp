// A short scene's sound written as a WAVE file for a person to listen to: music looping under
// four effects (left, right, on-screen 2D, five units ahead). The figures measured in it are
// printed and written beside it.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "sound/sound_bank.h"
#include "support/game_sound_fixture.h"

namespace {
using soundtest::MakeWave;
using soundtest::Pcm16;
using soundtest::WaveLayout;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrame = 735;
constexpr uint32_t kLoop = 55125;  // 1.25 s: the chord's frequencies are whole multiples of 0.8 Hz

std::vector<int16_t> Chord() {
  std::vector<int16_t> s(2 * kLoop);
  for (uint32_t i = 0; i < kLoop; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double l = std::sin(2 * M_PI * 262.4 * t) + 0.6 * std::cos(2 * M_PI * 392.0 * t);
    const double r = std::sin(2 * M_PI * 329.6 * t) + 0.6 * std::cos(2 * M_PI * 392.0 * t);
    s[2 * i] = static_cast<int16_t>(std::lround(4000 * l));
    s[2 * i + 1] = static_cast<int16_t>(std::lround(4000 * r));
  }
  return s;
}

std::vector<int16_t> Ping() {
  std::vector<int16_t> s(kRate / 2);
  for (uint32_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(
        std::lround(20000 * std::exp(-6.0 * i / kRate) * std::sin(2 * M_PI * 660 * i / kRate)));
  return s;
}

class SoundCaptureTest : public GameSoundTest {};

TEST_F(SoundCaptureTest, SceneWithMusicAndEffects) {
  testimg::WriteFile(dir_.Path() + "/data/wav/SE001.wav", MakeWave(WaveLayout{}, Pcm16(Ping())));
  WaveLayout stereo;
  stereo.channels = 2;
  const std::vector<int16_t> chord = Chord();
  testimg::WriteFile(dir_.Path() + "/bgm.wav", MakeWave(stereo, Pcm16(chord)));
  StartSound(audio::Output::kLoopback);
  ASSERT_TRUE(started_);
  SoundBank bank;
  ASSERT_TRUE(bank.Voice(0, 0).IsLoaded());
  ASSERT_TRUE(StartStream("bgm.wav"));
  for (int i = 0; i < 5000 && !StreamIsPlaying(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(StreamIsPlaying());

  // Seven seconds of game frames; the listener follows a fixed eye at the origin.
  struct Cue {
    uint32_t frame;
    const char* what;
    float x, y, z;
    bool flat;
  };
  const Cue cues[] = {{150, "unit 3 to the left", -3, 0, 0, false},
                      {210, "unit 3 to the right", 3, 0, 0, false},
                      {270, "2D effect", 0, 0, 0, true},
                      {330, "unit 5 ahead", 0, 0, 5, false}};
  const uint32_t frames = 7 * 60;
  std::vector<float> out(2 * static_cast<size_t>(frames) * kFrame);
  for (uint32_t f = 0; f < frames; ++f) {
    UpdateListener({0, 0, 0}, gfxutil::Matrix());
    for (const Cue& c : cues) {
      if (c.frame != f) continue;
      soundtest::Emitter body;
      body.position = {c.x, c.y, c.z, 1};
      if (c.flat)
        bank.PlaySE2D(0);
      else
        bank.PlaySE(body, 0);
    }
    ASSERT_TRUE(audio::RenderLoopback(out.data() + 2 * static_cast<size_t>(f) * kFrame, kFrame));
  }
  StopStream();
  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/sound_capture.wav";
  soundtest::WriteCapture(path, out, kRate);

  // The music alone is known sample for sample, so the effects are what is left over.
  size_t start = 0;
  while (start < out.size() / 2 && out[2 * start] == 0.0f && out[2 * start + 1] == 0.0f) ++start;
  ASSERT_LT(start, 10u);
  std::vector<float> effects(out.size());
  size_t musicMismatches = 0;
  float loopStep = 0, innerStep = 0;
  for (size_t t = start; t < out.size() / 2; ++t) {
    const size_t i = (t - start) % kLoop;
    for (int ch = 0; ch < 2; ++ch) {
      const float music = chord[2 * i + ch] / 32768.0f;
      effects[2 * t + ch] = out[2 * t + ch] - music;
      if (t < start + 150 * kFrame && out[2 * t + ch] != music) ++musicMismatches;
      if (t > start && t < start + 150 * kFrame) {
        const float step = std::fabs(out[2 * t + ch] - out[2 * t + ch - 2]);
        if (i == 0)
          loopStep = std::max(loopStep, step);
        else
          innerStep = std::max(innerStep, step);
      }
    }
  }
  std::string report;
  char line[256];
  std::snprintf(line, sizeof line, "capture: %s, %u frames at %u Hz\n", path.c_str(), frames * kFrame, kRate);
  report += line;
  std::snprintf(
      line, sizeof line,
      "music alone (0-2.5 s): level L %.4f R %.4f, %zu samples differ from the piece, largest step at "
      "the loop point %.4f, elsewhere %.4f\n",
      soundtest::Rms(out, 0, start, start + 150 * kFrame),
      soundtest::Rms(out, 1, start, start + 150 * kFrame), musicMismatches, loopStep, innerStep);
  report += line;
  double level[4][2];
  for (int c = 0; c < 4; ++c) {
    const size_t from = cues[c].frame * kFrame + 441, to = from + kRate / 4;
    level[c][0] = soundtest::Rms(effects, 0, from, to);
    level[c][1] = soundtest::Rms(effects, 1, from, to);
    std::snprintf(line, sizeof line, "%s: effect level L %.4f R %.4f (first quarter second)\n", cues[c].what,
                  level[c][0], level[c][1]);
    report += line;
  }
  std::fputs(report.c_str(), stdout);
  std::ofstream(std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/sound_capture.txt") << report;

  EXPECT_EQ(musicMismatches, 0u);
  EXPECT_LE(loopStep, innerStep * 1.01f) << "no click where the piece loops";
  EXPECT_GT(level[0][0], 5 * level[0][1]);
  EXPECT_GT(level[1][1], 5 * level[1][0]);
  EXPECT_NEAR(level[2][0], level[2][1], 1e-4);
  EXPECT_NEAR(level[3][0] / level[2][0], 0.2, 0.01) << "five units ahead against full level";
}

}  // namespace
