#include "unit/camera_mask.h"

#include "core/graphics.h"
#include "effect/sprite.h"

void CCameraMask::Update() {
  float target;
  switch (state_) {
    case kShown:
      target = 32.0f;
      break;
    case kHidden:
      target = -5.0f;
      break;
    default:
      return;
  }
  barHeight_ += (target - barHeight_) * 0.1f;
}

void CCameraMask::DrawScreen() {
  gfx::CDevice* device = app::GetDevice();
  CSprite* black = app::GetBlackSprite().get();
  if (!device || !black) return;
  using namespace gfx;
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  const float h = barHeight_;
  black->Draw2D(0.0f, 0.0f, 640.0f, h, 0.0f, 0.0f, 1.0f, 1.0f, 0x80000000u);
  black->Draw2D(0.0f, 480.0f - h, 640.0f, 480.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0x80000000u);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
}
