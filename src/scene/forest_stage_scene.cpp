#include "scene/forest_stage_scene.h"

#include "scene/stage_light.h"

CForestStageScene* g_forestStageScene = nullptr;

CForestStageScene::CForestStageScene() { g_forestStageScene = this; }
CForestStageScene::~CForestStageScene() {
  if (g_forestStageScene == this) g_forestStageScene = nullptr;
}

void CForestStageScene::Enter() {
  LoadStageScript("data/scr/stg02_forest.txt");
  SetForestStageLight();
  ApplyStageLight();
}

void CForestStageScene::Frame() {
  PlayerStep();
  WorldUpdate();
  LateUpdate();
  RenderWorld();
  Present();
}
