// Random play for soak runs: held keys that change every few frames, the pad coming and going,
// and now and then the debug-draw key. Its own generator, so the game's rand() sequence is left alone.
#pragma once
#include <cstdint>
#include <random>

#include "support/fake_input.h"

namespace testgame {

class CRandomPlay {
 public:
  explicit CRandomPlay(uint32_t seed) : rng_(seed) {}
  // Called once per frame; may post a key message (F2) to the window.
  void Step(CFakeInput& input);

 private:
  std::minstd_rand rng_;
};

}  // namespace testgame
