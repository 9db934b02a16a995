// A butterfly fluttering in loops in its vertical x-y plane, with random bursts of speed.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
struct WorldContext;

class CButterfly : public CUnit {
 public:
  // The model comes from the world's model cache.
  CButterfly(const WorldContext& world, const gfxutil::Vector4& position);
  ~CButterfly() override;

  void Update() override;
  void Draw() override;

  float Speed() const { return speed_; }
  float Limit() const { return limit_; }

 private:
  boost::shared_ptr<CModel> model_;
  float phase_ = 0, timer_ = 0, limit_ = 0, speed_ = 0;
};
