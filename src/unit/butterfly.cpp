#include "unit/butterfly.h"

#include <boost/make_shared.hpp>
#include <cstdlib>

#include "resource/math_helpers.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "unit/motion.h"
#include "unit/world_context.h"

namespace {
constexpr float kRadiansToDegrees = 57.29f;

float Table(uint32_t index) { return SineTable()[static_cast<uint16_t>(index)]; }
}  // namespace

CButterfly::CButterfly(const WorldContext& world, const gfxutil::Vector4& position) {
  body_.position = position;
  model_ = FindIn(world.models, "data/mdl/creature/butterfly/butterfly.mdl");
  body_.motion = boost::make_shared<CMotion>(kButterflyMotionTable);
}

CButterfly::~CButterfly() = default;

void CButterfly::Update() {
  UnitBody& b = body_;
  const uint32_t i = SineIndexOfDegrees(b.rotation.y * kRadiansToDegrees);
  const float sy = Table(i);
  const float cy = Table(i + kCosineOffset);
  const float cp = Table(SineIndexOfDegrees(phase_) + uint32_t(kCosineOffset));
  // A little off the quarter turns, so the sway is not quite square to the heading.
  const float swayX = Table(i + 16380) * cp;
  const float swayY = Table(i + 32764) * cp;

  phase_ += 1.0f;
  timer_ += 1.0f;
  speed_ += 0.002f;
  if (timer_ > limit_) {
    timer_ = 0.0f;
    speed_ += static_cast<float>(100 + std::rand() % 101) * 0.001f;
    limit_ = static_cast<float>(128 + std::rand() % 385);
  }

  b.position.x += swayX * 0.2f;
  b.position.y += swayY * 0.2f;
  b.rotation.y += speed_ * 0.04f;
  b.position.x += speed_ * sy;
  b.position.y += speed_ * cy;
  speed_ *= 0.98f;
  if (b.motion) b.motion->Advance();
}

void CButterfly::Draw() {
  if (!model_) return;
  model_->SetMatrix(BuildWorldMatrix());
  model_->Draw(body_.motion ? std::optional<float>(body_.motion->GetFrame()) : std::nullopt);
}
