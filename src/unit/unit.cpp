#include "unit/unit.h"

using gfxutil::Matrix;
using gfxutil::Vector4;

CUnit::~CUnit() = default;

Vector4 CUnit::GetPosition() const { return body_.position; }

void CUnit::SetPosition(float x, float y, float z, float w) { body_.position = Vector4(x, y, z, w); }

Vector4 CUnit::GetRotation() const { return body_.rotation; }

UnitBody& CUnit::Body() { return body_; }

void CUnit::SetVisible(bool visible) { visible_ = visible; }

void CUnit::Push(float dx, float dy, float dz) {
  body_.velocityX += dx;
  body_.velocityY += dy;
  body_.velocityZ += dz;
}

bool CUnit::IsFinished() const { return finished_; }

bool CUnit::IsVisible() const { return visible_; }

void CUnit::Finish() { finished_ = true; }

void CUnit::PhysicsStep() {
  UnitBody& b = body_;
  b.position.x += b.velocityX;
  b.position.y += b.velocityY;
  b.position.z += b.velocityZ;
  // Ground friction is much stronger than air drag.
  const float damping = b.landed ? 0.85f : 0.98f;
  b.velocityX *= damping;
  b.velocityY *= damping;
  b.velocityZ *= damping;
  b.landingNormal = Vector4();
  // The fall speed tends to 6 per step; collision zeroes it on landing.
  b.fallSpeed = b.fallSpeed * 0.99f + 0.06f;
  b.position.y -= 1.0f + b.fallSpeed;
}

const Matrix& CUnit::BuildWorldMatrix() { return BuildWorldMatrix(body_); }

const Matrix& CUnit::BuildWorldMatrix(UnitBody& b) {
  Matrix m;
  if (b.rotation.z != 0.0f) m = m * gfxutil::MatrixRotationZ(b.rotation.z);
  if (b.rotation.x != 0.0f) m = m * gfxutil::MatrixRotationX(b.rotation.x);
  if (b.rotation.y != 0.0f) m = m * gfxutil::MatrixRotationY(b.rotation.y);
  if (b.scaleX != 1.0f || b.scaleY != 1.0f || b.scaleZ != 1.0f)
    m = m * gfxutil::MatrixScaling(b.scaleX, b.scaleY, b.scaleZ);
  b.world = m * gfxutil::MatrixTranslation(b.position.x, b.position.y, b.position.z);
  return b.world;
}
