// The letterbox: two half-transparent black bars that slide in at the top and bottom of the
// screen while the player looks around, and slide out again.
#pragma once
#include "unit/unit.h"

class CCameraMask : public CUnit {
 public:
  enum Mode : int16_t { kHidden = 0, kShown = 1 };

  // Starts hidden with the bars at 0.
  CCameraMask() = default;

  void Show() { ChangeState(kShown); }
  void Hide() { ChangeState(kHidden); }

  // Eases the bars toward 32 when shown and -5 when hidden (off screen, not creeping to 0).
  void Update() override;
  void DrawScreen() override;

  // Current height of each bar on the 640x480 virtual screen.
  float BarHeight() const { return barHeight_; }

 private:
  float barHeight_ = 0;
};
