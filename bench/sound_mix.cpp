// Cost of the game's sound per 60 Hz frame on the loopback output: listener update, effect
// triggers, the streamed music's refills and the mix itself.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/audio/device.h"
#include "sound/music_stream.h"
#include "sound/sound_bank.h"
#include "sound/sound_device.h"
#include "world/unit_body.h"

namespace {

void WriteWave(const std::string& path, uint16_t channels, uint32_t frames, double hertz) {
  const uint32_t rate = 44100, block = 2u * channels, bytes = frames * block;
  std::vector<uint8_t> w(44 + bytes);
  auto u32 = [&](size_t at, uint32_t v) { std::memcpy(&w[at], &v, 4); };
  auto u16 = [&](size_t at, uint16_t v) { std::memcpy(&w[at], &v, 2); };
  std::memcpy(&w[0], "RIFF", 4), u32(4, 36 + bytes), std::memcpy(&w[8], "WAVEfmt ", 8), u32(16, 16);
  u16(20, 1), u16(22, channels), u32(24, rate), u32(28, rate * block), u16(32, static_cast<uint16_t>(block)),
      u16(34, 16);
  std::memcpy(&w[36], "data", 4), u32(40, bytes);
  for (uint32_t i = 0; i < frames * channels; ++i) {
    const int16_t s = static_cast<int16_t>(8000 * std::sin(2 * M_PI * hertz * (i / channels) / rate));
    std::memcpy(&w[44 + 2 * i], &s, 2);
  }
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(w.data()), static_cast<long>(w.size()));
}

}  // namespace

int main() {
  char pattern[] = "/tmp/brimmel-bench-sound-XXXXXX";
  if (!mkdtemp(pattern) || chdir(pattern) != 0) return 1;
  for (int n = 1; n <= 25; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "data/wav/SE%03d.wav", n);
    WriteWave(std::string(pattern) + "/" + name, 1, 22050, 200.0 + 40 * n);
  }
  WriteWave(std::string(pattern) + "/bgm.wav", 2, 44100 * 30, 220);

  audio::SetOutput(audio::Output::kLoopback);
  if (!InitSound()) return 1;
  int status = 0;
  {
    SoundBank bank;
    StartStream("bgm.wav");
    for (int i = 0; i < 5000 && !StreamIsPlaying(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::vector<float> mix(2 * 735);
    UnitBody body;
    constexpr int kFrames = 1800;  // 30 s of play
    const auto begin = std::chrono::steady_clock::now();
    for (int f = 0; f < kFrames; ++f) {
      UpdateListener({static_cast<float>(f % 7), 1.5f, 0}, gfxutil::Matrix());
      if (f % 6 == 0) {
        body.position = {static_cast<float>(f % 11) - 5, 0, 3, 1};
        bank.PlaySE(body, f % 25);
        bank.PlaySE2D((f / 6) % 25);
      }
      if (!audio::RenderLoopback(mix.data(), 735)) status = 1;
    }
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
    std::printf("sound_frame_loopback_mix: %.1f us\n", us / kFrames);

    const int kTriggers = 20000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kTriggers; ++i) bank.PlaySE(body, i % 25);
    const double per =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::printf("sound_playse_call: %.2f us\n", per / kTriggers);
    std::printf("sound_held_sample_memory: %.1f KiB\n",
                static_cast<double>(audio::HeldSampleBytes()) / 1024.0);
    StopStream();
  }
  ShutdownSound();
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return status;
}
