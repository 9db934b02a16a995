// Steers like a person at the keyboard: from the camera's heading and the player's position, holds
// the arrow keys whose direction on screen points nearest the target.
#pragma once
#include <cstdint>

namespace e2e {

struct ArrowKeys {
  bool right = false, left = false, up = false, down = false;
  bool Any() const { return right || left || up || down; }
};

// The ground direction (x, z) in which the player moves while `keys` are held under a camera
// heading of cameraYaw (radians); false when the keys make no direction.
bool ArrowDirection(const ArrowKeys& keys, float cameraYaw, float& x, float& z);

// Of the eight arrow combinations, the one whose direction lies nearest the bearing from (x, z)
// to (targetX, targetZ). Nothing is held when the target is under the player.
ArrowKeys SteerToward(float cameraYaw, float x, float z, float targetX, float targetZ);

}  // namespace e2e
