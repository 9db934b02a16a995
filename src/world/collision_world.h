// The collision units of the loaded stage, and the query that resolves a moving body or the
// camera against all of them: wall probes in a fan, landing on floors, and the ground below.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <list>

#include "world/collision_unit.h"

namespace gfx {
class CDevice;
}
struct UnitBody;

class CCollisionWorld {
 public:
  enum Mode : int32_t { kBodyMode = 0, kCameraMode = 1 };

  CCollisionWorld() = default;
  CCollisionWorld(const CCollisionWorld&) = delete;
  CCollisionWorld& operator=(const CCollisionWorld&) = delete;

  void Add(const boost::shared_ptr<CCollisionUnit>& unit);
  // Drops every unit whose removal flag is set; the others keep their order.
  void Purge();
  void Clear();
  int32_t Count() const { return count_; }
  const std::list<boost::shared_ptr<CCollisionUnit>>& Units() const { return units_; }

  // Resolves the body's position in place against every model, in insertion order.
  void Collide(UnitBody& body, int32_t mode);

  // White wireframe of every collision triangle, each in its owner's world frame.
  void Draw(gfx::CDevice& device) const;

 private:
  void CollideBody(CCollisionModel& model, UnitBody& body);
  void CollideCamera(CCollisionModel& model, UnitBody& body);

  std::list<boost::shared_ptr<CCollisionUnit>> units_;
  int32_t count_ = 0;
};
