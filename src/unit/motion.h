// Per-unit animation play state: which motion of the unit class's table plays, at which frame,
// and whether it has finished or opened its hit window. The key frames live in the model.
#pragma once
#include <cstdint>

struct MotionEntry {
  int32_t number;  // the row's own index
  int32_t hit;     // 1: the unit's strike is active while this motion plays
  float start;
  float end;
  float speed;  // frames per update
  uint8_t loop;
};

struct MotionTable {
  static constexpr int kCapacity = 64;
  int32_t count;  // informational; selection is by index
  MotionEntry rows[kCapacity];
};

// The tables compiled in for the animated unit classes.
extern const MotionTable kPlayerMotionTable;
extern const MotionTable kBearMotionTable;
extern const MotionTable kButterflyMotionTable;

class CMotion {
 public:
  // Keeps its own copy of the table and starts on row 0.
  explicit CMotion(const MotionTable& table);

  // Selecting the motion already playing changes nothing (it is not restarted). Indices outside
  // the table's capacity are ignored.
  void SetMotion(int n);
  // One update tick.
  void Advance();
  // Lasts until a different motion is selected.
  void SetSpeed(float s) { speed_ = s; }
  float GetFrame() const { return frame_; }
  int32_t GetHitFlag() const { return hit_; }
  bool IsFinished() const { return finished_ != 0; }
  int32_t Current() const { return current_; }
  float Speed() const { return speed_; }

 private:
  void Select(int n);

  float frame_ = 0;
  float speed_ = 0;
  int32_t hit_ = 0;
  int32_t current_ = 0;
  uint8_t finished_ = 0;
  MotionTable table_;
};
