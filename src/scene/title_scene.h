#pragma once
#include "scene/front_end_scene.h"

// The title picture with its pulsing "press the button" caption; confirm leads to the telop.
class CTitleScene : public CFrontEndScene {
 public:
  explicit CTitleScene(CSceneManager& manager) : CFrontEndScene(manager) {}
  void Enter() override;
  const char* Name() const override { return "CTitleScene"; }

 protected:
  void Step() override;
  void DrawImages() override;

 private:
  boost::shared_ptr<CSprite> title_;
  boost::shared_ptr<CSprite> caption_;
};
