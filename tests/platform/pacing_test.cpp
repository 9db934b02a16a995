#include <gtest/gtest.h>

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
