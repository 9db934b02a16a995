#include "scene/front_end_scene.h"

#include "scene/scene_manager.h"
#include "scene/screen_fader.h"

void CFrontEndScene::Frame() {
  Step();
  DrawImages();
  if (g_sceneManager) g_sceneManager->Fader().Draw();
  AfterDraw();
}
