#include "unit/motion.h"

namespace {

constexpr MotionEntry Row(int n, float start, float end, float speed, bool loop, bool hit = false) {
  return MotionEntry{n, hit ? 1 : 0, start, end, speed, static_cast<uint8_t>(loop ? 1 : 0)};
}

constexpr MotionTable PlayerTable() {
  MotionTable t{};
  t.count = 21;
  const MotionEntry rows[] = {
      Row(0, 0, 20, 1.0f, true),     Row(1, 20, 60, 1.2f, true),         Row(2, 50, 55, 1.0f, false),
      Row(3, 180, 200, 1.0f, false), Row(4, 65, 70, 1.0f, false),        Row(5, 50, 55, 1.0f, false),
      Row(6, 180, 200, 1.0f, false), Row(7, 65, 70, 1.0f, false),        Row(8, 65, 70, 1.0f, false),
      Row(9, 50, 60, 1.0f, false),   Row(10, 60, 70, 1.0f, false, true), Row(11, 70, 80, 1.0f, false),
      Row(12, 70, 75, 1.0f, false),  Row(13, 70, 75, 1.0f, false, true), Row(14, 70, 75, 1.0f, false),
      Row(15, 70, 75, 1.0f, false),  Row(16, 70, 75, 1.0f, false, true), Row(17, 70, 75, 1.0f, false),
      Row(18, 70, 75, 1.0f, false),  Row(19, 70, 75, 1.0f, false, true), Row(20, 70, 75, 1.0f, false),
  };
  for (int i = 0; i < 21; ++i) t.rows[i] = rows[i];
  return t;
}

constexpr MotionTable BearTable() {
  MotionTable t{};
  t.count = 5;
  t.rows[0] = Row(0, 0, 20, 1.0f, true);
  t.rows[1] = Row(1, 20, 40, 1.2f, true);
  return t;
}

constexpr MotionTable ButterflyTable() {
  MotionTable t{};
  t.count = 1;
  t.rows[0] = Row(0, 0, 10, 1.0f, true);
  return t;
}

}  // namespace

const MotionTable kPlayerMotionTable = PlayerTable();
const MotionTable kBearMotionTable = BearTable();
const MotionTable kButterflyMotionTable = ButterflyTable();

CMotion::CMotion(const MotionTable& table) : table_(table) { Select(0); }

void CMotion::Select(int n) {
  const MotionEntry& row = table_.rows[n];
  current_ = n;
  frame_ = row.start;
  speed_ = row.speed;
  hit_ = row.hit;
  finished_ = 0;
}

void CMotion::SetMotion(int n) {
  if (n == current_ || n < 0 || n >= MotionTable::kCapacity) return;
  Select(n);
}

void CMotion::Advance() {
  const MotionEntry& row = table_.rows[current_];
  frame_ += speed_;
  if (frame_ >= row.end) {
    if (row.loop) {
      frame_ = row.start;  // the overshoot is dropped
    } else {
      finished_ = 1;
      hit_ = 0;
      frame_ = row.end;
    }
  }
}
