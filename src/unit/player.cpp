#include "unit/player.h"

#include <boost/make_shared.hpp>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/graphics.h"
#include "core/input.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "resource/math_helpers.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "sound/sound_bank.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/leaf.h"
#include "unit/motion.h"
#include "unit/particle_unit.h"
#include "unit/shadow.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"
#include "world/collision_world.h"

using gfxutil::Matrix;
using gfxutil::Vector4;

namespace {

// One row of the direction table: the buttons held (second = -1 for one button), the movement
// angle and the heading as offsets from the camera's heading. The body faces its -z axis, so the
// heading is always the movement angle plus a half turn.
struct DirectionRow {
  int first, second;
  float angle;
  float yaw;
};
constexpr DirectionRow kDirections[] = {
    {CPlayer::kRight, CPlayer::kDown, -0.785f, 2.355f},
    {CPlayer::kLeft, CPlayer::kDown, 0.785f, 3.925f},
    {CPlayer::kLeft, CPlayer::kUp, -3.925f, 5.495f},
    {CPlayer::kRight, CPlayer::kUp, -2.355f, 0.785f},
    {CPlayer::kDown, -1, 0.0f, 3.14f},
    {CPlayer::kUp, -1, 3.14f, 0.0f},
    {CPlayer::kRight, -1, -1.57f, 1.57f},
    {CPlayer::kLeft, -1, 1.57f, 4.71f},
};
constexpr int kUpRow = 5;

constexpr float kJumpImpulse = 6.0f;
constexpr float kWalkPush = 0.55f;
constexpr float kRunPush = 1.1f;
constexpr float kAirPush = 0.055f;
constexpr float kLookTurn = 0.4f;
constexpr float kDegreesPerRadian = 57.29f;

void SetAlphaBlending(gfx::CDevice& device) {
  using namespace gfx;
  device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  SetTextureTimesDiffuse(device);
  device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void SetOpaqueBlending(gfx::CDevice& device) {
  device.SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_ONE);
  device.SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_ZERO);
}

}  // namespace

CPlayer::CPlayer(const WorldContext& world, const Vector4& position, const Vector4& rotation)
    : world_(world) {
  body_.position = position;
  body_.rotation.y = rotation.y;
  bodyModel_ = FindIn(world.models, "data/mdl/player/player.mdl");
  headModel_ = FindIn(world.models, "data/mdl/player/head.mdl");
  smoke_ = FindIn(world.particles, "data/par/smoke.par");
  blood_ = FindIn(world.particles, "data/par/blood.par");
  body_.motion = boost::make_shared<CMotion>(kPlayerMotionTable);
  moveX_ = 1.0f;
  moveZ_ = 1.0f;
  ChangeState(kIdle);
}

CPlayer::~CPlayer() = default;

void CPlayer::PlaySE(int n) const {
  if (world_.sounds) world_.sounds->PlaySE(body_, n);
}

bool CPlayer::Held(int button) const { return world_.input && world_.input->Pressed(button); }
bool CPlayer::Triggered(int button) const { return world_.input && world_.input->Trigger(button); }
bool CPlayer::AnyDirection() const { return world_.input && world_.input->AnyDirection(); }

void CPlayer::ReadInput() {
  if (world_.cameras) world_.cameras->CopyPose(cameraPose_);
  const float c = cameraPose_.rotation.y;

  for (int i = 0; i < static_cast<int>(std::size(kDirections)); ++i) {
    const DirectionRow& row = kDirections[i];
    if (!Held(row.first) || (row.second >= 0 && !Held(row.second))) continue;
    if (i == kUpRow) {
      moveX_ = -std::sin(c);
      moveZ_ = -std::cos(c);
    } else {
      const float a = c + row.angle;
      moveX_ = std::sin(a);
      moveZ_ = std::cos(a);
    }
    targetYaw_ = c + row.yaw;
    break;
  }

  // Look mode: the bars come in and the body keeps turning to face where the camera looks.
  int& lookMode = world_.carried->playerLookMode;
  if (Triggered(kLook)) {
    if (!lookMode) {
      PlaySE(kLookOnSE);
      if (world_.cameraMask) world_.cameraMask->Show();
      lookMode = 1;
      targetYaw_ = c;
      TurnToward(body_.rotation.y, targetYaw_, kLookTurn);
    } else {
      PlaySE(kLookOffSE);
      if (world_.cameraMask) world_.cameraMask->Hide();
      lookMode = 0;
    }
  } else if (lookMode) {
    targetYaw_ = c;
    TurnToward(body_.rotation.y, targetYaw_, kLookTurn);
  }
}

