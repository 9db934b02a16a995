// A worker thread and Win32-style auto-reset events, for the music stream.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
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

// Background work written as repeated turns. Where threads exist it runs on its own thread and
// each turn may block (`mayBlock` true) until it has something to do; in a browser, which has no
// threads here, the frame loop calls one turn per display frame with `mayBlock` false, so the
// same code is served from the frame loop. A turn answering false ends the worker.
class CWorker {
 public:
  using Turn = std::function<bool(bool mayBlock)>;
  CWorker() = default;
  ~CWorker() { Join(); }
  CWorker(const CWorker&) = delete;
  CWorker& operator=(const CWorker&) = delete;
  // `first` runs once before the turns (on the worker's thread where there is one).
  bool Start(std::function<void()> first, Turn turn);
  // Waits for the worker to end; whoever stops it makes its next turn answer false first.
  void Join();
  bool Running() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace os
