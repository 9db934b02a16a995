#include "scene/stage_light.h"

#include "core/graphics.h"
#include "platform/gfxutil/math.h"

namespace {
void SetCommonColours(gfx::Light& l) {
  l.Diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
  l.Specular = {0.0f, 0.0f, 0.0f, 0.0f};
  l.Ambient = {0.3f, 0.3f, 0.3f, 1.0f};
}
}  // namespace

void SetHomeStageLight(gfx::Light& l) {
  l.Type = gfx::D3DLIGHT_POINT;
  SetCommonColours(l);
  l.Position = {0.0f, 200.0f, 0.0f};
  l.Direction = {0.0f, -1.0f, 0.0f};
  l.Range = 500.0f;
  l.Falloff = 0.0f;
  l.Attenuation0 = 0.0001f;
  l.Attenuation1 = 0.00001f;
  l.Attenuation2 = 0.00001f;
  l.Theta = 0.0f;
  l.Phi = 3.14f;
}

void SetForestStageLight(gfx::Light& l) {
  l.Type = gfx::D3DLIGHT_DIRECTIONAL;
  SetCommonColours(l);
  l.Position = {0.0f, 0.0f, 0.0f};
  l.Direction = gfxutil::Vec3Normalize(gfxutil::Vector3(0.0f, -1.0f, 0.0f));
}

void ApplyStageLight(const gfx::Light& light) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetLight(0, light);
  device->LightEnable(0, true);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  device->SetRenderState(gfx::D3DRS_DITHERENABLE, 1);
  device->SetRenderState(gfx::D3DRS_SHADEMODE, gfx::D3DSHADE_GOURAUD);
  device->SetRenderState(gfx::D3DRS_AMBIENT, 0x00808080);
}
