// A short soak: random play in the forest on the null device. No crash, units come and go, and
// after the warm-up the process's resident memory stays put.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "support/scratch_dir.h"
#include "support/soak_run.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's quarantine holds freed blocks back, so resident memory says nothing there;
// the run still checks for crashes, leaks and bad accesses, in fewer frames.
constexpr uint64_t kFrames = 6000;
constexpr bool kMeasureMemory = false;
#else
constexpr uint64_t kFrames = 20000;
constexpr bool kMeasureMemory = true;
#endif
constexpr uint64_t kWarmFrames = 3600;
// Allowed growth after the warm-up: the allocator's working set settling, far below a leak of a
// unit or a particle per frame (16,400 frames of either would be megabytes).
constexpr uint64_t kMarginKiB = 1024;

TEST(Soak, RandomPlayInTheForestHoldsItsMemory) {
  const fs::path source = fs::path(BRIMMEL_GAME_DIR);
  ASSERT_TRUE(fs::exists(source / "data/scr/stg02_forest.txt")) << "the build's data tree is missing";
  CScratchGameDir dir("soak");
  fs::create_directory_symlink(source / "data", fs::path(dir.Path()) / "data");
  fs::copy_file(source / "TORIDEN.ini", fs::path(dir.Path()) / "TORIDEN.ini");

  const testgame::SoakResult r = testgame::RunSoak(kFrames, kWarmFrames);
  std::cout << "soak: " << r.forestFrames << " forest frames in " << r.seconds << " s, RSS after warm-up "
            << r.warmResidentKiB << " KiB, at the end " << r.endResidentKiB << " KiB, peak "
            << r.peakResidentKiB << " KiB, at most " << r.maxUnits << " units\n";
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.forestFrames, kFrames);
  // The world was really there and drawn.
  EXPECT_GE(r.maxUnits, 3u);
  EXPECT_GT(r.primitives, kFrames);
  if (kMeasureMemory) {
    ASSERT_GT(r.warmResidentKiB, 0u);
    EXPECT_LE(r.endResidentKiB, r.warmResidentKiB + kMarginKiB);
  }
}

}  // namespace
