#include "unit/camera_normal.h"

using gfxutil::Matrix;

CCamera_Normal::CCamera_Normal() { body_.position = gfxutil::Vector4(0.0f, -240.0f, -32.0f, 0.0f); }

void CCamera_Normal::Update() {
  const gfxutil::Vector4& r = body_.rotation;
  const gfxutil::Vector4& eye = body_.position;
  // The angles are applied as Z by the second, X by the third and Y by the first.
  const Matrix rotation =
      gfxutil::MatrixRotationZ(-r.y) * gfxutil::MatrixRotationX(-r.z) * gfxutil::MatrixRotationY(-r.x);
  body_.auxMatrix1 = rotation;
  ApplyView(gfxutil::MatrixTranslation(-eye.x, -eye.y, -eye.z) * rotation);
}
