// The generated effects and music, read back through the game's wave reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/wave_file.h"
#include "support/content_fixture.h"

namespace {

using contenttest::GameDir;

struct Pcm {
  bool ok = false;
  int channels = 0, rate = 0, bits = 0, tag = 0;
  std::vector<int16_t> samples;  // interleaved
  size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
  double Seconds() const { return rate ? static_cast<double>(Frames()) / rate : 0.0; }
  // One channel as floats in -1..1.
  std::vector<double> Channel(int c) const {
    std::vector<double> v(Frames());
    for (size_t i = 0; i < v.size(); ++i) v[i] = samples[i * channels + c] / 32768.0;
    return v;
  }
};

Pcm Read(const std::string& name) {
  Pcm p;
  CWaveFile wave;
  if (wave.Open((GameDir() + "/data/wav/" + name).c_str()) != 0) return p;
  const audio::WaveFormat* f = wave.GetFormat();
  p.channels = f->channels;
  p.rate = static_cast<int>(f->samplesPerSec);
  p.bits = f->bitsPerSample;
  p.tag = f->formatTag;
  p.samples.resize(wave.GetSize() / 2);
  const uint32_t bytes = static_cast<uint32_t>(p.samples.size() * 2);
  p.ok = wave.Read(p.samples.data(), bytes) == bytes;
  return p;
}

std::string EffectName(int n) {
  char name[16];
  std::snprintf(name, sizeof name, "SE%03d.wav", n);
  return name;
}

double Rms(const std::vector<double>& v, size_t from, size_t to) {
  double s = 0.0;
  for (size_t i = from; i < to; ++i) s += v[i] * v[i];
  return to > from ? std::sqrt(s / static_cast<double>(to - from)) : 0.0;
}

// Zero crossings a second over [from, to): a rough pitch for a tone.
double CrossingRate(const std::vector<double>& v, size_t from, size_t to, int rate) {
  int n = 0;
  for (size_t i = from + 1; i < to; ++i) n += (v[i - 1] < 0) != (v[i] < 0);
  return n * static_cast<double>(rate) / static_cast<double>(to - from);
}

// Where the loudness is: the span of the effect whose level is at least a tenth of its peak.
struct Span {
  size_t from, to;
};
Span Audible(const std::vector<double>& v) {
  double peak = 0.0;
  for (double s : v) peak = std::max(peak, std::fabs(s));
  Span sp{0, v.size()};
  while (sp.from < v.size() && std::fabs(v[sp.from]) < peak * 0.1) ++sp.from;
  while (sp.to > sp.from && std::fabs(v[sp.to - 1]) < peak * 0.1) --sp.to;
  return sp;
}

class GeneratedSounds : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(GameDir().empty()) << "the generator failed"; }
};

TEST_F(GeneratedSounds, EveryEffectIsShortMonoPcmWithQuietEdges) {
  for (int n = 1; n <= 25; ++n) {
    SCOPED_TRACE(EffectName(n));
    const Pcm p = Read(EffectName(n));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.tag, 1);
    EXPECT_EQ(p.channels, 1) << "the 3D voices refuse stereo";
    EXPECT_EQ(p.bits, 16);
    EXPECT_TRUE(p.rate == 22050 || p.rate == 44100);
    EXPECT_GT(p.Seconds(), 0.08);
    EXPECT_LT(p.Seconds(), 2.5);
    int peak = 0;
    for (int16_t s : p.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 8000) << "too quiet to hear";
    EXPECT_LT(peak, 32767) << "clipped";
    // No click where the voice starts or stops.
    EXPECT_LE(std::abs(p.samples.front()), 64);
    EXPECT_LE(std::abs(p.samples.back()), 64);
  }
}

TEST_F(GeneratedSounds, EffectsAreAllDifferent) {
  std::vector<std::vector<int16_t>> all;
  for (int n = 1; n <= 25; ++n) all.push_back(Read(EffectName(n)).samples);
  for (size_t a = 0; a < all.size(); ++a)
    for (size_t b = a + 1; b < all.size(); ++b)
      EXPECT_NE(all[a], all[b]) << "SE" << a + 1 << " and SE" << b + 1;
}

