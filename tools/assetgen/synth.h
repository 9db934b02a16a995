// Sound synthesis for the effects and the music: a float sample buffer, simple voices, and the
// 16-bit PCM WAVE writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assetgen.h"

namespace assetgen {

// Interleaved float samples in -1..1.
struct CWave {
  int rate = 22050;
  int channels = 1;
  std::vector<float> samples;

  CWave() = default;
  CWave(int r, int ch, size_t frames)
      : rate(r), channels(ch), samples(frames * static_cast<size_t>(ch), 0.0f) {}
  size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// RIFF/WAVE, PCM, 16-bit, rounded to nearest and clipped.
std::vector<uint8_t> EncodeWav(const CWave& wave);
bool WriteWav(const COutput& out, const std::string& relative, const CWave& wave);

// Scales the whole wave so its largest magnitude is `peak`.
void Normalise(CWave& wave, float peak);
// Linear fades over the first and last `seconds` (no clicks at the edges).
void FadeEdges(CWave& wave, float seconds);

double MidiToHz(double note);

// sin(2π × cycles) from a table with linear interpolation (error below 1e-6): the music's
// oscillators run tens of millions of times.
constexpr int kSineTableSize = 4096;
extern const float* const gSineTable;  // kSineTableSize + 1 entries, filled before main
inline float Sine(double cycles) {
  const double x =
      (cycles - static_cast<double>(static_cast<int64_t>(cycles) - (cycles < 0))) * kSineTableSize;
  int i = static_cast<int>(x);
  i = i < kSineTableSize ? i : kSineTableSize - 1;
  const float f = static_cast<float>(x - i);
  return gSineTable[i] + (gSineTable[i + 1] - gSineTable[i]) * f;
}

// Attack-decay-sustain-release level at time t of a note held for `hold` seconds.
float Adsr(double t, double hold, double attack, double decay, float sustain, double release);

// One-pole low-pass over a mono wave, cutoff in Hz.
void LowPass(CWave& wave, double cutoff);

}  // namespace assetgen
