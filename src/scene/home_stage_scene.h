#pragma once
#include "scene/scene.h"

class CHomeStageScene : public CScene {
 public:
  CHomeStageScene();
  ~CHomeStageScene() override;
  void Enter() override;
  void Frame() override;
  const char* Name() const override { return "CHomeStageScene"; }
};

extern CHomeStageScene* g_homeStageScene;
