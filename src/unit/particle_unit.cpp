#include "unit/particle_unit.h"

#include <cmath>
#include <cstdlib>

#include "core/graphics.h"
#include "effect/sprite.h"
#include "unit/camera_manager.h"
#include "unit/world_context.h"

namespace {

// Uniform on a 0.001 grid in [-r, r]; a negative r spreads like its absolute value.
float Spread(float r) {
  const float reach = std::fabs(r) * 1000.0f;
  // 64-bit: a large spread must not overflow the range arithmetic.
  const long long hi = reach < 9.0e15f ? static_cast<long long>(reach) : 9000000000000000LL;
  const long long lo = -hi;
  const long long n = lo + static_cast<long long>(std::rand()) % (hi - lo + 1);
  return static_cast<float>(n) * 0.001f;
}

}  // namespace

CParticleUnit::CParticleUnit(const WorldContext& world, float x, float y, float z, float w,
                             CParticleFile definition)
    : world_(world),
      sprite_(definition.sprite),
      velocity_(definition.speed),
      rand_(definition.rand),
      acceleration_(definition.acceleration),
      frict_(definition.frict),
      alphaRate_(definition.alpha),
      life_(definition.kill),
      red_(definition.red),
      green_(definition.green),
      blue_(definition.blue),
      scaleRate_(definition.scale) {
  body_.position = gfxutil::Vector4(x, y, z, w);
  velocity_.x += Spread(rand_.x);
  velocity_.y += Spread(rand_.y);
  velocity_.z += Spread(rand_.z);
  // A definition that could not be read draws nothing.
  if (!definition.Loaded()) Finish();
}

uint32_t CParticleUnit::Color() const {
  return (static_cast<uint32_t>(opacity_ & 0xFF) << 24) | (uint32_t(red_) << 16) | (uint32_t(green_) << 8) |
         uint32_t(blue_);
}

void CParticleUnit::Update() {
  gfxutil::Vector4& p = body_.position;
  if (world_.cameras) {
    const gfxutil::Vector4 eye = world_.cameras->GetEyePosition();
    body_.rotation.y = std::atan2(eye.x - p.x, eye.z - p.z);
  }

  // Kept within 16 bits: a negative rate raises the opacity, which must not wrap negative.
  const float rate = std::fmax(-32767.0f, std::fmin(32767.0f, alphaRate_));
  int opacity = int(opacity_) - static_cast<int>(rate);
  if (opacity < 0) opacity = 0;
  if (opacity > 32767) opacity = 32767;
  opacity_ = static_cast<int16_t>(opacity);

  velocity_.x += acceleration_.x;
  velocity_.y += acceleration_.y;
  velocity_.z += acceleration_.z;
  velocity_.x *= frict_.x;
  velocity_.y *= frict_.y;
  velocity_.z *= frict_.z;
  p.x += velocity_.x;
  p.y += velocity_.y;
  p.z += velocity_.z;
  body_.scaleX += scaleRate_;
  body_.scaleY += scaleRate_;
  body_.scaleZ += scaleRate_;
}

void CParticleUnit::DrawSecondPass() {
  gfx::CDevice* device = app::GetDevice();
  if (device) {
    using namespace gfx;
    device->SetRenderState(D3DRS_LIGHTING, 0);
    SetTextureTimesDiffuse(*device);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    if (sprite_) sprite_->Draw3D(BuildWorldMatrix(), Color(), -8.0f, -8.0f, 8.0f, 8.0f);
  }

  if (life_ != 0) {
    --life_;
  } else {
    Finish();
  }
  if (opacity_ == 0) Finish();

  if (device) {
    using namespace gfx;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  }
}
