// One kind of particle as a .par file describes it: sprite, start velocity and its random spread,
// per-frame acceleration, friction, fade and growth, colour and life. Immutable once read; each
// emission copies it into a new particle unit.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "platform/gfxutil/math.h"

class CScriptFile;
class CSprite;
template <class T>
class ResourceCache;

class CParticleFile {
 public:
  // Reads the file, taking its sprite from `sprites` (may be null); a missing file is logged by
  // the script reader and leaves an empty definition whose particles draw nothing.
  CParticleFile(const std::string& fileName, const ResourceCache<CSprite>* sprites);
  CParticleFile(const CScriptFile& script, const ResourceCache<CSprite>* sprites);

  // False when the file could not be read.
  bool Loaded() const { return loaded_; }

  boost::shared_ptr<CSprite> sprite;  // from the world's sprite cache; empty when not listed there
  gfxutil::Vector4 speed;             // world units per frame; w is 0
  gfxutil::Vector4 rand;              // half-width of the spread added to the speed
  gfxutil::Vector4 acceleration;      // added to the velocity every frame
  gfxutil::Vector4 frict;             // velocity factor every frame, after the acceleration
  float alpha = 0;                    // opacity lost per frame (truncated)
  int16_t kill = 0;                   // drawn frames the particle lives
  uint8_t red = 0, green = 0, blue = 0;
  float scale = 0;  // added to the scale on every axis every frame

 private:
  void Parse(const CScriptFile& script, const ResourceCache<CSprite>* sprites);

  bool loaded_ = false;
};
