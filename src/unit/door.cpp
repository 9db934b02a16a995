#include "unit/door.h"

#include "resource/model.h"
#include "resource/resource_cache.h"
#include "unit/player.h"
#include "unit/world_context.h"

namespace {
constexpr float kOpenDistanceSq = 10000.0f;  // 100 units from the closed position, in x and z
constexpr float kEase = 0.1f;
}  // namespace

CDoor::CDoor(const WorldContext& world, const gfxutil::Vector4& position) : world_(world) {
  body_.position = position;
  closedX_ = position.x;
  openX_ = position.x - 150.0f;
  model_ = FindIn(world.models, "data/mdl/object/door/door.mdl");
}

CDoor::~CDoor() = default;

void CDoor::Update() {
  const CPlayer* player = world_.player;
  if (!player) return;
  const gfxutil::Vector4 p = player->GetPosition();
  const float dx = p.x - closedX_;
  const float dz = p.z - body_.position.z;
  const float goal = dx * dx + dz * dz >= kOpenDistanceSq ? closedX_ : openX_;
  body_.position.x += (goal - body_.position.x) * kEase;
}

void CDoor::Draw() {
  if (!model_) return;
  model_->SetMatrix(BuildWorldMatrix());
  model_->Draw(std::nullopt);
}
