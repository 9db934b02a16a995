// The millisecond clock and the sleep the frame pacing uses, with a seam so tests can run
// the real loop on a fake clock without waiting.
#pragma once
#include <cstdint>

namespace os {

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32 like timeGetTime.
  virtual uint32_t TimeGetTime() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// nullptr restores the real clock. The pointer is not owned.
void SetClock(IClock* clock);

uint32_t TimeGetTime();
void Sleep(uint32_t ms);

// A clock that only moves when told to; Sleep advances it by the requested time.
class CFakeClock : public IClock {
 public:
  explicit CFakeClock(uint32_t start = 0) : now_(start) {}
  uint32_t TimeGetTime() override { return now_; }
  void Sleep(uint32_t ms) override {
    now_ += ms;
    ++sleeps_;
  }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t now) { now_ = now; }
  uint64_t Sleeps() const { return sleeps_; }

 private:
  uint32_t now_;
  uint64_t sleeps_ = 0;
};

}  // namespace os
