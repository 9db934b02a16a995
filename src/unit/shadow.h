// The soft round blob drawn under a unit from "data/image/shadow.dds": a square lying on the
// ground, larger and fainter the higher the caster is above it.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "platform/gfxutil/math.h"

class CSprite;
template <class T>
class ResourceCache;

struct ShadowRecord {
  float radius = 0;  // base half-size of the quad
  float height = 0;  // the caster's height above the ground
  gfxutil::Vector4 groundNormal;
  gfxutil::Vector4 groundPoint;
};

class CShadow {
 public:
  static constexpr const char* kImage = "data/image/shadow.dds";

  // Takes the image from `sprites`; without it (or it there) the shadow is drawn untextured.
  explicit CShadow(const ResourceCache<CSprite>* sprites);
  CShadow(const CShadow&) = delete;
  CShadow& operator=(const CShadow&) = delete;

  // The caller sets the blending (source alpha, inverse source alpha; texture x diffuse).
  void DrawShadow(const ShadowRecord& shadow);

  // Half size and opacity (0..255) of the quad for a caster at `height`.
  static float HalfSize(float radius, float height) { return radius + height * 0.5f; }
  static uint32_t Alpha(float height);
  // Rotation that turns the up axis onto `normal` (the shortest way); identity for a zero normal.
  static gfxutil::Matrix UpTo(const gfxutil::Vector3& normal);

  const boost::shared_ptr<CSprite>& Sprite() const { return sprite_; }

 private:
  boost::shared_ptr<CSprite> sprite_;
};
