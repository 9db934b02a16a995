#include "platform/os/clock.h"

#include <chrono>
#include <thread>

namespace os {
namespace {

class CRealClock : public IClock {
 public:
  uint32_t TimeGetTime() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  // Windows' Sleep wakes on the clock's tick, so a pacing loop that sleeps and reads the clock
  // goes on as the millisecond turns. Sleeping for a millisecond from now instead woke up to a
  // millisecond after the turn, and that lateness varied from frame to frame.
  void Sleep(uint32_t ms) override {
    using namespace std::chrono;
    std::this_thread::sleep_until(time_point_cast<milliseconds>(steady_clock::now()) + milliseconds(ms));
  }
};

CRealClock g_realClock;
IClock* g_clock = &g_realClock;

}  // namespace

void SetClock(IClock* clock) { g_clock = clock ? clock : &g_realClock; }
uint32_t TimeGetTime() { return g_clock->TimeGetTime(); }
void Sleep(uint32_t ms) { g_clock->Sleep(ms); }

}  // namespace os
