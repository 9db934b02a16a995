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

namespace {
template <class Scene>
void Destroy(std::unique_ptr<Scene>& scene) {
  if (!scene) return;
  CScene::Trace("destroy", scene.get());
  scene.reset();
}
}  // namespace

CSceneManager::CSceneManager(const CConfig& config, const CKeyBindings& keys) {
  title_ = std::make_unique<CTitleScene>(*this);
  teamLogo_ = std::make_unique<CTeamLogoScene>(*this);
  homeStage_ = std::make_unique<CHomeStageScene>(*this);
  forestStage_ = std::make_unique<CForestStageScene>(*this);
  telop_ = std::make_unique<CTelopScene>(*this);
  soundBank_ = std::make_unique<SoundBank>();
  fader_ = std::make_unique<CScreenFader>(*this);
  services_ = StageServices{fader_.get(), &keys, &config, soundBank_.get(), &carried_};
}

CSceneManager::~CSceneManager() {
  if (current_) current_->Leave();
  current_ = nullptr;
  services_.fader = nullptr;
  fader_.reset();
  Destroy(teamLogo_);
  services_.sounds = nullptr;
  soundBank_.reset();
  Destroy(telop_);
  Destroy(forestStage_);
  Destroy(homeStage_);
  Destroy(title_);
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

CStageWorld* CSceneManager::CurrentWorld() const { return current_ ? &current_->World() : nullptr; }

CInput* CSceneManager::Input() const {
  const CStageWorld* world = CurrentWorld();
  return world ? world->Context().input : nullptr;
}
