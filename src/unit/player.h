// The character the user steers: reads the buttons relative to the camera, walks, runs and jumps,
// kicks up smoke and leaves at its footsteps, and is drawn as a body model with a separate head.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
class CParticleFile;

class CPlayer : public CUnit {
 public:
  CPlayer(const gfxutil::Vector4& position, const gfxutil::Vector4& rotation);
  ~CPlayer() override;

  // The most recently constructed player, or nullptr once it is gone.
  static CPlayer* Current();

  // Once per frame, before the units update: input to target heading, move direction, look mode.
  void ReadInput();

  void Update() override;
  void LateUpdate() override;
  void Draw() override;
  void DrawSecondPass() override;
  void DrawScreen() override;

  float TargetYaw() const { return targetYaw_; }
  float MoveX() const { return moveX_; }
  float MoveZ() const { return moveZ_; }

 private:
  boost::shared_ptr<CModel> bodyModel_;
  boost::shared_ptr<CModel> headModel_;
  UnitBody head_;
  boost::shared_ptr<CParticleFile> smoke_;
  boost::shared_ptr<CParticleFile> blood_;
  float targetYaw_ = 0;
  float moveX_ = 1.0f, moveZ_ = 1.0f;
};

// Process-wide: look mode (0 or 1) and the landing counter.
extern int g_playerLookMode;
extern int g_playerLandingCounter;
