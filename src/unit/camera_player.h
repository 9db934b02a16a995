// The camera that circles the player at a fixed distance under the camera buttons and eases
// toward its ideal spot, looking at a point just above the player.
#pragma once
#include "unit/camera.h"

struct WorldContext;

class CCamera_Player : public CCamera {
 public:
  // Radius of the circle.
  static constexpr float kFollowDistance = 280.0f;

  // `target` is the player's body; it must outlive the camera (the camera manager goes first in
  // the world teardown). The camera buttons come from the world's input; the smoothed height
  // correction is the run's (world.carried), kept from one stage to the next.
  CCamera_Player(const WorldContext& world, UnitBody* target);
  void Update() override;

  // Look-at rotation from `eye` toward `at`, with the fourth row (1, 1, 1, 1) that gives the view
  // its constant one-unit offset along each view axis.
  static gfxutil::Matrix LookAtRotation(const gfxutil::Vector3& eye, const gfxutil::Vector3& at,
                                        const gfxutil::Vector3& up);

 private:
  bool Held(int button) const;

  const WorldContext& world_;
  UnitBody* target_;
};
