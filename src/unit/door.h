// A door that slides open along x while the player is near its closed position.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
struct WorldContext;

class CDoor : public CUnit {
 public:
  // The model comes from the world's model cache; the door opens for the world's player.
  CDoor(const WorldContext& world, const gfxutil::Vector4& position);
  ~CDoor() override;

  void Update() override;
  void Draw() override;

  float OpenX() const { return openX_; }
  float ClosedX() const { return closedX_; }

 private:
  const WorldContext& world_;
  boost::shared_ptr<CModel> model_;
  float openX_ = 0, closedX_ = 0;
};
