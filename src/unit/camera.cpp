#include "unit/camera.h"

#include "core/graphics.h"

CCamera::~CCamera() = default;

void CCamera::ApplyView(const gfxutil::Matrix& view) {
  view_ = view;
  if (gfx::CDevice* device = app::GetDevice()) device->SetTransform(gfx::D3DTS_VIEW, view_);
}