void CPlayer::Update() {
  // Collision zeroes the fall speed when it lands the body, and every physics step makes it
  // positive again, so whether the player stands is read before this update's step.
  const float fallSpeed = body_.fallSpeed;
  StepStateMachine();
  PhysicsStep();
  CheckLanding(fallSpeed);
  body_.motion->Advance();
}

void CPlayer::StepStateMachine() {
  switch (state_) {
    case kIdle:
      if (tick_ == 0) body_.motion->SetMotion(0);
      ++tick_;
      // Each test overrides the one before: a jump with a direction held starts as a walk.
      if (Triggered(kJump)) {
        PlaySE(kJumpStandingSE);
        body_.velocityY += kJumpImpulse;
        ChangeState(kJumpStart);
      }
      if (!body_.landed) ChangeState(kAirborne);
      if (AnyDirection()) ChangeState(kWalk);
      break;
    case kWalk:
      Walk();
      break;
    case kStop:
      ChangeState(kIdle);
      break;
    case kJumpStart:
      ChangeState(kAirborne);
      break;
    case kAirborne:
      // Steers in the air, but the body keeps its heading.
      if (AnyDirection()) {
        body_.velocityX += moveX_ * kAirPush;
        body_.velocityZ += moveZ_ * kAirPush;
      }
      if (body_.landed) ChangeState(kLanded);
      break;
    case kLanded:
      ChangeState(kIdle);
      break;
    default:
      break;
  }
}

void CPlayer::Walk() {
  CMotion& motion = *body_.motion;
  if (tick_ == 0) motion.SetMotion(1);
  const float d = AngleDifference(body_.rotation.y, targetYaw_);
  ++tick_;

  const int16_t frame = static_cast<int16_t>(static_cast<int32_t>(motion.GetFrame()));
  if (frame == 38 || frame == 48) SpawnFootstep();

  // Later steps override the state an earlier one chose.
  if (Triggered(kJump)) {
    PlaySE(kJumpWalkingSE);
    body_.velocityY += kJumpImpulse;
    ChangeState(kLanded);
  }
  TurnToward(body_.rotation.y, targetYaw_, (std::fabs(d) + 1.0f) * 0.1f);
  if (AnyDirection()) {
    const bool run = Held(kRun);
    const float push = run ? kRunPush : kWalkPush;
    motion.SetSpeed(run ? 3.0f : 1.0f);
    body_.velocityX += moveX_ * push;
    body_.velocityZ += moveZ_ * push;
  } else {
    motion.SetSpeed(1.0f);
    ChangeState(kStop);
  }
  if (!body_.landed) {
    motion.SetSpeed(1.0f);
    ChangeState(kJumpStart);
  }
}

void CPlayer::SpawnFootstep() {
  CUnitRegistry* registry = world_.registry;
  if (!registry) return;
  const Vector4& p = body_.position;
  if (smoke_) {
    // Thrown back against the walk.
    CParticleFile puff = *smoke_;
    puff.speed.x -= 0.1f * body_.velocityX;
    puff.speed.y -= 0.1f * body_.velocityY;
    puff.speed.z -= 0.1f * body_.velocityZ;
    for (int i = 0; i < 2; ++i)
      registry->Insert(CParticleUnit::kRegistryName,
                       boost::make_shared<CParticleUnit>(world_, p.x, p.y, p.z, p.w, puff));
  }
  const Vector4 velocity(body_.velocityX, body_.velocityY, body_.velocityZ, 0.0f);
  for (int i = 0; i < 2; ++i) {
    const int leaf = std::rand() % 6;
    registry->Insert("CLeaf", boost::make_shared<CLeaf>(world_, p, velocity, leaf));
  }
}

