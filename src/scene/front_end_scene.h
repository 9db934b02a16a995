// The frame shared by the picture scenes before play: camera, black clear, the scene's step,
// 2D states, its images, the fader, present (resetting the device when it was lost).
#pragma once
#include "scene/scene.h"

class CFrontEndScene : public CScene {
 public:
  void Frame() override;

 protected:
  virtual void Step() {}
  virtual void DrawImages() {}
  // Runs after the fader has drawn, before present.
  virtual void AfterDraw() {}
};
