#include "scene/telop_scene.h"

#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"

CTelopScene* g_telopScene = nullptr;

namespace {
// Shared across visits; restarts only when it fires.
int g_telopCounter = 0;
}  // namespace

CTelopScene::CTelopScene() { g_telopScene = this; }
CTelopScene::~CTelopScene() {
  if (g_telopScene == this) g_telopScene = nullptr;
}

int CTelopScene::FrameCounter() { return g_telopCounter; }

void CTelopScene::Enter() { LoadStageScript("data/scr/telop.txt"); }

void CTelopScene::DrawImages() {}

void CTelopScene::AfterDraw() {
  ++g_telopCounter;
  if (g_telopCounter > 128) {
    g_telopCounter = 0;
    if (g_sceneManager) g_sceneManager->RequestScene(g_homeStageScene);
  }
}
