// A worker thread and Win32-style auto-reset events, for the music stream.
#pragma once
#include <cstdint>
#include <functional>
#include <thread>

namespace os {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr int kWaitTimeout = -1;

// Auto-reset event: Set wakes one wait, which consumes the signal.
class CEvent {
 public:
  CEvent() = default;
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  void Set();
  void Reset();
  // True when signalled within the time (the signal is consumed).
  bool Wait(uint32_t timeoutMs = kInfinite);

 private:
  friend int WaitForAnyEvent(CEvent* const* events, int count, uint32_t timeoutMs);
  bool signalled_ = false;
};

// WaitForMultipleObjects with waitAll = FALSE: the lowest index of a signalled event
// (consuming its signal), or kWaitTimeout.
int WaitForAnyEvent(CEvent* const* events, int count, uint32_t timeoutMs = kInfinite);

class CThread {
 public:
  CThread() = default;
  ~CThread() { Join(); }
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  bool Start(std::function<void()> body);
  void Join();
  bool Running() const { return worker_.joinable(); }

 private:
  std::thread worker_;
};

}  // namespace os
