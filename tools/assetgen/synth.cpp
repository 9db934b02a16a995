#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace assetgen {

namespace {
void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }
}  // namespace

std::vector<uint8_t> EncodeWav(const CWave& wave) {
  if (wave.channels < 1 || wave.rate < 1) return {};
  const uint32_t dataBytes = static_cast<uint32_t>(wave.Frames() * static_cast<size_t>(wave.channels) * 2);
  const uint32_t blockAlign = static_cast<uint32_t>(wave.channels) * 2;
  std::vector<uint8_t> b;
  b.reserve(44 + dataBytes);
  PutTag(b, "RIFF");
  Put32(b, 36 + dataBytes);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, static_cast<uint32_t>(wave.channels));
  Put32(b, static_cast<uint32_t>(wave.rate));
  Put32(b, static_cast<uint32_t>(wave.rate) * blockAlign);
  Put16(b, blockAlign);
  Put16(b, 16);
  PutTag(b, "data");
  Put32(b, dataBytes);
  for (size_t i = 0; i < wave.Frames() * static_cast<size_t>(wave.channels); ++i) {
    const double v = std::clamp(static_cast<double>(wave.samples[i]), -1.0, 1.0) * 32767.0;
    Put16(b, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v))) & 0xFFFF);
  }
  return b;
}

bool WriteWav(const COutput& out, const std::string& relative, const CWave& wave) {
  const std::vector<uint8_t> bytes = EncodeWav(wave);
  if (bytes.empty() || !out.Write(relative, bytes)) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", out.PathOf(relative).c_str());
    return false;
  }
  return true;
}

void Normalise(CWave& wave, float peak) {
  float m = 0.0f;
  for (float s : wave.samples) m = std::max(m, std::fabs(s));
  if (m <= 0.0f) return;
  const float k = peak / m;
  for (float& s : wave.samples) s *= k;
}

void FadeEdges(CWave& wave, float seconds) {
  const size_t frames = wave.Frames();
  const size_t n = std::min(frames / 2, static_cast<size_t>(seconds * static_cast<float>(wave.rate)));
  if (n == 0) return;
  for (size_t i = 0; i < n; ++i) {
    const float k = static_cast<float>(i) / static_cast<float>(n);
    for (int c = 0; c < wave.channels; ++c) {
      wave.samples[i * wave.channels + c] *= k;
      wave.samples[(frames - 1 - i) * wave.channels + c] *= k;
    }
  }
}

namespace {
struct SineTable {
  float v[kSineTableSize + 1];
  SineTable() {
    for (int i = 0; i <= kSineTableSize; ++i)
      v[i] = static_cast<float>(std::sin(6.283185307179586 * i / kSineTableSize));
  }
};
const SineTable sineTable;
}  // namespace

const float* const gSineTable = sineTable.v;

double MidiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

float Adsr(double t, double hold, double attack, double decay, float sustain, double release) {
  auto held = [&](double u) -> double {
    if (u < 0) return 0.0;
    if (u < attack) return u / attack;
    if (u < attack + decay) return 1.0 - (1.0 - sustain) * (u - attack) / decay;
    return sustain;
  };
  if (t < hold) return static_cast<float>(held(t));
  const double end = held(hold);
  const double r = t - hold;
  if (r >= release) return 0.0f;
  return static_cast<float>(end * (1.0 - r / release) * (1.0 - r / release));
}

void LowPass(CWave& wave, double cutoff) {
  const double a = 1.0 - std::exp(-2.0 * 3.14159265358979 * cutoff / wave.rate);
  double y = 0.0;
  for (float& s : wave.samples) {
    y += a * (s - y);
    s = static_cast<float>(y);
  }
}

}  // namespace assetgen
