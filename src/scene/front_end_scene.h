// The frame shared by the picture scenes before play: camera, black clear, the scene's step,
// 2D states, its images, the fader, present (resetting the device when it was lost).
#pragma once
#include <boost/shared_ptr.hpp>

#include "effect/sprite.h"
#include "resource/resource_cache.h"
#include "scene/scene.h"

class CFrontEndScene : public CScene {
 public:
  using CScene::CScene;
  void Frame() override;

 protected:
  virtual void Step() {}
  virtual void DrawImages() {}
  // Runs after the fader has drawn, before present.
  virtual void AfterDraw() {}
  // The scene's image from its world's sprite cache; empty when its script did not list it.
  boost::shared_ptr<CSprite> FindSprite(const char* path) const;
};
