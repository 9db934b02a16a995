// Base of the cameras the camera manager holds by number. Each carries a unit body record so the
// collision world can push its eye out of walls; cameras are not units and not in the registry.
#pragma once
#include "platform/gfxutil/math.h"
#include "world/unit_body.h"

class CCamera {
 public:
  CCamera() = default;
  virtual ~CCamera();
  CCamera(const CCamera&) = delete;
  CCamera& operator=(const CCamera&) = delete;

  // Builds the view for this frame and sets it on the device.
  virtual void Update() = 0;
  virtual void Idle() {}

  const gfxutil::Matrix& View() const { return view_; }
  // Rotation angles, eye position and, in auxMatrix1, the rotation part of the view.
  UnitBody& Body() { return body_; }
  const UnitBody& Body() const { return body_; }

 protected:
  // Keeps the view and hands it to the device.
  void ApplyView(const gfxutil::Matrix& view);

  gfxutil::Matrix view_;
  UnitBody body_;
};
