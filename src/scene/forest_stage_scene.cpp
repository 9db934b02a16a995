#include "scene/forest_stage_scene.h"

#include "scene/scene_manager.h"
#include "scene/stage_light.h"

void CForestStageScene::Enter() {
  LoadStageScript("data/scr/stg02_forest.txt");
  SetForestStageLight(Manager().StageLight());
  ApplyStageLight(Manager().StageLight());
}

void CForestStageScene::Frame() {
  PlayerStep();
  WorldUpdate();
  LateUpdate();
  RenderWorld();
  Present();
}
