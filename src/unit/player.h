// The character the user steers: reads the buttons relative to the camera, walks, runs and jumps,
// kicks up smoke and leaves at its footsteps, and is drawn as a body model with a separate head.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
class CParticleFile;
struct WorldContext;

class CPlayer : public CUnit {
 public:
  enum PlayerState : int16_t { kIdle = 0, kWalk = 1, kStop = 2, kJumpStart = 3, kAirborne = 4, kLanded = 5 };

  // Logical buttons the player reads.
  static constexpr int kRight = 0, kLeft = 1, kUp = 2, kDown = 3, kRun = 4, kJump = 5, kLook = 12;
  // Sound effects.
  static constexpr int kJumpWalkingSE = 1, kLandSE = 2, kLookOnSE = 20, kLookOffSE = 21, kJumpStandingSE = 24;

  static constexpr float kBodyLift = 40.0f;  // the body model's origin is at its hips
  static constexpr float kHeadLift = 30.0f;  // above the neck bone
  static constexpr int kNeckRecord = 2;      // recorded matrix of the body draw the head sits on
  static constexpr float kShadowRadius = 30.0f;

  // Reads the world's input and camera; its models and particles come from the world's caches,
  // its look mode and landing counter are the run's (world.carried), and the letterbox it shows
  // is the world's camera mask.
  CPlayer(const WorldContext& world, const gfxutil::Vector4& position, const gfxutil::Vector4& rotation);
  ~CPlayer() override;

  // Once per frame, before the units update: input to target heading, move direction, look mode.
  void ReadInput();

  // State machine, physics step, landing check, motion advance.
  void Update() override;
  // Resolves the body against the stage.
  void LateUpdate() override;
  void Draw() override;
  // The ground shadow.
  void DrawSecondPass() override;
  // Position, angles and motion frame as three lines of text.
  void DrawScreen() override;

  float TargetYaw() const { return targetYaw_; }
  float MoveX() const { return moveX_; }
  float MoveZ() const { return moveZ_; }
  const UnitBody& HeadTransform() const { return head_; }

 private:
  void StepStateMachine();
  void Walk();
  // Two puffs of smoke thrown back against the walk and two leaves.
  void SpawnFootstep();
  // fallSpeed: as collision left it before this update's physics step.
  void CheckLanding(float fallSpeed);
  void PlaySE(int n) const;
  bool Held(int button) const;
  bool Triggered(int button) const;
  bool AnyDirection() const;

  const WorldContext& world_;
  boost::shared_ptr<CModel> bodyModel_;
  boost::shared_ptr<CModel> headModel_;
  UnitBody head_;
  boost::shared_ptr<CParticleFile> smoke_;
  boost::shared_ptr<CParticleFile> blood_;
  float targetYaw_ = 0;
  float moveX_ = 1.0f, moveZ_ = 1.0f;
  UnitBody cameraPose_;  // scratch for ReadInput, kept to spare the stack a large record each frame
};
