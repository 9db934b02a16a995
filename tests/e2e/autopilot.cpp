#include "autopilot.h"

#include <cmath>

namespace e2e {

namespace {

// Movement angle of each held combination relative to the camera heading; the first match wins,
// as in the game's own reading of the keys. Up leads away from the camera, Down toward it.
struct Row {
  ArrowKeys keys;
  float offset;
};
constexpr Row kRows[] = {
    {{true, false, false, true}, -0.785f}, {{false, true, false, true}, 0.785f},
    {{false, true, true, false}, -3.925f}, {{true, false, true, false}, -2.355f},
    {{false, false, false, true}, 0.0f},   {{false, false, true, false}, 3.14f},
    {{true, false, false, false}, -1.57f}, {{false, true, false, false}, 1.57f},
};

bool Holds(const ArrowKeys& held, const ArrowKeys& row) {
  return (!row.right || held.right) && (!row.left || held.left) && (!row.up || held.up) &&
         (!row.down || held.down);
}

float WrapAngle(float a) {
  while (a > 3.14159265f) a -= 6.2831853f;
  while (a < -3.14159265f) a += 6.2831853f;
  return a;
}

}  // namespace

bool ArrowDirection(const ArrowKeys& keys, float cameraYaw, float& x, float& z) {
  for (const Row& row : kRows) {
    if (!Holds(keys, row.keys)) continue;
    const float a = cameraYaw + row.offset;
    x = std::sin(a);
    z = std::cos(a);
    return true;
  }
  return false;
}

ArrowKeys SteerToward(float cameraYaw, float x, float z, float targetX, float targetZ) {
  const float dx = targetX - x, dz = targetZ - z;
  if (dx * dx + dz * dz < 1e-6f) return {};
  const float bearing = std::atan2(dx, dz);
  ArrowKeys best;
  float bestError = 10.0f;
  for (const Row& row : kRows) {
    const float error = std::fabs(WrapAngle(cameraYaw + row.offset - bearing));
    if (error < bestError) {
      bestError = error;
      best = row.keys;
    }
  }
  return best;
}

}  // namespace e2e
