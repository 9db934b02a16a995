#include "support/sound_test_util.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/audio/device.h"
#include "platform/os/message_box.h"

namespace soundtest {
namespace {
using testimg::Put16;
using testimg::Put32;
void Append(std::vector<uint8_t>& v, const void* bytes, size_t n) {
  if (n == 0) return;
  const size_t at = v.size();
  v.resize(at + n);
  std::memcpy(v.data() + at, bytes, n);
}
void PutTag(std::vector<uint8_t>& v, const char* tag) { Append(v, tag, 4); }

std::vector<std::string> g_boxes;
void RecordBox(const char* text, const char* caption) {
  g_boxes.push_back(std::string(caption) + ": " + text);
}
}  // namespace

std::vector<uint8_t> MakeWave(const WaveLayout& s, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> fmt;
  const uint16_t block = static_cast<uint16_t>(s.channels * s.bits / 8);
  Put16(fmt, s.extensible ? static_cast<uint16_t>(audio::WAVE_FORMAT_EXTENSIBLE) : s.tag);
  Put16(fmt, s.channels);
  Put32(fmt, s.rate);
  Put32(fmt, s.rate * block);
  Put16(fmt, block);
  Put16(fmt, s.bits);
  if (s.extensible) {
    Put16(fmt, 22);
    Put16(fmt, s.bits);
    Put32(fmt, s.channels == 1 ? 0x4 : 0x3);
    const uint8_t guid[16] = {
        static_cast<uint8_t>(s.tag), 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    Append(fmt, guid, sizeof guid);
  }
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  Put32(out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size() + (data.size() & 1)));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, static_cast<uint32_t>(fmt.size()));
  Append(out, fmt.data(), fmt.size());
  PutTag(out, "data");
  Put32(out, static_cast<uint32_t>(data.size()));
  Append(out, data.data(), data.size());
  if (data.size() & 1) out.push_back(0);
  return out;
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

std::vector<int16_t> Sine(uint32_t frames, double hertz, double amplitude, uint32_t rate) {
  std::vector<int16_t> out(frames);
  for (uint32_t i = 0; i < frames; ++i)
    out[i] = static_cast<int16_t>(std::lround(32767.0 * amplitude * std::sin(2 * M_PI * hertz * i / rate)));
  return out;
}

std::vector<int16_t> Noise(uint32_t frames, double amplitude, uint32_t seed) {
  std::vector<int16_t> out(frames);
  uint32_t x = seed * 2654435761u + 1;
  for (uint32_t i = 0; i < frames; ++i) {
    x = x * 1664525u + 1013904223u;
    const double u = static_cast<double>(x >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    out[i] = static_cast<int16_t>(std::lround(32767.0 * amplitude * u));
  }
  return out;
}

double Rms(const std::vector<float>& stereo, int channel, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i)
    sum += static_cast<double>(stereo[2 * i + channel]) * stereo[2 * i + channel];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

std::vector<float> Render(uint32_t frames) {
  std::vector<float> out(2 * static_cast<size_t>(frames));
  if (!audio::RenderLoopback(out.data(), frames)) out.clear();
  return out;
}

void WriteCapture(const std::string& path, const std::vector<float>& stereo, uint32_t rate) {
  std::vector<int16_t> samples(stereo.size());
  for (size_t i = 0; i < stereo.size(); ++i) {
    const float v = std::fmax(-1.0f, std::fmin(1.0f, stereo[i]));
    samples[i] = static_cast<int16_t>(std::lround(v * 32767.0f));
  }
  WaveLayout layout;
  layout.channels = 2;
  layout.rate = rate;
  testimg::WriteFile(path, MakeWave(layout, Pcm16(samples)));
}

void WatchMessageBoxes() {
  g_boxes.clear();
  os::SetMessageBoxHook(RecordBox);
}

std::vector<std::string>& SeenMessageBoxes() { return g_boxes; }

}  // namespace soundtest
