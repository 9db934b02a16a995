#include "unit/camera_player.h"

#include <cmath>

#include "core/input.h"
#include "resource/math_helpers.h"
#include "unit/world_context.h"

using gfxutil::Matrix;
using gfxutil::Vector3;
using gfxutil::Vector4;

namespace {

// Logical buttons that turn the orbit: fast one way, fast the other, slow both ways.
constexpr int kTurnFastMinus = 10;
constexpr int kTurnFastPlus = 13;
constexpr int kTurnSlowPlus = 0;
constexpr int kTurnSlowMinus = 1;

}  // namespace

CCamera_Player::CCamera_Player(const WorldContext& world, UnitBody* target) : world_(world), target_(target) {
  const Vector4& p = target_->position;
  body_.position = Vector4(p.x, p.y + 160.0f, p.z - 20.0f, p.w);
  body_.rotation = Vector4(0.0f, target_->rotation.y, 0.0f, 0.0f);
}

bool CCamera_Player::Held(int button) const { return world_.input && world_.input->Pressed(button); }

Matrix CCamera_Player::LookAtRotation(const Vector3& eye, const Vector3& at, const Vector3& up) {
  const Vector3 z = gfxutil::Vec3Normalize(at - eye);
  const Vector3 x = gfxutil::Vec3Normalize(gfxutil::Vec3Cross(up, z));
  const Vector3 y = gfxutil::Vec3Cross(z, x);
  Matrix m;
  m.m[0][0] = x.x, m.m[0][1] = y.x, m.m[0][2] = z.x, m.m[0][3] = 0.0f;
  m.m[1][0] = x.y, m.m[1][1] = y.y, m.m[1][2] = z.y, m.m[1][3] = 0.0f;
  m.m[2][0] = x.z, m.m[2][1] = y.z, m.m[2][2] = z.z, m.m[2][3] = 0.0f;
  m.m[3][0] = 1.0f, m.m[3][1] = 1.0f, m.m[3][2] = 1.0f, m.m[3][3] = 1.0f;
  return m;
}

void CCamera_Player::Update() {
  float& a = body_.rotation.y;
  // This frame's circle point uses the angle from before the buttons.
  const float s = std::sin(a), c = std::cos(a);
  if (Held(kTurnFastMinus)) a -= 0.04f;
  if (Held(kTurnFastPlus)) a += 0.04f;
  if (Held(kTurnSlowPlus)) a += 0.015f;
  if (Held(kTurnSlowMinus)) a -= 0.015f;

  const UnitBody& t = *target_;
  float& lag = world_.carried->cameraHeightLag;
  const float goal = t.landingNormal.y;
  if (std::fabs(lag - goal) > 0.3f) lag += lag < goal ? 0.5f : -0.5f;

  const Vector4 ideal(t.position.x + kFollowDistance * s, t.position.y + lag + 100.0f,
                      t.position.z + kFollowDistance * c, 0.0f);
  const float targetVelocity[3] = {t.velocityX, t.velocityY, t.velocityZ};
  Vector4& eye = body_.position;
  const Vector4 next = PointAlongWithOffset(targetVelocity, eye, ideal, 0.1f, 0.005f, 0.1f);
  body_.velocityX = next.x - eye.x;
  body_.velocityY = next.y - eye.y;
  body_.velocityZ = next.z - eye.z;
  eye.x += body_.velocityX;
  eye.y += body_.velocityY;
  eye.z += body_.velocityZ;
  eye.w += next.w - eye.w;

  const Matrix rotation =
      LookAtRotation(Vector3(eye.x, eye.y, eye.z), Vector3(t.position.x, t.position.y + 32.0f, t.position.z),
                     Vector3(0.0f, 1.0f, 0.0f));
  body_.auxMatrix1 = rotation;
  ApplyView(gfxutil::MatrixTranslation(-eye.x, -eye.y, -eye.z) * rotation);
}
