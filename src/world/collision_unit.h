// One collision model placed in the world at the position of the unit that owns it.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "world/collision_model.h"

struct UnitBody;

class CCollisionUnit {
 public:
  CCollisionUnit(const UnitBody* owner, const boost::shared_ptr<CCollisionModel>& model)
      : owner_(owner), model_(model) {}

  // Non-zero: dropped by the world's next purge.
  int32_t removal = 0;

  const UnitBody* Owner() const { return owner_; }
  CCollisionModel* Model() const { return model_.get(); }

 private:
  const UnitBody* owner_;  // not owned
  boost::shared_ptr<CCollisionModel> model_;
};
