// Owns one instance of every scene for the whole run, the current and next scene, the
// sound-effect bank, the screen fader and what the run carries from one stage to the next. Scenes
// change only through the fader: a scene names the next one (RequestScene) and starts the
// fade-out; the switch happens when the screen is fully black.
#pragma once
#include <memory>

#include "platform/gfx/types.h"
#include "scene/stage_world.h"
#include "unit/world_context.h"

class CScene;
class CScreenFader;
class SoundBank;
class CTeamLogoScene;
class CTitleScene;
class CTelopScene;
class CHomeStageScene;
class CForestStageScene;

class CSceneManager {
 public:
  // Makes every scene, the bank and the fader. `config` and `keys` are the run's and must outlive
  // the manager: its scenes' worlds read them.
  CSceneManager(const CConfig& config, const CKeyBindings& keys);
  ~CSceneManager();
  CSceneManager(const CSceneManager&) = delete;
  CSceneManager& operator=(const CSceneManager&) = delete;

  void SetNextScene(CScene* scene) { next_ = scene; }
  CScene* GetNextScene() const { return next_; }
  CScene* GetCurrentScene() const { return current_; }
  // Leaves the current scene (if any) and enters the next one.
  void Switch();
  void Frame();
  // Names the target and starts the fade-out (ignored while a fade-out runs).
  void RequestScene(CScene* scene);

  // The scenes, by name.
  CTeamLogoScene& TeamLogo() { return *teamLogo_; }
  CTitleScene& Title() { return *title_; }
  CTelopScene& Telop() { return *telop_; }
  CHomeStageScene& HomeStage() { return *homeStage_; }
  CForestStageScene& ForestStage() { return *forestStage_; }

  // The current scene's world, or null before the first scene.
  CStageWorld* CurrentWorld() const;
  // The current world's input, which the loop polls before each frame; null without a world.
  CInput* Input() const;

  CScreenFader& Fader() { return *fader_; }
  SoundBank& Sounds() { return *soundBank_; }
  CarriedOver& Carried() { return carried_; }
  // Light 0 of the stages: one record for the run, since a stage sets only the fields its light
  // uses and the others keep what the stage before left there.
  gfx::Light& StageLight() { return stageLight_; }
  // What every scene's world borrows from the manager.
  const StageServices& WorldServices() const { return services_; }

 private:
  StageServices services_;
  CarriedOver carried_;
  gfx::Light stageLight_{};
  CScene* current_ = nullptr;
  CScene* next_ = nullptr;
  std::unique_ptr<CTitleScene> title_;
  std::unique_ptr<CTeamLogoScene> teamLogo_;
  std::unique_ptr<CHomeStageScene> homeStage_;
  std::unique_ptr<CForestStageScene> forestStage_;
  std::unique_ptr<CTelopScene> telop_;
  std::unique_ptr<SoundBank> soundBank_;
  std::unique_ptr<CScreenFader> fader_;
};
