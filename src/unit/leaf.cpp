#include "unit/leaf.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "resource/model.h"
#include "resource/resource_cache.h"
#include "unit/world_context.h"

const char* const g_leafModelPaths[6] = {
    "data/mdl/object/leaf/leaf00.mdl", "data/mdl/object/leaf/leaf01.mdl", "data/mdl/object/leaf/leaf02.mdl",
    "data/mdl/object/leaf/leaf03.mdl", "data/mdl/object/leaf/leaf04.mdl", "data/mdl/object/leaf/leaf05.mdl",
};

namespace {

// rand() modulo (b - a + 1) plus a.
int Uniform(int a, int b) { return std::rand() % (b - a + 1) + a; }

// The spread is bounded by what rand() can reach anyway, so a wild kick cannot overflow it.
int SpreadOf(float speed) {
  const float r = std::trunc(1000.0f * speed);
  return r < 32767.0f ? static_cast<int>(r) : 32767;
}

}  // namespace

CLeaf::CLeaf(const WorldContext& world, const gfxutil::Vector4& position, const gfxutil::Vector4& velocity,
             int leafIndex) {
  const float vx = velocity.x * 0.2f, vy = velocity.y * 0.2f, vz = velocity.z * 0.2f;
  if (leafIndex >= 0 && leafIndex < 6) model_ = FindIn(world.models, g_leafModelPaths[leafIndex]);
  body_.position = position;
  // Flies up and a little back from the kick.
  body_.velocityX = -0.2f * vx;
  body_.velocityY = -0.2f * vy + 0.8f;
  body_.velocityZ = -0.2f * vz;
  body_.fallSpeed = 0.0f;
  const int r = SpreadOf(std::sqrt(vx * vx + vy * vy + vz * vz));
  body_.velocityZ += static_cast<float>(Uniform(-r, r)) * 0.001f;
  body_.velocityY += static_cast<float>(Uniform(0, r)) * 0.001f;
  body_.velocityX += static_cast<float>(Uniform(-r, r)) * 0.001f;
  groundHeight_ = position.y;
  landed_ = 0;
}

CLeaf::~CLeaf() = default;

void CLeaf::Update() {
  UnitBody& b = body_;
  b.rotation.x += b.velocityX * 0.1f;
  b.rotation.y += b.velocityY * 0.1f;
  b.rotation.z += b.velocityZ * 0.1f;
  b.rotation.y += b.fallSpeed * 0.1f;

  b.fallSpeed += 0.004f;
  b.velocityX *= 0.99f;
  b.velocityY *= 0.99f;
  b.velocityZ *= 0.99f;
  b.position.x += b.velocityX;
  b.position.y += b.velocityY;
  b.position.z += b.velocityZ;
  b.position.y -= b.fallSpeed;

  // Only a sinking leaf settles, so one kicked from below its start height still rises first.
  if (b.velocityY - b.fallSpeed <= 0.0f && b.position.y < groundHeight_) {
    landed_ = 1;
    b.position.y = groundHeight_;
  }
  if (landed_) {
    ++tick_;
    if (tick_ > 16) Finish();
  }
}

void CLeaf::Draw() {
  if (!model_) return;
  model_->SetMatrix(BuildWorldMatrix());
  model_->Draw(std::nullopt);
}
