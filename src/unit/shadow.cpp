#include "unit/shadow.h"

#include <cmath>

#include "core/graphics.h"
#include "effect/sprite.h"
#include "resource/resource_cache.h"

using gfxutil::Matrix;
using gfxutil::Vector3;

namespace {

struct ShadowVertex {
  float x, y, z;
  uint32_t color;
  float u, v;
};
static_assert(sizeof(ShadowVertex) == 24);

// The quad floats this far above the ground point's local plane, and the ground point itself is
// lifted along the normal, so the blob does not fight the floor for depth.
constexpr float kQuadHeight = 10.0f;
constexpr float kNormalLift = 2.0f;

}  // namespace

CShadow::CShadow(const ResourceCache<CSprite>* sprites) : sprite_(FindIn(sprites, kImage)) {}

uint32_t CShadow::Alpha(float height) {
  const float a = 100.0f - 6.0f * height;
  // Below 20 it stays at 20; a caster below the ground must not wrap into the colour bytes.
  if (!(a >= 20.0f)) return 20;
  if (a >= 255.0f) return 255;
  return static_cast<uint32_t>(a);
}

Matrix CShadow::UpTo(const Vector3& normal) {
  const Vector3 n = gfxutil::Vec3Normalize(normal);
  if (gfxutil::Vec3LengthSq(n) == 0.0f) return Matrix();
  // Half-way quaternion between up and n: (up x n, 1 + up . n), normalised.
  const float w = 1.0f + n.y;
  if (w < 1e-6f) return gfxutil::MatrixRotationX(3.14159265f);  // straight down
  const gfxutil::Quaternion q = gfxutil::QuaternionNormalize(gfxutil::Quaternion(n.z, 0.0f, -n.x, w));
  return gfxutil::MatrixRotationQuaternion(q);
}

void CShadow::DrawShadow(const ShadowRecord& shadow) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  using namespace gfx;
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

  const Vector3 n(shadow.groundNormal.x, shadow.groundNormal.y, shadow.groundNormal.z);
  const Vector3 at =
      Vector3(shadow.groundPoint.x, shadow.groundPoint.y, shadow.groundPoint.z) + n * kNormalLift;
  device->SetTransform(D3DTS_WORLD, UpTo(n) * gfxutil::MatrixTranslation(at.x, at.y, at.z));
  device->SetTexture(0, sprite_ ? sprite_->GetTexture() : nullptr);

  const float m = HalfSize(shadow.radius, shadow.height);
  const uint32_t color = (Alpha(shadow.height) << 24) | 0x00FFFFFFu;
  const float y = kQuadHeight;
  const ShadowVertex quad[6] = {
      {-m, y, -m, color, 0, 1}, {m, y, m, color, 1, 0},  {-m, y, m, color, 0, 0},
      {-m, y, -m, color, 0, 1}, {m, y, -m, color, 1, 1}, {m, y, m, color, 1, 0},
  };
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(ShadowVertex));

  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}
