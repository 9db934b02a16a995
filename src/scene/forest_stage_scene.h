// The second playable stage: open ground, a plateau, trees and rocks, with no end; play stays here
// until the player quits.
#pragma once
#include "scene/scene.h"

class CForestStageScene : public CScene {
 public:
  explicit CForestStageScene(CSceneManager& manager) : CScene(manager) {}
  void Enter() override;
  void Frame() override;
  const char* Name() const override { return "CForestStageScene"; }
};
