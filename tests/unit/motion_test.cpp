// Motion play state over the compiled-in tables.
#include "unit/motion.h"

#include <gtest/gtest.h>

TEST(MotionTables, HoldTheCompiledInRows) {
  EXPECT_EQ(kPlayerMotionTable.count, 21);
  EXPECT_EQ(kBearMotionTable.count, 5);
  EXPECT_EQ(kButterflyMotionTable.count, 1);
  const MotionEntry& walk = kPlayerMotionTable.rows[1];
  EXPECT_EQ(walk.start, 20.0f);
  EXPECT_EQ(walk.end, 60.0f);
  EXPECT_EQ(walk.speed, 1.2f);
  EXPECT_EQ(walk.loop, 1);
  int hits = 0;
  for (int i = 0; i < MotionTable::kCapacity; ++i) {
    EXPECT_EQ(kPlayerMotionTable.rows[i].number, i < 21 ? i : 0);
    hits += kPlayerMotionTable.rows[i].hit;
  }
  EXPECT_EQ(hits, 4);
  EXPECT_EQ(kPlayerMotionTable.rows[10].hit, 1);
  EXPECT_EQ(kPlayerMotionTable.rows[19].hit, 1);
  EXPECT_EQ(kPlayerMotionTable.rows[3].end, 200.0f);
  EXPECT_EQ(kPlayerMotionTable.rows[21].end, 0.0f);  // unused rows are zero
  EXPECT_EQ(kBearMotionTable.rows[1].end, 40.0f);
  EXPECT_EQ(kBearMotionTable.rows[2].speed, 0.0f);
  EXPECT_EQ(kButterflyMotionTable.rows[0].end, 10.0f);
}

TEST(Motion, RowZeroIsActiveRightAfterConstruction) {
  for (const MotionTable* t : {&kPlayerMotionTable, &kBearMotionTable, &kButterflyMotionTable}) {
    CMotion m(*t);
    EXPECT_EQ(m.Current(), 0);
    EXPECT_EQ(m.GetFrame(), 0.0f);
    EXPECT_EQ(m.Speed(), 1.0f);
    EXPECT_FALSE(m.IsFinished());
    m.Advance();
    EXPECT_EQ(m.GetFrame(), 1.0f);
  }
}

TEST(Motion, SelectingThePlayingMotionDoesNotRestartIt) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(1);
  for (int i = 0; i < 5; ++i) m.Advance();
  const float frame = m.GetFrame();
  m.SetMotion(1);
  EXPECT_EQ(m.GetFrame(), frame);
  EXPECT_GT(frame, 20.0f);
}

TEST(Motion, LoopingMotionWrapsDroppingTheOvershoot) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(1);  // 20 to 60 at 1.2
  int wraps = 0;
  float last = m.GetFrame();
  for (int i = 0; i < 200; ++i) {
    m.Advance();
    if (m.GetFrame() < last) {
      ++wraps;
      EXPECT_EQ(m.GetFrame(), 20.0f);
    }
    EXPECT_LT(m.GetFrame(), 60.0f);
    EXPECT_FALSE(m.IsFinished());
    last = m.GetFrame();
  }
  EXPECT_GE(wraps, 5);
}

TEST(Motion, LoopingMotionNeverClearsItsHitFlag) {
  MotionTable t{};
  t.count = 1;
  t.rows[0] = MotionEntry{0, 1, 0.0f, 3.0f, 1.0f, 1};
  CMotion m(t);
  for (int i = 0; i < 10; ++i) m.Advance();
  EXPECT_EQ(m.GetHitFlag(), 1);
  EXPECT_FALSE(m.IsFinished());
}

TEST(Motion, NonLoopingMotionClampsAtItsEndAndStaysFinished) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(10);  // 60 to 70, hit
  EXPECT_EQ(m.GetHitFlag(), 1);
  for (int i = 0; i < 9; ++i) m.Advance();
  EXPECT_FALSE(m.IsFinished());
  EXPECT_EQ(m.GetHitFlag(), 1);
  EXPECT_EQ(m.GetFrame(), 69.0f);
  m.Advance();
  EXPECT_TRUE(m.IsFinished());
  EXPECT_EQ(m.GetHitFlag(), 0);
  EXPECT_EQ(m.GetFrame(), 70.0f);
  for (int i = 0; i < 3; ++i) {
    m.Advance();
    EXPECT_EQ(m.GetFrame(), 70.0f);
    EXPECT_TRUE(m.IsFinished());
  }
  // Selecting the same index again does not clear it.
  m.SetMotion(10);
  EXPECT_TRUE(m.IsFinished());
  // A different motion does.
  m.SetMotion(2);
  EXPECT_FALSE(m.IsFinished());
  EXPECT_EQ(m.GetFrame(), 50.0f);
}

TEST(Motion, SpeedOverrideIsLostOnChangeAndKeptOnReselect) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(1);
  m.SetSpeed(3.0f);
  m.SetMotion(1);
  EXPECT_EQ(m.Speed(), 3.0f);
  m.Advance();
  EXPECT_FLOAT_EQ(m.GetFrame(), 23.0f);
  m.SetMotion(0);
  EXPECT_EQ(m.Speed(), 1.0f);
  m.SetMotion(1);
  EXPECT_EQ(m.Speed(), 1.2f);
}

TEST(Motion, WalkSeesFrameThirtyEightOnOneOrTwoUpdates) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(1);
  int seen = 0;
  for (int i = 0; i < 33; ++i) {
    m.Advance();
    if (static_cast<int16_t>(m.GetFrame()) == 38) ++seen;
  }
  EXPECT_GE(seen, 1);
  EXPECT_LE(seen, 2);
}

TEST(Motion, OwnsACopyOfItsTable) {
  MotionTable t{};
  t.count = 2;
  t.rows[0] = MotionEntry{0, 0, 0.0f, 10.0f, 1.0f, 1};
  t.rows[1] = MotionEntry{1, 0, 5.0f, 8.0f, 2.0f, 0};
  CMotion m(t);
  t.rows[1].start = 100.0f;  // changing the caller's table afterwards changes nothing
  m.SetMotion(1);
  EXPECT_EQ(m.GetFrame(), 5.0f);
}

TEST(Motion, IndicesBeyondTheCapacityAreIgnored) {
  CMotion m(kPlayerMotionTable);
  m.SetMotion(1);
  m.Advance();
  const float frame = m.GetFrame();
  m.SetMotion(64);
  m.SetMotion(-1);
  EXPECT_EQ(m.Current(), 1);
  EXPECT_EQ(m.GetFrame(), frame);
  // Within the capacity but past the count: the zero row, as the table says.
  m.SetMotion(40);
  EXPECT_EQ(m.Current(), 40);
  EXPECT_EQ(m.GetFrame(), 0.0f);
}
