// Workers on their own thread: the turns run back to back and block in their own waits.
#include "platform/os/thread.h"

namespace os {

struct CWorker::State {
  std::thread thread;
};

bool CWorker::Start(std::function<void()> first, Turn turn) {
  if (Running()) return false;
  auto state = std::make_shared<State>();
  state->thread = std::thread([first = std::move(first), turn = std::move(turn)] {
    if (first) first();
    while (turn(true)) {
    }
  });
  state_ = std::move(state);
  return true;
}

void CWorker::Join() {
  if (state_ && state_->thread.joinable()) state_->thread.join();
  state_.reset();
}

bool CWorker::Running() const { return state_ && state_->thread.joinable(); }

}  // namespace os
