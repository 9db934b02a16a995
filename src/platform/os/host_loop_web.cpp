// The browser: the page's animation frames drive the loop. Each callback runs the frame tasks
// (sound pump, music refills), then the game's turn; the steps run and what they cost are kept
// for the page's read-outs.
#include <emscripten.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <string>

#include "platform/os/host_loop.h"

namespace os {
namespace {
LoopTurn g_turn = nullptr;
uint64_t g_steps = 0;
// Cost of the recent callbacks that ran one step (milliseconds).
std::array<double, 240> g_costs{};
size_t g_costCount = 0;

void Callback() {
  // A swap interval of 0 (windowed presents) makes SDL switch the loop to timeouts; the
  // display's frames are what this loop follows.
  int mode = 0, value = 0;
  emscripten_get_main_loop_timing(&mode, &value);
  if (mode != EM_TIMING_RAF || value != 1) emscripten_set_main_loop_timing(EM_TIMING_RAF, 1);
  RunFrameTasks();
  if (!g_turn) return;
  const double start = emscripten_get_now();
  const int steps = g_turn();
  if (steps <= 0) return;
  g_steps += static_cast<uint64_t>(steps);
  if (steps == 1) g_costs[g_costCount++ % g_costs.size()] = emscripten_get_now() - start;
}
}  // namespace

bool HostDrivesLoop() { return true; }

void RunHostLoop(LoopTurn turn) {
  g_turn = turn;
  // Zero rate: called on requestAnimationFrame. Never returns; the page keeps the game alive.
  emscripten_set_main_loop(Callback, 0, 1);
}

void StopHostLoop() {
  g_turn = nullptr;
  emscripten_cancel_main_loop();
  EM_ASM({
    if (Module.onGameEnded) Module.onGameEnded();
  });
}

uint64_t HostLoopSteps() { return g_steps; }

std::string g_status;
void SetPageStatus(const char* text) { g_status = text ? text : ""; }

void OfferFile(const std::string& path) {
  EM_ASM(
      {
        if (Module.onGameFile) Module.onGameFile(UTF8ToString($0));
      },
      path.c_str());
}

void ExitNow(int code) {
  StopHostLoop();
  emscripten_force_exit(code);
  __builtin_unreachable();
}

}  // namespace os

// Read by the page: steps run so far, the game's status line, and the median cost of a one-step
// frame lately.
extern "C" EMSCRIPTEN_KEEPALIVE double brimmel_steps() { return static_cast<double>(os::HostLoopSteps()); }

extern "C" EMSCRIPTEN_KEEPALIVE const char* brimmel_status() { return os::g_status.c_str(); }

// The program's memory in use (the heap's allocated bytes), for the page's soak read-out.
extern "C" EMSCRIPTEN_KEEPALIVE double brimmel_heap_bytes() {
  return static_cast<double>(mallinfo().uordblks);
}

extern "C" EMSCRIPTEN_KEEPALIVE double brimmel_frame_ms() {
  const size_t n = std::min(os::g_costCount, os::g_costs.size());
  if (n == 0) return 0;
  std::array<double, 240> sorted = os::g_costs;
  std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.begin() + n);
  return sorted[n / 2];
}
