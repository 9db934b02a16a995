// The camera that circles the player at a fixed distance under the camera buttons and eases
// toward its ideal spot, looking at a point just above the player.
#pragma once
#include "unit/camera.h"

// Radius of the player camera's circle.
extern float g_cameraFollowDistance;
// Smoothed height correction of the player camera, shared by every instance and kept from one
// stage to the next; it moves only in steps of 0.5.
extern float g_cameraHeightLag;

class CCamera_Player : public CCamera {
 public:
  // `target` is the player's body; it must outlive the camera (the camera manager goes first in
  // the world teardown).
  explicit CCamera_Player(UnitBody* target);
  void Update() override;

  // Look-at rotation from `eye` toward `at`, with the fourth row (1, 1, 1, 1) that gives the view
  // its constant one-unit offset along each view axis.
  static gfxutil::Matrix LookAtRotation(const gfxutil::Vector3& eye, const gfxutil::Vector3& at,
                                        const gfxutil::Vector3& up);

 private:
  UnitBody* target_;
};
