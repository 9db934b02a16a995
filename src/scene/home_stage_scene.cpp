#include "scene/home_stage_scene.h"

#include "scene/scene_manager.h"
#include "scene/screen_fader.h"

CHomeStageScene* g_homeStageScene = nullptr;

CHomeStageScene::CHomeStageScene() { g_homeStageScene = this; }
CHomeStageScene::~CHomeStageScene() {
  if (g_homeStageScene == this) g_homeStageScene = nullptr;
}

void CHomeStageScene::Enter() { LoadStageScript("data/scr/stg00_home.txt"); }

void CHomeStageScene::Frame() {
  PlayerStep();
  WorldUpdate();
  LateUpdate();
  RenderWorld();
  if (g_sceneManager) g_sceneManager->Fader().Draw();
  Present();
}
