// The sound analysis the whole-game run relies on: the music must come out of the mix exactly,
// leaving a quiet effect under it to be found at its place, and absent music must change nothing.
#include "sound_match.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/wave_files.h"

namespace e2e {
namespace {

constexpr double kTau = 6.283185307179586;

std::vector<float> Chirp(size_t n, double rate, double f0, double f1) {
  std::vector<float> v(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double f = f0 + (f1 - f0) * static_cast<double>(i) / static_cast<double>(n);
    phase += kTau * f / rate;
    v[i] = static_cast<float>(std::sin(phase));
  }
  return v;
}

// Chords of steady tones with a beat.
std::vector<float> Music(size_t n, double rate, float amplitude) {
  std::vector<float> v(n);
  const double notes[] = {261.6, 329.6, 392.0, 523.3, 659.3};
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    double s = 0;
    for (double f : notes) s += std::sin(kTau * f * t);
    const double beat = 0.6 + 0.4 * std::cos(kTau * 1.75 * t);
    v[i] = static_cast<float>(amplitude * beat * s / 5.0);
  }
  return v;
}

TEST(SoundMatch, MusicTakenOutLeavesTheQuietEffectAlone) {
  const double rate = 44100;
  StereoWave music;
  music.rate = 44100;
  music.left = Music(30000, rate, 0.8f);
  music.right = Chirp(30000, rate, 200, 300);
  for (float& v : music.right) v *= 0.3f;
  // The music starts at sample 7000 and loops; the mixer scales its channels unevenly.
  std::vector<float> mix(80000, 0.0f);
  const size_t start = 7000;
  for (size_t i = start; i < mix.size(); ++i)
    mix[i] = 0.7f * music.left[(i - start) % 30000] + 0.9f * music.right[(i - start) % 30000];
  const std::vector<float> effect = Chirp(4000, rate, 400, 900);
  const size_t at = 60000;  // after the loop
  for (size_t i = 0; i < effect.size(); ++i) mix[at + i] += 0.1f * effect[i];

  size_t found = 0;
  const std::vector<float> rest = RemoveMusic(mix, music, 5000, 9000, 20000, found);
  EXPECT_EQ(found, start);
  ASSERT_EQ(rest.size(), mix.size());
  EXPECT_LT(MeanSquare(rest, 10000, 59000), 1e-8);
  EXPECT_NEAR(MeanSquare(rest, at, at + 4000), 0.01 * MeanSquare(effect, 0, 4000), 1e-5);
  EXPECT_GT(BestMatch(rest, effect, at - 500, at + 500), 0.99);
}

TEST(SoundMatch, AbsentMusicIsLeftAlone) {
  StereoWave music;
  music.rate = 44100;
  music.left = Chirp(20000, 44100, 300, 350);
  music.right = music.left;
  const std::vector<float> mix = Music(40000, 44100, 0.5f);
  size_t found = 0;
  const std::vector<float> rest = RemoveMusic(mix, music, 0, 10000, 10000, found);
  EXPECT_EQ(found, mix.size());
  EXPECT_EQ(rest, mix);
}

TEST(SoundMatch, SilenceAndShortRangesGiveNothing) {
  const std::vector<float> effect = Chirp(1000, 44100, 500, 600);
  const std::vector<float> silent(5000, 0.0f);
  EXPECT_EQ(BestMatch(silent, effect, 0, 4000), 0.0);
  EXPECT_EQ(BestMatch(silent, effect, 4500, 5000), 0.0);
  EXPECT_EQ(BestMatch(std::vector<float>(500, 0.5f), effect, 0, 500), 0.0);
}

TEST(SoundMatch, AnEffectMatchesItselfFully) {
  const std::vector<float> effect = Chirp(3000, 44100, 300, 1200);
  std::vector<float> mix(10000, 0.0f);
  for (size_t i = 0; i < effect.size(); ++i) mix[4000 + i] = 0.25f * effect[i];
  EXPECT_NEAR(BestMatch(mix, effect, 3000, 5000), 1.0, 1e-6);
}

TEST(SoundMatch, EffectsLoadAtTheMixRateAndAreCutToLength) {
  const std::string path = "sound_match_" + std::to_string(getpid()) + ".wav";
  // Stereo at half the rate: a ramp on the left, its negative on the right, so the mono average is 0
  // except where the right channel is silenced.
  std::vector<int16_t> s;
  for (int i = 0; i < 100; ++i) {
    s.push_back(static_cast<int16_t>(i * 100));
    s.push_back(static_cast<int16_t>(i < 50 ? -i * 100 : 0));
  }
  ASSERT_TRUE(testwave::WriteWave(path, testwave::Wave(testwave::kPcm, 2, 22050, s)));
  const std::vector<float> v = LoadEffect(path, 44100, 10.0);
  ASSERT_EQ(v.size(), 200u);
  EXPECT_FLOAT_EQ(v[20], 0.0f);
  // Frame 60 of the file (sample 120 here) is half the left channel; 121 lies between 60 and 61.
  EXPECT_NEAR(v[120], 6000.0f / 32768.0f / 2.0f, 1e-6);
  EXPECT_NEAR(v[121], 6050.0f / 32768.0f / 2.0f, 1e-6);
  EXPECT_EQ(LoadEffect(path, 44100, 0.001).size(), 44u);
  EXPECT_TRUE(LoadEffect(path + ".missing", 44100, 1.0).empty());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace e2e
