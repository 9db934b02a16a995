#include "unit/camera_manager.h"

#include <cmath>

#include "core/config.h"
#include "core/graphics.h"
#include "unit/camera.h"
#include "unit/world_context.h"
#include "world/collision_world.h"
#include "world/unit_body.h"
#include "world/view_distance.h"

using gfxutil::Matrix;
using gfxutil::Vector4;

namespace {

constexpr float kHalfFieldOfView = 0.3926991f;
constexpr float kAspect = 1.3333334f;
constexpr float kNearPlane = 10.0f;

}  // namespace

Matrix CCameraManager::BuildProjection() {
  const float theta = kHalfFieldOfView;
  const float cot = std::cos(theta) / std::sin(theta);
  const float far = g_viewDistance;
  const float q = far / (far - kNearPlane);
  Matrix m;
  m.m[0][0] = cot / kAspect;
  m.m[1][1] = cot;
  m.m[2][2] = q;
  m.m[2][3] = 1.0f;
  m.m[3][2] = -kNearPlane * q;
  m.m[3][3] = 0.0f;
  return m;
}

CCameraManager::CCameraManager(const WorldContext& world) : world_(world), projection_(BuildProjection()) {
  if (gfx::CDevice* device = app::GetDevice()) device->SetTransform(gfx::D3DTS_PROJECTION, projection_);
}

CCameraManager::~CCameraManager() { cameras_.clear(); }

void CCameraManager::Add(int32_t number, const boost::shared_ptr<CCamera>& camera) {
  cameras_[number] = camera;
}

void CCameraManager::SetCurrent(int32_t number) { current_ = number; }

CCamera* CCameraManager::Current() const {
  const auto it = cameras_.find(current_);
  return it == cameras_.end() ? nullptr : it->second.get();
}

void CCameraManager::Update() {
  CCamera* camera = Current();
  if (!camera) return;
  if (gfx::CDevice* device = app::GetDevice()) device->SetTransform(gfx::D3DTS_VIEW, camera->View());
  camera->Update();
}

void CCameraManager::Collide() {
  CCamera* camera = Current();
  if (camera && world_.collisionWorld)
    world_.collisionWorld->Collide(camera->Body(), CCollisionWorld::kCameraMode);
}

Vector4 CCameraManager::GetEyePosition() const {
  const CCamera* camera = Current();
  return camera ? camera->Body().position : Vector4();
}

void CCameraManager::CopyPose(UnitBody& out) const {
  const CCamera* camera = Current();
  if (!camera) return;
  const UnitBody& b = camera->Body();
  out.rotation = b.rotation;
  out.position = b.position;
  out.auxMatrix1 = b.auxMatrix1;
}

Vector4 CCameraManager::Project(const Matrix& world) const {
  return ProjectPoint(world.m[3][0], world.m[3][1], world.m[3][2]);
}

Vector4 CCameraManager::ProjectPoint(float x, float y, float z) const {
  const gfx::CDevice* device = app::GetDevice();
  const CCamera* camera = Current();
  const Matrix view = device ? device->GetTransform(gfx::D3DTS_VIEW) : camera ? camera->View() : Matrix();
  const Matrix projection = device ? device->GetTransform(gfx::D3DTS_PROJECTION) : projection_;
  const Vector4 p = gfxutil::Vec3Transform(gfxutil::Vector3(x, y, z), view * projection);
  const CConfig& config = ConfigOf(world_);
  const int w = config.width;
  const int h = config.height;
  const float halfW = static_cast<float>(w / 2);
  const float halfH = static_cast<float>(h / 2);
  return Vector4((p.x / p.w + 1.0f) * halfW, halfH - halfH * (p.y / p.w), 0.0f, p.w);
}
