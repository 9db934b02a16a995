// One particle: a camera-facing textured square that flies, fades, grows and dies by the rules
// of its definition. Emitting units create a few and add them to the registry as
// "CParticleUnit"; from then on a particle is an ordinary unit drawn in the second pass.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "effect/particle_file.h"
#include "unit/unit.h"

class CSprite;
struct WorldContext;

class CParticleUnit : public CUnit {
 public:
  static constexpr const char* kRegistryName = "CParticleUnit";

  // The definition is a copy, so the caller may have adjusted it (its speed) for this emission.
  // The velocity starts as the speed plus a uniform spread on a 0.001 grid within +-rand. The
  // particle turns to face the world's camera.
  CParticleUnit(const WorldContext& world, float x, float y, float z, float w, CParticleFile definition);

  // Faces the camera, fades, accelerates, slows by friction, moves and grows.
  void Update() override;
  // Draws, then counts down the life; life is counted only in frames that are drawn.
  void DrawSecondPass() override;

  const gfxutil::Vector4& Velocity() const { return velocity_; }
  int16_t Life() const { return life_; }
  int16_t Opacity() const { return opacity_; }
  // The vertex colour of the next draw.
  uint32_t Color() const;

 private:
  const WorldContext& world_;
  boost::shared_ptr<CSprite> sprite_;
  gfxutil::Vector4 velocity_;
  gfxutil::Vector4 rand_;
  gfxutil::Vector4 acceleration_;
  gfxutil::Vector4 frict_;
  float alphaRate_;
  int16_t life_;
  uint8_t red_, green_, blue_;
  float scaleRate_;
  int16_t opacity_ = 255;
};
