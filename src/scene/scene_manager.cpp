#include "scene/scene_manager.h"

#include "platform/os/system_info.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene.h"
#include "scene/screen_fader.h"
#include "scene/team_logo_scene.h"
#include "scene/telop_scene.h"
#include "scene/title_scene.h"
#include "sound/sound_bank.h"

CSceneManager* g_sceneManager = nullptr;

namespace {
void Destroy(CScene* scene) {
  if (!scene) return;
  CScene::Trace("destroy", scene);
  delete scene;
}
}  // namespace

CSceneManager::CSceneManager() {
  g_sceneManager = this;
  new CTitleScene();
  new CTeamLogoScene();
  new CHomeStageScene();
  new CForestStageScene();
  new CTelopScene();
  soundBank_ = std::make_unique<SoundBank>();
  fader_ = std::make_unique<CScreenFader>();
}

CSceneManager::~CSceneManager() {
  if (current_) current_->Leave();
  current_ = nullptr;
  fader_.reset();
  Destroy(g_teamLogoScene);
  soundBank_.reset();
  Destroy(g_telopScene);
  Destroy(g_forestStageScene);
  Destroy(g_homeStageScene);
  Destroy(g_titleScene);
  if (g_sceneManager == this) g_sceneManager = nullptr;
}

void CSceneManager::Switch() {
  os::SetLoading(true);
  if (current_) current_->Leave();
  os::ReleaseFreedMemory();
  current_ = next_;
  if (current_) current_->Enter();
  os::SetLoading(false);
}

void CSceneManager::Frame() {
  if (current_) current_->Frame();
}

void CSceneManager::RequestScene(CScene* scene) {
  SetNextScene(scene);
  fader_->Start(CScreenFader::kFadeOut);
}
