// The projection and the numbered cameras of one world, one of them current. Units, background
// culling and 3D sound ask it for the eye position and project points to the screen with it.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <map>

#include "platform/gfxutil/math.h"

class CCamera;
struct UnitBody;
struct WorldContext;

class CCameraManager {
 public:
  // Builds the projection and sets it on the device. The eye is kept out of the world's collision
  // world; points are projected onto its configured screen.
  explicit CCameraManager(const WorldContext& world);
  ~CCameraManager();
  CCameraManager(const CCameraManager&) = delete;
  CCameraManager& operator=(const CCameraManager&) = delete;

  // Left-handed perspective: 45 degrees vertically, always 4:3, near 10, far at the view distance.
  static gfxutil::Matrix BuildProjection();

  void Add(int32_t number, const boost::shared_ptr<CCamera>& camera);
  void SetCurrent(int32_t number);
  // Null while the current number names no camera.
  CCamera* Current() const;
  int32_t CurrentNumber() const { return current_; }

  // Re-applies the current camera's view, then updates the camera.
  void Update();
  // Pushes the current camera's eye out of walls and over floors (camera mode collision).
  void Collide();
  // The current camera's eye; zero without a current camera.
  gfxutil::Vector4 GetEyePosition() const;
  // Copies the current camera's angles, eye and look-at rotation into `out` at the same places.
  void CopyPose(UnitBody& out) const;
  // The translation of `world` through the device's view and projection: back-buffer x, y (from
  // the configured display size), 0 and the projective w.
  gfxutil::Vector4 Project(const gfxutil::Matrix& world) const;
  gfxutil::Vector4 ProjectPoint(float x, float y, float z) const;
  const gfxutil::Matrix& Projection() const { return projection_; }

 private:
  const WorldContext& world_;
  std::map<int32_t, boost::shared_ptr<CCamera>> cameras_;
  int32_t current_ = 0;
  gfxutil::Matrix projection_;
};
