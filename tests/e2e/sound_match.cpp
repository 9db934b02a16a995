#include "sound_match.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "sound/wave_file.h"

namespace e2e {

std::vector<float> LoadEffect(const std::string& path, unsigned rate, double maxSeconds) {
  CWaveFile file;
  if (file.Open(path.c_str()) != 0) return {};
  const audio::WaveFormat* format = file.GetFormat();
  if (!format || format->bitsPerSample != 16 || format->channels == 0 || format->samplesPerSec == 0)
    return {};
  std::vector<uint8_t> bytes(file.GetSize());
  if (file.Read(bytes.data(), file.GetSize()) != bytes.size()) return {};
  const size_t channels = format->channels;
  const size_t frames = bytes.size() / (2 * channels);
  std::vector<float> mono(frames);
  for (size_t i = 0; i < frames; ++i) {
    float sum = 0;
    for (size_t c = 0; c < channels; ++c) {
      int16_t s;
      std::memcpy(&s, &bytes[2 * (i * channels + c)], 2);
      sum += static_cast<float>(s) / 32768.0f;
    }
    mono[i] = sum / static_cast<float>(channels);
  }
  const double step = static_cast<double>(format->samplesPerSec) / rate;
  size_t outFrames = static_cast<size_t>(static_cast<double>(frames) / step);
  outFrames = std::min(outFrames, static_cast<size_t>(maxSeconds * rate));
  std::vector<float> out(outFrames);
  for (size_t i = 0; i < outFrames; ++i) {
    const double at = static_cast<double>(i) * step;
    const size_t k = static_cast<size_t>(at);
    const float f = static_cast<float>(at - static_cast<double>(k));
    const float next = k + 1 < frames ? mono[k + 1] : 0.0f;
    out[i] = mono[k] * (1.0f - f) + next * f;
  }
  return out;
}

namespace {

// The best normalised correlation and where it lies.
double BestMatchAt(const std::vector<float>& mix, const std::vector<float>& effect, size_t from, size_t to,
                   size_t& where) {
  where = from;
  const size_t n = effect.size();
  if (n == 0 || mix.size() < n) return 0.0;
  to = std::min(to, mix.size() - n + 1);
  if (from >= to) return 0.0;
  double effectEnergy = 0.0;
  for (float v : effect) effectEnergy += static_cast<double>(v) * v;
  if (effectEnergy <= 0.0) return 0.0;
  // Energy of the mix under the effect, slid along one sample at a time.
  double windowEnergy = 0.0;
  for (size_t i = 0; i < n; ++i) windowEnergy += static_cast<double>(mix[from + i]) * mix[from + i];
  double best = 0.0;
  for (size_t start = from; start < to; ++start) {
    if (start > from) {
      const double out = mix[start - 1], in = mix[start + n - 1];
      windowEnergy += in * in - out * out;
    }
    if (windowEnergy <= 1e-12) continue;
    double dot = 0.0;
    const float* x = &mix[start];
    for (size_t i = 0; i < n; ++i) dot += static_cast<double>(x[i]) * effect[i];
    const double c = dot / std::sqrt(windowEnergy * effectEnergy);
    if (c > best) {
      best = c;
      where = start;
    }
  }
  return best;
}

// Least squares for mix ≈ a·left + b·right over [at, at + length); returns what is left, as energy.
double FitMusic(const std::vector<float>& mix, const StereoWave& music, size_t at, size_t length, double& a,
                double& b) {
  const size_t len = music.left.size();
  double ll = 0, lr = 0, rr = 0, xl = 0, xr = 0, xx = 0;
  const size_t end = std::min(mix.size(), at + length);
  for (size_t i = at; i < end; ++i) {
    const double l = music.left[(i - at) % len], r = music.right[(i - at) % len], x = mix[i];
    ll += l * l, lr += l * r, rr += r * r, xl += x * l, xr += x * r, xx += x * x;
  }
  a = b = 0;
  const double det = ll * rr - lr * lr;
  if (std::fabs(det) > 1e-9 * (ll * rr + 1e-30)) {
    a = (xl * rr - xr * lr) / det;
    b = (xr * ll - xl * lr) / det;
  } else if (ll + rr > 0) {
    a = b = (xl + xr) / (ll + 2 * lr + rr);
  }
  // |x - a l - b r|^2 expanded.
  return xx - 2 * a * xl - 2 * b * xr + a * a * ll + 2 * a * b * lr + b * b * rr;
}

}  // namespace

double BestMatch(const std::vector<float>& mix, const std::vector<float>& effect, size_t from, size_t to) {
  size_t where = 0;
  return BestMatchAt(mix, effect, from, to, where);
}

StereoWave LoadStereo(const std::string& path) {
  StereoWave w;
  CWaveFile file;
  if (file.Open(path.c_str()) != 0) return w;
  const audio::WaveFormat* format = file.GetFormat();
  if (!format || format->bitsPerSample != 16 || format->channels != 2) return w;
  std::vector<uint8_t> bytes(file.GetSize());
  if (file.Read(bytes.data(), file.GetSize()) != bytes.size()) return w;
  const size_t frames = bytes.size() / 4;
  w.left.resize(frames);
  w.right.resize(frames);
  for (size_t i = 0; i < frames; ++i) {
    int16_t l, r;
    std::memcpy(&l, &bytes[4 * i], 2);
    std::memcpy(&r, &bytes[4 * i + 2], 2);
    w.left[i] = static_cast<float>(l) / 32768.0f;
    w.right[i] = static_cast<float>(r) / 32768.0f;
  }
  w.rate = format->samplesPerSec;
  return w;
}

std::vector<float> RemoveMusic(const std::vector<float>& mix, const StereoWave& music, size_t from, size_t to,
                               size_t fitLength, size_t& start) {
  start = mix.size();
  const size_t len = music.left.size();
  const size_t opening = std::min<size_t>(len, 13230);  // 0.3 s at 44.1 kHz
  if (len == 0 || music.right.size() != len) return mix;
  std::vector<float> head(opening);
  for (size_t i = 0; i < opening; ++i) head[i] = music.left[i] + music.right[i];
  size_t at = 0;
  if (BestMatchAt(mix, head, from, to, at) < 0.5) return mix;
  // The opening may sit under an effect that pulls the match a sample or two aside: settle on the
  // start whose fitted music leaves the least over the fit window.
  double a = 0, b = 0, bestLeft = 0;
  bool found = false;
  const size_t first = at > 16 ? at - 16 : 0;
  for (size_t candidate = first; candidate <= at + 16 && candidate < mix.size(); ++candidate) {
    double ca = 0, cb = 0;
    const double left = FitMusic(mix, music, candidate, fitLength, ca, cb);
    // What is left can come out a hair below zero when the fit is exact.
    if (!found || left < bestLeft) {
      found = true;
      bestLeft = left;
      a = ca;
      b = cb;
      start = candidate;
    }
  }
  at = start;
  std::vector<float> out = mix;
  for (size_t i = at; i < out.size(); ++i) {
    const size_t k = (i - at) % len;
    out[i] -= static_cast<float>(a * music.left[k] + b * music.right[k]);
  }
  start = at;
  return out;
}

double MeanSquare(const std::vector<float>& mix, size_t from, size_t to) {
  to = std::min(to, mix.size());
  if (from >= to) return 0.0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(mix[i]) * mix[i];
  return sum / static_cast<double>(to - from);
}

}  // namespace e2e
