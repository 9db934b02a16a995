#include "scene/telop_scene.h"

#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"

namespace {
// Shared across visits; restarts only when it fires.
int g_telopCounter = 0;
}  // namespace

int CTelopScene::FrameCounter() { return g_telopCounter; }

void CTelopScene::Enter() {
  LoadStageScript("data/scr/telop.txt");
  card_ = FindSprite("data/image/stg00_home.jpg");
}

void CTelopScene::DrawImages() {
  if (card_) card_->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
}

void CTelopScene::AfterDraw() {
  ++g_telopCounter;
  if (g_telopCounter > 128) {
    g_telopCounter = 0;
    Manager().RequestScene(&Manager().HomeStage());
  }
}
