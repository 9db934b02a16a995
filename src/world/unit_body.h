// The placement and physics record every unit and camera embeds. The collision queries read and
// write it as their collision body, so its fields are shared by the unit, camera and collision code.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "platform/gfxutil/math.h"

class CMotion;

struct UnitBody {
  gfxutil::Vector4 rotation;  // radians about X, Y, Z; w takes no part in the matrix
  gfxutil::Vector4 position;  // w travels with the position
  float fallSpeed = 0;
  float fallAux = 0;  // cleared together with the fall speed on landing
  uint8_t landed = 0;
  uint8_t wall = 0;
  uint8_t third = 0;
  float groundDistance = 0;
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  gfxutil::Vector4 previousPosition;
  gfxutil::Vector4 probeStart;
  gfxutil::Vector4 probeEnd;
  gfxutil::Vector4 landingNormal;
  gfxutil::Vector4 wallNormal;
  gfxutil::Vector4 groundPoint;
  gfxutil::Vector4 groundNormal;
  gfxutil::Vector4 movement;
  float velocityX = 0, velocityY = 0, velocityZ = 0;
  gfxutil::Matrix world;
  boost::shared_ptr<CMotion> motion;
  float aux0 = 8.0f, aux1 = 8.0f;
  gfxutil::Matrix auxMatrix0;
  gfxutil::Matrix auxMatrix1;  // cameras keep their look-at rotation here
  uint32_t table[64][8] = {};
  float factor = 1.0f;
};
