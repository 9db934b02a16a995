#include "scene/front_end_scene.h"

#include "core/graphics.h"
#include "effect/sprite.h"
#include "scene/scene_manager.h"
#include "scene/screen_fader.h"
#include "unit/camera_manager.h"

void CFrontEndScene::Frame() {
  gfx::CDevice* device = app::GetDevice();
  // The picture scenes draw in 2D, but leave the device with their camera's view and projection
  // as every world frame does.
  if (CCameraManager* cameras = World().Context().cameras) {
    if (device) device->SetTransform(gfx::D3DTS_PROJECTION, cameras->Projection());
    cameras->Update();
  }
  if (device) {
    device->BeginScene();
    app::SetPreviousClearColor(0);
    device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  }
  Step();
  if (device) Set2DRenderStates(*device);
  DrawImages();
  Manager().Fader().Draw();
  AfterDraw();
  if (device) {
    device->EndScene();
    app::PresentAndResetIfLost();
  }
}

boost::shared_ptr<CSprite> CFrontEndScene::FindSprite(const char* path) const {
  return FindIn(World().Context().sprites, path);
}
