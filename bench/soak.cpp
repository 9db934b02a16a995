// The long soak: random play in the forest on the null device for 100,000 frames (or the count
// given as the first argument), printing the resident memory after the first minute of play and at
// the end. Run in the game folder with its generated data.
#include <cstdio>
#include <cstdlib>

#include "support/soak_run.h"

int main(int argc, char** argv) {
  const uint64_t frames = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const uint64_t warm = 3600;
  const bool verbose = argc > 2;
  const testgame::SoakResult r =
      testgame::RunSoak(frames, warm, verbose ? 100000 : 0, [](uint64_t f, uint64_t kib) {
        std::fprintf(stderr, "soak: %llu frames, RSS %llu KiB\n", static_cast<unsigned long long>(f),
                     static_cast<unsigned long long>(kib));
      });
  if (r.exitCode != 0 || r.forestFrames != frames) {
    std::fprintf(stderr, "soak: ended early (exit code %d after %llu frames)\n", r.exitCode,
                 static_cast<unsigned long long>(r.forestFrames));
    return 1;
  }
  std::printf("soak_frames: %llu frames\n", static_cast<unsigned long long>(r.forestFrames));
  std::printf("soak_rss_after_minute_mb: %.2f MB\n", r.warmResidentKiB / 1024.0);
  std::printf("soak_rss_end_mb: %.2f MB\n", r.endResidentKiB / 1024.0);
  std::printf("soak_rss_growth_kb: %lld KB\n",
              static_cast<long long>(r.endResidentKiB) - static_cast<long long>(r.warmResidentKiB));
  std::printf("soak_peak_rss_mb: %.2f MB\n", r.peakResidentKiB / 1024.0);
  std::printf("soak_frame_us: %.1f us\n", 1e6 * r.seconds / static_cast<double>(r.forestFrames));
  return 0;
}
