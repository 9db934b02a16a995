#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "platform/os/clock.h"

namespace {

class PacingTest : public ::testing::Test {
 protected:
  void SetUp() override { os::SetClock(&clock); }
  void TearDown() override { os::SetClock(nullptr); }
  os::CFakeClock clock{1000};
};

TEST_F(PacingTest, ShortFrameIsHeldToFiftyThirdsOfAMillisecond) {
  app::CFramePacer pacer;
  pacer.Pace();  // first frame: the previous time is 0, so nothing to wait for
  const uint32_t start = clock.TimeGetTime();
  const uint32_t carry0 = pacer.Carry();
  clock.Advance(2);
  pacer.Pace();
  // 3*(elapsed) + carry must reach 50: elapsed is the smallest whole ms that does.
  const uint32_t elapsed = clock.TimeGetTime() - start;
  EXPECT_GE(3 * elapsed + carry0, 50u);
  EXPECT_LT(3 * (elapsed - 1) + carry0, 50u);
  EXPECT_EQ(pacer.Carry(), (3 * elapsed + carry0) % 50);
}

TEST_F(PacingTest, LongFrameIsNotWaitedForAndLeavesItsCarry) {
  app::CFramePacer pacer;
  pacer.Pace();
  clock.Advance(10);
  pacer.Pace();
  const uint32_t carry = pacer.Carry();
  const uint64_t sleeps = clock.Sleeps();
  clock.Advance(40);
  pacer.Pace();
  EXPECT_EQ(clock.Sleeps(), sleeps) << "a 40 ms frame must not sleep";
  EXPECT_EQ(pacer.Carry(), (3 * 40 + carry) % 50);
}

TEST_F(PacingTest, LongRunRateIsExactlySixtyPerSecond) {
  app::CFramePacer pacer;
  pacer.Pace();
  const uint32_t start = clock.TimeGetTime();
  // A simulated minute of frames that each take 3 ms of work.
  for (int i = 0; i < 3600; ++i) {
    clock.Advance(3);
    pacer.Pace();
  }
  const uint32_t elapsed = clock.TimeGetTime() - start;
  EXPECT_GE(elapsed, 59999u);
  EXPECT_LE(elapsed, 60001u);
}

TEST_F(PacingTest, ClockWrapAroundDoesNotStall) {
  clock.Set(0xFFFFFFF0u);
  app::CFramePacer pacer;
  pacer.Pace();
  for (int i = 0; i < 10; ++i) pacer.Pace();
  // Ten paced frames across the wrap take about 167 ms, not four billion.
  EXPECT_LT(clock.TimeGetTime() - 0xFFFFFFF0u + 0u, 200u);
}

}  // namespace

namespace {

// A browser calls the loop on display frames whose times the page reads in whole milliseconds,
// with a little jitter. Whatever the refresh rate, ten seconds must run 600 frames (±1), and no
// call at a steady rate may run more frames at once than its interval holds, plus one.
TEST(HostPacingTest, DisplayRefreshRatesAllGiveSixtyFramesPerSecond) {
  for (const double hz : {60.0, 75.0, 120.0, 144.0, 59.94, 30.0, 12.0}) {
    os::CFakeClock clock{5000};
    os::SetClock(&clock);
    app::CFramePacer pacer;
    pacer.Due();  // the first call starts the count
    const uint32_t start = clock.TimeGetTime();
    uint64_t frames = 0;
    uint32_t most = 0;
    const int calls = static_cast<int>(10.0 * hz);
    for (int i = 1; i <= calls; ++i) {
      // +-0.7 ms of jitter on the ideal callback time, truncated to the millisecond clock.
      const double jitter = ((i * 7919) % 15 - 7) * 0.1;
      clock.Set(start + static_cast<uint32_t>(i * 1000.0 / hz + jitter));
      const uint32_t due = pacer.Due();
      frames += due;
      most = std::max(most, due);
    }
    os::SetClock(nullptr);
    EXPECT_NEAR(static_cast<double>(frames), 600.0, 1.0) << hz << " Hz";
    EXPECT_LE(most, static_cast<uint32_t>(std::ceil(60.0 / hz - 0.01)) + 1u) << hz << " Hz";
  }
}

TEST(HostPacingTest, StallRunsOneFrameAndShortGapsAreMadeUp) {
  os::CFakeClock clock{100};
  os::SetClock(&clock);
  app::CFramePacer pacer;
  pacer.Due();
  clock.Advance(10);
  EXPECT_EQ(pacer.Due(), 0u) << "10 ms is not a frame yet";
  clock.Advance(7);
  EXPECT_EQ(pacer.Due(), 1u) << "17 ms in all is one frame";
  clock.Advance(50);
  EXPECT_EQ(pacer.Due(), 3u) << "a 50 ms gap is made up";
  clock.Advance(240);
  EXPECT_EQ(pacer.Due(), 14u) << "a quarter second is made up";
  clock.Advance(2000);
  EXPECT_EQ(pacer.Due(), 1u) << "a long stall (hidden tab) is not made up";
  EXPECT_EQ(pacer.Carry(), (3u * 2000u + (3u * 240u + 1u) % 50u) % 50u);
  os::SetClock(nullptr);
}

}  // namespace
