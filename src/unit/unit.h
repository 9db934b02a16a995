// Base of everything placed in a stage world: placement, falling-body physics, the distance and
// visibility bookkeeping the registry fills in, and the per-frame operations it calls in passes.
#pragma once
#include <cstdint>

#include "platform/gfxutil/math.h"
#include "world/unit_body.h"

class CUnit {
 public:
  CUnit() = default;
  CUnit(const CUnit&) = delete;
  CUnit& operator=(const CUnit&) = delete;

  virtual gfxutil::Vector4 GetPosition() const;
  virtual void SetPosition(float x, float y, float z, float w);
  virtual gfxutil::Vector4 GetRotation() const;
  virtual UnitBody& Body();
  virtual void SetVisible(bool visible);
  // Adds to the velocity the physics step integrates.
  virtual void Push(float dx, float dy, float dz);
  virtual bool IsFinished() const;
  virtual bool IsVisible() const;
  // The registry drops the unit in its next removal pass.
  virtual void Finish();
  virtual ~CUnit();
  virtual void Update() {}
  // Runs before the registry decides visibility.
  virtual void LateUpdate() {}
  // 3D, visible units only.
  virtual void Draw() {}
  // 3D, visible units only, after the background's translucent pass.
  virtual void DrawSecondPass() {}
  // 2D overlay, every unit.
  virtual void DrawScreen() {}
  virtual void Reserved() {}
  // Falling-body integration; derived classes call it from their update.
  virtual void PhysicsStep();

  // Object to world: Z, X and Y rotations (each skipped when exactly 0), scale (skipped when
  // exactly 1 on every axis), translation. Kept in the body and returned.
  const gfxutil::Matrix& BuildWorldMatrix();
  // The same for any body record, such as a copy posed differently for drawing.
  static const gfxutil::Matrix& BuildWorldMatrix(UnitBody& body);

  int16_t State() const { return state_; }
  int16_t Tick() const { return tick_; }
  float CameraDistanceSq() const { return cameraDistanceSq_; }
  const gfxutil::Vector4& ScreenPosition() const { return screenPosition_; }

 protected:
  // A new state counts its frames from 0.
  void ChangeState(int16_t state) {
    state_ = state;
    tick_ = 0;
  }

  int16_t state_ = 0;
  int16_t tick_ = 0;
  float cameraDistanceSq_ = 0;
  bool finished_ = false;
  bool visible_ = false;
  gfxutil::Vector4 screenPosition_;  // back-buffer x, y, 0, projective w
  UnitBody body_;

 private:
  friend class CUnitRegistry;
};
