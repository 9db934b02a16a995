#include "platform/os/thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace os {
namespace {
// Few events exist and they fire a few times a second: one lock for all keeps multi-waits simple.
std::mutex g_lock;
// Never destroyed: at exit a worker may still wait on it, or set an event, while the static
// destructors run, and destroying a condition variable that is waited on blocks.
std::condition_variable& Changed() {
  static auto* changed = new std::condition_variable;
  return *changed;
}
}  // namespace

void CEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(g_lock);
    signalled_ = true;
  }
  Changed().notify_all();
}

void CEvent::Reset() {
  std::lock_guard<std::mutex> lock(g_lock);
  signalled_ = false;
}

bool CEvent::Wait(uint32_t timeoutMs) {
  CEvent* self = this;
  return WaitForAnyEvent(&self, 1, timeoutMs) == 0;
}

int WaitForAnyEvent(CEvent* const* events, int count, uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(g_lock);
  auto ready = [&]() {
    for (int i = 0; i < count; ++i)
      if (events[i] && events[i]->signalled_) return i;
    return -1;
  };
  int index = ready();
  if (index < 0) {
    if (timeoutMs == kInfinite) {
      Changed().wait(lock, [&] { return (index = ready()) >= 0; });
    } else {
      Changed().wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return (index = ready()) >= 0; });
    }
  }
  if (index < 0) return kWaitTimeout;
  events[index]->signalled_ = false;
  return index;
}

bool CThread::Start(std::function<void()> body) {
  if (worker_.joinable()) return false;
  worker_ = std::thread(std::move(body));
  return true;
}

void CThread::Join() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace os
