// Helpers of the sound tests: wave files written from code, a loopback device with the game's
// sound started on it, and level measurements of what it renders.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/types.h"
#include "platform/gfxutil/math.h"
#include "support/image_files.h"
#include "support/scratch_dir.h"

namespace soundtest {

// Where an effect sounds from: the part of a unit's body the sound bank reads.
struct Emitter {
  gfxutil::Vector4 position;
  float velocityX = 0, velocityY = 0, velocityZ = 0;
};

struct WaveLayout {
  uint16_t tag = audio::WAVE_FORMAT_PCM;
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  bool extensible = false;
};

// A RIFF/WAVE image of the given samples (already in the layout's sample format).
std::vector<uint8_t> MakeWave(const WaveLayout& layout, const std::vector<uint8_t>& data);
std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples);

// Mono sine, amplitude in 0..1.
std::vector<int16_t> Sine(uint32_t frames, double hertz, double amplitude, uint32_t rate = 44100);
// Mono deterministic noise, amplitude in 0..1.
std::vector<int16_t> Noise(uint32_t frames, double amplitude, uint32_t seed);

// Root mean square of one channel of interleaved stereo frames [from, to).
double Rms(const std::vector<float>& stereo, int channel, size_t from, size_t to);
std::vector<float> Render(uint32_t frames);
// Stereo 16-bit WAVE file of a capture.
void WriteCapture(const std::string& path, const std::vector<float>& stereo, uint32_t rate);

// Records the message boxes the game shows.
void WatchMessageBoxes();
std::vector<std::string>& SeenMessageBoxes();

}  // namespace soundtest
