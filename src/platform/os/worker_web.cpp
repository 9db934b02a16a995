// Workers in the browser: no threads, so the turns are frame tasks that must not block.
#include "platform/os/host_loop.h"
#include "platform/os/thread.h"

namespace os {

struct CWorker::State {
  int task = 0;
  bool ended = false;
};

bool CWorker::Start(std::function<void()> first, Turn turn) {
  if (Running()) return false;
  auto state = std::make_shared<State>();
  if (first) first();
  std::weak_ptr<State> weak = state;
  state->task = AddFrameTask([weak, turn = std::move(turn)] {
    auto s = weak.lock();
    if (!s || s->ended) return false;
    if (!turn(false)) s->ended = true;
    return !s->ended;
  });
  state_ = std::move(state);
  return true;
}

void CWorker::Join() {
  if (!state_) return;
  // Turns run only between frames, so none is under way: dropping the task ends the worker.
  RemoveFrameTask(state_->task);
  state_.reset();
}

bool CWorker::Running() const { return state_ && !state_->ended; }

}  // namespace os
