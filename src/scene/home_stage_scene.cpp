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

namespace {
constexpr float kGoalX = 160.0f;
constexpr float kGoalZ = 310.0f;
constexpr float kGoalRadiusSq = 100.0f * 100.0f;
constexpr int kGoalEffect = 8;

const gfxutil::Vector4 kDoorPosition(110.0f, 100.0f, 240.0f, 0.0f);
const gfxutil::Vector4 kButterflyPositions[] = {
    {100.0f, 50.0f, 0.0f, 0.0f}, {-150.0f, 50.0f, 0.0f, 0.0f}, {-200.0f, 10.0f, 0.0f, 0.0f}};
}  // namespace

bool CHomeStageScene::AtGoal(const gfxutil::Vector4& p) {
  // The height is measured from the ground the goal lies on, not from the player's feet.
  const float dx = p.x - kGoalX, dz = p.z - kGoalZ;
  return dx * dx + p.y * p.y + dz * dz < kGoalRadiusSq;
}

void CHomeStageScene::Enter() {
  LoadStageScript("data/scr/stg00_home.txt");
  const WorldContext& world = World().Context();
  if (CUnitRegistry* registry = world.registry) {
    registry->Insert("CDoor", boost::shared_ptr<CUnit>(new CDoor(world, kDoorPosition)));
    for (const gfxutil::Vector4& p : kButterflyPositions)
      registry->Insert("CButterfly", boost::shared_ptr<CUnit>(new CButterfly(world, p)));
  }
  SetHomeStageLight(Manager().StageLight());
  ApplyStageLight(Manager().StageLight());
}

void CHomeStageScene::Frame() {
  if (GetPhase() == 0) {
    PlayerStep();
    WorldUpdate();
    LateUpdate();
    RenderWorld();
    if (const CPlayer* player = World().Context().player)
      if (AtGoal(player->GetPosition())) World().EndStage();
    if (StageEndFlag()) {
      Manager().Sounds().PlaySE2D(kGoalEffect);
      StopStream();
      SetPhase(1);
    }
  } else {
    // No player step: the player takes no input while the stage fades out.
    WorldUpdate();
    LateUpdate();
    RenderWorld();
    CountPhaseFrame();
    CSceneManager& manager = Manager();
    if (manager.GetNextScene() != &manager.ForestStage()) manager.RequestScene(&manager.ForestStage());
  }
  Present();
}