TEST_F(GeneratedSounds, LandingIsALowThud) {
  const Pcm thud = Read("SE003.wav"), jump = Read("SE002.wav");
  const std::vector<double> t = thud.Channel(0), j = jump.Channel(0);
  const Span st = Audible(t), sj = Audible(j);
  // Low and short-lived next to the jump's whoosh.
  EXPECT_LT(CrossingRate(t, st.from, st.to, thud.rate), 300.0);
  EXPECT_GT(CrossingRate(j, sj.from, sj.to, jump.rate), 600.0);
  EXPECT_GT(Rms(t, 0, t.size() / 4), 3 * Rms(t, t.size() / 2, t.size()));
}

TEST_F(GeneratedSounds, LookOnRisesAndLookOffFalls) {
  for (const char* name : {"SE021.wav", "SE022.wav"}) {
    SCOPED_TRACE(name);
    const Pcm p = Read(name);
    const std::vector<double> v = p.Channel(0);
    const Span s = Audible(v);
    const size_t third = (s.to - s.from) / 3;
    const double early = CrossingRate(v, s.from, s.from + third, p.rate);
    const double late = CrossingRate(v, s.to - third, s.to, p.rate);
    if (std::string(name) == "SE021.wav")
      EXPECT_GT(late, early * 1.2);
    else
      EXPECT_LT(late * 1.2, early);
  }
}

TEST_F(GeneratedSounds, StandingJumpRises) {
  const Pcm p = Read("SE025.wav");
  const std::vector<double> v = p.Channel(0);
  const Span s = Audible(v);
  const size_t third = (s.to - s.from) / 3;
  EXPECT_GT(CrossingRate(v, s.to - third, s.to, p.rate),
            1.3 * CrossingRate(v, s.from, s.from + third, p.rate));
}

TEST_F(GeneratedSounds, ChimeRingsOutAndDecays) {
  const Pcm p = Read("SE009.wav");
  const std::vector<double> v = p.Channel(0);
  EXPECT_GT(p.Seconds(), 1.0);
  const size_t q = v.size() / 4;
  EXPECT_GT(Rms(v, 0, q), Rms(v, q, 2 * q));
  EXPECT_GT(Rms(v, q, 2 * q), Rms(v, 3 * q, v.size()));
  EXPECT_GT(CrossingRate(v, 0, q, p.rate), 800.0) << "a chime is bright";
}

class GeneratedMusic : public GeneratedSounds, public ::testing::WithParamInterface<const char*> {};

TEST_P(GeneratedMusic, IsALongStereoPiece) {
  const Pcm p = Read(GetParam());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.tag, 1);
  EXPECT_EQ(p.channels, 2);
  EXPECT_EQ(p.bits, 16);
  EXPECT_EQ(p.rate, 44100);
  EXPECT_GE(p.Seconds(), 30.0);
  // Really stereo: the two channels differ.
  EXPECT_NE(p.Channel(0), p.Channel(1));
}

TEST_P(GeneratedMusic, LoopsSeamlessly) {
  const Pcm p = Read(GetParam());
  ASSERT_TRUE(p.ok);
  ASSERT_EQ(p.channels, 2);
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    const std::vector<double> v = p.Channel(c);
    ASSERT_GT(v.size(), 44100u);
    // The jump from the last sample back to the first is no bigger than the piece's own steps.
    std::vector<double> steps(v.size() - 1);
    for (size_t i = 0; i + 1 < v.size(); ++i) steps[i] = std::fabs(v[i + 1] - v[i]);
    std::nth_element(steps.begin(), steps.begin() + steps.size() * 99 / 100, steps.end());
    const double typical = steps[steps.size() * 99 / 100];
    EXPECT_LE(std::fabs(v.front() - v.back()), typical);
    // Nor does the level drop away at the seam (a faded ending would be heard as a gap).
    const size_t quarter = 44100 / 4;
    const double whole = Rms(v, 0, v.size());
    EXPECT_GT(Rms(v, 0, quarter), 0.3 * whole);
    EXPECT_GT(Rms(v, v.size() - quarter, v.size()), 0.3 * whole);
    // And the sound straddling the seam continues smoothly: the slope into the end matches the
    // slope out of the start, as it would anywhere inside the piece.
    const double slopeIn = v.back() - v[v.size() - 2], slopeOut = v[1] - v[0];
    EXPECT_LE(std::fabs(slopeIn - slopeOut), 2 * typical);
  }
}

INSTANTIATE_TEST_SUITE_P(Stages, GeneratedMusic, ::testing::Values("bgm_home.wav", "bgm_forest.wav"));

}  // namespace
