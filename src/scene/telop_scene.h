#pragma once
#include "scene/front_end_scene.h"

// The caption card shown before the home stage, for 129 frames.
class CTelopScene : public CFrontEndScene {
 public:
  explicit CTelopScene(CSceneManager& manager) : CFrontEndScene(manager) {}
  void Enter() override;
  const char* Name() const override { return "CTelopScene"; }
  static int FrameCounter();

 protected:
  void DrawImages() override;
  void AfterDraw() override;

 private:
  boost::shared_ptr<CSprite> card_;
};
