#include "scene/home_stage_scene.h"


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
  Present();
}
