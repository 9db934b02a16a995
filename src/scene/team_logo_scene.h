#pragma once
#include "scene/front_end_scene.h"

// The team's logo card, the first scene of the process; hands over to the title after 257 frames.
class CTeamLogoScene : public CFrontEndScene {
 public:
  explicit CTeamLogoScene(CSceneManager& manager) : CFrontEndScene(manager) {}
  void Enter() override;
  const char* Name() const override { return "CTeamLogoScene"; }
  static int FrameCounter();

 private:
  boost::shared_ptr<CSprite> logo_;

 protected:
  void Step() override;
  void DrawImages() override;
};
