// A leaf kicked up by a footstep: flies up, tumbles, settles at the height it started from and
// disappears shortly after.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
struct WorldContext;

class CLeaf : public CUnit {
 public:
  // velocity: of the unit that kicked it (x, y, z used); leafIndex 0..5 picks the model from the
  // world's model cache.
  CLeaf(const WorldContext& world, const gfxutil::Vector4& position, const gfxutil::Vector4& velocity,
        int leafIndex);
  ~CLeaf() override;

  // Tumbles, rises and falls; settles at the start height once sinking, and finishes 17 updates
  // after settling.
  void Update() override;
  void Draw() override;

  float GroundHeight() const { return groundHeight_; }
  bool Landed() const { return landed_ != 0; }
  const boost::shared_ptr<CModel>& Model() const { return model_; }

 private:
  boost::shared_ptr<CModel> model_;
  float groundHeight_ = 0;
  uint8_t landed_ = 0;
};

// The six leaf model paths, indexed 0..5.
extern const char* const g_leafModelPaths[6];
