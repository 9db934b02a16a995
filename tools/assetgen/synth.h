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
  CWave(int r, int ch, size_t frames) : rate(r), channels(ch), samples(frames * static_cast<size_t>(ch), 0.0f) {}
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

// Attack-decay-sustain-release level at time t of a note held for `hold` seconds.
float Adsr(double t, double hold, double attack, double decay, float sustain, double release);

// One-pole low-pass over a mono wave, cutoff in Hz.
void LowPass(CWave& wave, double cutoff);

}  // namespace assetgen
