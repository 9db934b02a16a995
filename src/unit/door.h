// A door that slides open along x while the player is near its closed position.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;

class CDoor : public CUnit {
 public:
  explicit CDoor(const gfxutil::Vector4& position);
  ~CDoor() override;

  void Update() override;
  void Draw() override;

  float OpenX() const { return openX_; }
  float ClosedX() const { return closedX_; }

 private:
  boost::shared_ptr<CModel> model_;
  float openX_ = 0, closedX_ = 0;
};
