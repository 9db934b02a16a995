#include "scene/title_scene.h"

#include "app/input.h"
#include "scene/scene_manager.h"
#include "scene/telop_scene.h"
#include "sound/sound_bank.h"

CTitleScene* g_titleScene = nullptr;

CTitleScene::CTitleScene() { g_titleScene = this; }
CTitleScene::~CTitleScene() {
  if (g_titleScene == this) g_titleScene = nullptr;
}

void CTitleScene::Enter() { LoadStageScript("data/scr/title.txt"); }

void CTitleScene::Step() {
  if (g_input && g_input->Trigger(4)) {
    if (g_soundBank) g_soundBank->PlaySE2D(1);
    if (g_sceneManager) g_sceneManager->RequestScene(g_telopScene);
  }
}

void CTitleScene::DrawImages() {}
