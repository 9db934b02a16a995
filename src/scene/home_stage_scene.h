// The first playable stage: the yard and the house with a sliding door and three butterflies.
// Reaching the goal point ends it and fades over to the forest.
#pragma once
#include "platform/gfxutil/math.h"
#include "scene/scene.h"

class CHomeStageScene : public CScene {
 public:
  explicit CHomeStageScene(CSceneManager& manager) : CScene(manager) {}
  void Enter() override;
  void Frame() override;
  const char* Name() const override { return "CHomeStageScene"; }

  // Whether a player at `position` has reached the goal.
  static bool AtGoal(const gfxutil::Vector4& position);
};
