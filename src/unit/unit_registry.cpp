#include "unit/unit_registry.h"

#include "core/config.h"
#include "unit/camera_manager.h"
#include "unit/unit.h"
#include "unit/world_context.h"
#include "world/view_distance.h"

namespace {

// How far beyond each screen edge a unit's origin may lie and still be drawn.
constexpr float kScreenMargin = 360.0f;

}  // namespace

CUnitRegistry::CUnitRegistry(const WorldContext& world) : world_(world) {}

CUnitRegistry::~CUnitRegistry() { Destroy(); }

void CUnitRegistry::Insert(const std::string& name, const boost::shared_ptr<CUnit>& unit) {
  if (unit) units_.emplace(name, unit);
}

void CUnitRegistry::RemoveFinished() {
  for (auto it = units_.begin(); it != units_.end();) {
    if (it->second->IsFinished()) {
      it = units_.erase(it);
    } else {
      ++it;
    }
  }
}

// Units created during a pass (particles) are inserted into the map while it is walked; map
// iterators stay valid, and the newcomer is visited when its name sorts after the current one.
void CUnitRegistry::Update() {
  for (auto& [name, unit] : units_) {
    // The unit's position is its world matrix's translation, so project that directly: a unit
    // not yet drawn has no world matrix to speak of.
    const gfxutil::Vector4& p = unit->body_.position;
    if (const CCameraManager* cameras = world_.cameras) {
      const gfxutil::Vector4 eye = cameras->GetEyePosition();
      const float dx = eye.x - p.x, dy = eye.y - p.y, dz = eye.z - p.z;
      unit->cameraDistanceSq_ = dx * dx + dy * dy + dz * dz;
      unit->screenPosition_ = cameras->ProjectPoint(p.x, p.y, p.z);
    }
    unit->Update();
  }
}

void CUnitRegistry::LatePass() {
  const float reach = 0.4f * g_viewDistance;
  const CConfig& config = ConfigOf(world_);
  const float width = static_cast<float>(config.width);
  const float height = static_cast<float>(config.height);
  for (auto& [name, unit] : units_) {
    unit->LateUpdate();
    unit->SetVisible(true);
    if (unit->cameraDistanceSq_ > reach * reach) {
      unit->SetVisible(false);
      continue;
    }
    if (!world_.cameras) continue;
    const gfxutil::Vector4& p = unit->body_.position;
    const gfxutil::Vector4 s = world_.cameras->ProjectPoint(p.x, p.y, p.z);
    if (s.x < -kScreenMargin || s.x > width + kScreenMargin || s.y < -kScreenMargin ||
        s.y > height + kScreenMargin)
      unit->SetVisible(false);
  }
}

void CUnitRegistry::Draw() {
  for (auto& [name, unit] : units_)
    if (unit->IsVisible()) unit->Draw();
}

void CUnitRegistry::DrawSecondPass() {
  for (auto& [name, unit] : units_)
    if (unit->IsVisible()) unit->DrawSecondPass();
}

void CUnitRegistry::DrawScreen() {
  for (auto& [name, unit] : units_) unit->DrawScreen();
}

void CUnitRegistry::Destroy() {
  // Units going away may still reach the registry from their destructors; let them see a
  // consistent map by taking the units out first.
  std::multimap<std::string, boost::shared_ptr<CUnit>> doomed;
  doomed.swap(units_);
  doomed.clear();
}

boost::shared_ptr<CUnit> CUnitRegistry::Find(const std::string& name) const {
  const auto it = units_.find(name);
  return it == units_.end() ? boost::shared_ptr<CUnit>() : it->second;
}
