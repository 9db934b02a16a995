// The bear: follows the current player, jumps after it, keeps a little distance, and bobs one part
// of its model on a spring when it lands.
#pragma once
#include <boost/shared_ptr.hpp>

#include "platform/gfxutil/math.h"
#include "unit/unit.h"

class CModel;
class CParticleFile;
struct WorldContext;

class CNPC : public CUnit {
 public:
  // Follows the world's player; its model and particles come from the world's caches, its spring
  // is the run's (world.carried).
  CNPC(const WorldContext& world, const gfxutil::Vector4& position, const gfxutil::Vector4& rotation);
  ~CNPC() override;

  void Update() override;
  void LateUpdate() override;
  void Draw() override;
  void DrawSecondPass() override;

  enum BearState : int16_t {
    kIdle = 0,
    kFollow = 1,
    kFarJump = 2,
    kLevelJump = 3,
    kAirborne = 4,
    kLanded = 5
  };

  // Closest the bear lets the player come, horizontally.
  static constexpr float kKeepAway = 32.0f;

  const boost::shared_ptr<CModel>& Model() const { return model_; }

 private:
  void Spring();
  void StateLogic();
  void KeepAway();
  void KickUpSmoke();

  void PlayAt(int n) const;

  const WorldContext& world_;
  boost::shared_ptr<CModel> model_;
  boost::shared_ptr<CParticleFile> smoke_;
  boost::shared_ptr<CParticleFile> blood_;
};