void CPlayer::CheckLanding(float fallSpeed) {
  int& landingCounter = world_.carried->playerLandingCounter;
  if (fallSpeed != 0.0f) {
    landingCounter = 0;
    return;
  }
  const int before = landingCounter;
  // Saturates: a player standing for years must not wrap round into a second landing.
  if (landingCounter < INT_MAX) ++landingCounter;
  if (before != 0) return;
  PlaySE(kLandSE);
  if (!smoke_ || !world_.registry) return;
  const Vector4& p = body_.position;
  for (int i = 0; i < 4; ++i)
    world_.registry->Insert(CParticleUnit::kRegistryName,
                            boost::make_shared<CParticleUnit>(world_, p.x, p.y, p.z, p.w, *smoke_));
}

void CPlayer::LateUpdate() {
  if (world_.collisionWorld) world_.collisionWorld->Collide(body_, CCollisionWorld::kBodyMode);
}

void CPlayer::Draw() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  SetOpaqueBlending(*device);
  device->SetRenderState(gfx::D3DRS_SPECULARENABLE, 0);

  if (bodyModel_) {
    UnitBody raised = body_;
    raised.position.y += kBodyLift;
    bodyModel_->SetMatrix(BuildWorldMatrix(raised));
    bodyModel_->Draw(body_.motion ? std::optional<float>(body_.motion->GetFrame()) : std::nullopt);
    if (headModel_) {
      // The head follows the neck as the body draw just posed it, turned with the body only.
      const Matrix neck = bodyModel_->GetRecordedMatrix(kNeckRecord);
      head_.position = Vector4(neck.m[3][0], neck.m[3][1] + kHeadLift, neck.m[3][2], 0.0f);
      head_.rotation.y = body_.rotation.y;
      headModel_->SetMatrix(BuildWorldMatrix(head_));
      headModel_->Draw(std::nullopt);
    }
  }
  device->SetRenderState(gfx::D3DRS_SPECULARENABLE, 0);
}

void CPlayer::DrawSecondPass() {
  gfx::CDevice* device = app::GetDevice();
  if (!device || !world_.shadow) return;
  SetAlphaBlending(*device);
  ShadowRecord shadow;
  shadow.radius = kShadowRadius;
  shadow.height = body_.groundDistance;
  shadow.groundNormal = body_.groundNormal;
  shadow.groundPoint = body_.groundPoint;
  world_.shadow->DrawShadow(shadow);
}

void CPlayer::DrawScreen() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  SetAlphaBlending(*device);
  gfxutil::CFont* font = app::ReadoutShown() ? app::GetFont() : nullptr;
  if (font) {
    char line[256];
    const float frame = body_.motion ? body_.motion->GetFrame() : 0.0f;
    for (int i = 0; i < 3; ++i) {
      if (i == 0) {
        std::snprintf(line, sizeof line, "POS:%lf,%lf,%lf", double(body_.position.x),
                      double(body_.position.y), double(body_.position.z));
      } else if (i == 1) {
        std::snprintf(line, sizeof line, "DEG:%lf,%lf,%lf", double(body_.rotation.x * kDegreesPerRadian),
                      double(body_.rotation.y * kDegreesPerRadian),
                      double(body_.rotation.z * kDegreesPerRadian));
      } else {
        std::snprintf(line, sizeof line, "%lf", double(frame));
      }
      gfxutil::Rect rect{0, 20 * i, 1024, 768};
      font->DrawText(line, -1, &rect, gfxutil::DT_EXPANDTABS, 0xFFFFFFFFu);
    }
  }
  SetOpaqueBlending(*device);
}
