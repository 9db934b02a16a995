#include "unit/npc.h"

#include <boost/make_shared.hpp>
#include <cmath>

#include "core/graphics.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "resource/math_helpers.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "sound/sound_bank.h"
#include "unit/motion.h"
#include "unit/particle_unit.h"
#include "unit/player.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"
#include "world/collision_world.h"

namespace {

constexpr float kRadiansToDegrees = 57.29f;
constexpr float kFollowDistanceSq = 10000.0f;  // 100 units: start following
constexpr float kCloseDistanceSq = 2500.0f;    // 50 units: near enough, stand
constexpr float kFarDistanceSq = 25600.0f;     // 160 units: leap after the player
constexpr float kLevelDifference = 50.0f;
constexpr float kJumpSpeed = 6.0f;
constexpr int kJumpEffect = 1;
constexpr int kFollowLevelJumpEffect = 24;
constexpr int kSprungBone = 2;

// |trunc(a - b)| > 50 without converting a possibly huge difference to an integer.
bool OnAnotherLevel(float a, float b) { return std::fabs(std::trunc(a - b)) > kLevelDifference; }
}  // namespace

CNPC::CNPC(const WorldContext& world, const gfxutil::Vector4& position, const gfxutil::Vector4& rotation)
    : world_(world) {
  body_.position = position;
  body_.rotation.y = rotation.y;
  model_ = FindIn(world.models, "data/mdl/kuma/kuma.mdl");
  smoke_ = FindIn(world.particles, "data/par/smoke.par");
  blood_ = FindIn(world.particles, "data/par/blood.par");
  body_.motion = boost::make_shared<CMotion>(kBearMotionTable);
}

CNPC::~CNPC() = default;

void CNPC::PlayAt(int n) const {
  if (world_.sounds) world_.sounds->PlaySE(body_, n);
}

void CNPC::Update() {
  Spring();
  StateLogic();
  PhysicsStep();
  if (body_.motion) body_.motion->Advance();
}

void CNPC::Spring() {
  NpcSpring& s = world_.carried->bearSpring;
  if (body_.landed == 1) {
    if (s.landingCounter == 0) s.offset += 3.0f;
    // Only "first grounded update or not" matters; saturate rather than overflow.
    if (s.landingCounter < 0x7FFFFFFF) ++s.landingCounter;
  } else {
    s.landingCounter = 0;
  }
  s.velocity = (s.velocity - s.offset * 0.16666667f) * 0.95f;
  s.offset += s.velocity;
  if (model_) model_->SetBoneAdjust(kSprungBone, gfxutil::MatrixTranslation(0.0f, s.offset, 0.0f));
}

void CNPC::StateLogic() {
  const CPlayer* player = world_.player;
  UnitBody& b = body_;
  if (!player) return;
  const gfxutil::Vector4 p = player->GetPosition();
  const float dx = b.position.x - p.x;
  const float dz = b.position.z - p.z;
  const float distanceSq = dx * dx + dz * dz;
  // The model faces its -z axis.
  const float towardPlayer = std::atan2(dx, dz);
  const bool grounded = b.landed != 0;

  switch (state_) {
    case kIdle:
      if (tick_ == 0 && b.motion) b.motion->SetMotion(0);
      ++tick_;
      TurnToward(b.rotation.y, towardPlayer, 0.08f);
      if (distanceSq > kFollowDistanceSq) ChangeState(kFollow);
      if (OnAnotherLevel(p.y, b.position.y) && grounded) {
        PlayAt(kJumpEffect);
        b.velocityY += kJumpSpeed;
        ChangeState(kLevelJump);
      }
      break;
    case kFollow:
      if (tick_ == 0 && b.motion) b.motion->SetMotion(1);
      ++tick_;
      TurnToward(b.rotation.y, towardPlayer, 0.1f);
      if (distanceSq < kCloseDistanceSq) ChangeState(kIdle);
      b.velocityZ -= std::cos(b.rotation.y) * 0.55f;
      b.velocityX -= std::sin(b.rotation.y) * 0.55f;
      if (distanceSq > kFarDistanceSq && grounded) {
        PlayAt(kJumpEffect);
        b.velocityY += kJumpSpeed;
        ChangeState(kFarJump);
      }
      if (OnAnotherLevel(p.y, b.position.y) && grounded) {
        PlayAt(kFollowLevelJumpEffect);
        b.velocityY += kJumpSpeed;
        ChangeState(kLevelJump);
      }
      if (b.motion) {
        const int16_t frame = static_cast<int16_t>(static_cast<int32_t>(b.motion->GetFrame()));
        if (frame == 38 || frame == 48) KickUpSmoke();
      }
      break;
    case kFarJump:
      ChangeState(kIdle);
      break;
    case kLevelJump:
      ChangeState(kAirborne);
      break;
    case kAirborne:
      b.velocityZ -= std::cos(b.rotation.y) * 0.03f;
      b.velocityX -= std::sin(b.rotation.y) * 0.03f;
      if (grounded) ChangeState(kLanded);
      break;
    case kLanded:
      ChangeState(kIdle);
      break;
    default:
      break;
  }
}

void CNPC::KickUpSmoke() {
  if (!smoke_ || !world_.registry) return;
  CParticleFile puff = *smoke_;
  puff.speed.x -= body_.velocityX * 0.1f;
  puff.speed.y -= body_.velocityY * 0.1f;
  puff.speed.z -= body_.velocityZ * 0.1f;
  const gfxutil::Vector4& at = body_.position;
  for (int i = 0; i < 4; ++i)
    world_.registry->Insert(CParticleUnit::kRegistryName, boost::shared_ptr<CUnit>(new CParticleUnit(
                                                              world_, at.x, at.y, at.z, at.w, puff)));
}

void CNPC::KeepAway() {
  const CPlayer* player = world_.player;
  if (!player) return;
  const gfxutil::Vector4 p = player->GetPosition();
  gfxutil::Vector4& at = body_.position;
  const float dx = p.x - at.x;
  const float dz = p.z - at.z;
  if (dx * dx + dz * dz >= kKeepAway * kKeepAway) return;
  // Whole degrees through the sine table, as every unit turns its angles into directions.
  const float a = std::atan2(dx, dz);
  const float sa = TableSin(SineIndexOfDegrees(a * kRadiansToDegrees));
  const float ca =
      SineTable()[static_cast<uint16_t>(kCosineOffset - SineIndexOfDegrees(-a * kRadiansToDegrees))];
  at.x = p.x - sa * kKeepAway;
  at.z = p.z - ca * kKeepAway;
}

void CNPC::LateUpdate() {
  KeepAway();
  if (world_.collisionWorld) world_.collisionWorld->Collide(body_, CCollisionWorld::kBodyMode);
}

void CNPC::Draw() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  using namespace gfx;
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_SPECULARENABLE, 0);
  if (model_) {
    // The model is built large; it is shown small and lifted so its feet meet the ground.
    UnitBody posed = body_;
    posed.scaleX = posed.scaleY = posed.scaleZ = 0.3f;
    posed.position.y += 10.0f;
    model_->SetMatrix(BuildWorldMatrix(posed));
    model_->Draw(body_.motion ? std::optional<float>(body_.motion->GetFrame()) : std::nullopt);
  }
  device->SetRenderState(D3DRS_SPECULARENABLE, 0);
}

void CNPC::DrawSecondPass() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  using namespace gfx;
  SetTextureTimesDiffuse(*device);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}
