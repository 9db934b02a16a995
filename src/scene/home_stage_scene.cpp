#include "scene/home_stage_scene.h"

#include <boost/shared_ptr.hpp>

#include "scene/forest_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/stage_light.h"
#include "sound/music_stream.h"
#include "sound/sound_bank.h"
#include "unit/butterfly.h"
#include "unit/door.h"
#include "unit/player.h"
#include "unit/unit_registry.h"

CHomeStageScene* g_homeStageScene = nullptr;

namespace {
constexpr float kGoalX = 160.0f;
constexpr float kGoalZ = 310.0f;
constexpr float kGoalRadiusSq = 100.0f * 100.0f;
constexpr int kGoalEffect = 8;

const gfxutil::Vector4 kDoorPosition(110.0f, 100.0f, 240.0f, 0.0f);
const gfxutil::Vector4 kButterflyPositions[] = {
    {100.0f, 50.0f, 0.0f, 0.0f}, {-150.0f, 50.0f, 0.0f, 0.0f}, {-200.0f, 10.0f, 0.0f, 0.0f}};
}  // namespace

CHomeStageScene::CHomeStageScene() { g_homeStageScene = this; }
CHomeStageScene::~CHomeStageScene() {
  if (g_homeStageScene == this) g_homeStageScene = nullptr;
}

bool CHomeStageScene::AtGoal(const gfxutil::Vector4& p) {
  // The height is measured from the ground the goal lies on, not from the player's feet.
  const float dx = p.x - kGoalX, dz = p.z - kGoalZ;
  return dx * dx + p.y * p.y + dz * dz < kGoalRadiusSq;
}

void CHomeStageScene::Enter() {
  LoadStageScript("data/scr/stg00_home.txt");
  if (g_unitRegistry) {
    g_unitRegistry->Insert("CDoor", boost::shared_ptr<CUnit>(new CDoor(kDoorPosition)));
    for (const gfxutil::Vector4& p : kButterflyPositions)
      g_unitRegistry->Insert("CButterfly", boost::shared_ptr<CUnit>(new CButterfly(p)));
  }
  SetHomeStageLight();
  ApplyStageLight();
}

void CHomeStageScene::Frame() {
  if (GetPhase() == 0) {
    PlayerStep();
    WorldUpdate();
    LateUpdate();
    RenderWorld();
    if (const CPlayer* player = CPlayer::Current())
      if (AtGoal(player->GetPosition())) g_stageEnd = 1;
    if (StageEndFlag()) {
      if (g_soundBank) g_soundBank->PlaySE2D(kGoalEffect);
      StopStream();
      SetPhase(1);
    }
  } else {
    // No player step: the player takes no input while the stage fades out.
    WorldUpdate();
    LateUpdate();
    RenderWorld();
    CountPhaseFrame();
    if (g_sceneManager && g_sceneManager->GetNextScene() != g_forestStageScene)
      g_sceneManager->RequestScene(g_forestStageScene);
  }
  Present();
}
