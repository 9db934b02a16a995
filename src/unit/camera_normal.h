// A fixed camera placed by its own eye position and angles (front-end scenes and any world that
// is not a playable stage).
#pragma once
#include "unit/camera.h"

class CCamera_Normal : public CCamera {
 public:
  CCamera_Normal();
  void Update() override;
};
